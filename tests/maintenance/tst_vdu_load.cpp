// Loading a virtual data file onto a simulated target (127.0.213.0/24), browsing it, and the
// files that must be refused before anything is formatted or sent.

#include "maintenance/forms/MaintenanceHooks.h"
#include "maintenance/forms/TCloneForm.h"
#include "protocols/forms/TProtocolEditorForm.h"
#include "maintenance/forms/TLoadVDUForm.h"
#include "maintenance/forms/TVDUBrowseForm.h"
#include "maintenance/CloneListing.h"
#include "maintenance/VduReader.h"
#include "maintenance/VduWriter.h"
#include "link/DatabaseFiles.h"
#include "GuiTest.h"
#include "MaintenanceLab.h"
#include "ScriptedPrompts.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <sqlite3.h>

using namespace duvo;
using namespace duvo::test;

namespace {

QByteArray sha(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

bool exec(const QString &path, const std::string &sql)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK
              && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Writes the whole of instrument ip into path with the product's writer.
bool writePackage(const std::string &ip, const QString &path)
{
    TcpClient client;
    DeviceFileOperations ops(client);
    CloneListing listing;
    if (!ListWholeInstrument(client, ip, listing, [] {}))
        return false;
    VduWriter w;
    if (!w.Begin(path) || !w.WritePackageInfo({}, {}, {ip, "DUVO 96", "DU100000"}, listing.folderCount, listing.fileCount))
        return false;
    WholeInstrumentJob job;
    bool complete = false;
    return CopyDeviceToPackage(w, ops, ip, listing, job, complete) && complete && w.Commit();
}

struct LoadLab {
    SimulatedLab lab{"127.0.213", 3};
    Workstation ws;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    maintenance::ViewProtocolFn editor = maintenance::ViewProtocol();
    LoadLab()
    {
        fillSource(lab.instrument(0));
        lab.instrument(1).makeFolder("OLD", "9999");
        lab.instrument(1).putProtocol("OLD", "GONE", protocolText("GONE"));
        fillDeviceList(ws, lab);
        ws.FDefaultFolder = dir.path() + QLatin1Char('/');
        maintenance::PickDevice() = [](QWidget *, const QString &) { return 1; };
    }
    ~LoadLab()
    {
        maintenance::PickDevice() = nullptr;
        maintenance::PickTargets() = nullptr;
        maintenance::ViewProtocol() = editor;
    }
    QString path() const { return dir.filePath(QStringLiteral("a.vdu")); }
};

// Opens the file in the loader and picks instrument 1 as the target.
bool openAndPick(LoadLab &c, TLoadVDUForm &f, const QString &path)
{
    c.prompts.answerPath(path);
    return clickButton(&f, QStringLiteral("btnLoadVDU")) && f.btnTarget->isEnabled()
           && clickButton(&f, QStringLiteral("btnTarget")) && f.btnStartVDU->isEnabled();
}

} // namespace

class TestVduLoad : public QObject {
    Q_OBJECT
private slots:
    void loadsOntoAnotherInstrument();
    void cancelAtTheFormatQuestionSendsNothing();
    void activeTargetIsRefused();
    void clonesTheLoadedTarget();
    void browserViewsAStoredProtocol();
    void refusedFileFormatsNothing_data();
    void refusedFileFormatsNothing();
    void hostileFiles_data();
    void hostileFiles();
    void dateText_data();
    void dateText();
};

void TestVduLoad::loadsOntoAnotherInstrument()
{
    LoadLab c;
    QVERIFY2(c.lab.started(), c.lab.error().c_str());
    QVERIFY(writePackage(c.lab.address(0), c.path()));
    const QByteArray before = sha(c.path());
    c.lab.clearRequests();
    TLoadVDUForm f(nullptr);
    f.show();
    QVERIFY(openAndPick(c, f, c.path()));
    QCOMPARE(f.lblFolders->text(), QStringLiteral("5"));
    QCOMPARE(f.lblCreator->text(), QStringLiteral("vDuvo"));
    QVERIFY(f.lblDate->text() != QStringLiteral("-"));
    c.prompts.answer(Ok, QStringLiteral("Are you sure you want to Proceed and Format the Target Duvo Flash Drive?"),
                     QStringLiteral("Format Duvo"));
    c.prompts.answer(Ok, QStringLiteral("Virtual Duvo File Loading Completed!"), QStringLiteral("virtual Duvo"));
    QVERIFY(clickButton(&f, QStringLiteral("btnStartVDU")));
    QCOMPARE(c.prompts.pending(), 0);
    saveShot(f, QStringLiteral("TLoadVDUForm"));
    QCOMPARE(userContent(c.lab.instrument(1)), userContent(c.lab.instrument(0)));
    QVERIFY(c.lab.requests(0).empty());
    QCOMPARE(sha(c.path()), before);
    QVERIFY(f.btnStartVDU->isEnabled());
}

void TestVduLoad::cancelAtTheFormatQuestionSendsNothing()
{
    LoadLab c;
    QVERIFY2(c.lab.started(), c.lab.error().c_str());
    QVERIFY(writePackage(c.lab.address(0), c.path()));
    c.lab.clearRequests();
    TLoadVDUForm f(nullptr);
    QVERIFY(openAndPick(c, f, c.path()));
    c.prompts.answer(Cancel, QStringLiteral("Format the Target"));
    QVERIFY(clickButton(&f, QStringLiteral("btnStartVDU")));
    QCOMPARE(c.prompts.asked().size(), 2);  // the open dialog and the question
    QVERIFY(c.lab.requests(1).empty());
}

void TestVduLoad::activeTargetIsRefused()
{
    LoadLab c;
    QVERIFY2(c.lab.started(), c.lab.error().c_str());
    QVERIFY(writePackage(c.lab.address(0), c.path()));
    c.ws.FDeviceList.at(1)->runState = "Running";
    TLoadVDUForm f(nullptr);
    c.prompts.answerPath(c.path());
    QVERIFY(clickButton(&f, QStringLiteral("btnLoadVDU")));
    c.prompts.answer(Ok, QStringLiteral("The selected Target is still active!  Please stop the Device before selection."),
                     QStringLiteral("Information"));
    QVERIFY(clickButton(&f, QStringLiteral("btnTarget")));
    QCOMPARE(c.prompts.pending(), 0);
    QVERIFY(!f.btnStartVDU->isEnabled());
    QCOMPARE(f.lblIP->text(), QStringLiteral("-"));
}

void TestVduLoad::clonesTheLoadedTarget()
{
    LoadLab c;
    QVERIFY2(c.lab.started(), c.lab.error().c_str());
    QVERIFY(writePackage(c.lab.address(0), c.path()));
    c.lab.clearRequests();
    int excluded = -1;
    maintenance::PickTargets() = [&](QWidget *, int *source) {
        excluded = *source;
        c.ws.FDeviceList.at(2)->selected = 1;
        return true;
    };
    TLoadVDUForm f(nullptr);
    QVERIFY(openAndPick(c, f, c.path()));
    f.chkClone->setChecked(true);
    f.onClone = [&](TCloneForm &clone) {
        auto *poll = new QTimer(&clone);
        QObject::connect(poll, &QTimer::timeout, &clone, [&clone, poll] {
            if (!clone.listed())
                return;
            poll->stop();
            QTest::mouseClick(clone.btnClone, Qt::LeftButton);
            static_cast<QDialog &>(clone).reject();
        });
        poll->start(20);
    };
    c.prompts.answer(Ok, QStringLiteral("Format the Target"));
    c.prompts.answer(Ok, QStringLiteral("Are you sure you want to start cloning?"), QStringLiteral("vDuvo"));
    c.prompts.answer(Ok, QStringLiteral("Cloning Completed!"));
    c.prompts.answer(Ok, QStringLiteral("Virtual Duvo File Loading Completed!"));
    QVERIFY(clickButton(&f, QStringLiteral("btnStartVDU")));
    QCOMPARE(c.prompts.pending(), 0);
    QCOMPARE(excluded, 1);
    QCOMPARE(userContent(c.lab.instrument(2)), userContent(c.lab.instrument(0)));
    QVERIFY(c.lab.requests(0).empty());
}

void TestVduLoad::browserViewsAStoredProtocol()
{
    LoadLab c;
    QVERIFY2(c.lab.started(), c.lab.error().c_str());
    QVERIFY(writePackage(c.lab.address(0), c.path()));
    QVERIFY(exec(c.path(), "update vfile_tbl set protocol='' where filename='QUICK';"));
    {
        // The real editor opens on the stored protocol (these short test texts are no cycler
        // protocol, so it says so first).
        TVDUBrowseForm b(nullptr, c.path());
        c.prompts.answer(Ok, QStringLiteral("Error parsing passed XML file!"));
        QString title;
        OnModal<TProtocolEditorForm> close([&](TProtocolEditorForm *e) {
            QTimer::singleShot(50, e, [&, e] {
                title = e->windowTitle();
                saveShot(*e, QStringLiteral("TProtocolEditorForm_view"));
                e->reject();
            });
        });
        QVERIFY(clickButton(&b, QStringLiteral("btnViewProtocol")));
        QVERIFY2(!title.isEmpty(), "the editor came up");
    }
    std::vector<std::pair<std::string, QString>> viewed;
    maintenance::ViewProtocol() = [&](QWidget *, const std::string &doc, const QString &name) {
        viewed.emplace_back(doc, name);
    };
    TVDUBrowseForm b(nullptr, c.path());
    QVERIFY(!b.loadFailed());
    QCOMPARE(b.ResultView1->topLevelItemCount(), 12);
    QVERIFY(b.btnViewProtocol->isEnabled());
    b.show();
    saveShot(b, QStringLiteral("TVDUBrowseForm"));
    auto select = [&](const QString &folder, const QString &file) {
        for (int i = 0; i < b.ResultView1->topLevelItemCount(); ++i) {
            QTreeWidgetItem *it = b.ResultView1->topLevelItem(i);
            if (it->text(0) == folder && it->text(1) == file)
                b.ResultView1->setCurrentItem(it);
        }
    };
    select(QStringLiteral("DATA"), QStringLiteral("PCR2"));
    QVERIFY(clickButton(&b, QStringLiteral("btnViewProtocol")));
    QCOMPARE(viewed.size(), size_t(1));
    QCOMPARE(viewed[0].first, *c.lab.instrument(0).protocol("DATA", "PCR2"));
    QCOMPARE(viewed[0].second, QStringLiteral("PCR2"));
    // An empty text opens nothing.
    select(QStringLiteral("TEST"), QStringLiteral("QUICK"));
    QVERIFY(clickButton(&b, QStringLiteral("btnViewProtocol")));
    QCOMPARE(viewed.size(), size_t(1));
    QCOMPARE(c.prompts.asked().size(), 1);
}

void TestVduLoad::refusedFileFormatsNothing_data()
{
    QTest::addColumn<QString>("damage");   // applied to a good file
    QTest::addColumn<QString>("name");     // the refused name
    QTest::addColumn<QString>("box");      // the window's error box
    // Normalised, this name is "../SYSTEM"; sent, it would reach the service protocols.
    QTest::newRow("folder") << "update vfolder_tbl set foldername='SYSTEM/../SYSTEM' where foldername='TEST';"
                            << "SYSTEM/../SYSTEM" << "Error during folder creation!";
    QTest::newRow("protocol") << "update vfile_tbl set filename='../PCR2' where filename='PCR2';"
                              << "../PCR2" << "Error during file copying!";
}

void TestVduLoad::refusedFileFormatsNothing()
{
    QFETCH(QString, damage);
    QFETCH(QString, name);
    QFETCH(QString, box);
    LoadLab c;
    QVERIFY2(c.lab.started(), c.lab.error().c_str());
    QVERIFY(writePackage(c.lab.address(0), c.path()));
    QVERIFY(exec(c.path(), damage.toStdString()));
    const QByteArray before = sha(c.path());
    c.lab.clearRequests();
    TLoadVDUForm f(nullptr);
    QVERIFY(openAndPick(c, f, c.path()));
    c.prompts.answer(Ok, QStringLiteral("The virtual Duvo data file holds an invalid name: ") + name,
                     QStringLiteral("vDuvo Error"));
    c.prompts.answer(Ok, box, QStringLiteral("vDuvo Error"));
    QVERIFY(clickButton(&f, QStringLiteral("btnStartVDU")));
    QCOMPARE(c.prompts.pending(), 0);
    QCOMPARE(f.lblAction->text(), QStringLiteral("error..."));
    QVERIFY(f.btnStartVDU->isEnabled());
    QVERIFY(c.lab.requests().empty());
    QVERIFY(c.lab.instrument(1).folder("OLD").has_value());
    QCOMPARE(sha(c.path()), before);
}

enum class Damage {
    NotSqlite, TruncatedHeader, TruncatedFirstPage, NoFileTable, RecursiveView, HotJournal, BadFolderName,
    BadFileName, LongFolderName, ControlCharacter, TooManyFolders, TooManyFilesInFolder, HugeProtocol, NullName,
    BlobName, IntegerProtocol, NoFolderRows, EmptyInfo
};
Q_DECLARE_METATYPE(Damage)

void TestVduLoad::hostileFiles_data()
{
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("box");       // the first box's text (its start)
    QTest::addColumn<int>("check");         // the PackageCheck expected
    const int info = int(PackageCheck::InfoFailed), folders = int(PackageCheck::FoldersFailed),
              files = int(PackageCheck::FilesFailed);
    QTest::newRow("not SQLite") << Damage::NotSqlite << "SQLite exception: 26" << info;
    QTest::newRow("truncated in the header") << Damage::TruncatedHeader << "SQLite exception: " << info;
    QTest::newRow("truncated in the first page") << Damage::TruncatedFirstPage << "SQLite exception: " << info;
    QTest::newRow("no file table") << Damage::NoFileTable << "SQLite exception: 1" << files;
    QTest::newRow("recursive view as file table") << Damage::RecursiveView << "SQLite exception: 1" << files;
    QTest::newRow("hot journal") << Damage::HotJournal << "SQLite exception: 8" << info;
    QTest::newRow("folder name with ..") << Damage::BadFolderName
                                         << "The virtual Duvo data file holds an invalid name: SYSTEM/../SYSTEM" << folders;
    QTest::newRow("file name with /") << Damage::BadFileName
                                      << "The virtual Duvo data file holds an invalid name: ../SERV1" << files;
    QTest::newRow("13-character folder") << Damage::LongFolderName
                                         << "The virtual Duvo data file holds an invalid name: ABCDEFGHIJKLM" << folders;
    QTest::newRow("control character") << Damage::ControlCharacter
                                       << "The virtual Duvo data file holds an invalid name: " << folders;
    QTest::newRow("41 folder rows") << Damage::TooManyFolders << "SQLite exception: 18" << folders;
    QTest::newRow("41 files in a folder") << Damage::TooManyFilesInFolder << "SQLite exception: 18" << files;
    QTest::newRow("2 MiB protocol") << Damage::HugeProtocol << "SQLite exception: 18" << files;
    QTest::newRow("NULL folder name") << Damage::NullName << "The virtual Duvo data file holds an invalid name: "
                                      << folders;
    QTest::newRow("blob folder name") << Damage::BlobName << "SQLite exception: 20" << folders;
    QTest::newRow("text protocol size") << Damage::IntegerProtocol << "SQLite exception: 20" << files;
    QTest::newRow("no folder rows") << Damage::NoFolderRows << "Information record not found!" << folders;
    QTest::newRow("no information row") << Damage::EmptyInfo << "Information record not found!" << info;
}

void TestVduLoad::hostileFiles()
{
    QFETCH(Damage, damage);
    QFETCH(QString, box);
    QFETCH(int, check);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("h.vdu"));
    QVERIFY(CreateVirtualDataFile(path));
    std::string fill = "insert into vinfo_tbl (username,description,date,originalip,originaltype,originalname,"
                       "totalfolders,totalfiles,version) values ('u','d',46000.5,'1.2.3.4','DUVO 96','DU1',2,2,'1.0.0.0');"
                       "insert into vfolder_tbl (foldername,password,secure) values ('SYSTEM','',0),('DATA!','PW',1);"
                       "insert into vfile_tbl (foldername,filename,protocol,protocolsize) values "
                       "('SYSTEM','SERV1','<P/>',40),('DATA','PCR1','<P>1</P>',44);";
    QVERIFY(exec(path, fill));
    QVERIFY2(CheckPackage(path) == PackageCheck::Ok, "the undamaged file passes");
    switch (damage) {
    case Damage::NotSqlite: {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'v'));
        break;
    }
    case Damage::TruncatedHeader:
    case Damage::TruncatedFirstPage:
        QVERIFY(QFile::resize(path, damage == Damage::TruncatedHeader ? 50 : 1000));
        break;
    case Damage::NoFileTable:
        QVERIFY(exec(path, "drop table vfile_tbl;"));
        break;
    case Damage::RecursiveView:
        QVERIFY(exec(path, "drop table vfile_tbl; create view vfile_tbl as with recursive c(x) as "
                           "(select 1 union all select x + 1 from c) select x as fileid, 'A' as foldername, "
                           "'B' as filename, '' as protocol, 0 as protocolsize from c;"));
        break;
    case Damage::HotJournal: {
        // A journal left by a writer that died in the middle of a transaction.
        sqlite3 *db = nullptr;
        QVERIFY(sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK);
        QVERIFY(sqlite3_exec(db, "pragma cache_size=1; begin exclusive; update vfile_tbl set protocol="
                                 "hex(randomblob(3000)); insert into vfile_tbl (foldername, filename, protocol) "
                                 "select 'X', 'Y', hex(randomblob(4000)) from vfile_tbl;",
                             nullptr, nullptr, nullptr) == SQLITE_OK);
        QVERIFY(QFile::copy(path + QStringLiteral("-journal"), path + QStringLiteral(".j")));
        QVERIFY(QFile::copy(path, path + QStringLiteral(".d")));
        sqlite3_exec(db, "rollback;", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(path + QStringLiteral(".d"), path));
        QVERIFY(QFile::rename(path + QStringLiteral(".j"), path + QStringLiteral("-journal")));
        break;
    }
    case Damage::BadFolderName:
        QVERIFY(exec(path, "update vfolder_tbl set foldername='SYSTEM/../SYSTEM' where foldername='SYSTEM';"));
        break;
    case Damage::BadFileName:
        QVERIFY(exec(path, "update vfile_tbl set filename='../SERV1' where filename='SERV1';"));
        break;
    case Damage::LongFolderName:
        QVERIFY(exec(path, "update vfolder_tbl set foldername='ABCDEFGHIJKLM' where foldername='SYSTEM';"));
        break;
    case Damage::ControlCharacter:
        QVERIFY(exec(path, "update vfolder_tbl set foldername='DA'||char(10)||'TA' where foldername='SYSTEM';"));
        break;
    case Damage::TooManyFolders:
        QVERIFY(exec(path, "with recursive c(x) as (select 1 union all select x + 1 from c where x < 39) "
                           "insert into vfolder_tbl (foldername,password,secure) select 'F'||x,'',0 from c;"));
        break;
    case Damage::TooManyFilesInFolder:
        QVERIFY(exec(path, "with recursive c(x) as (select 1 union all select x + 1 from c where x < 40) "
                           "insert into vfile_tbl (foldername,filename,protocol,protocolsize) "
                           "select 'DATA','P'||x,'<P/>',10 from c;"));
        break;
    case Damage::HugeProtocol:
        QVERIFY(exec(path, "update vfile_tbl set protocol=hex(zeroblob(1048576)) where filename='PCR1';"));
        break;
    case Damage::NullName:
        QVERIFY(exec(path, "update vfolder_tbl set foldername=NULL where foldername='SYSTEM';"));
        break;
    case Damage::BlobName:
        QVERIFY(exec(path, "update vfolder_tbl set foldername=x'44415441' where foldername='SYSTEM';"));
        break;
    case Damage::IntegerProtocol:
        QVERIFY(exec(path, "update vfile_tbl set protocolsize='big' where filename='PCR1';"));
        break;
    case Damage::NoFolderRows:
        QVERIFY(exec(path, "delete from vfolder_tbl;"));
        break;
    case Damage::EmptyInfo:
        QVERIFY(exec(path, "delete from vinfo_tbl;"));
        break;
    }
    const QByteArray before = sha(path);
    const QByteArray journalBefore = sha(path + QStringLiteral("-journal"));
    ScriptedPrompts prompts;
    prompts.setLenient(true);
    QElapsedTimer clock;
    clock.start();
    const PackageCheck result = CheckPackage(path);
    std::vector<PackageFileRow> listed;
    const bool browsed = ListPackageFiles(path, listed);
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(int(result), check);
    QVERIFY(!prompts.asked().isEmpty());
    QVERIFY2(prompts.asked().first().text.startsWith(box), qPrintable(prompts.asked().first().text));
    QCOMPARE(prompts.asked().first().title, QStringLiteral("vDuvo Error"));
    if (check == int(PackageCheck::FilesFailed))
        QVERIFY(!browsed);
    QCOMPARE(sha(path), before);
    QCOMPARE(sha(path + QStringLiteral("-journal")), journalBefore);
}

void TestVduLoad::dateText_data()
{
    QTest::addColumn<double>("date");
    QTest::addColumn<bool>("shown");
    QTest::newRow("a day in 2025") << 45800.25 << true;
    QTest::newRow("1e300") << 1e300 << false;
    QTest::newRow("not a number") << std::nan("") << false;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << false;
    QTest::newRow("before the year 1") << -700000.0 << false;
    QTest::newRow("31 December 9999") << 2958465.5 << true;
}

void TestVduLoad::dateText()
{
    QFETCH(double, date);
    QFETCH(bool, shown);
    const QString text = PackageDateText(date);
    QCOMPARE(text != QStringLiteral("-"), shown);
    if (date == 45800.25) {
        const QLocale l = QLocale::system();
        QCOMPARE(text, l.toString(QDate(2025, 5, 23), QLocale::ShortFormat) + QLatin1Char(' ')
                           + l.toString(QTime(6, 0), QLocale::LongFormat));
    }
}

QTEST_MAIN(TestVduLoad)
#include "tst_vdu_load.moc"
