#pragma once
// The run history viewer ("Device Log"): lists the runs recorded in the main database and,
// for the selected run, shows its details, notes, protocol, plot and stored run log, and
// deletes checked runs. The caller shows it modally only when loadFailed() is false, and
// deletes it afterwards.

#include <QDialog>
#include <QPointer>

#include <functional>

class HistoryModel;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableView;

class THistoryForm;
extern QPointer<THistoryForm> HistoryForm;

class THistoryForm : public QDialog {
    Q_OBJECT
public:
    explicit THistoryForm(QWidget *owner = nullptr);
    ~THistoryForm() override;

    bool loadFailed() const { return FLoadFailed; }

    // Opens a stored protocol in the protocol editor (owner, protocol text, name); tests may
    // replace it. While it is empty, View Protocol stays disabled.
    using ProtocolViewer = std::function<void(QWidget *owner, const QString &protocol, const QString &name)>;
    static ProtocolViewer &protocolViewer();

    HistoryModel *model() const { return FModel; }
    // The session of the selected row; empty when no row is selected.
    QString selectedSession() const;
    int selectedRow() const;
    void selectRow(int row);

    QTableView *OpenEditView1 = nullptr;
    QLabel *lblCreator = nullptr;
    QLabel *lblDate = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *lblOriginalType = nullptr;
    QLabel *lblOriginalID = nullptr;
    QLabel *lblOriginalIP = nullptr;
    QLabel *lblFirmware = nullptr;
    QLabel *lblFolder = nullptr;
    QLabel *lblFile = nullptr;
    QLabel *lblVolume = nullptr;
    QLabel *lblConsumable = nullptr;
    QPushButton *btnDelete = nullptr;
    QPushButton *btnSelectAll = nullptr;
    QPushButton *btnNotes = nullptr;
    QPushButton *btnViewProtocol = nullptr;
    QPushButton *btnViewGraph = nullptr;
    QPushButton *btnViewDuvoLog = nullptr;
    QPushButton *btnClose = nullptr;

public slots:
    void btnDeleteClick();
    void btnSelectAllClick();
    void btnNotesClick();
    void btnViewProtocolClick();
    void btnViewGraphClick();
    void btnViewDuvoLogClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void buildWindow();
    void OpenEditView1SelectItem();
    void OpenEditView1Check(int checkedCount);
    void setViewButtons(bool on);
    void clearDetails();

    HistoryModel *FModel = nullptr;
    bool FLoadFailed = false;
    bool FBusy = false;  // the delete loop runs
    bool FDetailsStale = false;  // a selection changed while the loop ran; its details are not shown
    bool FCentred = false;
};
