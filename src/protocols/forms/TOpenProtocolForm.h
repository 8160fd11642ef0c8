#pragma once
// "Open Protocol": picks a protocol file (".SVP", any case) from the mounted volumes. A chosen
// file named in capitals shows its protocol name and size; OK hands its full path to the
// caller through outPath.
//
//     QString path;
//     TOpenProtocolForm open(this, &path, false);
//     if (open.exec() == QDialog::Accepted) ... ReadProtocolFile(path, ...)

#include <QDialog>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QTreeView;

class TOpenProtocolForm : public QDialog {
    Q_OBJECT
public:
    TOpenProtocolForm(QWidget *Owner, QString *outPath, bool ShowView);

    // The file list's path: the chosen file, or "*.SVP" while none is chosen.
    QString filePath() const { return FFilePath; }
    // Shows a folder in the directory and file lists.
    void showFolder(const QString &folder);
    // Chooses a file as a click in the file list does.
    void chooseFile(const QString &path);

    QComboBox *cmbDrive1 = nullptr;
    QTreeView *DirectoryList1 = nullptr;
    QListView *FileList1 = nullptr;
    QLineEdit *edtMask1 = nullptr;
    QLabel *NameLabel1 = nullptr;
    QLabel *SizeLabel1 = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnView = nullptr;

private:
    void FileList1Change(const QString &path);
    void btnOkClick();
    void btnViewClick();

    QString *FOutPath;
    QString FFilePath;
    QFileSystemModel *FDirModel = nullptr;
    QFileSystemModel *FFileModel = nullptr;
};
