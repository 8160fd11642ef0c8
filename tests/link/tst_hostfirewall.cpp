// The host firewall probe: fake firewall-cmd and nft first on the search path (they log their
// arguments), a temporary ufw folder, and one real nftables ruleset in a namespace of the
// test's own. Nothing here reads or changes this machine's firewall.

#include "link/Firewall.h"
#include "mainwindow/StartUp.h"
#include "ScriptedPrompts.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {

void writeFile(const QString &path, const QByteArray &bytes, bool executable = false)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    if (executable)
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
}

// nftables JSON of one inet table with an input chain.
QByteArray nftRuleset(const char *policy, const QByteArray &rules, const QByteArray &sets = {})
{
    return "{\"nftables\": [{\"metainfo\": {\"json_schema_version\": 1}}, "
           "{\"table\": {\"family\": \"inet\", \"name\": \"filter\", \"handle\": 1}}, " + sets +
           "{\"chain\": {\"family\": \"inet\", \"table\": \"filter\", \"name\": \"input\", \"handle\": 1, "
           "\"type\": \"filter\", \"hook\": \"input\", \"prio\": 0, \"policy\": \"" + policy + "\"}}" + rules + "]}";
}

QByteArray nftRule(const QByteArray &expr)
{
    return ", {\"rule\": {\"family\": \"inet\", \"table\": \"filter\", \"chain\": \"input\", \"expr\": [" + expr + "]}}";
}

QByteArray dport(const char *proto, const QByteArray &right)
{
    return "{\"match\": {\"op\": \"==\", \"left\": {\"payload\": {\"protocol\": \"" + QByteArray(proto)
           + "\", \"field\": \"dport\"}}, \"right\": " + right + "}}, {\"accept\": null}";
}

const QByteArray kEstablished =
    "{\"match\": {\"op\": \"in\", \"left\": {\"ct\": {\"key\": \"state\"}}, \"right\": [\"established\", \"related\"]}}, {\"accept\": null}";

} // namespace

class TestHostFirewall : public QObject {
    Q_OBJECT

    QStringList FLines;

    // A folder with the fake tools and a ufw folder.
    struct Host {
        QTemporaryDir dir;
        QString bin() const { return dir.filePath(QStringLiteral("bin")); }
        QString ufw() const { return dir.filePath(QStringLiteral("ufw")); }
        QString log() const { return dir.filePath(QStringLiteral("tools.log")); }
        Host()
        {
            QDir().mkpath(bin());
            QDir().mkpath(ufw());
        }
        // firewall-cmd answering --state and --list-ports as given (exit codes too).
        void firewalld(const QByteArray &state, int stateExit, const QByteArray &ports, int portsExit)
        {
            writeFile(bin() + QStringLiteral("/firewall-cmd"),
                      "#!/bin/sh\necho \"firewall-cmd $*\" >> '" + log().toUtf8() + "'\n"
                      "case \"$1\" in\n"
                      "  --state) echo '" + state + "'; exit " + QByteArray::number(stateExit) + ";;\n"
                      "  --list-ports) echo '" + ports + "'; exit " + QByteArray::number(portsExit) + ";;\n"
                      "esac\nexit 2\n", true);
        }
        void nft(const QByteArray &json, int exitCode = 0)
        {
            writeFile(dir.filePath(QStringLiteral("ruleset.json")), json);
            writeFile(bin() + QStringLiteral("/nft"),
                      "#!/bin/sh\necho \"nft $*\" >> '" + log().toUtf8() + "'\ncat '"
                      + dir.filePath(QStringLiteral("ruleset.json")).toUtf8() + "'\nexit " + QByteArray::number(exitCode) + "\n",
                      true);
        }
        void hangingTool(const QString &name)
        {
            writeFile(bin() + QLatin1Char('/') + name,
                      "#!/bin/sh\necho \"" + name.toUtf8() + " $*\" >> '" + log().toUtf8() + "'\nexec sleep 20\n", true);
        }
        QStringList calls() const
        {
            QFile f(log());
            if (!f.open(QIODevice::ReadOnly))
                return {};
            return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        }
    };

private slots:
    void init()
    {
        FLines.clear();
        SetFirewallOutput([this](const std::string &line) { FLines << QString::fromStdString(line); });
    }
    void cleanup() { SetFirewallOutput(nullptr); }

    void probe_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QStringList>("lines");   // each must be among the output lines
        QTest::addColumn<bool>("notice");         // "Admin Rights" shown, start-up ends with 0x80070005

        const QString open20034 = QStringLiteral("Port 20034 is open in the firewall.\n");
        const QString open62751 = QStringLiteral("Port 62751 is open in the firewall.\n");
        const QString closed20034 = QStringLiteral("Port 20034 is not open in the firewall.\n");
        const QString failed = QStringLiteral("WindowsFirewallPortAdd failed: 0x80070005\n");
        const QString unreadable = QStringLiteral(
            "Port 20034 counts as open: the firewall's rules cannot be read without administrator rights.\n");

