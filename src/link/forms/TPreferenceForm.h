#pragma once
// The settings dialog: edits the preferencedata column of the settings row and the
// workstation fields it feeds (auto-refresh interval, search delay, proxy, default folder,
// e-mail notification). The caller shows it modally only when loadFailed() is false.

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TPreferenceForm : public QDialog {
    Q_OBJECT
public:
    explicit TPreferenceForm(QWidget *owner = nullptr);

    // Fills the controls from preferencedata of the row with the given key; false when the
    // database file is missing. A field list that cannot be read in full fills what it can
    // and is reported by the constructor.
    bool LoadPreferences(const QString &key);
    bool loadFailed() const { return FLoadFailed; }

    QLabel *AppPathLabel1 = nullptr;
    QCheckBox *GeneralLogBox1 = nullptr;
    QCheckBox *ExceptionLogBox1 = nullptr;
    QLineEdit *edtPort1 = nullptr;
    QSpinBox *edtRefresh1 = nullptr;
    QSpinBox *edtSearch1 = nullptr;
    QCheckBox *cbProxy1 = nullptr;
    QLineEdit *edtProxyServer = nullptr;
    QLineEdit *edtProxyUser = nullptr;
    QLineEdit *edtProxyPwd = nullptr;
    QCheckBox *EmailBox1 = nullptr;
    QPushButton *btnEmailConfig = nullptr;
    QLineEdit *edtDefaultFolder1 = nullptr;
    QPushButton *edtDefaultFolder1Browse = nullptr;  // the folder edit's "Select Folder" button
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

public slots:
    void btnOkClick();
    void GeneralLogBox1Click();
    void ExceptionLogBox1Click();
    void EmailBox1Click();
    void btnEmailConfigClick();
    void edtDefaultFolder1BrowseClick();
    void edtDefaultFolder1DialogClose(const QString &newFolder, bool ok);
    void edtDefaultFolder1Change();

private:
    void buildControls();

    bool FLoadFailed = false;
    bool FRowIncomplete = false;  // the stored field list lacked fields or held a non-number
    QString FChosenFolder;        // kept from the browse dialog until the edit takes it
};
