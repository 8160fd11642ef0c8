// The about box with its version list and licence viewer, and the computer information
// window with a replaced SysInfo.

#include "common/ProgramFolder.h"
#include "common/SysInfo.h"
#include "link/DatabaseFiles.h"
#include "link/Workstation.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "mainwindow/forms/TAboutForm.h"
#include "mainwindow/forms/TEULAForm.h"
#include "mainwindow/forms/TMoreForm.h"
#include "mainwindow/forms/TProtoForm.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sqlite3.h>

using namespace duvo;
using namespace duvo::test;

namespace {

class FakeSysInfo : public SysInfo {
public:
    int processors = 1;
    int rawMHz = 2400;
    int measuredMHz = 2400;
    qint64 memoryMB = 16384;
    qint64 freeMB = 300;
    QString askedPath;

    FakeSysInfo() : FPrevious(SysInfo::install(this)) {}
    ~FakeSysInfo() override { SysInfo::install(FPrevious); }

    int ProcessorCount() override { return processors; }
    int RawMHz() override { return rawMHz; }
    int MeasuredMHz() override { return measuredMHz; }
    qint64 TotalMemoryMB() override { return memoryMB; }
    QString OSName() override { return QStringLiteral("Debian GNU/Linux 12 (bookworm)"); }
    QString OSLevel() override { return QStringLiteral("linux 6.1.0-28-amd64"); }
    QString ComputerName() override { return QStringLiteral("LAB-PC-07"); }
    QString UserName() override { return QStringLiteral("labtech"); }
    IpWatchState IpState() override { return {QStringLiteral("10.20.30.40"), true}; }
    qint64 FreeDiskMB(const QString &path) override
    {
        askedPath = path;
        return freeMB;
    }

private:
    SysInfo *FPrevious;
};

const char kRed[] = "color: #ff0000;";
const char kBlue[] = "color: #0000ff;";

QString shippedEula()
{
    return qEnvironmentVariable("DUVO_SOURCE_DIR") + QStringLiteral("/tools/shipped/EULA.DOC");
}

} // namespace

