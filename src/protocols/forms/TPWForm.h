#pragma once
// "Password": the prompt for the password of a secure instrument folder. It knows the
// password it waits for and closes with OK only once that was typed; Cancel, Escape and the
// close box end it with Cancel. The folder operations ask for it through the prompt service
// (a password request that names the expected password), so the real service shows this
// window and a scripted one answers in tests.
//
//     TPWForm prompt(owner, "AB12");
//     prompt.setWindowTitle("Secure Folder: DATA");
//     if (prompt.exec() == QDialog::Accepted) ...

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;

class TPWForm : public QDialog {
    Q_OBJECT
public:
    // The edit takes the 4 characters of a password made here, or all of a longer one set
    // elsewhere.
    TPWForm(QWidget *owner, const QString &expectedPassword);

    QString password() const;
    bool loadFailed() const { return FLoadFailed; }

    QGroupBox *GroupBox1 = nullptr;
    QLineEdit *edtPW1 = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void edtPW1Change(const QString &text);
    void btnOkClick();

    QString FExpected;
    bool FLoadFailed = false;
};

// Lets the real prompt service show TPWForm for the folder password requests. Called once at
// program start (the common windows cannot see this one).
void RegisterProtocolPrompts();
