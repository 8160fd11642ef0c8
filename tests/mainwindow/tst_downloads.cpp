// The internet download and the update check against a real HTTP server on loopback: the
// index file, the download list window, the folder and overwrite questions, failed and cut
// transfers, hostile file names and servers, the proxy, HTTPS, and the auto-refresh timer.

#include "common/IpWatch.h"
#include "common/ProgramFolder.h"
#include "common/Shell.h"
#include "mainwindow/WebDownload.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "mainwindow/forms/TWebCopyProgressForm.h"
#include "mainwindow/forms/TWebSelectForm.h"
#include "GuiTest.h"
#include "HttpTestServer.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

using namespace duvo;
using namespace duvo::test;

namespace {

const char kHost[] = "127.0.230.1";
const char kProxyHost[] = "127.0.230.2";

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

// Acts on the next modal window of class T once it is shown (polled from a timer, so the
// caller's modal loop runs); returns whether it came.
template <typename T>
class OnModal {
public:
    explicit OnModal(std::function<void(T *)> act) : FAct(std::move(act))
    {
        FTimer.setInterval(10);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            auto *w = qobject_cast<T *>(QApplication::activeModalWidget());
            if (!w || !w->isVisible())
                return;
            FTimer.stop();
            FSeen = true;
            FAct(w);
        });
        FTimer.start();
    }
    bool seen() const { return FSeen; }

private:
    std::function<void(T *)> FAct;
    QTimer FTimer;
    bool FSeen = false;
};

QByteArray index(const QList<QPair<QString, QString>> &entries, const QByteArray &total = {})
{
    QByteArray out = "[Downloads]\r\nTotalFiles=" + (total.isEmpty() ? QByteArray::number(entries.size()) : total) + "\r\n";
    int n = 1;
    for (const auto &e : entries) {
        const QByteArray k = QByteArray::number(n++);
        out += k + "=" + e.first.toUtf8() + "\r\nName" + k + "=" + e.second.toUtf8() + "\r\nDescription" + k
               + "=Cycling protocols\r\nAuthor" + k + "=Velmor Lab\r\nVersion" + k + "=1.2\r\nDate" + k + "=2026-11-30\r\n";
    }
    return out;
}

// Checks the rows given and presses Download.
std::function<void(TWebSelectForm *)> checkRows(QList<int> rows)
{
    return [rows](TWebSelectForm *w) {
        for (int r : rows)
            w->ListBox1->item(r)->setCheckState(Qt::Checked);
        QTest::mouseClick(w->btnOk, Qt::LeftButton);
    };
}

} // namespace

class TestDownloads : public QObject {
    Q_OBJECT

    HttpTestServer *FServer = nullptr;
    QTemporaryDir FConfig;

    QString base() const { return FServer->url(QStringLiteral("/svdownloads")); }

