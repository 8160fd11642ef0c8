// The copy manager window against simulated instruments (127.0.202.0/24): preselection,
// the picker's commits, the button states, the pane commands with their requests, and the
// close box during a run.

#include "protocols/forms/TCopyProtocolForm.h"
#include "protocols/ProtocolFile.h"
#include "link/Workstation.h"
#include "mainwindow/forms/TDestinationForm.h"
#include "protocols/forms/TFolderNameForm.h"
#include "GuiTest.h"
#include "ModalWindow.h"
#include "RequestSummary.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *const Base = "127.0.202";

QStringList sent(SimulatedLab &sim, int k)
{
    QStringList out;
    for (const auto &e : sim.requests(k))
        out << RequestSummary(e);
    return out;
}

// A workstation whose device list names the lab's instruments (run states as given).
struct Lab {
    SimulatedLab sim;
    Workstation ws;
    QTemporaryDir dir;

    explicit Lab(int devices, const QStringList &states = {}) : sim(Base, devices)
    {
        for (int k = 0; k < devices; ++k) {
            auto d = std::make_unique<DVDEVICEINFO_T>();
            d->ipAddress = sim.address(k);
            d->typeText = "DUVO 96";
            d->deviceId = "DU" + std::to_string(100 + k);
            d->runState = states.value(k, QStringLiteral("Stopped")).toStdString();
            ws.FDeviceList.Add(std::move(d));
            sim.instrument(k).makeFolder("DATA", "AB12");
            sim.instrument(k).makeFolder("OPEN");
        }
        sim.instrument(0).putProtocol("DATA", "PCR1", "<Root>1</Root>");
        sim.instrument(0).putProtocol("DATA", "PCR2", "<Root>2</Root>");
        sim.instrument(0).putProtocol("OPEN", "PCR3", "<Root>3</Root>");
        ws.FDefaultFolder = dir.path() + QLatin1Char('/');
    }
    QString ip(int k) const { return QString::fromStdString(sim.address(k)); }
};

// Picks whatever the test says, recording what the picker was given.
struct PickerScript {
    struct Call {
        int excluded;
        QString caption;
    };
    QList<Call> calls;
    int writeIndex = -1;  // what the picker writes into the index
    bool ok = true;
    TCopyProtocolForm::DevicePicker previous;

    PickerScript()
    {
        previous = TCopyProtocolForm::PickDevice();
        TCopyProtocolForm::PickDevice() = [this](QWidget *, int *out, int excluded, const QString &caption) {
            calls << Call{excluded, caption};
            *out = writeIndex;
            return ok;
        };
    }
    ~PickerScript() { TCopyProtocolForm::PickDevice() = previous; }
};

void select(ProtocolPaneView *view, int row)
{
    view->setFocus();
    const QRect r = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center() + QPoint(30, 0));
}

void doubleClick(ProtocolPaneView *view, int row)
{
    const QRect r = view->visualRect(view->model()->index(row, 0));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, r.center() + QPoint(30, 0));
}

int rowOf(ProtocolPaneModel &m, const QString &name)
{
    return FindListItem(m.markups(), name);
}

QString enabledButtons(QWidget *form, const QString &pane)
{
    QStringList on;
    for (const char *b : {"btnEdit", "btnDelFile", "btnSaveFile", "btnNewDir", "btnDelDir"}) {
        auto *w = findChildNamed<QWidget>(form, QLatin1String(b) + pane);
        if (w && w->isEnabled())
            on << QLatin1String(b).mid(3);
    }
    return on.join(QLatin1Char(','));
}

} // namespace

