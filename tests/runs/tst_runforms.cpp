// The run details dialog and the run monitor window, driven like a user against a simulated
// instrument; each window is also rendered for a look at its layout.

#include "link/DatabaseFiles.h"
#include "link/Workstation.h"
#include "runs/forms/TDeviceStatusForm.h"
#include "runs/forms/TVolumeTypeForm.h"
#include "GuiTest.h"
#include "RunLabCase.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"
#include "TestFolders.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

using namespace duvo;
using namespace duvo::test;

class TestRunForms : public RunLabCase {
    Q_OBJECT

    RunMonitorSeams seams()
    {
        RunMonitorSeams s;
        s.clock = [] { return QDateTime::currentDateTime(); };
        s.freeSpace = [](const QString &) { return -1; };
        s.sendMail = [](const QString &, const QString &) {};
        s.sessionIds.wait = [](int) {};
        s.sessionIds.now = [] { return QDateTime::currentDateTime(); };
        s.sessionIds.random = [] { return 7; };
        return s;
    }

    std::unique_ptr<TDeviceStatusForm> monitor(const QString &folder = QStringLiteral("PCR"))
    {
        static int index = 0;
        static int consumable = 1, volume = 20;
        auto f = std::make_unique<TDeviceStatusForm>(
            nullptr, *FWs, &index, QString::fromStdString(FLab->address(0)), QStringLiteral("DUVO-7"),
            QStringLiteral("DUVO 96"), folder, QStringLiteral("TEST1"), &consumable, &volume, QStringLiteral("Ann"),
            QStringLiteral("Assay"), QStringLiteral("notes"), QString(), seams());
        f->monitor().client().setTimeout(1500);
        return f;
    }

private slots:
    void init()
    {
        setUpLab("127.0.142", 20, "<Protocol/>");
        if (QTest::currentTestFailed())
            return;
        FWs->FDeviceList.at(0)->alias = "Bench 3";
    }
    void cleanup() { teardown(); }
    void cleanupTestCase() { teardown(); }

    // ---- run details --------------------------------------------------------------------

