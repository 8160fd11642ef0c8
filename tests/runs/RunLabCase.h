#pragma once
// What the run tests start from: a program folder with a fresh database, a workstation that
// logs into it, scripted prompts, and one simulated instrument ("DUVO-7", a DUVO 96) holding
// the protocol PCR/TEST1 and listed in the workstation's device list.

#include "link/DatabaseFiles.h"
#include "link/Workstation.h"
#include "runs/RunPlotFile.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"
#include "TestFolders.h"

#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <memory>
#include <string>

namespace duvo::test {

class RunLabCase : public QObject {
protected:
    TempProgramFolder *FFolder = nullptr;
    Workstation *FWs = nullptr;
    SimulatedLab *FLab = nullptr;
    ScriptedPrompts *FPrompts = nullptr;

    // Builds the fixture on the /24 `subnet` with the simulator's clock `timeScale` times as
    // fast; a failed step fails the running test. The device record is FWs->FDeviceList.at(0).
    void setUpLab(const char *subnet, int timeScale, const std::string &protocol)
    {
        teardown();  // a set-up that failed half-way left its objects behind
        FFolder = new TempProgramFolder;
        FWs = new Workstation;
        FWs->ZavLog1.setFileName(FFolder->file(QStringLiteral("DuvoGeneral.txt")));
        DatabasePath = FFolder->databasePath();
        FPrompts = new ScriptedPrompts;
        QCOMPARE(CreateMainDatabase(DatabasePath), 1);
        FLab = new SimulatedLab(subnet, 1);
        QVERIFY2(FLab->started(), FLab->error().c_str());
        FLab->instrument(0).setTimeScale(timeScale);
        QVERIFY(FLab->instrument(0).makeFolder("PCR"));
        QVERIFY(FLab->instrument(0).putProtocol("PCR", "TEST1", protocol));
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->ipAddress = FLab->address(0);
        d->deviceId = "DUVO-7";
        d->typeText = "DUVO 96";
        FWs->FDeviceList.Add(std::move(d));
    }

    void teardown()
    {
        RunPlotWriter::instance().waitIdle(5000);
        QCoreApplication::processEvents();
        delete FLab;
        FLab = nullptr;
        delete FPrompts;
        FPrompts = nullptr;
        delete FWs;
        FWs = nullptr;
        delete FFolder;
        FFolder = nullptr;
        DatabasePath.clear();
    }
};

} // namespace duvo::test