    // A main window with short transfer limits, its default folder and the timer running.
    struct Lab {
        TempProgramFolder program;
        QTemporaryDir defaults;
        QTemporaryDir target;
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        QTimer guard;
        Lab()
        {
            // A modal window the test did not plan for is rejected after a while, so a fault
            // fails the test instead of hanging it.
            guard.setInterval(6000);
            QObject::connect(&guard, &QTimer::timeout, [] {
                if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                    QTest::qFail("an unexpected modal window stayed open", __FILE__, __LINE__);
                    d->reject();
                }
            });
            guard.start();
            form.FDefaultFolder = withTrailingSeparator(defaults.path());
            form.WC1.ConnectTimeoutMs = 2000;
            form.WC1.StallTimeoutMs = 700;
            form.DuvoTimer.start();
        }
        QString targetFolder() const { return withTrailingSeparator(target.path()); }
    };

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", FConfig.path().toUtf8());
        HttpServerOptions options;
        options.host = QLatin1String(kHost);
        FServer = new HttpTestServer(options);
        QVERIFY2(FServer->start(), qPrintable(FServer->errorText()));
        qputenv("DUVO_DOWNLOAD_BASE", base().toUtf8());
        qputenv("DUVO_UPDATE_BASE", FServer->url(QStringLiteral("/duvostudio")).toUtf8());
        qputenv("DUVO_UPDATE_PAGE", FServer->url(QStringLiteral("/download_solvirant.html")).toUtf8());
    }

    void cleanupTestCase() { delete FServer; }

    void init()
    {
        setIpWatchOverride(IpWatchState{QStringLiteral("127.0.230.9"), true});
        FServer->setRules({});
        FServer->clearRequests();
    }

    void cleanup() { setIpWatchOverride(std::nullopt); }

    // ---- the name=value index

    void indexLookup()
    {
        const NameValueIndex idx(NameValueIndex::splitLines("TotalFiles=2\r\nname1=first=one\n1=a.svp\r\nNAME1=second\nnoequals\n\n"));
        QCOMPARE(idx.value(QStringLiteral("Name1")), QStringLiteral("first=one"));  // first line wins, any case
        QCOMPARE(idx.value(QStringLiteral("1")), QStringLiteral("a.svp"));       // CR LF and LF
        QCOMPARE(idx.value(QStringLiteral("Author1")), QString());
        QCOMPARE(idx.lineCount(), 6);
    }

    void plainFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plain");
        QTest::newRow("ordinary") << QStringLiteral("PCR_std.svp") << true;
        QTest::newRow("blank inside") << QStringLiteral("my file.svp") << true;
        QTest::newRow("255 bytes") << QString(255, QLatin1Char('a')) << true;
        QTest::newRow("256 bytes") << QString(256, QLatin1Char('a')) << false;
        QTest::newRow("128 two-byte chars") << QString(128, QChar(0xE9)) << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("dot") << QStringLiteral(".") << false;
        QTest::newRow("dot dot") << QStringLiteral("..") << false;
        QTest::newRow("up") << QStringLiteral("../../.bashrc") << false;
        QTest::newRow("slash") << QStringLiteral("sub/a.svp") << false;
        QTest::newRow("backslash") << QStringLiteral("..\\a.svp") << false;
        QTest::newRow("absolute") << QStringLiteral("/etc/passwd") << false;
        QTest::newRow("control") << QStringLiteral("a\x01.svp") << false;
        QTest::newRow("newline") << QStringLiteral("a\n.svp") << false;
    }
    void plainFileNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, plain);
        QCOMPARE(IsPlainFileName(name), plain);
    }

    // ---- the download list window

    void listRowsAreEscapedAndBounded()
    {
        QStringList lines = NameValueIndex::splitLines(
            "TotalFiles=2000000000\n1=a.svp\nName1=<IMG SRC=\"x\"><B>evil</B> & co\nDescription1=<BR>\n");
        ScriptedPrompts prompts;
        TWebSelectForm form(nullptr, &lines);
        QVERIFY(!form.loadFailed());
        QVERIFY(form.ListBox1->count() <= lines.size());
        const QString row = form.ListBox1->item(0)->text();
        QVERIFY(row.contains(QStringLiteral("&lt;IMG SRC=&quot;x&quot;&gt;&lt;B&gt;evil&lt;/B&gt; &amp; co")));
        QVERIFY(row.contains(QStringLiteral("<B>Description</B>: &lt;BR&gt;</BR>")));
        QVERIFY(row.startsWith(QStringLiteral("<IMG SRC=\"document_ico\" align=\"bottom\"> <B><FONT SIZE=\"10\">")));
        QCOMPARE(form.ListBox1->item(0)->sizeHint().height(), 72);
    }

    void spaceTogglesOnceAndSelectAll()
    {
        QStringList lines = NameValueIndex::splitLines(index({{"a.svp", "First"}, {"b.svp", "Second"}, {"c.svp", "Third"}}));
        ScriptedPrompts prompts;
        TWebSelectForm form(nullptr, &lines);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.ListBox1->currentRow(), 0);
        QVERIFY(!form.btnOk->isEnabled());
        form.ListBox1->setFocus();
        QTest::keyClick(form.ListBox1, Qt::Key_Space);
        QCOMPARE(form.ListBox1->item(0)->checkState(), Qt::Checked);
        QVERIFY(form.btnOk->isEnabled());
        QTest::keyClick(form.ListBox1, Qt::Key_Space);
        QCOMPARE(form.ListBox1->item(0)->checkState(), Qt::Unchecked);
        QVERIFY(!form.btnOk->isEnabled());

        form.ListBox1->setCurrentRow(1);
        QTest::mouseClick(form.btnSelectAll, Qt::LeftButton);
        QCOMPARE(form.btnSelectAll->text(), QStringLiteral("Unselect All"));
        QVERIFY(form.btnOk->isEnabled());
        QCOMPARE(form.ListBox1->currentRow(), 1);
        QTest::mouseClick(form.btnSelectAll, Qt::LeftButton);
        QCOMPARE(form.btnSelectAll->text(), QStringLiteral("Select All"));
        QVERIFY(!form.btnOk->isEnabled());
        form.ListBox1->item(2)->setCheckState(Qt::Checked);
        form.ListBox1->item(0)->setCheckState(Qt::Checked);
        QTest::mouseClick(form.btnOk, Qt::LeftButton);
        QCOMPARE(lines, (QStringList{QStringLiteral("a.svp"), QStringLiteral("c.svp")}));
        saveShot(form, QStringLiteral("TWebSelectForm"));
    }

    void tenThousandEntriesFillQuickly()
    {
        QByteArray text = "TotalFiles=10000\n";
        for (int n = 1; n <= 10000; ++n) {
            const QByteArray k = QByteArray::number(n);
            text += k + "=f" + k + ".svp\nName" + k + "=Protocol " + k + "\nDescription" + k + "=d\nAuthor" + k
                    + "=a\nVersion" + k + "=1\nDate" + k + "=2026\n";
        }
        QStringList lines = NameValueIndex::splitLines(text);
        ScriptedPrompts prompts;
        QElapsedTimer clock;
        clock.start();
        TWebSelectForm form(nullptr, &lines);
        const qint64 ms = clock.elapsed();
        QCOMPARE(form.ListBox1->count(), 10000);
        QCOMPARE(form.fileNames().last(), QStringLiteral("f10000.svp"));
        // Generous for the sanitizer build; the release build takes a fraction of this.
        QVERIFY2(ms < 3000, qPrintable(QString::number(ms)));
    }

    // ---- the internet download through the ribbon

    void onlyTheCheckedEntryIsDownloaded()
    {
        Lab lab;
        FServer->putFile(QStringLiteral("/svdownloads/svfilelist.ini"), index({{"a.svp", "First"}, {"b.svp", "Second"}}));
        FServer->putFile(QStringLiteral("/svdownloads/a.svp"), "AAAA");
        FServer->putFile(QStringLiteral("/svdownloads/b.svp"), "<protocol b/>");
        lab.prompts.answerPath(lab.target.path());
        OnModal<TWebSelectForm> pick([](TWebSelectForm *w) {
            QCOMPARE(w->ListBox1->count(), 2);
            QVERIFY(!w->btnOk->isEnabled());
            checkRows({1})(w);
        });
        QVERIFY(clickButton(&lab.form, QStringLiteral("btnWebProtocols")));
        QVERIFY(pick.seen());
        QCOMPARE(FServer->requestPaths(),
                 (QStringList{QStringLiteral("/svdownloads/svfilelist.ini"), QStringLiteral("/svdownloads/b.svp")}));
        for (const QJsonObject &r : FServer->requests())
            QCOMPARE(r.value(QStringLiteral("user_agent")).toString(), QStringLiteral("WebCopy"));
        QCOMPARE(readAll(lab.targetFolder() + QStringLiteral("b.svp")), QByteArray("<protocol b/>"));
        QVERIFY(!QFile::exists(lab.targetFolder() + QStringLiteral("a.svp")));
        QCOMPARE(lab.prompts.asked().size(), 1);
        QCOMPARE(lab.prompts.asked().first().kind, PromptKind::Folder);
        QCOMPARE(lab.prompts.asked().first().title, QStringLiteral("Select Download Folder"));
        QCOMPARE(lab.prompts.asked().first().directory, lab.form.FDefaultFolder);
        QVERIFY(lab.form.DuvoTimer.isActive());
        QVERIFY(lab.form.findChildren<TWebCopyProgressForm *>().isEmpty());
    }

    void badTotalFiles_data()
    {
        QTest::addColumn<QByteArray>("total");
        QTest::addColumn<bool>("windowShown");
        QTest::newRow("zero") << QByteArray("0") << true;
        QTest::newRow("negative") << QByteArray("-3") << true;
        QTest::newRow("not a number") << QByteArray("x") << false;
    }
    void badTotalFiles()
    {
        QFETCH(QByteArray, total);
        QFETCH(bool, windowShown);
        Lab lab;
        FServer->putFile(QStringLiteral("/svdownloads/svfilelist.ini"), index({{"a.svp", "First"}}, total));
        if (!windowShown)
            lab.prompts.answer(Ok, QStringLiteral("Error during loading operation!"), QStringLiteral("Error"));
        OnModal<TWebSelectForm> pick([](TWebSelectForm *w) {
            QCOMPARE(w->ListBox1->count(), 1);
            QVERIFY(w->ListBox1->item(0)->text().contains(QStringLiteral("No downloads available")));
            QCOMPARE(w->ListBox1->item(0)->sizeHint().height(), 42);
            QVERIFY(!w->ListBox1->isEnabled());
            QVERIFY(!w->btnSelectAll->isEnabled());
            QVERIFY(!w->btnOk->isEnabled());
            QTest::mouseClick(w->btnCancel, Qt::LeftButton);
        });
        QVERIFY(clickButton(&lab.form, QStringLiteral("btnWebProtocols")));
        QTest::qWait(30);
        QCOMPARE(pick.seen(), windowShown);
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(FServer->requestPaths(), QStringList{QStringLiteral("/svdownloads/svfilelist.ini")});
        QVERIFY(lab.form.DuvoTimer.isActive());
    }

    void cancelledFolderDialogUsesTheDefaultFolder()
    {
        Lab lab;
        FServer->putFile(QStringLiteral("/svdownloads/svfilelist.ini"), index({{"a.svp", "First"}}));
        FServer->putFile(QStringLiteral("/svdownloads/a.svp"), "AAAA");
        lab.prompts.answerPath(QString())
            .answer(Ok, QStringLiteral("Default download folder: ") + lab.form.FDefaultFolder + QStringLiteral(" will be used!"),
                    QStringLiteral("Information"));
        OnModal<TWebSelectForm> pick(checkRows({0}));
        QVERIFY(clickButton(&lab.form, QStringLiteral("btnWebProtocols")));
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(readAll(lab.form.FDefaultFolder + QStringLiteral("a.svp")), QByteArray("AAAA"));
    }

    void overwriteQuestion_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Cancel keeps the file") << int(Cancel);
        QTest::newRow("OK replaces it") << int(Ok);
    }
    void overwriteQuestion()
    {
        QFETCH(int, answer);
        Lab lab;
        FServer->putFile(QStringLiteral("/svdownloads/svfilelist.ini"), index({{"a.svp", "First"}, {"b.svp", "Second"}}));
        FServer->putFile(QStringLiteral("/svdownloads/a.svp"), "new a");
        FServer->putFile(QStringLiteral("/svdownloads/b.svp"), "new b");
        writeFile(lab.targetFolder() + QStringLiteral("a.svp"), "old a");
        // A file of that name in the current folder is not the one the question is about.
        const QString address = base() + QStringLiteral("/a.svp");
        lab.prompts.answerPath(lab.target.path())
            .answer(answer, QStringLiteral("The file ") + address + QStringLiteral("exsists already.  Do you want to overwrite?"),
                    QStringLiteral("Confirmation"));
        OnModal<TWebSelectForm> pick(checkRows({0, 1}));
        QVERIFY(clickButton(&lab.form, QStringLiteral("btnWebProtocols")));
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(lab.prompts.asked().at(1).icon, PromptIcon::Question);
        QCOMPARE(lab.prompts.asked().at(1).buttons, int(Ok | Cancel));
        QCOMPARE(readAll(lab.targetFolder() + QStringLiteral("a.svp")), answer == Ok ? QByteArray("new a") : QByteArray("old a"));
        QCOMPARE(readAll(lab.targetFolder() + QStringLiteral("b.svp")), QByteArray("new b"));
        QCOMPARE(FServer->requestPaths().contains(QStringLiteral("/svdownloads/a.svp")), answer == Ok);
    }

    void failedDownload_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Cancel ends the downloads") << int(Cancel);
        QTest::newRow("OK goes on") << int(Ok);
    }
    void failedDownload()
    {
        QFETCH(int, answer);
        Lab lab;
        FServer->putFile(QStringLiteral("/svdownloads/svfilelist.ini"),
                         index({{"gone.svp", "Gone"}, {"b.svp", "Second"}, {"c.svp", "Third"}}));
        FServer->putFile(QStringLiteral("/svdownloads/b.svp"), "bbb");
        FServer->putFile(QStringLiteral("/svdownloads/c.svp"), "ccc");
        lab.prompts.answerPath(lab.target.path())
            .answer(answer, QStringLiteral("There was an error downloading ") + base()
                                + QStringLiteral("/gone.svp.  Do you want to continue?"), QStringLiteral("Error"));
        OnModal<TWebSelectForm> pick(checkRows({0, 1, 2}));
        QVERIFY(clickButton(&lab.form, QStringLiteral("btnWebProtocols")));
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(lab.prompts.asked().at(1).icon, PromptIcon::Error);
        QStringList expected{QStringLiteral("/svdownloads/svfilelist.ini"), QStringLiteral("/svdownloads/gone.svp")};
        if (answer == Ok)
            expected << QStringLiteral("/svdownloads/b.svp") << QStringLiteral("/svdownloads/c.svp");
        QCOMPARE(FServer->requestPaths(), expected);
        QVERIFY(!QFile::exists(lab.targetFolder() + QStringLiteral("gone.svp")));
        QCOMPARE(QFile::exists(lab.targetFolder() + QStringLiteral("c.svp")), answer == Ok);
        QVERIFY(lab.form.DuvoTimer.isActive());
    }

    void cutTransferKeepsTheOldFile()
    {
        Lab lab;
        FServer->putFile(QStringLiteral("/svdownloads/svfilelist.ini"), index({{"a.svp", "First"}}));
        FServer->putFile(QStringLiteral("/svdownloads/a.svp"), QByteArray(4096, 'n'));
        FServer->setRules({{QStringLiteral("/svdownloads/a.svp"), QJsonObject{{QStringLiteral("short"), 100}}}});
        writeFile(lab.targetFolder() + QStringLiteral("a.svp"), "old a");
        lab.prompts.answerPath(lab.target.path())
            .answer(Ok, QStringLiteral("exsists already"))
            .answer(Ok, QStringLiteral("There was an error downloading"));
        OnModal<TWebSelectForm> pick(checkRows({0}));
        QVERIFY(clickButton(&lab.form, QStringLiteral("btnWebProtocols")));
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(readAll(lab.targetFolder() + QStringLiteral("a.svp")), QByteArray("old a"));
        QCOMPARE(QDir(lab.target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("a.svp")});
    }

    void hostileNamesRequestAndWriteNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("up two") << QStringLiteral("../../outside.txt");
        QTest::newRow("up one") << QStringLiteral("../outside.txt");
        QTest::newRow("dot dot") << QStringLiteral("..");
        QTest::newRow("absolute") << QStringLiteral("/tmp/outside.txt");
        QTest::newRow("backslash") << QStringLiteral("..\\outside.txt");
        QTest::newRow("control") << QStringLiteral("out\x07side.txt");
        QTest::newRow("too long") << QString(300, QLatin1Char('x'));
    }
    void hostileNamesRequestAndWriteNothing()
    {
        QFETCH(QString, name);
        Lab lab;
        // target/inner is the download folder; target/outside.txt must stay as it is.
        const QString inner = lab.targetFolder() + QStringLiteral("inner/sub/");
        QVERIFY(QDir().mkpath(inner));
        writeFile(lab.targetFolder() + QStringLiteral("outside.txt"), "mine");
        writeFile(lab.targetFolder() + QStringLiteral("inner/outside.txt"), "mine too");
        FServer->putFile(QStringLiteral("/svdownloads/svfilelist.ini"), index({{name, "Evil"}, {"b.svp", "Second"}}));
        FServer->putFile(QStringLiteral("/outside.txt"), "server text");
        FServer->putFile(QStringLiteral("/svdownloads/b.svp"), "bbb");
        lab.prompts.answerPath(inner).answer(Ok, QStringLiteral("There was an error downloading"), QStringLiteral("Error"));
        OnModal<TWebSelectForm> pick(checkRows({0, 1}));
        QVERIFY(clickButton(&lab.form, QStringLiteral("btnWebProtocols")));
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(FServer->requestPaths(),
                 (QStringList{QStringLiteral("/svdownloads/svfilelist.ini"), QStringLiteral("/svdownloads/b.svp")}));
        QCOMPARE(readAll(lab.targetFolder() + QStringLiteral("outside.txt")), QByteArray("mine"));
        QCOMPARE(readAll(lab.targetFolder() + QStringLiteral("inner/outside.txt")), QByteArray("mine too"));
        QCOMPARE(QDir(inner).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("b.svp")});
    }

    // ---- the shared start

    void offlineRequestsNothing()
    {
        Lab lab;
        setIpWatchOverride(IpWatchState{QString(), false});
        lab.prompts.answer(Ok, QStringLiteral("PC seems not to be connected to the Internet."), QStringLiteral("Error"));
        QVERIFY(clickButton(&lab.form, QStringLiteral("btnWebProtocols")));
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(lab.prompts.asked().first().icon, PromptIcon::Warning);
        QVERIFY(FServer->requestPaths().isEmpty());
        QVERIFY(lab.form.DuvoTimer.isActive());
    }

    void oldIndexThatCannotBeDeleted()
    {
        Lab lab;
        QVERIFY(QDir().mkpath(lab.form.FDefaultFolder + QStringLiteral("svfilelist.ini/keep")));
        lab.prompts.answer(Ok, QStringLiteral("Could not delete old .ini file"), QStringLiteral("Error"));
        QVERIFY(clickButton(&lab.form, QStringLiteral("btnWebProtocols")));
        QCOMPARE(lab.prompts.pending(), 0);
        QVERIFY(FServer->requestPaths().isEmpty());
        QVERIFY(lab.form.DuvoTimer.isActive());
    }

    void missingIndexEndsSilently()
    {
        Lab lab;
        writeFile(lab.form.FDefaultFolder + QStringLiteral("svfilelist.ini"), "TotalFiles=1\n1=old.svp\n");
        FServer->setRules({{QStringLiteral("/svdownloads/svfilelist.ini"), QJsonObject{{QStringLiteral("status"), 404}}}});
        QVERIFY(clickButton(&lab.form, QStringLiteral("btnWebProtocols")));
        QVERIFY(lab.prompts.asked().isEmpty());
        QVERIFY(!QFile::exists(lab.form.FDefaultFolder + QStringLiteral("svfilelist.ini")));  // the old one went first
        QVERIFY(lab.form.DuvoTimer.isActive());
    }

    void updateCheck_data()
    {
        QTest::addColumn<QByteArray>("info");
        QTest::addColumn<QString>("box");
        QTest::newRow("with current_version")
            << QByteArray("[Update]\r\nCURRENT_VERSION=2.0\r\ncurrent_version=9.9\r\n")
            << QStringLiteral("Your current version: 1.0.0.10.  Available update version: 2.0.");
        QTest::newRow("without") << QByteArray("[Update]\nnotes=later\n")
                                 << QStringLiteral("Your current version: 1.0.0.10.  Available update version: .");
    }
    void updateCheck()
    {
        QFETCH(QByteArray, info);
        QFETCH(QString, box);
        Lab lab;
        FServer->putFile(QStringLiteral("/duvostudio/info.ini"), info);
        lab.prompts.answerRadio(Ok, 0, QStringLiteral("Select one of the actions below:"));
        lab.prompts.answer(Ok, box, QStringLiteral("Update Information"));
        QVERIFY(triggerAction(&lab.form, QStringLiteral("UpdateSoftware1")));
        QCOMPARE(lab.prompts.pending(), 0);
        const PromptRequest task = lab.prompts.asked().first();
        QCOMPARE(task.title, QStringLiteral("Software Updates"));
        QCOMPARE(task.instruction, QStringLiteral("Verify your version or select to go to the update site."));
        QCOMPARE(task.radioButtons, (QStringList{QStringLiteral("Check for updates"), QStringLiteral("Software update site")}));
        QCOMPARE(lab.prompts.asked().last().icon, PromptIcon::Information);
        QCOMPARE(FServer->requestPaths(), QStringList{QStringLiteral("/duvostudio/info.ini")});
        QVERIFY(lab.form.DuvoTimer.isActive());
        QVERIFY(lab.form.TaskDialog1.RadioButtons.isEmpty());
    }

    void updatePage_data()
    {
        QTest::addColumn<bool>("shellWorks");
        QTest::newRow("opened") << true;
        QTest::newRow("shell fails") << false;
    }
    void updatePage()
    {
        QFETCH(bool, shellWorks);
        struct Recorder : Shell {
            QStringList calls;
            bool result = true;
            bool openDocument(const QString &t) override { calls << t; return result; }
            bool startProgram(const QString &, const QStringList &, const QString &) override { return false; }
        } shell;
        shell.result = shellWorks;
        Shell *previous = Shell::install(&shell);
        Lab lab;
        lab.prompts.answerRadio(Ok, 1);
        if (!shellWorks)
            lab.prompts.answer(Ok, QStringLiteral("Error starting browser!"), QStringLiteral("Error"));
        QVERIFY(triggerAction(&lab.form, QStringLiteral("UpdateSoftware1")));
        Shell::install(previous);
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(shell.calls, QStringList{FServer->url(QStringLiteral("/download_solvirant.html"))});
        QVERIFY(FServer->requestPaths().isEmpty());
    }

    void updateDialogCancelled()
    {
        Lab lab;
        lab.prompts.answerRadio(Cancel, 0);
        QVERIFY(triggerAction(&lab.form, QStringLiteral("UpdateSoftware1")));
        QVERIFY(FServer->requestPaths().isEmpty());
    }

    void proxyOnlyWhileSwitchedOn()
    {
        HttpServerOptions options{QLatin1String(kProxyHost), 8080, false, QStringLiteral("lab user"), QStringLiteral("p:ss")};
        HttpTestServer proxy(options);
        if (!proxy.start())
            QSKIP(qPrintable(QStringLiteral("no proxy on 8080: ") + proxy.errorText()));
        proxy.putFile(QStringLiteral("/duvostudio/info.ini"), "current_version=3.1\n");
        FServer->putFile(QStringLiteral("/duvostudio/info.ini"), "current_version=2.0\n");
        Lab lab;
        lab.form.FUseProxy = true;
        lab.form.FProxyServer = QLatin1String(kProxyHost);
        lab.form.FProxyUser = QStringLiteral("lab user");
        lab.form.FProxyPassword = QStringLiteral("p:ss");
        lab.prompts.answerRadio(Ok, 0).answer(Ok, QStringLiteral("Available update version: 3.1."));
        QVERIFY(triggerAction(&lab.form, QStringLiteral("UpdateSoftware1")));
        QCOMPARE(lab.prompts.pending(), 0);
        const QList<QJsonObject> seen = proxy.requests();
        QVERIFY(!seen.isEmpty());
        QCOMPARE(seen.last().value(QStringLiteral("target")).toString(), FServer->url(QStringLiteral("/duvostudio/info.ini")));
        QCOMPARE(seen.last().value(QStringLiteral("proxy_authorization")).toString(),
                 QStringLiteral("Basic ") + QString::fromLatin1(QByteArray("lab user:p:ss").toBase64()));
        QVERIFY(FServer->requestPaths().isEmpty());

        lab.form.FUseProxy = false;
        proxy.clearRequests();
        lab.prompts.answerRadio(Ok, 0).answer(Ok, QStringLiteral("Available update version: 2.0."));
        QVERIFY(triggerAction(&lab.form, QStringLiteral("UpdateSoftware1")));
        QCOMPARE(lab.prompts.pending(), 0);
        QVERIFY(proxy.requests().isEmpty());
        QCOMPARE(FServer->requests().last().value(QStringLiteral("target")).toString(), QStringLiteral("/duvostudio/info.ini"));
        QCOMPARE(FServer->requests().last().value(QStringLiteral("proxy_authorization")).toString(), QString());
    }

    // ---- WC1 against a broken or hostile server

    void hostileServer_data()
    {
        QTest::addColumn<QJsonObject>("rule");
        QTest::addColumn<qint64>("limit");
        QTest::newRow("404") << QJsonObject{{QStringLiteral("status"), 404}} << qint64(-1);
        QTest::newRow("500") << QJsonObject{{QStringLiteral("status"), 500}} << qint64(-1);
        QTest::newRow("cut short") << QJsonObject{{QStringLiteral("short"), 3}} << qint64(-1);
        QTest::newRow("stall after header") << QJsonObject{{QStringLiteral("stall"), true}} << qint64(-1);
        QTest::newRow("never answers") << QJsonObject{{QStringLiteral("silent"), true}} << qint64(-1);
        QTest::newRow("redirect loop") << QJsonObject{{QStringLiteral("redirect"), QStringLiteral("/loop/g.bin")}} << qint64(-1);
        QTest::newRow("redirect to ftp") << QJsonObject{{QStringLiteral("redirect"), QStringLiteral("ftp://127.0.230.1/x")}}
                                         << qint64(-1);
        QTest::newRow("huge ini") << QJsonObject{{QStringLiteral("zeros"), 3 << 20}} << qint64(1 << 20);
        QTest::newRow("huge ini without length") << QJsonObject{{QStringLiteral("body"), QString(2 << 20, QLatin1Char('x'))},
                                                                {QStringLiteral("nolength"), true}}
                                                 << qint64(1 << 20);
    }
    void hostileServer()
    {
        QFETCH(QJsonObject, rule);
        QFETCH(qint64, limit);
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("f.bin")), "old");
        FServer->putFile(QStringLiteral("/loop/f.bin"), "fresh content");
        FServer->setRules({{QStringLiteral("/loop/f.bin"), rule},
                           {QStringLiteral("/loop/g.bin"), QJsonObject{{QStringLiteral("redirect"), QStringLiteral("/loop/f.bin")}}}});
        WebCopy wc;
        wc.ConnectTimeoutMs = 800;
        wc.StallTimeoutMs = 500;
        wc.MaxBytes = limit;
        wc.Item = {FServer->url(QStringLiteral("/loop/f.bin")), dir.path(), QStringLiteral("f.bin"), true};
        QString notice;
        connect(&wc, &WebCopy::transferFinished, this, [&](bool, const QString &n) { notice = n; });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!wc.Execute());
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!wc.Item.Success);
        QVERIFY(!notice.isEmpty());
        QCOMPARE(readAll(dir.filePath(QStringLiteral("f.bin"))), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("f.bin")});
    }

    // A body of many pieces, longer than the stretches that go to the disk ahead of the
    // commit: the file holds every byte in order, and a transfer cut after some stretches
    // went to the disk still leaves the old file as it was.
    void largeBodyStreamsToTheFile_data()
    {
        QTest::addColumn<int>("sent");
        QTest::newRow("whole") << -1;
        QTest::newRow("cut after 10 MiB") << (10 << 20);
    }
    void largeBodyStreamsToTheFile()
    {
        QFETCH(int, sent);
        QByteArray body(12 << 20, Qt::Uninitialized);
        auto *words = reinterpret_cast<quint32 *>(body.data());
        for (qsizetype i = 0; i < body.size() / 4; ++i)
            words[i] = static_cast<quint32>(i) * 2654435761u;
        FServer->putFile(QStringLiteral("/large/f.bin"), body);
        FServer->setRules(sent < 0 ? QJsonObject{}
                                   : QJsonObject{{QStringLiteral("/large/f.bin"), QJsonObject{{QStringLiteral("short"), sent}}}});
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("f.bin")), "old");
        WebCopy wc;
        wc.Item = {FServer->url(QStringLiteral("/large/f.bin")), dir.path(), QStringLiteral("f.bin"), false};
        QCOMPARE(wc.Execute(), sent < 0);
        const QByteArray got = readAll(dir.filePath(QStringLiteral("f.bin")));
        if (sent < 0)
            QVERIFY2(got == body, qPrintable(QStringLiteral("%1 bytes, first difference at %2")
                                                 .arg(got.size())
                                                 .arg(std::mismatch(got.begin(), got.end(), body.begin(), body.end()).first
                                                      - got.begin())));
        else
            QCOMPARE(got, QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("f.bin")});
    }

    void redirectLimit_data()
    {
        QTest::addColumn<int>("hops");
        QTest::addColumn<bool>("followed");
        QTest::newRow("five redirects") << 5 << true;
        QTest::newRow("six redirects") << 6 << false;
    }
    void redirectLimit()
    {
        QFETCH(int, hops);
        QFETCH(bool, followed);
        QTemporaryDir dir;
        FServer->putFile(QStringLiteral("/moved/f.bin"), "moved content");
        // /hop1 -> ... -> /hopN -> /moved/f.bin
        QJsonObject rules;
        for (int i = 1; i <= hops; ++i)
            rules.insert(QStringLiteral("/hop%1").arg(i),
                         QJsonObject{{QStringLiteral("redirect"),
                                      i < hops ? QStringLiteral("/hop%1").arg(i + 1) : QStringLiteral("/moved/f.bin")}});
        FServer->setRules(rules);
        WebCopy wc;
        wc.Item = {FServer->url(QStringLiteral("/hop1")), dir.path(), QStringLiteral("f.bin"), false};
        QCOMPARE(wc.Execute(), followed);
        QCOMPARE(QFile::exists(dir.filePath(QStringLiteral("f.bin"))), followed);
        QCOMPARE(FServer->requestPaths().contains(QStringLiteral("/moved/f.bin")), followed);
        if (followed)
            QCOMPARE(readAll(dir.filePath(QStringLiteral("f.bin"))), QByteArray("moved content"));
        else
            QVERIFY(wc.errorText().contains(QStringLiteral("More than 5 redirects")));
    }

    void httpsWithTheTestsAuthority()
    {
        HttpServerOptions options;
        options.host = QStringLiteral("127.0.230.3");
        options.tls = true;
        HttpTestServer tls(options);
        QVERIFY2(tls.start(), qPrintable(tls.errorText()));
        tls.putFile(QStringLiteral("/svdownloads/a.svp"), "secure bytes");
        QTemporaryDir dir;
        WebCopy wc;
        wc.ConnectTimeoutMs = 3000;
        wc.Item = {tls.url(QStringLiteral("/svdownloads/a.svp")), dir.path(), QStringLiteral("a.svp"), false};
        QVERIFY(!wc.Execute());  // not trusted without the authority
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("a.svp"))));
        wc.CaFile = tls.caFile();
        QVERIFY2(wc.Execute(), qPrintable(wc.errorText()));
        QCOMPARE(readAll(dir.filePath(QStringLiteral("a.svp"))), QByteArray("secure bytes"));
        QCOMPARE(tls.requests().last().value(QStringLiteral("user_agent")).toString(), QStringLiteral("WebCopy"));
    }

    void progressWindow()
    {
        ScriptedPrompts prompts;
        QTemporaryDir dir;
        FServer->setRules({{QStringLiteral("/big.bin"), QJsonObject{{QStringLiteral("zeros"), 4 << 20}}}});
        WebCopy wc;
        TWebCopyProgressForm form(nullptr, wc);
        wc.Item = {FServer->url(QStringLiteral("/big.bin")), dir.path(), QStringLiteral("big.bin"), false};
        QVERIFY(wc.Execute());
        QCOMPARE(form.windowTitle(), QStringLiteral("Downloading"));
        QVERIFY(form.isVisible());
        QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(form.lblFile->text(), QStringLiteral("big.bin"));
        QCOMPARE(form.Progress->value(), 1000);
        QCOMPARE(form.lblNotice->text(), QStringLiteral("Download complete"));
        wc.Item = {FServer->url(QStringLiteral("/none.bin")), dir.path(), QStringLiteral("none.bin"), false};
        QVERIFY(!wc.Execute());
        QVERIFY(form.lblNotice->text().startsWith(QStringLiteral("Download failed: HTTP 404")));
        saveShot(form, QStringLiteral("Downloading"));
    }
};

QTEST_MAIN(TestDownloads)
#include "tst_downloads.moc"
