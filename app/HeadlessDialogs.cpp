#include "app/HeadlessDialogs.h"

#include <QDialog>
#include <QRegularExpression>

void PrintLine(std::FILE *out, const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
    std::fflush(out);
}

void HeadlessDialogs::printLine(const QString &text)
{
    // "Not every page could be loaded:" and its list of failures become
    // "Not every page could be loaded: Game 13, page 4: HTTP 503; Game 14, ...".
    QString line;
    for (const QString &part : text.split(QRegularExpression(QStringLiteral("[\\r\\n]+")))) {
        const QString trimmed = part.trimmed();
        if (trimmed.isEmpty())
            continue;
        if (!line.isEmpty())
            line += line.endsWith(QLatin1Char(':')) ? QStringLiteral(" ") : QStringLiteral("; ");
        line += trimmed;
    }
    PrintLine(m_out, line);
}

void HeadlessDialogs::message(QWidget *, const QString &text)
{
    m_problem = true;
    printLine(text);
}

void HeadlessDialogs::error(QWidget *, const QString &text)
{
    m_problem = true;
    printLine(text);
}

Dialogs::Answer HeadlessDialogs::ask(QWidget *, const QString &text, const QString &,
                                     bool withCancel)
{
    printLine(text);
    return withCancel ? Answer::Cancel : Answer::No;
}

QString HeadlessDialogs::openFileName(QWidget *, const FileDialogSpec &)
{
    return {};
}

QString HeadlessDialogs::saveFileName(QWidget *, const FileDialogSpec &)
{
    return {};
}

int HeadlessDialogs::showModal(QDialog *)
{
    return QDialog::Rejected;
}
