#include "geeklist/u_frmGeeklist.h"

#include "geeklist/GeeklistNumber.h"
#include "ui/InterfaceFont.h"
#include "ui/WindowFrame.h"

#include <QLineEdit>
#include <QPushButton>

TfrmGeeklist::TfrmGeeklist(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmGeeklist"));
    setWindowTitle(QStringLiteral("Insert Geeklist:"));
    // Fixed border with a close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(249, 73);
    setFont(InterfaceFont(font()));

    edtText = new QLineEdit(this);
    edtText->setObjectName(QStringLiteral("edtText"));
    edtText->setGeometry(8, 8, 233, 23);

    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(8, 40, 75, 25);

    // Enter presses OK unless Cancel has the focus (Qt's auto-default rule).
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(168, 40, 75, 25);
    btnOK->setDefault(true);

    setTabOrder(edtText, btnCancel);
    setTabOrder(btnCancel, btnOK);
    edtText->setFocus();
    CentreOnScreen(this);

    // Both handlers only copy text and close the window: nothing to guard.
    connect(btnOK, &QPushButton::clicked, this, &TfrmGeeklist::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmGeeklist::btnCancelClick);
}

void TfrmGeeklist::btnOKClick()
{
    GeeklistID = TrimBlanksAndControls(edtText->text());
    accept();
}

// Esc and the close box reject the window the same way; GeeklistID stays empty.
void TfrmGeeklist::btnCancelClick()
{
    reject();
}
