#pragma once
// "New Folder": asks for the name of a new instrument folder (up to 7 characters, capitals,
// digits, "-" and inner blanks) and, for a secure folder, its password (up to 4 characters).
// It returns nothing itself: after OK the caller reads edtFolder1, edtPW1 and chkSecureBox1.
//
// Every character of a change is checked, not only the last, so a pasted "A/B" becomes "AB"
// and never reaches the folder operations, which would make folder "B" of it.
//
// The folder security window opens it for a folder that exists (setFolderSecurityMode):
// the name is shown read-only, the secure box checked and only the password can be typed.

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

class TFolderNameForm : public QDialog {
    Q_OBJECT
public:
    explicit TFolderNameForm(QWidget *owner);

    // The folder security mode: name filled in and read-only, box checked (the password group
    // shown), the name group disabled and OK enabled.
    void setFolderSecurityMode(const QString &folder);

    QString folderName() const;
    QString password() const;
    bool secure() const;
    bool loadFailed() const { return FLoadFailed; }

    QGroupBox *GroupBox1 = nullptr;
    QLineEdit *edtFolder1 = nullptr;
    QCheckBox *chkSecureBox1 = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QLineEdit *edtPW1 = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void edtFolder1Change(const QString &text);
    void edtPW1Change(const QString &text);
    void chkSecureBox1Click(bool checked);
    void btnOkClick();

    bool FLoadFailed = false;
};
