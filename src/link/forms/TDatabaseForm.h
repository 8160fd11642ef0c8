#pragma once
// The database administration dialog ("Database"): replaces the main database by a new empty
// one, copies the program folder's "VadeZir.sqb" to a backup file and back, and starts the
// command line and browser tools on the main database. The main window shows it modally.

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

class TDatabaseForm;
extern TDatabaseForm *DatabaseForm;

class TDatabaseForm : public QDialog {
    Q_OBJECT
public:
    explicit TDatabaseForm(QWidget *owner = nullptr);
    ~TDatabaseForm() override;

    // The program folder's database file, which Backup and Restore copy.
    static QString ProgramDatabasePath();

    QLabel *AppPathLabel1 = nullptr;
    QPushButton *btnCreateNew = nullptr;
    QCheckBox *EnableDBBox1 = nullptr;
    QPushButton *btnBackup = nullptr;
    QPushButton *btnRestore = nullptr;
    QPushButton *btnSqlLite3 = nullptr;
    QPushButton *btnDataBrowser = nullptr;
    QPushButton *btnOk = nullptr;

public slots:
    void EnableDBBox1Click();
    void btnCreateNewClick();
    void btnBackupClick();
    void btnRestoreClick();
    void btnSqlLite3Click();
    void btnDataBrowserClick();

protected:
    // Close is also the Cancel button: Escape ends the dialog as Close does.
    void reject() override { done(QDialog::Accepted); }

private:
    void buildControls();
    void tip(const QString &text);
    bool confirm(const QString &text);
    // Runs a copy on a worker thread under the busy cursor; the window takes no input meanwhile.
    void runCopy(const std::function<void()> &job);
};
