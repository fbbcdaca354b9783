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
    static const QRegularExpression lineBreaks(QStringLiteral("\\s*[\\r\\n]+\\s*"));
    PrintLine(m_out, text.trimmed().replace(lineBreaks, QStringLiteral("; ")));
}

void HeadlessDialogs::Message(QWidget *, const QString &text)
{
    m_problem = true;
    printLine(text);
}

void HeadlessDialogs::Error(QWidget *, const QString &text)
{
    m_problem = true;
    printLine(text);
}

Dialogs::Answer HeadlessDialogs::Ask(QWidget *, const QString &text, const QString &,
                                     bool withCancel)
{
    printLine(text);
    return withCancel ? Answer::Cancel : Answer::No;
}

QString HeadlessDialogs::OpenFileName(QWidget *, const FileDialogSpec &)
{
    return {};
}

QString HeadlessDialogs::SaveFileName(QWidget *, const FileDialogSpec &)
{
    return {};
}

int HeadlessDialogs::ShowModal(QDialog *)
{
    return QDialog::Rejected;
}
