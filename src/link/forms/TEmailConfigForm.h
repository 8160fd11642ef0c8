#pragma once
// The e-mail settings dialog "E-mail Configuration": edits the SMTP account of the settings
// row (maildata), copies it into the main window's SMTP fields on Save, and sends a test mail
// with the values as they stand in the dialog. Opened modally from the settings dialog.

#include "link/MailSettings.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

class TEmailConfigForm : public QDialog {
    Q_OBJECT
public:
    explicit TEmailConfigForm(QWidget *owner = nullptr);

    // Fills the controls from the maildata of the settings row with the given key.
    bool LoadMailSettings(const QString &key);
    // Set by the constructor when loading failed.
    bool loadFailed() const { return FLoadFailed; }

    // Save: the maildata writer. Also sets the main window's SMTP fields.
    void btnOkClick();
    // Sends a test mail with the dialog's values to an address the user types.
    void btnTestClick();

    QLineEdit *UserNameEdit1;
    QLineEdit *UserPasswordEdit1;
    QLineEdit *MailServerEdit1;
    QLineEdit *EmailPortEdit1;
    QCheckBox *AuthenticateBox1;
    QLineEdit *YourNameEdit1;
    QLineEdit *YourEmailEdit1;
    QCheckBox *SSLBox1;
    QPushButton *btnTest;
    QPushButton *btnOk;
    QPushButton *btnCancel;

private:
    void buildControls();
    duvo::MailSettings controlsToSettings() const;

    bool FLoadFailed = false;
    bool FSending = false;
};