class TestCopyForm : public QObject {
    Q_OBJECT
private slots:
    void preselection_data()
    {
        QTest::addColumn<int>("devices");
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<int>("ipOf");  // -1: an address no device has
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("target");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("two idle") << 2 << QStringList{} << 1 << 0 << 1 << QStringList{};
        QTest::newRow("no address matches") << 2 << QStringList{} << -1 << 0 << -1 << QStringList{};
        QTest::newRow("busy target") << 2 << QStringList{"Stopped", "Running"} << 1 << 0 << -1
                                     << QStringList{"The selected Target is still active!  Please stop the Device before continuing!"};
        QTest::newRow("busy source") << 2 << QStringList{"Running", "-"} << 1 << -1 << 1
                                     << QStringList{"The selected Source is still active!  Please stop the Device before continuing!"};
        QTest::newRow("busy first, its own address")
            << 2 << QStringList{"Paused", ""} << 0 << -1 << -1
            << QStringList{"The selected Target is still active!  Please stop the Device before continuing!",
                           "The selected Source is still active!  Please stop the Device before continuing!"};
        QTest::newRow("three") << 3 << QStringList{} << 2 << -1 << 2 << QStringList{};
    }
    void preselection()
    {
        QFETCH(int, devices);
        QFETCH(QStringList, states);
        QFETCH(int, ipOf);
        QFETCH(int, source);
        QFETCH(int, target);
        QFETCH(QStringList, messages);
        Lab lab(devices, states);
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        ScriptedPrompts prompts;
        for (const QString &m : messages)
            prompts.answer(Ok, m, QStringLiteral("Information"));
        TCopyProtocolForm form(nullptr, ipOf < 0 ? QStringLiteral("127.0.202.99") : lab.ip(ipOf));
        QCOMPARE(prompts.texts(), messages);
        QCOMPARE(form.FSourceIndex, source);
        QCOMPARE(form.FTargetIndex, target);
        QCOMPARE(findChildNamed<QLabel>(&form, "lblIP")->text(), source < 0 ? QStringLiteral("-") : lab.ip(source));
        QCOMPARE(findChildNamed<QLabel>(&form, "lblTargetIP")->text(), target < 0 ? QStringLiteral("-") : lab.ip(target));
        QCOMPARE(findChildNamed<QLabel>(&form, "lblWorkFolder2")->text(), target < 0 ? QStringLiteral("-") : QStringLiteral("/"));
        QCOMPARE(form.targetPane().count(), target < 0 ? 0 : 4);  // SYSTEM, SHARED, DATA, OPEN
        QCOMPARE(findChildNamed<QWidget>(&form, "btnNewDir1")->isEnabled(), source >= 0);
        QVERIFY(!findChildNamed<QWidget>(&form, "btnCopyToTarget")->isEnabled());
    }

