// The single-instance hand-over, with real processes of the workstation.

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

class TestSingleInstance : public QObject {
    Q_OBJECT
private:
    QString FProgram;
    QTemporaryDir FFolder;
    QString FKey;

    void start(QProcess &p)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("DUVO_INSTANCE_KEY"), FKey);
        env.insert(QStringLiteral("DUVO_PROGRAM_FOLDER"), FFolder.path());
        env.insert(QStringLiteral("DUVO_STARTUP_WAIT_MS"), QStringLiteral("0"));
        env.insert(QStringLiteral("DUVO_NO_SLEEP_INHIBITOR"), QStringLiteral("1"));
        // Discovery, where it runs, stays on a loopback lab of its own.
        env.insert(QStringLiteral("DUVO_MODULE_TARGET"), QStringLiteral("127.0.31.2"));
        env.insert(QStringLiteral("DUVO_MODULE_BIND"), QStringLiteral("127.0.31.1"));
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(FProgram, {QStringLiteral("--some"), QStringLiteral("argument")});
        QVERIFY(p.waitForStarted(10000));
    }

    static void stop(QProcess &p)
    {
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(10000);
        }
    }

private slots:
    void initTestCase()
    {
        FProgram = qEnvironmentVariable("DUVO_TEST_BINARY_DIR") + QStringLiteral("/bin/VelmorDuvoStudio");
        if (!QFileInfo::exists(FProgram))
            QSKIP("the workstation program is not built");
        FKey = QStringLiteral("duvo-test-") + QUuid::createUuid().toString(QUuid::Id128);
    }

    void secondStartHandsOverAndEndsWithZero()
    {
        QProcess first;
        start(first);
        // The first instance is up once its general log or its socket exists; give it time.
        QTest::qWait(1500);
        QCOMPARE(first.state(), QProcess::Running);

        QProcess second;
        start(second);
        QVERIFY2(second.waitForFinished(15000), "the second instance kept running");
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);  // the first ignores the command line

        // A first instance that died leaves its socket behind: the next start runs anyway.
        stop(first);
        QProcess third;
        start(third);
        QVERIFY(!third.waitForFinished(2000));
        QCOMPARE(third.state(), QProcess::Running);
        stop(third);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
