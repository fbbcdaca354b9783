// The prompt for a geeklist number. A new prompt is made for every use; the
// caller reads GeeklistID after the modal showing ends (empty: no import).
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

class TfrmGeeklist : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmGeeklist(QWidget *parent = nullptr);

    QLineEdit *edtText = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnOK = nullptr;

    // The typed number without surrounding blanks and control characters.
    QString GeeklistID;

    void btnOKClick();
    void btnCancelClick();
};