    // Cancel, a busy pick and a refused pick leave the pane's instrument and index as they
    // were, so the other pane's picker still leaves out only the instrument shown there.
    void pickerCommitsOnlyAnAcceptedInstrument_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("writes");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("cancel after the picker selected item 0") << false << 0 << QStringList{};
        QTest::newRow("refused old firmware") << false << -1 << QStringList{};
        QTest::newRow("busy instrument")
            << true << 2 << QStringList{"The selected Source is still active!  Please stop the Device before selection."};
    }
    void pickerCommitsOnlyAnAcceptedInstrument()
    {
        QFETCH(bool, ok);
        QFETCH(int, writes);
        QFETCH(QStringList, messages);
        Lab lab(3, {"Stopped", "Stopped", "Running"});
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        for (const QString &m : messages)
            prompts.answer(Ok, m);
        TCopyProtocolForm form(nullptr, lab.ip(1));
        QCOMPARE(form.FTargetIndex, 1);
        PickerScript picker;
        picker.ok = true;
        picker.writeIndex = 0;
        QVERIFY(clickButton(&form, "btnSource"));   // the Source becomes device 0
        QCOMPARE(form.FSourceIndex, 0);
        picker.ok = ok;
        picker.writeIndex = writes;
        QVERIFY(clickButton(&form, "btnSource"));
        QCOMPARE(form.FSourceIndex, 0);
        QCOMPARE(form.FSourceIP(), lab.ip(0));
        QCOMPARE(prompts.texts(), messages);
        // The Target's picker leaves out the Source's instrument, not the refused one.
        picker.ok = false;
        QVERIFY(clickButton(&form, "btnTarget"));
        QCOMPARE(picker.calls.last().excluded, 0);
        QCOMPARE(picker.calls.last().caption, QStringLiteral("Select Target Device"));
        QCOMPARE(picker.calls.first().excluded, 1);
        QCOMPARE(picker.calls.first().caption, QStringLiteral("Select Source Device"));
    }

    // The real picker selects its item 0 as soon as it is built; a Cancel must not leave
    // that choice in the pane's index.
    void realPickerCancelLeavesNothingExcluded()
    {
        Lab lab(3);
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        TCopyProtocolForm form(nullptr, lab.ip(1));
        QCOMPARE(form.FTargetIndex, 1);
        QString caption;
        {
            auto watch = onNextModal<TDestinationForm>([&](TDestinationForm *d) {
                caption = d->windowTitle();
                QTest::mouseClick(d->btnCancel, Qt::LeftButton);
            });
            QVERIFY(clickButton(&form, "btnSource"));
            QVERIFY(watch->acted());
        }
        QCOMPARE(caption, QStringLiteral("Select Source Device"));
        QCOMPARE(form.FSourceIndex, -1);
        int offered = -1;
        {
            auto watch = onNextModal<TDestinationForm>([&](TDestinationForm *d) {
                offered = d->ListBox1->count();
                QTest::mouseClick(d->btnCancel, Qt::LeftButton);
            });
            QVERIFY(clickButton(&form, "btnTarget"));
            QVERIFY(watch->acted());
        }
        QCOMPARE(offered, 3);
        // OK takes the picker's current device (device 0: the Target's own is left out).
        {
            auto watch = onNextModal<TDestinationForm>([&](TDestinationForm *d) {
                offered = d->ListBox1->count();
                QTest::mouseClick(d->btnOk, Qt::LeftButton);
            });
            QVERIFY(clickButton(&form, "btnSource"));
            QVERIFY(watch->acted());
        }
        QCOMPARE(offered, 2);
        QCOMPARE(form.FSourceIndex, 0);
        QCOMPARE(form.FSourceIP(), lab.ip(0));
        QCOMPARE(form.sourcePane().count(), 4);
        QVERIFY(prompts.asked().isEmpty());
    }

    void buttonStates()
    {
        Lab lab(2);
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        TCopyProtocolForm form(nullptr, lab.ip(1));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *list = findChildNamed<ProtocolPaneView>(&form, "ListBox1");
        ProtocolPaneModel &m = form.sourcePane();
        // root listed: only New Folder; item 0 was selected by the listing, not by the user
        QCOMPARE(enabledButtons(&form, "1"), QStringLiteral("NewDir"));
        select(list, rowOf(m, "SHARED"));
        QCOMPARE(enabledButtons(&form, "1"), QStringLiteral("NewDir"));
        select(list, rowOf(m, "DATA"));
        QCOMPARE(enabledButtons(&form, "1"), QStringLiteral("NewDir,DelDir"));
        // a keyboard move runs the click rule too
        select(list, rowOf(m, "SHARED"));
        QTest::keyClick(list, Qt::Key_Up);  // SYSTEM
        QCOMPARE(m.itemText(m.selected()), QStringLiteral("SYSTEM"));
        QCOMPARE(enabledButtons(&form, "1"), QStringLiteral("NewDir"));
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);  // DATA
        QCOMPARE(enabledButtons(&form, "1"), QStringLiteral("NewDir,DelDir"));
        // opening a folder: ".." selected, all five off
        doubleClick(list, rowOf(m, "DATA"));
        QCOMPARE(form.FSourceFolder(), QStringLiteral("/DATA"));
        QCOMPARE(m.selected(), 0);
        QCOMPARE(enabledButtons(&form, "1"), QString());
        QTest::keyClick(list, Qt::Key_Down);  // PCR1
        QCOMPARE(enabledButtons(&form, "1"), QStringLiteral("Edit,DelFile,SaveFile"));
        // Space on a file checks it and runs the copy rule; on ".." it does nothing
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(m.isChecked(1));
        QVERIFY(findChildNamed<QWidget>(&form, "btnCopyToTarget")->isEnabled());
        QTest::keyClick(list, Qt::Key_Up);  // ".."
        QCOMPARE(enabledButtons(&form, "1"), QString());
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(!m.isChecked(0));
        // Enter on "..": back to the root, Delete Folder as for its first folder (SYSTEM)
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(form.FSourceFolder(), QStringLiteral("/"));
        QCOMPARE(enabledButtons(&form, "1"), QStringLiteral("NewDir"));
        // Moving to another folder does not run the copy rule: Copy stays as it was.
        QVERIFY(findChildNamed<QWidget>(&form, "btnCopyToTarget")->isEnabled());
        QVERIFY(prompts.asked().isEmpty());
        saveShot(form, QStringLiteral("TCopyProtocolForm"));
    }

    void selectAllSkipsTheParentEntryAndTogglesBack()
    {
        Lab lab(2);
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        TCopyProtocolForm form(nullptr, lab.ip(1));
        auto *list = findChildNamed<ProtocolPaneView>(&form, "ListBox1");
        form.sourcePane().setSelected(rowOf(form.sourcePane(), "DATA"));
        form.ListBox1DblClick();
        Q_UNUSED(list);
        QVERIFY(clickButton(&form, "btnSelectAllSource"));
        QVERIFY(!form.sourcePane().isChecked(0));
        QVERIFY(form.sourcePane().isChecked(1) && form.sourcePane().isChecked(2));
        QCOMPARE(findChildNamed<QPushButton>(&form, "btnSelectAllSource")->text(), QStringLiteral("Unselect All"));
        QCOMPARE(form.sourcePane().selected(), 0);
        QVERIFY(clickButton(&form, "btnSelectAllSource"));
        QVERIFY(!form.sourcePane().anyChecked());
        QVERIFY(!findChildNamed<QWidget>(&form, "btnCopyToTarget")->isEnabled());
    }

    // ---- pane commands -------------------------------------------------------------------

    void deleteFileAsksForTheSecureFolderPassword_data()
    {
        QTest::addColumn<bool>("givePassword");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("password given")
            << true << QStringList{"GetAttrValue DATA password", "DelFile DATA/PCR1", "DirFiles /DATA"};
        QTest::newRow("prompt cancelled") << false << QStringList{"GetAttrValue DATA password"};
    }
    void deleteFileAsksForTheSecureFolderPassword()
    {
        QFETCH(bool, givePassword);
        QFETCH(QStringList, requests);
        Lab lab(2);
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        TCopyProtocolForm form(nullptr, lab.ip(1));
        form.sourcePane().setSelected(rowOf(form.sourcePane(), "DATA"));
        form.ListBox1DblClick();
        form.sourcePane().setSelected(1);
        form.ListBox1Click();
        prompts.answer(Ok, QStringLiteral("Do you want to delete PCR1?"), QStringLiteral("Delete File"));
        if (givePassword) {
            prompts.answerInput(QStringLiteral("ab12"));
        } else {
            prompts.answerInput(std::nullopt);
            prompts.answer(Ok, QStringLiteral("There was an error deleting file PCR1!"), QStringLiteral("Error"));
        }
        lab.sim.clearRequests();
        QVERIFY(clickButton(&form, "btnDelFile1"));
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(prompts.asked().at(1).title, QStringLiteral("Secure Folder: DATA"));
        QCOMPARE(sent(lab.sim, 0), requests);
        QCOMPARE(bool(lab.sim.instrument(0).protocol("DATA", "PCR1")), !givePassword);
        QVERIFY(findChildNamed<QWidget>(&form, "btnCancelOrClose")->isEnabled());
        QVERIFY(form.statusText().isEmpty());
    }

    void deleteFolderStopsAtTheFirstFailure()
    {
        Lab lab(2);
        QVERIFY(lab.sim.started());
        lab.sim.instrument(0).putProtocol("DATA", "PCR5", "<Root>5</Root>");
        duvosim::SimFault fault{duvosim::FaultKind::ErrorReply, "DelFile", 9, "Locked"};
        fault.after = 1;  // the first delete goes through, the second fails
        lab.sim.addFault(0, fault);
        ScriptedPrompts prompts;
        TCopyProtocolForm form(nullptr, lab.ip(1));
        form.sourcePane().setSelected(rowOf(form.sourcePane(), "DATA"));
        form.ListBox1Click();
        prompts.answer(Ok, QStringLiteral("Do you want to delete DATA and all its contents?"), QStringLiteral("Delete Folder"));
        prompts.answerInput(QStringLiteral("AB12"));
        prompts.answerInput(QStringLiteral("AB12"));
        prompts.answer(Ok, QStringLiteral("Locked"));
        prompts.answer(Ok, QStringLiteral("There was an error deleting file PCR2!"));
        lab.sim.clearRequests();
        QVERIFY(clickButton(&form, "btnDelDir1"));
        QCOMPARE(prompts.pending(), 0);
        const QStringList req = sent(lab.sim, 0);
        QCOMPARE(req.filter(QStringLiteral("DelFile")), (QStringList{"DelFile DATA/PCR1", "DelFile DATA/PCR2"}));
        QVERIFY(req.filter(QRegularExpression("^Rd")).isEmpty());
        QVERIFY(lab.sim.instrument(0).folder("DATA"));
        QVERIFY(lab.sim.instrument(0).protocol("DATA", "PCR5"));
    }

    void deleteWithNothingSelectedSendsNothing()
    {
        Lab lab(2);
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        TCopyProtocolForm form(nullptr, lab.ip(1));
        form.sourcePane().setSelected(-1);
        lab.sim.clearRequests();
        form.DeletePaneFolder(*form.findChild<DevicePaneControls *>());
        form.ListBox1KeyDown(Qt::Key_Delete);
        form.btnDelFile1Click();
        form.btnDelDir1Click();
        QVERIFY(lab.sim.requests(0).empty());
        QVERIFY(prompts.asked().isEmpty());
        QVERIFY(findChildNamed<QWidget>(&form, "btnCancelOrClose")->isEnabled());
    }

    void newFolderSetsAnEmptyPasswordAndAnExistingNameSendsNothing()
    {
        Lab lab(2);
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        TCopyProtocolForm form(nullptr, lab.ip(1));
        auto typeName = [](const char *name) {
            return onNextModal<TFolderNameForm>([name](TFolderNameForm *d) {
                QTest::keyClicks(d->edtFolder1, QLatin1String(name));
                QTest::mouseClick(d->btnOk, Qt::LeftButton);
            });
        };
        lab.sim.clearRequests();
        {
            auto watch = typeName("newone");
            QVERIFY(clickButton(&form, "btnNewDir1"));
            QVERIFY(watch->acted());
        }
        QStringList req = sent(lab.sim, 0);
        QCOMPARE(req.filter(QRegularExpression("^(Md|SetAttrValue)")),
                 (QStringList{"Md NEWONE", "SetAttrValue NEWONE password "}));
        QVERIFY(form.sourcePane().present(QStringLiteral("NEWONE")));
        prompts.answer(Ok, QStringLiteral("Folder OPEN exsits already.  Please select a different folder name!"),
                       QStringLiteral("Information"));
        lab.sim.clearRequests();
        {
            auto watch = typeName("open");
            QVERIFY(clickButton(&form, "btnNewDir1"));
            QVERIFY(watch->acted());
        }
        QVERIFY(lab.sim.requests(0).empty());
        QCOMPARE(prompts.pending(), 0);
    }

    void saveWritesTheReplyFileAndAFailedSaveKeepsTheOldFile()
    {
        Lab lab(2);
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        TCopyProtocolForm form(nullptr, lab.ip(1));
        form.sourcePane().setSelected(rowOf(form.sourcePane(), "OPEN"));
        form.ListBox1DblClick();
        form.sourcePane().setSelected(1);
        form.ListBox1Click();
        const QString path = lab.dir.path() + QStringLiteral("/chosen");
        prompts.answerPath(path);
        QVERIFY(clickButton(&form, "btnSaveFile1"));
        std::string name, doc, size;
        QVERIFY(ReadProtocolFile(path + ".svp", name, doc, size));
        QCOMPARE(name, std::string("PCR3"));
        QCOMPARE(doc, std::string("<Root>3</Root>"));
        QVERIFY(std::stoi(size) > int(doc.size()));  // the whole reply's length
        QVERIFY(!form.FetchedProtocol().held());
        QCOMPARE(prompts.asked().at(0).defaultName, QStringLiteral("PCR3.SVP"));
        // A failed retrieval leaves the file as it was.
        lab.sim.addFault(0, {duvosim::FaultKind::ErrorReply, "GetProtocol", 5, "Busy", 0, 1});
        prompts.answerPath(path + ".svp");
        prompts.answer(Ok, QStringLiteral("Busy"));
        prompts.answer(Ok, QStringLiteral("There was an error retrieving /OPEN/PCR3."));
        QVERIFY(clickButton(&form, "btnSaveFile1"));
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(ReadProtocolFile(path + ".svp", name, doc, size));
        QCOMPARE(name, std::string("PCR3"));
        // Saving with nothing held writes nothing.
        QVERIFY(!form.SaveProtocolFile(lab.dir.path() + QStringLiteral("/none.svp")));
        QVERIFY(!QFile::exists(lab.dir.path() + QStringLiteral("/none.svp")));
    }

    // ---- a run through the window --------------------------------------------------------

    void copyRunThroughTheButtons()
    {
        Lab lab(2);
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        TCopyProtocolForm form(nullptr, lab.ip(1));
        form.sourcePane().setChecked(rowOf(form.sourcePane(), "OPEN"), true);
        form.ListBox1CheckClick();
        prompts.answerRadio(Ok, 1, QStringLiteral("Please select the copy mode below:"));
        QVERIFY(clickButton(&form, "btnCopyToTarget"));
        QCOMPARE(prompts.asked().at(0).title, QStringLiteral("Copy Manager"));
        QCOMPARE(prompts.asked().at(0).instruction, QStringLiteral("About to start copying..."));
        QCOMPARE(prompts.asked().at(0).radioButtons,
                 (QStringList{"Skip same named files", "Overwrite same named files"}));
        QCOMPARE(prompts.asked().at(0).defaultRadio, 0);
        QCOMPARE(lab.sim.instrument(1).protocol("OPEN", "PCR3").value_or(""), std::string("<Root>3</Root>"));
        QCOMPARE(findChildNamed<QPushButton>(&form, "btnCancelOrClose")->text(), QStringLiteral("Close"));
        QVERIFY(findChildNamed<QWidget>(&form, "GroupBox1")->isEnabled());
        QVERIFY(!findChildNamed<QWidget>(&form, "btnCopyToTarget")->isEnabled());
    }

    // The close box while a load waits 2 s: the first request only cancels; the second ends
    // the exchange and the window closes after the run's end steps, without a box.
    void closeBoxTwiceDuringARun()
    {
        Lab lab(2);
        QVERIFY(lab.sim.started());
        lab.sim.addFault(1, {duvosim::FaultKind::Delay, "LoadProtocol", 0, {}, 2000, 1});
        ScriptedPrompts prompts;
        auto *form = new TCopyProtocolForm(nullptr, lab.ip(1));
        QPointer<TCopyProtocolForm> alive(form);
        form->sourcePane().setChecked(rowOf(form->sourcePane(), "DATA"), true);
        form->ListBox1CheckClick();
        prompts.answerRadio(Ok, 0);
        form->show();

        // The closes come from a timer, as clicks do while the run waits on the instrument.
        int closes = 0;
        bool visibleAfterFirst = false;
        QString statusAfterFirst, captionAfterFirst;
        QElapsedTimer sinceSecond;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, form, [&] {
            bool loading = false;
            for (const auto &e : lab.sim.requests(1))
                loading = loading || e.command == "LoadProtocol";
            if (closes == 0 && form->running() && loading) {
                QTest::qWait(100);  // the load is surely waiting now
                form->close();
                closes = 1;
                visibleAfterFirst = form->isVisible();
                statusAfterFirst = form->statusText();
                captionAfterFirst = findChildNamed<QPushButton>(form, "btnCancelOrClose")->text();
            } else if (closes == 1) {
                sinceSecond.start();
                form->close();
                closes = 2;
                poll.stop();
            }
        });
        poll.start();
        QVERIFY(clickButton(form, "btnCopyToTarget"));  // returns when the run has ended
        QCOMPARE(closes, 2);
        QVERIFY(visibleAfterFirst);
        QCOMPARE(statusAfterFirst, QStringLiteral("Cancelling..."));
        QCOMPARE(captionAfterFirst, QStringLiteral("Close"));
        QVERIFY2(sinceSecond.elapsed() < 1500, "the second close ended the waiting exchange");
        QVERIFY(!form->isVisible());
        QVERIFY(!form->running());
        QCOMPARE(prompts.asked().size(), 1);  // the copy mode only
        QVERIFY(!lab.sim.instrument(1).protocol("DATA", "PCR2"));
        delete form;
        QVERIFY(!alive);
    }
};

QTEST_MAIN(TestCopyForm)
#include "tst_copyform.moc"
