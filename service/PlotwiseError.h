// The one error type that ends a command: file errors, XML parse errors,
// settings-file write refusals. Raised in the core, caught once at the edge of
// every event handler (see ui/HandlerGuard.h) and shown in an error box.
#pragma once

#include <QString>
#include <stdexcept>

class PlotwiseError : public std::runtime_error
{
public:
    explicit PlotwiseError(const QString &message, const QString &details = {})
        : std::runtime_error(message.toStdString()), m_message(message), m_details(details)
    {
    }
    const QString &message() const noexcept { return m_message; }
    // Shown below the message: what else went wrong before the error ended
    // the command (pages a Load could not have). Empty for none.
    const QString &details() const noexcept { return m_details; }

private:
    QString m_message;
    QString m_details;
};
