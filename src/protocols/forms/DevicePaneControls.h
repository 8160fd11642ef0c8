#pragma once
// The controls of one instrument pane (the copy manager's two panes, the load-from-disk
// manager's Target pane) and the rules they share: the instrument labels, the folder label,
// the list and its five command buttons, the click, double-click and key rules and the
// button states after a listing.

#include "protocols/ProtocolPane.h"
#include "protocols/forms/ProtocolPaneView.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

struct DVDEVICEINFO_T;

class DevicePaneControls : public QObject {
    Q_OBJECT
public:
    // Builds the pane's controls inside box. role: "Source" or "Target"; names gives the
    // object names of the controls in this order: instrument box, type, ID and IP labels,
    // choose button, folder label, list, select all, view, delete file, save, new folder,
    // delete folder (empty: the control does not exist in this pane).
    DevicePaneControls(QGroupBox *box, const QString &role, const QStringList &names, bool withSelectAll,
                       bool withSave, QObject *parent = nullptr);

    duvo::ProtocolPaneModel model;
    QGroupBox *instrumentBox = nullptr;
    QLabel *lblType = nullptr, *lblName = nullptr, *lblIP = nullptr;
    QPushButton *btnChoose = nullptr;
    QLabel *lblWorkFolder = nullptr;
    ProtocolPaneView *list = nullptr;
    QPushButton *btnSelectAll = nullptr;
    QToolButton *btnEdit = nullptr, *btnDelFile = nullptr, *btnSaveFile = nullptr, *btnNewDir = nullptr,
                *btnDelDir = nullptr;

    // The instrument bound to the pane.
    QString type, id, ip;

    // Takes the instrument of a device record and shows it in the labels.
    void setInstrument(const DVDEVICEINFO_T &device);
    // Button states after a listing of the root / of a folder.
    void rootButtons();
    void folderButtons();
    // The click rule (also for keyboard moves).
    void clickRule();
    void setFileButtons(bool on);

    bool atRoot() const { return model.atRoot(); }
    QString folderText() const { return model.folderText(); }
};

// An instrument is idle when its run state is "Stopped", empty or "-".
bool DeviceIdle(const DVDEVICEINFO_T &device);
