// Dialog seam for tests: records every message and answers questions, file
// dialogs and modal windows from queues the test fills beforehand. Nothing
// ever blocks; an unexpected question or dialog fails the test.
#pragma once

#include "ui/Dialogs.h"

#include <QDialog>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <functional>

class ScriptedDialogs final : public Dialogs
{
public:
    QStringList messages;  // plain messages, in order
    QStringList errors;    // error boxes, in order
    QStringList questions; // question texts asked, in order
    QList<FileDialogSpec> fileDialogs; // every file dialog shown

    QQueue<Answer> answers;      // for Ask
    QQueue<QString> fileNames;   // for openFileName / saveFileName ("" = cancelled)
    // For showModal: each runs against the dialog (set fields, press buttons)
    // and returns the result code. An empty queue rejects the dialog.
    QQueue<std::function<int(QDialog *)>> modalActions;

    void message(QWidget *, const QString &text) override { messages << text; }
    void error(QWidget *, const QString &text) override { errors << text; }
    Answer ask(QWidget *, const QString &text, const QString &, bool withCancel) override;
    QString openFileName(QWidget *, const FileDialogSpec &spec) override;
    QString saveFileName(QWidget *, const FileDialogSpec &spec) override;
    int showModal(QDialog *dialog) override;

    // Set when a question or file dialog came with no answer queued.
    bool unexpected = false;

private:
    QString answerFileDialog(const FileDialogSpec &spec);
};
