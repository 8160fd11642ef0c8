#pragma once
// Shared set-up of the maintenance tests: a workstation whose device list holds the lab's
// instruments, a source filled with secure and plain folders, and the comparison of what
// two instruments hold outside the reserved folders.

#include "link/Workstation.h"
#include "SimulatedLab.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace duvo::test {

inline void fillDeviceList(Workstation &ws, SimulatedLab &lab)
{
    ws.FDeviceList.Clear();
    for (int k = 0; k < lab.count(); ++k) {
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->ipAddress = lab.address(k);
        d->typeText = lab.instrument(k).type();
        d->deviceId = "DU" + std::to_string(100000 + k);
        d->runState = "Stopped";
        ws.FDeviceList.Add(std::move(d));
    }
}

inline std::string protocolText(const std::string &name, int steps = 3)
{
    std::string doc = "<?xml version=\"1.0\" ?><Protocol><Name>" + name + "</Name>";
    for (int i = 0; i < steps; ++i)
        doc += "<Step><Temp>" + std::to_string(60 + i * 12) + ".5</Temp><Hold>" + std::to_string(30 + i)
               + "</Hold><Note>a &amp; b</Note></Step>";
    return doc + "</Protocol>";
}

// DATA (secure, a 14-character password) and TEST with protocols; the factory SYSTEM,
// SHARED and RECENT stay.
inline void fillSource(duvosim::SimInstrument &s)
{
    s.makeFolder("DATA", "ABCDEFGHIJKLMN");
    s.putProtocol("DATA", "PCR1", protocolText("PCR1"));
    s.putProtocol("DATA", "PCR2", protocolText("PCR2", 5));
    s.makeFolder("TEST");
    s.putProtocol("TEST", "QUICK", protocolText("QUICK", 1));
    s.putProtocol("SHARED", "COMMON", protocolText("COMMON", 2));
}

using FolderContent = std::tuple<std::string, std::string, std::vector<std::pair<std::string, std::string>>>;

// Folders, passwords and protocols outside SYSTEM and RECENT, and SHARED without DEFAULT.
inline std::vector<FolderContent> userContent(const duvosim::SimInstrument &s)
{
    std::vector<FolderContent> out;
    for (const auto &f : s.folders()) {
        if (f.name == "SYSTEM" || f.name == "RECENT")
            continue;
        auto files = f.files;
        if (f.name == "SHARED")
            std::erase_if(files, [](const auto &e) { return e.first == "DEFAULT"; });
        out.emplace_back(f.name, f.password, files);
    }
    return out;
}

// Acts on the modal window of class T each time one comes up (polled every 10 ms).
template <typename T>
class OnModal {
public:
    explicit OnModal(std::function<void(T *)> act) : FAct(std::move(act))
    {
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget()); w && w != FLast.data()) {
                FLast = w;
                FAct(w);
            }
        });
        FTimer.start(10);
    }

private:
    std::function<void(T *)> FAct;
    QTimer FTimer;
    QPointer<T> FLast;
};

} // namespace duvo::test
