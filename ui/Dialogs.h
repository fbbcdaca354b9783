// The one seam through which every message box, question, file dialog and
// modal window is shown. The program uses QtDialogs; tests answer with a
// scripted implementation, the headless mode prints instead.
#pragma once

#include <QString>

class QDialog;
class QWidget;

struct FileDialogSpec {
    QString filter;        // "Bitmap file (*.bmp)|*.BMP" form: caption|pattern pairs
    QString defaultSuffix; // without the dot
    QString selectedFile;  // offered name; empty for none
    bool overwritePrompt = false;
    bool mustExist = false;
};

class Dialogs
{
public:
    enum class Answer { Yes, No, Cancel };

    virtual ~Dialogs() = default;

    // The texts of the boxes below are plain text, shown line by line.

    // Plain message: no icon, one OK button, the application's title as caption.
    virtual void message(QWidget *parent, const QString &text) = 0;
    // Error box for errors that ended a command; caption the application's title.
    virtual void error(QWidget *parent, const QString &text) = 0;
    // Question box (question icon) with Yes and No, plus Cancel when asked.
    // Closing the box without a button answers Cancel (or No without Cancel).
    virtual Answer ask(QWidget *parent, const QString &text, const QString &caption,
                       bool withCancel) = 0;
    // Empty text when cancelled.
    virtual QString openFileName(QWidget *parent, const FileDialogSpec &spec) = 0;
    virtual QString saveFileName(QWidget *parent, const FileDialogSpec &spec) = 0;
    // Shows a window modally and returns its result code.
    virtual int showModal(QDialog *dialog) = 0;
};

class QtDialogs final : public Dialogs
{
public:
    void message(QWidget *parent, const QString &text) override;
    void error(QWidget *parent, const QString &text) override;
    Answer ask(QWidget *parent, const QString &text, const QString &caption,
               bool withCancel) override;
    QString openFileName(QWidget *parent, const FileDialogSpec &spec) override;
    QString saveFileName(QWidget *parent, const FileDialogSpec &spec) override;
    int showModal(QDialog *dialog) override;
};

// The application's title: the caption of every plain message and error box.
[[nodiscard]] QString ApplicationTitle();
