// The script editor: one memo for the script, a log for the checker's
// messages, file commands, the add-line builder, and the Cancel and Execute
// buttons that close it. Created once at program start and kept, so its text,
// file name, log and modified state carry over from one showing to the next.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

class Dialogs;
class QFrame;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;

// What the editor uses of the main window.
struct ScriptEditorContext {
    // Shows every question and file dialog.
    Dialogs *dialogs = nullptr;
    // The node names the checker accepts, as the node list holds them now.
    std::function<QStringList()> nodeNames;
    // The lines of Add line(s), built from the main window's controls.
    std::function<QString()> addLines;
};

class TfrmScript : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmScript(ScriptEditorContext context, QWidget *parent = nullptr);

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
    [[nodiscard]] bool executeRequested() const { return m_executeRequest; }
    // The whole script as the memo holds it, LF between lines.
    [[nodiscard]] QString scriptText() const;
    // Full path of the script file; empty for a script never saved or loaded.
    [[nodiscard]] const QString &fileName() const { return m_fileName; }
    [[nodiscard]] bool modified() const { return m_modified; }

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

    ScriptEditorContext m_context;
    Dialogs *m_dialogs;
    QString m_fileName;
    bool m_modified = false;
    bool m_executeRequest = false;
};
