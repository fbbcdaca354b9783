// The dialog seam of a headless run: every message or error box becomes one
// line on standard error and the run goes on as if OK had been pressed.
// Questions get the answer that changes nothing, file dialogs are cancelled
// and modal windows rejected without being shown.
#pragma once

#include "ui/Dialogs.h"

#include <cstdio>

class HeadlessDialogs final : public Dialogs
{
public:
    explicit HeadlessDialogs(std::FILE *out = stderr) : m_out(out) {}

    void message(QWidget *parent, const QString &text) override;
    void error(QWidget *parent, const QString &text) override;
    Answer ask(QWidget *parent, const QString &text, const QString &caption,
               bool withCancel) override;
    QString openFileName(QWidget *parent, const FileDialogSpec &spec) override;
    QString saveFileName(QWidget *parent, const FileDialogSpec &spec) override;
    int showModal(QDialog *dialog) override;

    // Whether a message or error box was shown: in a run the program only
    // shows one when something went wrong (no node, no "nodes.txt", a failed
    // download, an error that ended the script).
    [[nodiscard]] bool problemReported() const { return m_problem; }

    // Writes text as one line: its lines joined by "; ", or by a blank after
    // a line that ends in a colon.
    void printLine(const QString &text);

private:
    std::FILE *m_out;
    bool m_problem = false;
};

// Writes text and a line break to out as UTF-8 and flushes.
void PrintLine(std::FILE *out, const QString &text);
