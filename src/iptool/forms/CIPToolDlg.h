#pragma once
// The address tool's main dialog: finds the network modules, shows them as a tree of devices
// and interfaces, and writes the network settings of the selected interface to its module.
// Searching: one discovery request at the start of a search, then a verification list every
// tick (5000 ms); after the third tick the search is over and Search Again is enabled again.

#include "iptool/CDiscoverySocket.h"
#include "iptool/UnitList.h"

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QTimer>
#include <unordered_map>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace duvo::iptool {

class CIPToolDlg : public QDialog {
    Q_OBJECT
public:
    // Item data role holding a tree item's state image number.
    static constexpr int StateImageRole = Qt::UserRole + 1;
    static constexpr int SearchTicks = 3;

    explicit CIPToolDlg(QWidget *parent = nullptr, const std::string &target = std::string(),
                        const std::string &bind = std::string());
    ~CIPToolDlg() override;

    // Creates the socket and starts the first search. False when the socket cannot be made:
    // the error box has been shown and the program must end with code -1.
    bool initialise();

    // The search tick (5000 ms unless a test makes it shorter); set before initialise().
    void setTickInterval(int ms) { FTickMs = ms; }
    // Where received datagrams are relayed; set before initialise().
    void setRelay(const std::string &address, uint16_t port);

    const UnitList &units() const { return FList; }
    QTreeWidget *tree() const { return FTree; }
    bool searching() const { return FTimer.isActive(); }
    int tickCount() const { return FTicks; }
    UnitNode *nodeOf(QTreeWidgetItem *item) const;
    QTreeWidgetItem *itemOf(const UnitNode *node) const;

    // The handlers, callable as the buttons call them.
    void OnSearchAgain();
    void OnSet();
    void OnUseDhcp();
    void OnAbout();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void startSearch();
    void onTimer();
    void InsertDeviceReply(const DiscoveryReply &reply);
    QTreeWidgetItem *addItem(UnitNode *node, QTreeWidgetItem *parent);
    void refreshItem(UnitNode *node);
    void onSelChanged(QTreeWidgetItem *current);
    // Runs the selection handler again when node is the current one (its record changed).
    void reselectIfCurrent(UnitNode *node);
    bool wirelessShownFor(const UnitNode &node) const;
    bool CheckWepKey(const QString &text);
    static QList<QIcon> makeStateImages();

    CDiscoverySocket FSocket;
    UnitList FList;
    QTimer FTimer;
    int FTicks = 0;
    int FTickMs = 5000;
    QList<QIcon> FStateImages;
    std::unordered_map<const UnitNode *, QTreeWidgetItem *> FItems;

    QLineEdit *FIp = nullptr;          // static IP settings
    QLineEdit *FMask = nullptr;
    QLineEdit *FGateway = nullptr;
    QLineEdit *FDns = nullptr;
    QLineEdit *FTftpServer = nullptr;  // advanced section (never shown)
    QLineEdit *FTftpFile = nullptr;
    QComboBox *FTrapMode = nullptr;
    QSpinBox *FBootDelay = nullptr;
    QCheckBox *FBootToApp = nullptr;
    QCheckBox *FBootQuietly = nullptr;
    QComboBox *FMonitorPort = nullptr;
    QComboBox *FBaud = nullptr;
    QLineEdit *FSsid = nullptr;        // wireless settings
    QLineEdit *FWep = nullptr;
    QLabel *FSsidLabel = nullptr;
    QLabel *FWepLabel = nullptr;
    QGroupBox *FAdvanced = nullptr;
    QTreeWidget *FTree = nullptr;
    QPushButton *FSet = nullptr;
    QPushButton *FDhcp = nullptr;
    QPushButton *FSearchAgain = nullptr;
    QPushButton *FExit = nullptr;
};

} // namespace duvo::iptool
