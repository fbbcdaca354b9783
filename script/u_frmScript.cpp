// The script editor window: layout, file commands, the save question, the
// checker and the add-line builder.
#include "script/u_frmScript.h"

#include "script/ScriptCheck.h"
#include "script/ScriptFile.h"
#include "service/TextLines.h"
#include "ui/Dialogs.h"
#include "ui/HandlerGuard.h"
#include "ui/InterfaceFont.h"
#include "ui/WindowFrame.h"

#include <QDir>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

static const QString ScriptFilter = QStringLiteral("Script file (*.txt)|*.txt|All file (*.*)|*.*");

TfrmScript::TfrmScript(ScriptEditorContext context, QWidget *parent)
    : QDialog(parent)
    , m_context(std::move(context))
    , m_dialogs(m_context.dialogs)
{
    setObjectName(QStringLiteral("frmScript"));
    buildControls();
    connectHandlers();
    FormCreate();
}

// A button at a fixed place of its panel.
static QPushButton *panelButton(
    QWidget *panel, const char *name, const QString &caption, int top, int height = 25)
{
    auto *button = new QPushButton(caption, panel);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(8, top, 75, height);
    return button;
}

static QFrame *panel(QWidget *parent, const char *name)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(name));
    frame->setFrameShape(QFrame::NoFrame);
    return frame;
}

