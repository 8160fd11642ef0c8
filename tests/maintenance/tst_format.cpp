// The drive format window against simulated instruments (127.0.210.0/24): the boxes it shows
// in each outcome (interactive and silent), the one request it sends, and that the user
// cannot close it while the format runs.

#include "maintenance/forms/TFormatForm.h"
#include "link/CommandDocs.h"
#include "link/Workstation.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>

using namespace duvo;
using namespace duvo::test;

namespace {

enum class Outcome { Ok, DriveLocked, Reset, Refused, Delayed };

struct Box {
    QString title, text;
};

} // namespace

Q_DECLARE_METATYPE(Outcome)

class TestFormat : public QObject {
    Q_OBJECT
private slots:
    void outcomes_data();
    void outcomes();
    void cannotBeClosedWhileFormatting();
};

void TestFormat::outcomes_data()
{
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("formatted");
    QTest::addColumn<QStringList>("boxes");  // "title|text" in order
    QTest::addColumn<int>("requests");

    const QString done = QStringLiteral("Format Duvo|Formatting completed.");
    const QString locked = QStringLiteral("Error Format XML parsing|Drive locked");
    const QString net = QStringLiteral("Error|Error during Format_doc net command");
    for (bool silent : {false, true}) {
        const char *mode = silent ? "silent" : "interactive";
        const QStringList completion = silent ? QStringList() : QStringList{done};
        QTest::addRow("ok %s", mode) << Outcome::Ok << silent << true << completion << 1;
        // A failed format is never followed by the completion box.
        QTest::addRow("drive locked %s", mode) << Outcome::DriveLocked << silent << false << QStringList{locked} << 1;
        QTest::addRow("reset %s", mode) << Outcome::Reset << silent << false << QStringList{net} << 1;
        QTest::addRow("refused %s", mode) << Outcome::Refused << silent << false << QStringList{net} << 0;
        QTest::addRow("2 s delay %s", mode) << Outcome::Delayed << silent << true << completion << 1;
    }
}

void TestFormat::outcomes()
{
    QFETCH(Outcome, outcome);
    QFETCH(bool, silent);
    QFETCH(bool, formatted);
    QFETCH(QStringList, boxes);
    QFETCH(int, requests);

    SimulatedLab lab("127.0.210", 1);
    QVERIFY2(lab.started(), lab.error().c_str());
    QVERIFY(lab.instrument(0).makeFolder("KEEPME"));
    switch (outcome) {
    case Outcome::Ok:
        break;
    case Outcome::DriveLocked:
        lab.addFault(0, {duvosim::FaultKind::ErrorReply, "Format", 7, "Drive locked"});
        break;
    case Outcome::Reset:
        lab.fail(0, -1, "Format");
        break;
    case Outcome::Refused:
        lab.setRefusing(0, true);
        break;
    case Outcome::Delayed: {
        duvosim::SimFault f;
        f.kind = duvosim::FaultKind::Delay;
        f.command = "Format";
        f.delayMs = 2000;
        lab.addFault(0, f);
        break;
    }
    }
    Workstation ws;
    ScriptedPrompts prompts;
    for (int i = 0; i < boxes.size(); ++i)
        prompts.answer(Ok);

    TFormatForm f(nullptr, QString::fromStdString(lab.address(0)), QStringLiteral("DUVO 96"),
                  QStringLiteral("D96-0001"), silent);
    f.TCPClient1.setTimeout(3000);
    QCOMPARE(f.lblIP->text(), QString::fromStdString(lab.address(0)));
    QCOMPARE(f.lblStatus->text(), QStringLiteral("DUVO 96   ID:  D96-0001"));
    QElapsedTimer clock;
    clock.start();
    f.exec();
    QVERIFY(clock.elapsed() < 6000);

    QStringList shown;
    for (const PromptRequest &r : prompts.asked())
        shown << r.title + QLatin1Char('|') + r.text;
    QCOMPARE(shown, boxes);
    QCOMPARE(prompts.offThreadAsks(), 0);
    QCOMPARE(f.formatted(), formatted);
    QCOMPARE(ws.lastAlert(), QStringLiteral("Formatting. Please wait"));

    // Exactly one exchange, never a second attempt, carrying the format request as it stands.
    const auto sent = lab.requests(0);
    QCOMPARE(int(sent.size()), requests);
    for (const auto &e : sent)
        QCOMPARE(e.bytes, Format_doc());
    QCOMPARE(lab.instrument(0).folder("KEEPME").has_value(), !formatted);
}

void TestFormat::cannotBeClosedWhileFormatting()
{
    SimulatedLab lab("127.0.210", 1);
    QVERIFY2(lab.started(), lab.error().c_str());
    duvosim::SimFault slow;
    slow.kind = duvosim::FaultKind::Delay;
    slow.command = "Format";
    slow.delayMs = 1500;
    lab.addFault(0, slow);
    ScriptedPrompts prompts;
    prompts.answer(Ok, QStringLiteral("Formatting completed."), QStringLiteral("Format Duvo"));

    TFormatForm f(nullptr, QString::fromStdString(lab.address(0)), QStringLiteral("DUVO 24"),
                  QStringLiteral("D24-7"), false);
    QVERIFY(f.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!(f.windowFlags() & Qt::WindowCloseButtonHint));
    bool stillOpen = false;
    QTimer::singleShot(700, &f, [&] {
        QTest::keyClick(&f, Qt::Key_Escape);
        f.close();
        static_cast<QDialog &>(f).reject();
        QCoreApplication::processEvents();
        stillOpen = f.isVisible() && !f.workerFinished();
        saveShot(f, QStringLiteral("TFormatForm"));
    });
    f.exec();
    QVERIFY(stillOpen);
    QVERIFY(f.workerFinished());
    QVERIFY(f.formatted());
    QCOMPARE(prompts.asked().size(), 1);
}

QTEST_MAIN(TestFormat)
#include "tst_format.moc"
