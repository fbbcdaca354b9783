// The script editor: one memo for the script, a log for the checker's
// messages, file commands, the add-line builder, and the Cancel and Execute
// buttons that close it. Created once at program start and kept, so its text,
// file name, log and modified state carry over from one showing to the next.
#pragma once

#include <QDialog>
#include <QString>

class Dialogs;
class QFrame;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class TfrmMain;

class TfrmScript : public QDialog
{
    Q_OBJECT
public:
    // The main window supplies the node list for the checker and the lines
    // of Add line(s); its dialog seam shows every question and file dialog.
    explicit TfrmScript(TfrmMain *frmMain, QWidget *parent = nullptr);

    // Controls, named as in the layout.
    QFrame *panRight = nullptr;
    QPushButton *btnNew = nullptr;
    QPushButton *btnLoad = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnSaveAs = nullptr;
    QPushButton *btnCheck = nullptr;
    QPushButton *btnAddLine = nullptr;
    QFrame *panRightBottom = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnExecute = nullptr;
    QFrame *panCenter = nullptr;
    QPlainTextEdit *memScript = nullptr;
    QPlainTextEdit *memLog = nullptr;
    QStatusBar *stbScript = nullptr;

    // Set only when the last showing ended with Execute.
    [[nodiscard]] bool ExecuteRequested() const { return m_executeRequest; }
    // The whole script as the memo holds it, LF between lines.
    [[nodiscard]] QString ScriptText() const;
    // Full path of the script file; empty for a script never saved or loaded.
    [[nodiscard]] const QString &FileName() const { return m_fileName; }
    [[nodiscard]] bool Modified() const { return m_modified; }

    // Handlers.
    void FormCreate();
    void btnNewClick();
    void btnLoadClick();
    void btnSaveClick();
    void btnSaveAsClick();
    void btnCheckClick();
    void btnAddLineClick();
    void btnCancelClick();
    void btnExecuteClick();
    void memScriptChange();
    void memScriptLineNumber();
    // Asked on every way of closing: false keeps the window open. A closing
    // other than through Execute clears the execute request.
    [[nodiscard]] bool FormClose(bool throughExecute);

    // Every way of closing (Cancel, Execute, the close box, Esc) ends here.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void connectHandlers();
    // The save question when the script is modified: true to go on, false to
    // stay. Throws PlotwiseError when the script cannot be saved.
    [[nodiscard]] bool askSave();
    void setFileName(const QString &path);
    void closeWith(bool execute);
    void saveTo(const QString &path);

    TfrmMain *m_frmMain;
    Dialogs *m_dialogs;
    QString m_fileName;
    bool m_modified = false;
    bool m_executeRequest = false;
};
