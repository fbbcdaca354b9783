#include "support/ScriptedDialogs.h"

Dialogs::Answer ScriptedDialogs::ask(QWidget *, const QString &text, const QString &,
                                     bool withCancel)
{
    questions << text;
    if (answers.isEmpty()) {
        unexpected = true;
        return withCancel ? Answer::Cancel : Answer::No;
    }
    return answers.dequeue();
}

QString ScriptedDialogs::openFileName(QWidget *, const FileDialogSpec &spec)
{
    return answerFileDialog(spec);
}

QString ScriptedDialogs::saveFileName(QWidget *, const FileDialogSpec &spec)
{
    return answerFileDialog(spec);
}

QString ScriptedDialogs::answerFileDialog(const FileDialogSpec &spec)
{
    fileDialogs << spec;
    if (fileNames.isEmpty()) {
        unexpected = true;
        return {};
    }
    return fileNames.dequeue();
}

int ScriptedDialogs::showModal(QDialog *dialog)
{
    // The dialog is shown (not exec'd) so that its widgets are laid out and
    // focusable while the action runs; it is hidden again afterwards.
    dialog->show();
    int result = QDialog::Rejected;
    if (!modalActions.isEmpty())
        result = modalActions.dequeue()(dialog);
    dialog->hide();
    return result;
}