class TestSmallWindows : public QObject {
    Q_OBJECT
    QTemporaryDir FConfig;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", FConfig.path().toUtf8());
    }

    // ---- computer information

    void computerInformation_data()
    {
        QTest::addColumn<qint64>("freeMB");
        QTest::addColumn<int>("processors");
        QTest::addColumn<int>("measuredMHz");
        QTest::addColumn<QString>("hddAtStart");
        QTest::addColumn<QString>("hddAfterTick");
        QTest::addColumn<QString>("speedAfterTick");

        const QString ok = QStringLiteral("OK");
        const QString less200 = QStringLiteral("Warning! Less than 200MB free!");
        const QString less500 = QStringLiteral("Warning! Less than 500MB free!");
        const QString slow = QStringLiteral("Warning! Faster CPU recommended!");
        QTest::newRow("300 MB") << qint64(300) << 1 << 2400 << ok << less500 << ok;
        QTest::newRow("150 MB") << qint64(150) << 1 << 2400 << less200 << less500 << ok;
        QTest::newRow("plenty") << qint64(120000) << 1 << 2400 << ok << ok << ok;
        QTest::newRow("cannot be measured") << qint64(-1) << 1 << 2400 << less200 << less500 << ok;
        QTest::newRow("one CPU at 1400 MHz") << qint64(9000) << 1 << 1400 << ok << ok << slow;
        QTest::newRow("one CPU at 1500 MHz") << qint64(9000) << 1 << 1500 << ok << ok << ok;
        QTest::newRow("two CPUs at 800 MHz") << qint64(9000) << 2 << 800 << ok << ok << ok;
    }
    void computerInformation()
    {
        QFETCH(qint64, freeMB);
        QFETCH(int, processors);
        QFETCH(int, measuredMHz);
        QFETCH(QString, hddAtStart);
        QFETCH(QString, hddAfterTick);
        QFETCH(QString, speedAfterTick);

        TempProgramFolder folder;
        DatabasePath = folder.databasePath();
        FakeSysInfo info;
        info.freeMB = freeMB;
        info.processors = processors;
        info.measuredMHz = measuredMHz;
        TProtoForm form(nullptr);
        QCOMPARE(info.askedPath, DatabasePath);
        QCOMPARE(form.windowTitle(), QStringLiteral("Computer Information"));
        QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(form.lblCPU->text(), QString::number(processors));
        QCOMPARE(form.lblSpeed->text(), QStringLiteral("2400MHz"));  // the rated speed first
        QCOMPARE(form.lblMemory->text(), QStringLiteral("16384MB"));
        QCOMPARE(form.lblHDD->text(), QString::number(freeMB) + QStringLiteral("MB"));
        QCOMPARE(form.lblOS->text(), QStringLiteral("Debian GNU/Linux 12 (bookworm)"));
        QCOMPARE(form.lblLevel->text(), QStringLiteral("linux 6.1.0-28-amd64"));
        QCOMPARE(form.lblPCName->text(), QStringLiteral("LAB-PC-07"));
        QCOMPARE(form.lblUserName->text(), QStringLiteral("labtech"));
        QCOMPARE(form.lblIP->text(), QStringLiteral("10.20.30.40"));
        QCOMPARE(form.lblStatus->text(), QStringLiteral("online"));
        QCOMPARE(form.WarningSpeed->text(), QStringLiteral("OK"));
        QCOMPARE(form.WarningMem->text(), QStringLiteral("OK"));
        QCOMPARE(form.WarningMem->styleSheet(), QLatin1String(kBlue));
        QCOMPARE(form.WarningHDD->text(), hddAtStart);
        QCOMPARE(form.lblHDD->styleSheet() == QLatin1String(kRed), hddAtStart != QLatin1String("OK"));
        QCOMPARE(form.Timer1.interval(), 1500);
        QVERIFY(form.Timer1.isActive());

        form.Timer1Timer();
        QCOMPARE(form.lblSpeed->text(), QString::number(measuredMHz) + QStringLiteral("MHz"));
        QCOMPARE(form.WarningHDD->text(), hddAfterTick);
        QCOMPARE(form.WarningHDD->styleSheet(), QLatin1String(hddAfterTick == QLatin1String("OK") ? kBlue : kRed));
        QCOMPARE(form.WarningSpeed->text(), speedAfterTick);
        QCOMPARE(form.lblSpeed->styleSheet() == QLatin1String(kRed), speedAfterTick != QLatin1String("OK"));
        if (qEnvironmentVariableIsSet("DUVO_SHOT_DIR") && freeMB == 300) {
            form.show();
            QTest::qWait(20);
            saveShot(form, QStringLiteral("TProtoForm"));
        }
    }

    void redStaysRed()
    {
        TempProgramFolder folder;
        FakeSysInfo info;
        info.freeMB = 150;
        info.measuredMHz = 1000;
        TProtoForm form(nullptr);
        form.Timer1Timer();
        QCOMPARE(form.lblSpeed->styleSheet(), QLatin1String(kRed));
        info.freeMB = 5000;
        info.measuredMHz = 3000;
        form.Timer1Timer();
        QCOMPARE(form.WarningHDD->text(), QStringLiteral("OK"));
        QCOMPARE(form.WarningSpeed->text(), QStringLiteral("OK"));
        QCOMPARE(form.lblHDD->styleSheet(), QLatin1String(kRed));
        QCOMPARE(form.lblSpeed->styleSheet(), QLatin1String(kRed));
    }

    void realSysInfoAnswers()
    {
        SysInfo &real = SysInfo::instance();
        QVERIFY(real.ProcessorCount() >= 1);
        QVERIFY(real.TotalMemoryMB() > 0);
        QVERIFY(real.RawMHz() >= 0);
        QTemporaryDir dir;
        QVERIFY(real.FreeDiskMB(dir.filePath(QStringLiteral("VadeZir.sqb"))) >= 0);  // the file need not exist
        QCOMPARE(real.FreeDiskMB(QString()), qint64(-1));
        QCOMPARE(real.FreeDiskMB(QStringLiteral("/no/such/folder/VadeZir.sqb")), qint64(-1));
    }

    void cpuSpeedFromCpufreqOrCpuinfo()
    {
        QTemporaryDir root;
        QDir().mkpath(root.filePath(QStringLiteral("proc")));
        QFile info(root.filePath(QStringLiteral("proc/cpuinfo")));
        QVERIFY(info.open(QIODevice::WriteOnly));
        info.write("processor\t: 0\nmodel name\t: Lab CPU\ncpu MHz\t\t: 1396.512\n\nprocessor\t: 1\ncpu MHz\t\t: 2800.000\n");
        info.close();
        QCOMPARE(CpuMHzFrom(root.path(), "cpuinfo_max_freq"), 1397);
        const QString freq = root.filePath(QStringLiteral("sys/devices/system/cpu/cpu0/cpufreq"));
        QDir().mkpath(freq);
        QFile max(freq + QStringLiteral("/cpuinfo_max_freq"));
        QVERIFY(max.open(QIODevice::WriteOnly));
        max.write("3600000\n");
        max.close();
        QCOMPARE(CpuMHzFrom(root.path(), "cpuinfo_max_freq"), 3600);
        QCOMPARE(CpuMHzFrom(root.path(), "scaling_cur_freq"), 1397);
    }

    void closeHidesAndALaterClickMakesANewWindow()
    {
        TempProgramFolder folder;
        FakeSysInfo info;
        ScriptedPrompts prompts;
        DOzerAvirAded main;
        QVERIFY(clickButton(&main, QStringLiteral("btnPCInformation")));
        QPointer<QWidget> first = ActiveProtoForm;
        QVERIFY(qobject_cast<TProtoForm *>(first));
        QVERIFY(first->isVisible());
        QVERIFY(clickButton(&main, QStringLiteral("btnPCInformation")));
        QCOMPARE(ActiveProtoForm.data(), first.data());
        QVERIFY(clickButton(first, QStringLiteral("btnOk")));
        QVERIFY(first && first->isHidden());
        QVERIFY(waitFor([&] { return first.isNull(); }, 3000));
        QVERIFY(clickButton(&main, QStringLiteral("btnPCInformation")));
        QVERIFY(ActiveProtoForm);
        QVERIFY(ActiveProtoForm->isVisible());
        delete ActiveProtoForm.data();
    }

    // ---- the version list

    void versionRows_data()
    {
        QTest::addColumn<bool>("withProgram");
        QTest::addColumn<bool>("withDatabase");
        QTest::newRow("both") << true << true;
        QTest::newRow("neither") << false << false;
        QTest::newRow("program only") << true << false;
    }
    void versionRows()
    {
        QFETCH(bool, withProgram);
        QFETCH(bool, withDatabase);
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        DatabasePath = folder.databasePath();
        if (withProgram) {
            QFile f(folder.file(QStringLiteral("VelmorDuvoStudio")));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        if (withDatabase)
            QCOMPARE(CreateMainDatabase(DatabasePath), 1);
        else
            prompts.answer(Ok, QStringLiteral("Can't find the database file!"), QStringLiteral("Database Error"));
        TMoreForm form(nullptr);
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(form.windowTitle(), QStringLiteral("Version"));
        QCOMPARE(form.VersionView1->topLevelItemCount(), 2);
        QCOMPARE(form.VersionView1->headerItem()->text(0), QStringLiteral("File Name"));
        QCOMPARE(form.VersionView1->headerItem()->text(1), QStringLiteral("Version Information"));
        QCOMPARE(form.VersionView1->topLevelItem(0)->text(0), folder.file(QStringLiteral("VelmorDuvoStudio")));
        QCOMPARE(form.VersionView1->topLevelItem(0)->text(1), withProgram ? QStringLiteral("1.0.0.10") : QStringLiteral("-"));
        QCOMPARE(form.VersionView1->topLevelItem(1)->text(0), folder.file(QStringLiteral("SQLite3.lib")));
        QCOMPARE(form.VersionView1->topLevelItem(1)->text(1),
                 withDatabase ? QString::fromLatin1(sqlite3_libversion()) : QStringLiteral("-"));
        if (qEnvironmentVariableIsSet("DUVO_SHOT_DIR") && withDatabase) {
            form.show();
            QTest::qWait(20);
            saveShot(form, QStringLiteral("TMoreForm"));
        }
    }

    // ---- the licence text

    void missingEulaIsNotShown()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("Can't find EULA.DOC End User License Agreement Document!  Please contact your vendor!"),
                       QStringLiteral("Error"));
        TAboutForm about(nullptr);
        QStringList modals;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                modals << w->objectName();
                w->close();
            }
        });
        poll.start(10);
        QVERIFY(clickButton(&about, QStringLiteral("btnLegal")));
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(modals.isEmpty());
        QVERIFY(about.findChildren<TEULAForm *>().isEmpty());
    }

    void eulaIsShownAndPrinted()
    {
        TempProgramFolder folder;
        QVERIFY(QFile::copy(shippedEula(), folder.file(QStringLiteral("EULA.DOC"))));
        ScriptedPrompts prompts;
        TEULAForm form(nullptr);
        QVERIFY(!form.loadFailed());
        QCOMPARE(form.windowTitle(), QStringLiteral("End User License Agreement"));
        QVERIFY(form.RichEdit1->isReadOnly());
        QVERIFY(form.RichEdit1->toPlainText().contains(QStringLiteral("End User License Agreement")));
        QVERIFY(!form.RichEdit1->toPlainText().contains(QStringLiteral("<h2>")));  // read as HTML, not shown as source
        QTemporaryDir out;
        const QString pdf = out.filePath(QStringLiteral("eula.pdf"));
        prompts.answerPath(pdf);
        QVERIFY(clickButton(&form, QStringLiteral("btnPrint")));
        QCOMPARE(prompts.asked().last().kind, PromptKind::Print);
        QFile printed(pdf);
        QVERIFY(printed.open(QIODevice::ReadOnly));
        const QByteArray bytes = printed.readAll();
        QVERIFY(bytes.startsWith("%PDF-"));
        QVERIFY(bytes.size() > 2000);
        // Cancel in the print dialog prints nothing.
        const QString second = out.filePath(QStringLiteral("second.pdf"));
        prompts.answer(Cancel);
        QVERIFY(clickButton(&form, QStringLiteral("btnPrint")));
        QVERIFY(!QFile::exists(second));
        if (qEnvironmentVariableIsSet("DUVO_SHOT_DIR")) {
            form.show();
            QTest::qWait(20);
            saveShot(form, QStringLiteral("TEULAForm"));
        }
    }

    void aboutBoxOpensTheVersionList()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        prompts.setLenient(true);
        DOzerAvirAded main;
        QStringList modals;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            QWidget *w = QApplication::activeModalWidget();
            if (!w || !w->isVisible())
                return;
            if (modals.isEmpty() || modals.last() != w->objectName())
                modals << w->objectName();
            if (auto *about = qobject_cast<TAboutForm *>(w)) {
                QCOMPARE(about->lblRelease->text(), QStringLiteral("Release 1.0.0.10"));
                saveShot(*about, QStringLiteral("TAboutForm"));
                // The version list's modal loop runs from a timer of its own, not inside this one.
                QPushButton *b = modals.size() == 1 ? about->btnMore : about->btnOk;
                if (!b->property("pressed").toBool()) {
                    b->setProperty("pressed", true);
                    QTimer::singleShot(0, b, [b] { QTest::mouseClick(b, Qt::LeftButton); });
                }
            } else if (auto *more = qobject_cast<TMoreForm *>(w)) {
                QTimer::singleShot(0, more->btnOk, [more] { QTest::mouseClick(more->btnOk, Qt::LeftButton); });
            }
        });
        poll.start(10);
        QVERIFY(triggerAction(&main, QStringLiteral("About1")));
        QCOMPARE(modals, (QStringList{QStringLiteral("AboutForm"), QStringLiteral("MoreForm"), QStringLiteral("AboutForm")}));
        QVERIFY(main.findChildren<TAboutForm *>().isEmpty());
    }
};

QTEST_MAIN(TestSmallWindows)
#include "tst_smallwindows.moc"