void TfrmScript::buildControls()
{
    SetOuterSize(this, QSize(870, 640), {}, true);
    // The interface font of the program's windows: 11 pixels high, so that
    // every caption fits its fixed-size button.
    setFont(InterfaceFont(font()));

    panCenter = panel(this, "panCenter");
    memScript = new QPlainTextEdit(panCenter);
    memScript->setObjectName(QStringLiteral("memScript"));
    QFont fixed(QStringLiteral("Courier New"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setPixelSize(13);
    fixed.setStretch(QFont::Unstretched);
    memScript->setFont(MonospacedFont(fixed));
    memScript->setLineWrapMode(QPlainTextEdit::NoWrap);
    memScript->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memScript->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memScript->setTabChangesFocus(true);
    memLog = new QPlainTextEdit(panCenter);
    memLog->setObjectName(QStringLiteral("memLog"));
    memLog->setReadOnly(true);
    memLog->setFocusPolicy(Qt::StrongFocus);
    memLog->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    memLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memLog->setFixedHeight(89);
    auto *center = new QVBoxLayout(panCenter);
    center->setContentsMargins(0, 0, 0, 0);
    center->setSpacing(0);
    center->addWidget(memScript, 1);
    center->addWidget(memLog);

    // The right panel's upper buttons sit at fixed places outside its layout,
    // which keeps panRightBottom at the panel's foot.
    panRight = panel(this, "panRight");
    panRight->setFixedWidth(86);
    btnNew = panelButton(panRight, "btnNew", QStringLiteral("New"), 8);
    btnLoad = panelButton(panRight, "btnLoad", QStringLiteral("Load..."), 40);
    btnSave = panelButton(panRight, "btnSave", QStringLiteral("Save"), 72);
    btnSaveAs = panelButton(panRight, "btnSaveAs", QStringLiteral("Save as..."), 104);
    btnCheck = panelButton(panRight, "btnCheck", QStringLiteral("Check"), 168);
    btnAddLine = panelButton(panRight, "btnAddLine", QStringLiteral("Add line(s)"), 200);
    panRightBottom = panel(panRight, "panRightBottom");
    panRightBottom->setFixedHeight(99);
    btnCancel = panelButton(panRightBottom, "btnCancel", QStringLiteral("Cancel"), 8);
    btnExecute = panelButton(panRightBottom, "btnExecute", QStringLiteral("Execute"), 40, 57);
    auto *right = new QVBoxLayout(panRight);
    right->setContentsMargins(0, 0, 0, 0);
    right->addStretch(1);
    right->addWidget(panRightBottom);

    stbScript = new QStatusBar(this);
    stbScript->setObjectName(QStringLiteral("stbScript"));
    stbScript->setFixedHeight(19);
    stbScript->setSizeGripEnabled(false);

    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(panCenter, 1);
    row->addWidget(panRight);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(row, 1);
    column->addWidget(stbScript);

    // Buttons are pressed by click or Space; Enter stays with the memo.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);

    QWidget *order[] = { memScript, memLog, btnNew, btnLoad, btnSave, btnSaveAs, btnCheck,
        btnCancel, btnExecute, btnAddLine };
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    memScript->installEventFilter(this);
}

void TfrmScript::connectHandlers()
{
    const auto onClick = [this](QPushButton *button, void (TfrmScript::*handler)()) {
        ConnectClick(m_dialogs, this, button, handler);
    };
    onClick(btnNew, &TfrmScript::btnNewClick);
    onClick(btnLoad, &TfrmScript::btnLoadClick);
    onClick(btnSave, &TfrmScript::btnSaveClick);
    onClick(btnSaveAs, &TfrmScript::btnSaveAsClick);
    onClick(btnCheck, &TfrmScript::btnCheckClick);
    onClick(btnAddLine, &TfrmScript::btnAddLineClick);
    onClick(btnCancel, &TfrmScript::btnCancelClick);
    onClick(btnExecute, &TfrmScript::btnExecuteClick);
    connect(memScript, &QPlainTextEdit::textChanged, this, &TfrmScript::memScriptChange);
}

QString TfrmScript::scriptText() const
{
    return memScript->toPlainText();
}

void TfrmScript::FormCreate()
{
    setFileName(QString());
    m_modified = false;
    m_executeRequest = false;
}

// The caption shows the file name, and nothing for a script without a file.
void TfrmScript::setFileName(const QString &path)
{
    m_fileName = path;
    setWindowTitle(QDir::toNativeSeparators(path));
}

static FileDialogSpec scriptDialog(bool save)
{
    FileDialogSpec spec;
    spec.filter = ScriptFilter;
    spec.defaultSuffix = QStringLiteral("txt");
    spec.overwritePrompt = save;
    spec.mustExist = !save;
    return spec;
}

// The file name changes only once the file is written, so that a refused save
// leaves the caption naming the file the text last came from or went to.
void TfrmScript::saveTo(const QString &path)
{
    WriteScriptFile(path, scriptText());
    setFileName(path);
}

bool TfrmScript::askSave()
{
    if (!m_modified)
        return true;
    bool goOn = false;
    switch (m_dialogs->ask(
        this, QStringLiteral("Do you want to save the script?"), QStringLiteral("Confirm"), true)) {
    case Dialogs::Answer::Yes: {
        QString path = m_fileName;
        if (path.isEmpty())
            path = m_dialogs->saveFileName(this, scriptDialog(true));
        if (!path.isEmpty()) {
            saveTo(path);
            goOn = true;
        }
        break;
    }
    case Dialogs::Answer::No:
        goOn = true;
        break;
    case Dialogs::Answer::Cancel:
        break;
    }
    memScript->setFocus();
    return goOn;
}

void TfrmScript::btnNewClick()
{
    if (askSave()) {
        memScript->clear();
        setFileName(QString());
        m_modified = false;
    }
    memScript->setFocus();
}

void TfrmScript::btnLoadClick()
{
    if (askSave()) {
        const QString path = m_dialogs->openFileName(this, scriptDialog(false));
        if (!path.isEmpty()) {
            const QString text = ReadScriptFile(path);
            memScript->setPlainText(text);
            setFileName(path);
            m_modified = false;
        }
    }
    memScript->setFocus();
}

void TfrmScript::btnSaveClick()
{
    const QString path
        = m_fileName.isEmpty() ? m_dialogs->saveFileName(this, scriptDialog(true)) : m_fileName;
    if (!path.isEmpty()) {
        saveTo(path);
        m_modified = false;
    }
    memScript->setFocus();
}

void TfrmScript::btnSaveAsClick()
{
    const QString path = m_dialogs->saveFileName(this, scriptDialog(true));
    if (!path.isEmpty()) {
        saveTo(path);
        m_modified = false;
    }
    memScript->setFocus();
}

void TfrmScript::btnCheckClick()
{
    const QStringList log = CheckScript(scriptText(), m_context.nodeNames());
    memLog->setPlainText(log.join(QLatin1Char('\n')));
}

// Each built line becomes a new last line of the memo, ended by a line end
// so that the next addition starts a line of its own.
void TfrmScript::btnAddLineClick()
{
    const QStringList lines = SplitLines(m_context.addLines());
    if (lines.isEmpty())
        return;
    const QString text = scriptText();
    QString added = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        added.prepend(QLatin1Char('\n'));
    QTextCursor end(memScript->document());
    end.movePosition(QTextCursor::End);
    end.insertText(added);
}

// Cancel and Execute: after the save question the window closes, Execute
// leaving its request for the main window.
void TfrmScript::closeWith(bool execute)
{
    if (!askSave())
        return;
    m_executeRequest = execute;
    m_modified = false;
    done(execute ? QDialog::Accepted : QDialog::Rejected);
}

void TfrmScript::btnCancelClick()
{
    closeWith(false);
}

void TfrmScript::btnExecuteClick()
{
    closeWith(true);
}

void TfrmScript::memScriptChange()
{
    m_modified = true;
}

void TfrmScript::memScriptLineNumber()
{
    const QTextCursor cursor = memScript->textCursor();
    const int line = memScript->document()->findBlock(cursor.selectionStart()).blockNumber() + 1;
    stbScript->showMessage(QStringLiteral("Line ") + QString::number(line));
}

bool TfrmScript::FormClose(bool throughExecute)
{
    if (!askSave())
        return false;
    if (!throughExecute)
        m_executeRequest = false;
    return true;
}

void TfrmScript::done(int result)
{
    // Reached from Qt's close handling too, so errors are shown here; a
    // script that could not be saved keeps the window open.
    bool mayClose = false;
    RunGuarded(m_dialogs, this, [&] { mayClose = FormClose(result == QDialog::Accepted); });
    if (mayClose)
        QDialog::done(result);
}

bool TfrmScript::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == memScript
        && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease))
        memScriptLineNumber();
    return QDialog::eventFilter(watched, event);
}
