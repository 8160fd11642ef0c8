#pragma once
// The find-files window (FindFilesDialog1): looks for files by name below a folder and opens a
// found file with the desktop's handler on a double click. Modeless; the main window keeps at
// most one and shows it again on the next click.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>

class TFindFilesForm : public QWidget {
    Q_OBJECT
public:
    explicit TFindFilesForm(QWidget *owner, const QString &startFolder = {});
    ~TFindFilesForm() override;

    bool searching() const { return FSearching; }

    QLineEdit *edtNamed = nullptr;
    QLineEdit *edtLookIn = nullptr;
    QCheckBox *chkSubfolders = nullptr;
    QPushButton *btnBrowse = nullptr;
    QPushButton *btnFind = nullptr;
    QPushButton *btnStop = nullptr;
    QTreeWidget *lstResults = nullptr;
    QLabel *lblStatus = nullptr;

public slots:
    void btnFindClick();
    void btnStopClick();
    void btnBrowseClick();
    void OpenResult(QTreeWidgetItem *item);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    bool FSearching = false;
    bool FStopRequested = false;
};
