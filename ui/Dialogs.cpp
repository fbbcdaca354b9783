#include "ui/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

QString ApplicationTitle()
{
    return QApplication::applicationName();
}

// Every box's text is plain: left to guess, Qt reads a text holding a game's
// name such as "<b>" as rich text, drawing the name bold and running the
// lines into one paragraph.
void QtDialogs::message(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtDialogs::error(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

Dialogs::Answer QtDialogs::ask(QWidget *parent, const QString &text, const QString &caption,
                               bool withCancel)
{
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (withCancel)
        buttons |= QMessageBox::Cancel;
    QMessageBox box(QMessageBox::Question, caption, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setEscapeButton(withCancel ? QMessageBox::Cancel : QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return withCancel ? Answer::Cancel : Answer::No;
    }
}

// "Caption (*.a)|*.A|Other (*.*)|*.*" to Qt's "Caption (*.a);;Other (*)".
// Qt matches on the pattern inside the caption's parentheses, case-insensitively
// on this platform's dialog; "*.*" would miss files without an extension.
static QString qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString caption = parts[i];
        caption.replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
        entries << caption;
    }
    return entries.join(QStringLiteral(";;"));
}

// The extension of a Qt filter's first pattern: "jpg" for "JPEG image (*.jpg
// *.jpeg)"; empty for a pattern that names none, such as "*".
static QString filterSuffix(const QString &filter)
{
    static const QRegularExpression firstPattern(QStringLiteral("\\(\\*\\.([^*?\\[\\s)]+)[\\s)]"));
    return firstPattern.match(filter).captured(1);
}

static QString runFileDialog(QWidget *parent, const FileDialogSpec &spec, bool save)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(qtFilter(spec.filter));
    // The dialog opens on the first type with the offered suffix. A name typed
    // without an extension then takes the extension of the type the user
    // selects, or the offered one under a type that names none.
    dialog.setDefaultSuffix(spec.defaultSuffix);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &spec](const QString &filter) {
                         const QString suffix = filterSuffix(filter);
                         dialog.setDefaultSuffix(suffix.isEmpty() ? spec.defaultSuffix : suffix);
                     });
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !spec.overwritePrompt);
    if (!spec.selectedFile.isEmpty())
        dialog.selectFile(spec.selectedFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtDialogs::openFileName(QWidget *parent, const FileDialogSpec &spec)
{
    return runFileDialog(parent, spec, false);
}

QString QtDialogs::saveFileName(QWidget *parent, const FileDialogSpec &spec)
{
    return runFileDialog(parent, spec, true);
}

int QtDialogs::showModal(QDialog *dialog)
{
    return dialog->exec();
}