    void detailsFollowTheType_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("plate");
        QTest::addColumn<bool>("tubesEnabled");
        QTest::addColumn<int>("maximum");
        QTest::newRow("DUVO 24") << "DUVO 24" << true << true << 50;
        QTest::newRow("DUVO 96") << "DUVO 96" << true << false << 20;
        QTest::newRow("other") << "SV cycler" << false << true << 50;
    }
    void detailsFollowTheType()
    {
        QFETCH(QString, type);
        QFETCH(bool, plate);
        QFETCH(bool, tubesEnabled);
        QFETCH(int, maximum);
        int consumable = -1, volume = -1;
        QString contact, description, notes, email = QStringLiteral("keep@lab.example");
        bool sendMail = true;
        TVolumeTypeForm form(nullptr, type, &consumable, &volume, &contact, &description, &notes, &email, &sendMail,
                             false);
        QCOMPARE(form.rbtnPlate->isChecked(), plate);
        QVERIFY(!form.rbtnTubes->isChecked());
        QCOMPARE(form.rbtnTubes->isEnabled(), tubesEnabled);
        QCOMPARE(form.edtVolume->minimum(), 5);
        QCOMPARE(form.edtVolume->maximum(), maximum);
        QCOMPARE(form.edtVolume->value(), 10);
        QVERIFY(!form.EmailBox1->isEnabled() && !form.EmailEdit1->isEnabled());
        QVERIFY(form.btnPrint->text().isEmpty());
        // OK with everything empty.
        form.show();
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(consumable, plate ? 1 : 0);
        QCOMPARE(volume, 10);
        QCOMPARE((QStringList{contact, description, notes}), (QStringList{"-", "-", "No Notes found"}));
        QVERIFY(!sendMail);
        QCOMPARE(email, QStringLiteral("keep@lab.example"));
    }

    void detailsCheckTheAddress()
    {
        int consumable = -1, volume = -1;
        QString contact, description, notes, email;
        bool sendMail = false;
        TVolumeTypeForm form(nullptr, QStringLiteral("DUVO 24"), &consumable, &volume, &contact, &description,
                             &notes, &email, &sendMail, true);
        form.show();
        form.rbtnTubes->setChecked(true);
        form.edtVolume->setValue(25);
        form.edtContact->setText(QStringLiteral("Ann Smith"));
        form.QERichEdit1->setPlainText(QStringLiteral("Plate from freezer B\nRun twice"));
        form.EmailBox1->setChecked(true);
        FPrompts->answer(Ok, QStringLiteral("E-mail Address field is empty!"), QStringLiteral("Run Details"));
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));
        QVERIFY(form.isVisible());
        QCOMPARE(consumable, 0);  // written before the check
        form.EmailEdit1->setText(QStringLiteral("ann.lab.example"));
        FPrompts->answer(Ok, QStringLiteral("E-mail Address not correct syntax!"), QStringLiteral("Run Details"));
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));
        QVERIFY(form.isVisible());
        QVERIFY(email.isEmpty());
        form.EmailEdit1->setText(QStringLiteral("ann@lab.example"));
        saveShot(form, QStringLiteral("TVolumeTypeForm"));
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(email, QStringLiteral("ann@lab.example"));
        QVERIFY(sendMail);
        QCOMPARE(volume, 25);
        QCOMPARE(contact, QStringLiteral("Ann Smith"));
        QCOMPARE(notes, QStringLiteral("Plate from freezer B\nRun twice"));
    }

    void detailsPrintTheNotes()
    {
        int consumable = 0, volume = 0;
        QString contact, description, notes, email;
        bool sendMail = false;
        TVolumeTypeForm form(nullptr, QStringLiteral("DUVO 96"), &consumable, &volume, &contact, &description,
                             &notes, &email, &sendMail, true);
        form.QERichEdit1->setPlainText(QStringLiteral("Notes to print"));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("notes.pdf"));
        FPrompts->answerPath(pdf);
        QVERIFY(triggerAction(&form, QStringLiteral("PrintDlg1")));
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("%PDF-"));
        // The document title is the caption (UTF-16 in the PDF's info dictionary).
        QByteArray title("\xfe\xff");
        for (QChar c : QStringLiteral("Run Details"))
            title += char(c.unicode() >> 8), title += char(c.unicode() & 0xff);
        QVERIFY(bytes.contains(title) || bytes.contains("Run Details"));
    }

    // ---- run monitor --------------------------------------------------------------------

    void monitorShowsTheDeviceAndStartsARun()
    {
        auto form = monitor();
        QCOMPARE(form->windowTitle(), QStringLiteral("Device Status  DUVO 96"));
        QCOMPARE(form->lblAlias->text(), QStringLiteral("Bench 3"));
        QCOMPARE(form->lblPlot->text(), QStringLiteral("No"));
        form->show();
        QVERIFY(waitFor([&] { return form->btnStart->isEnabled(); }));
        QCOMPARE(form->lblMode->text(), QStringLiteral("Stopped [Ok]"));
        QCOMPARE(form->lblFolder->text(), QStringLiteral("PCR"));
        QCOMPARE(form->lblVolume->text(), QStringLiteral("20"));
        FPrompts->answer(Yes, QStringLiteral("Would you like to save time/temperature data to disk?"),
                         QStringLiteral("Plot to Disk"));
        QVERIFY(clickButton(form.get(), QStringLiteral("btnStart")));
        QCOMPARE(form->lblPlot->text(), QStringLiteral("Yes"));
        QCOMPARE(FWs->lastAlert(), QStringLiteral("Duvo START/CONTINUE button pressed"));
        QVERIFY(waitFor([&] { return form->lblMode->text().startsWith(QStringLiteral("Running")); }, 5000));
        QVERIFY(waitFor([&] { return form->Series1->count() >= 2; }, 5000));
        QVERIFY(!form->btnStart->isEnabled());
        QVERIFY(form->btnStop->isEnabled());
        QVERIFY(form->lblTempBlock->text().contains(QLatin1Char('.')));
        saveShot(*form, QStringLiteral("TDeviceStatusForm"));
        QVERIFY(QFile::exists(form->monitor().plotFilePath()));

        // Closing while plotting asks; No keeps the window.
        FPrompts->answer(No, QStringLiteral("Closing this dialog will interrupt plotting to disk.  Do you want to close?"),
                         QStringLiteral("Status"));
        form->reject();
        QVERIFY(form->isVisible());
        FPrompts->answer(Yes, QStringLiteral("interrupt plotting"));
        QVERIFY(clickButton(form.get(), QStringLiteral("btnOk")));
        QVERIFY(!form->isVisible());
        // The record keeps the session for a later window.
        QVERIFY(!FWs->FDeviceList.at(0)->sessionId.empty());
        QCOMPARE(FWs->FDeviceList.at(0)->recording, int16_t(1));
    }

    void chartKeepsAtMostThirtyPoints()
    {
        auto form = monitor();
        const QDateTime t0 = QDateTime::currentDateTime();
        for (int i = 0; i < 30; ++i)
            form->AddChartPoint(t0.addSecs(i), 20 + i);
        QCOMPARE(form->Series1->count(), 30);
        form->AddChartPoint(t0.addSecs(30), 50);
        QCOMPARE(form->Series1->count(), 11);
        QCOMPARE(form->Series1->at(0).y(), 40.0);
    }

    void viewProtocolBeforeStartSaysSo()
    {
        TDeviceStatusForm::ProtocolViewer previous = TDeviceStatusForm::protocolViewer();
        QStringList shown;
        TDeviceStatusForm::setProtocolViewer(
            [&](QWidget *, const QString &document, const QString &name, const QString &folder, const QString &) {
                shown << document << name << folder;
            });
        auto form = monitor();
        QVERIFY(form->btnEdit1->isEnabled());
        FPrompts->answer(Ok, QStringLiteral("Protocol available after pressing Start!"), QStringLiteral("Information"));
        form->btnEdit1Click();
        QVERIFY(shown.isEmpty());
        form->monitor().FetchRunProtocol(FLab->address(0), "PCR", "TEST1");
        form->btnEdit1Click();
        QCOMPARE(shown, (QStringList{"<Protocol/>", "TEST1", "PCR"}));
        TDeviceStatusForm::setProtocolViewer(previous);
    }

    void viewLogFailsWithItsBox()
    {
        auto form = monitor();
        FLab->fail(0, 4, "GetProtocolLog");
        FPrompts->answer(Ok, QStringLiteral("Problem retrieving log file or no log file available!  Please try again later."),
                         QStringLiteral("Log"));
        form->btnLogClick();
        QCOMPARE(FPrompts->pending(), 0);
    }

    // Close while the instrument keeps the reply back: the window goes at once, quietly.
    void closeDuringAStalledReplyReturnsAtOnce()
    {
        auto form = monitor();
        form->monitor().client().setTimeout(8000);
        duvosim::SimFault f;
        f.kind = duvosim::FaultKind::Delay;
        f.command = "GetStatus";
        f.delayMs = 6000;
        FLab->addFault(0, f);
        QElapsedTimer t;
        QTimer::singleShot(300, form.get(), [&] {
            QVERIFY(form->monitor().passRunning());
            t.start();
            form->reject();
        });
        form->exec();
        QVERIFY(t.isValid());
        QVERIFY2(t.elapsed() < 1000, QByteArray::number(t.elapsed()).constData());
        QVERIFY(!form->monitor().passRunning());
        QCOMPARE(FPrompts->asked().size(), 0);
    }
};

QTEST_MAIN(TestRunForms)
#include "tst_runforms.moc"