        QTest::newRow("nothing installed") << QString() << QByteArray() << false << QStringList{} << false;
        QTest::newRow("firewalld, both ports") << QStringLiteral("firewalld") << QByteArray("20034/udp 62751/tcp") << true
                                               << QStringList{QStringLiteral("The firewall is on.\n"), open20034, open62751}
                                               << false;
        QTest::newRow("firewalld, port range") << QStringLiteral("firewalld") << QByteArray("20000-20100/udp 62751/tcp")
                                               << true << QStringList{open20034, open62751} << false;
        QTest::newRow("firewalld, 62751/tcp only")
            << QStringLiteral("firewalld") << QByteArray("62751/tcp") << true
            << QStringList{closed20034, failed,
                           QStringLiteral("To open port 20034 (NB) an administrator runs: sudo firewall-cmd --permanent "
                                          "--add-port=20034/udp && sudo firewall-cmd --reload\n")}
            << true;
        QTest::newRow("firewalld, 20034 as tcp only") << QStringLiteral("firewalld") << QByteArray("20034/tcp 62751/tcp")
                                                      << true << QStringList{closed20034, failed} << true;
        QTest::newRow("firewalld, ports unreadable") << QStringLiteral("firewalld-denied") << QByteArray() << true
                                                     << QStringList{unreadable} << false;
        QTest::newRow("firewalld not running") << QStringLiteral("firewalld-off") << QByteArray() << false << QStringList{}
                                               << false;
        QTest::newRow("ufw off") << QStringLiteral("ufw") << QByteArray("ENABLED=no\n") << false << QStringList{} << false;
        QTest::newRow("ufw on, rules unreadable") << QStringLiteral("ufw") << QByteArray("ENABLED=yes\n") << true
                                                  << QStringList{unreadable} << false;
        QTest::newRow("ufw on, rules accept both")
            << QStringLiteral("ufw-rules") << QByteArray("*filter\n:ufw-user-input - [0:0]\n"
                                                         "-A ufw-user-input -p udp --dport 20034 -j ACCEPT\n"
                                                         "-A ufw-user-input -p tcp -m multiport --dports 22,62000:63000 -j ACCEPT\nCOMMIT\n")
            << true << QStringList{open20034, open62751} << false;
        QTest::newRow("ufw on, 20034 only from one network")
            << QStringLiteral("ufw-rules") << QByteArray("-A ufw-user-input -p udp -s 10.0.0.0/8 --dport 20034 -j ACCEPT\n"
                                                         "-A ufw-user-input -p tcp --dport 62751 -j ACCEPT\n")
            << true << QStringList{closed20034, QStringLiteral("To open port 20034 (NB) an administrator runs: sudo ufw allow 20034/udp\n")}
            << true;
        QTest::newRow("nftables, policy drop with accepts")
            << QStringLiteral("nft")
            << nftRuleset("drop", nftRule(kEstablished) + nftRule(dport("udp", "20034")) + nftRule(dport("tcp", "62751")))
            << true << QStringList{open20034, open62751} << false;
        QTest::newRow("nftables, port set and named set")
            << QStringLiteral("nft")
            << nftRuleset("drop",
                          nftRule(dport("udp", "{\"set\": [53, {\"range\": [20000, 20100]}]}")) + nftRule(dport("tcp", "\"@duvo\"")),
                          "{\"set\": {\"family\": \"inet\", \"table\": \"filter\", \"name\": \"duvo\", \"elem\": [22, 62751]}}, ")
            << true << QStringList{open20034, open62751} << false;
        QTest::newRow("nftables, only established accepted")
            << QStringLiteral("nft") << nftRuleset("drop", nftRule(kEstablished) + nftRule(dport("tcp", "62751"))) << true
            << QStringList{closed20034, failed} << true;
        QTest::newRow("nftables, last rule drops")
            << QStringLiteral("nft")
            << nftRuleset("accept", nftRule(dport("tcp", "62751")) + nftRule("{\"drop\": null}")) << true
            << QStringList{closed20034, failed} << true;
        QTest::newRow("nftables, policy accept") << QStringLiteral("nft") << nftRuleset("accept", nftRule(dport("tcp", "22")))
                                                 << false << QStringList{} << false;
        QTest::newRow("nftables, not allowed to read")
            << QStringLiteral("nft-denied") << QByteArray() << false << QStringList{} << false;
        QTest::newRow("nftables, malformed") << QStringLiteral("nft") << QByteArray("{\"nftables\": [{\"chain\": 5}, ") << false
                                             << QStringList{} << false;
        QTest::newRow("hanging firewall-cmd") << QStringLiteral("hang") << QByteArray() << false << QStringList{} << false;
    }

    void probe()
    {
        QFETCH(QString, setup);
        QFETCH(QByteArray, data);
        QFETCH(bool, on);
        QFETCH(QStringList, lines);
        QFETCH(bool, notice);

        Host host;
        if (setup == QLatin1String("firewalld"))
            host.firewalld("running", 0, data, 0);
        else if (setup == QLatin1String("firewalld-denied"))
            host.firewalld("running", 0, "Authorization failed.", 11);
        else if (setup == QLatin1String("firewalld-off"))
            host.firewalld("not running", 252, "", 252);
        else if (setup == QLatin1String("ufw"))
            writeFile(host.ufw() + QStringLiteral("/ufw.conf"), "# ufw\n" + data);
        else if (setup == QLatin1String("ufw-rules")) {
            writeFile(host.ufw() + QStringLiteral("/ufw.conf"), "ENABLED=yes\nLOGLEVEL=low\n");
            writeFile(host.ufw() + QStringLiteral("/user.rules"), data);
        } else if (setup == QLatin1String("nft"))
            host.nft(data);
        else if (setup == QLatin1String("nft-denied"))
            host.nft("Operation not permitted (you must be root)", 1);
        else if (setup == QLatin1String("hang"))
            host.hangingTool(QStringLiteral("firewall-cmd"));
        // Every case also has an nft that would say "on" unless another tool decided first
        // or the case is about nft itself.
        HostFirewall firewall;
        firewall.setSearchPath({host.bin()});
        firewall.setUfwRoot(host.ufw());
        if (setup == QLatin1String("hang"))
            firewall.setToolTimeoutMs(400);  // the real limit (2 s) holds for the others

        ScriptedPrompts prompts;
        if (notice)
            prompts.answer(Ok, QStringLiteral("Local Admin rights required!"), QStringLiteral("Admin Rights"));
        TaskDialog dialog;
        QElapsedTimer clock;
        clock.start();
        const HRESULT hr = SetupFirewall(firewall, QStringLiteral("/opt/duvo/VelmorDuvoStudio"), dialog);
        QVERIFY(clock.elapsed() < 6000);
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(hr, notice ? FW_E_ACCESSDENIED : FW_S_OK);
        QCOMPARE(FLines.contains(QStringLiteral("The firewall is on.\n")), on);
        if (on)
            QVERIFY(FLines.contains(QStringLiteral("Authorized application /opt/duvo/VelmorDuvoStudio is enabled in the firewall.\n")));
        for (const QString &line : lines)
            QVERIFY2(FLines.contains(line), qPrintable(line + QStringLiteral(" not in:\n") + FLines.join(QString())));
        if (!notice)
            QVERIFY(!FLines.join(QString()).contains(QStringLiteral("failed")));
        if (!lines.contains(QStringLiteral("Port 20034 counts as open: the firewall's rules cannot be read without administrator rights.\n")))
            QVERIFY(!FLines.join(QString()).contains(QStringLiteral("counts as open")));

        // The fakes were only asked to read.
        const QStringList readOnly{QStringLiteral("firewall-cmd --state"), QStringLiteral("firewall-cmd --list-ports"),
                                   QStringLiteral("nft -j list ruleset")};
        for (const QString &call : host.calls())
            QVERIFY2(readOnly.contains(call), qPrintable(call));
    }

    void realRulesetInANamespaceOfOurOwn()
    {
        const QString nft = QStandardPaths::findExecutable(QStringLiteral("nft"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        if (nft.isEmpty())
            QSKIP("nft is not installed");
        QProcess check;
        check.start(QStringLiteral("unshare"), {QStringLiteral("-rn"), nft, QStringLiteral("list"), QStringLiteral("ruleset")});
        if (!check.waitForFinished(5000) || check.exitCode() != 0)
            QSKIP("no network namespace can be made here");

        Host host;
        const QString rules = host.dir.filePath(QStringLiteral("duvo.nft"));
        writeFile(rules, "table inet filter {\n"
                         "  set duvo { type inet_service; flags interval; elements = { 62751, 30000-30010 } }\n"
                         "  chain input {\n"
                         "    type filter hook input priority 0; policy drop;\n"
                         "    ct state established,related accept\n"
                         "    iifname \"lo\" accept\n"
                         "    tcp dport @duvo accept\n"
                         "    udp dport { 53, 20000-20100 } accept\n"
                         "  }\n"
                         "}\n");
        // Each run of "nft" loads the ruleset into a fresh namespace and lists it there.
        writeFile(host.bin() + QStringLiteral("/nft"),
                  "#!/bin/sh\necho \"nft $*\" >> '" + host.log().toUtf8() + "'\n"
                  "exec unshare -rn sh -c '" + nft.toUtf8() + " -f \"$0\" && " + nft.toUtf8() + " \"$@\"' '"
                  + rules.toUtf8() + "' \"$@\"\n", true);
        HostFirewall firewall;
        firewall.setSearchPath({host.bin()});
        firewall.setUfwRoot(host.ufw());
        ScriptedPrompts prompts;
        TaskDialog dialog;
        QCOMPARE(SetupFirewall(firewall, QStringLiteral("/opt/duvo/VelmorDuvoStudio"), dialog), FW_S_OK);
        QCOMPARE(firewall.kind(), HostFirewall::Kind::Nftables);
        QVERIFY2(FLines.contains(QStringLiteral("Port 20034 is open in the firewall.\n")), qPrintable(FLines.join(QString())));
        QVERIFY(FLines.contains(QStringLiteral("Port 62751 is open in the firewall.\n")));
        QCOMPARE(host.calls(), QStringList{QStringLiteral("nft -j list ruleset")});
    }
};

QTEST_MAIN(TestHostFirewall)
#include "tst_hostfirewall.moc"
