#pragma once
// The download list window (WebSelectForm, "Internet Download"): one check row per entry of
// the server's index file; after Download the caller's list holds the file names of the
// checked rows, in row order.

#include <QDialog>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>

namespace duvo {
class ItemMarkupDelegate;
}

class TWebSelectForm : public QDialog {
    Q_OBJECT
public:
    // list: the index file's lines; replaced by the chosen file names on Download.
    TWebSelectForm(QWidget *owner, QStringList *list);
    ~TWebSelectForm() override;

    bool loadFailed() const { return FLoadFailed; }
    // The file name of each row, in row order.
    const QStringList &fileNames() const { return FFileNames; }

    QGroupBox *GroupBox1 = nullptr;
    QListWidget *ListBox1 = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnSelectAll = nullptr;

    // The HTML row texts, escaped (one per row).
    static QString DownloadRowHtml(const QString &name, const QString &fileName, const QString &description,
                                   const QString &author, const QString &version, const QString &date);

public slots:
    void ListBox1CheckClick();
    void btnSelectAllClick();
    void btnOkClick();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void load();
    duvo::ItemMarkupDelegate *FDelegate = nullptr;
    QStringList *FList;
    QStringList FFileNames;
    bool FLoadFailed = false;
};

extern TWebSelectForm *WebSelectForm;
