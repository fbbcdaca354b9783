// The one error type that ends a command: file errors, XML parse errors,
// settings-file write refusals. Raised in the core, caught once at the edge of
// every event handler (see ui/HandlerGuard.h) and shown in an error box.
#pragma once

#include <QString>
#include <stdexcept>

class PlotwiseError : public std::runtime_error
{
public:
    explicit PlotwiseError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};
