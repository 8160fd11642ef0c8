// duvodemo: fills a program folder with what a new user needs to try the run history, the
// plot viewer, the database administration and the load-from-disk manager:
//   - "VadeZir.sqb" with twelve past runs of the last three weeks (notes on some, both
//     consumables, several volumes), each with its plot file and the instrument's run log;
//   - four protocol files (".SVP").
// Nothing that is already there is touched: a database of the user's own stays as it is, and
// so do protocol files of the same names.
//   duvodemo <program folder>

#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "link/SessionId.h"
#include "link/Settings.h"
#include "protocols/CyclerStepList.h"
#include "protocols/ProtocolFile.h"
#include "runs/DayNumber.h"
#include "runs/RunPlotFile.h"
#include "runs/RunRecords.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cmath>
#include <string>
#include <vector>

using namespace duvo;

namespace {

struct Step {
    double temperature;
    int seconds;
    double ramp;  // degrees per second on the way to the step
};

struct DemoProtocol {
    const char *name;
    std::vector<Step> before;  // once
    std::vector<Step> cycle;   // repeated
    int cycles;
    std::vector<Step> after;   // once
};

const std::vector<DemoProtocol> &protocols()
{
    static const std::vector<DemoProtocol> list = {
        {"QPCR30", {{95, 120, 4}}, {{95, 15, 4}, {60, 30, 3}, {72, 30, 3}}, 30, {{4, 30, 4}}},
        {"QPCR40", {{95, 180, 4}}, {{95, 10, 4}, {58, 20, 3}, {72, 20, 3}}, 40, {{4, 30, 4}}},
        {"COLONY25", {{94, 300, 4}}, {{94, 30, 4}, {55, 30, 3}, {72, 60, 3}}, 25, {{72, 300, 3}, {10, 30, 4}}},
        {"TOUCHDN", {{95, 120, 4}}, {{95, 20, 4}, {65, 30, 3}, {72, 45, 3}}, 20, {{72, 420, 3}, {4, 30, 4}}},
    };
    return list;
}

QString fixed(double v) { return QString::number(v, 'f', 1); }
QString clock(int seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, QLatin1Char('0')).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// The protocol document the editor would write for the steps.
std::string protocolText(const DemoProtocol &p)
{
    CyclerStepList list;
    const auto add = [&](const Step &s, int indent) {
        list.AddStepItem(fixed(s.temperature), clock(s.seconds), fixed(s.ramp), QStringLiteral("00:00"),
                         QStringLiteral("0.0"), false, false, true, indent);
    };
    for (const Step &s : p.before)
        add(s, 0);
    list.AddLoopItem(QString::number(p.cycle.size()), QString::number(p.cycles), true, 0);
    for (const Step &s : p.cycle)
        add(s, 20);
    for (const Step &s : p.after)
        add(s, 0);
    list.RebuildStepList();
    std::string text;
    list.WriteProtocolXml(QString::fromLatin1(p.name), text);
    return text;
}

// The block temperature every two seconds along the run, from 22 degrees at the start, as the
// status passes record it. Returns the run's length in seconds, or -1 when the file could not
// be written.
int writePlot(const QString &path, const DemoProtocol &p, const QDateTime &start, unsigned seed)
{
    std::vector<Step> steps = p.before;
    for (int c = 0; c < p.cycles; ++c)
        steps.insert(steps.end(), p.cycle.begin(), p.cycle.end());
    steps.insert(steps.end(), p.after.begin(), p.after.end());

    std::string text;
    double t = 22.0;
    int second = 0;
    const auto sample = [&] {
        if (second % 2 == 0) {
            seed = seed * 1103515245u + 12345u;
            const double noise = (int((seed >> 16) % 7) - 3) * 0.05;
            text += RunPlotLine(DayNumberFromDateTime(start.addSecs(second)), t + noise);
        }
        ++second;
    };
    for (const Step &s : steps) {
        while (std::abs(s.temperature - t) > s.ramp) {
            t += s.temperature > t ? s.ramp : -s.ramp;
            sample();
        }
        t = s.temperature;
        for (int k = 0; k < s.seconds; ++k)
            sample();
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.data(), qint64(text.size())) != qint64(text.size())
        || !f.flush())
        return -1;
    return second;
}

std::string element(const std::string &name, const std::string &text)
{
    return "<" + name + ">" + text + "</" + name + ">";
}

// The instrument's GetProtocolLog reply as the run monitor stores it.
std::string runLog(const QDateTime &start, int seconds, const std::string &path, bool lidWarning)
{
    std::string x = "<?xml version=\"1.0\" ?><CycleProtocol><GetProtocolLog CmdType=\"Reply\" ID=\"5D0C2A11\">"
                    "<ErrCode>0</ErrCode><ErrMessage>OK</ErrMessage><ProtocolLog>";
    x += element("StartTime", std::to_string(start.toSecsSinceEpoch())) + element("RunTime", std::to_string(seconds))
         + element("Path", path);
    if (lidWarning) {
        x += "<Errors><Error>" + element("Code", "0x0412") + element("ManualCode", "E412")
             + element("ErrorText", "Heated lid below its set temperature")
             + element("ActionText", "Check that the lid is closed; the run went on") + element("Severity", "1")
             + element("TimeStamp", std::to_string(start.toSecsSinceEpoch() + 95)) + "</Error></Errors>";
    }
    return x + "</ProtocolLog></GetProtocolLog></CycleProtocol>";
}

// Creates the main database at db and writes twelve runs of the three weeks before today into
// it, with their plot files beside it (listed in plots as they are written).
bool fillDatabase(const QString &db, QStringList &plots)
{
    if (CreateMainDatabase(db) != 1 || !WriteDbVersion(db))
        return false;
    struct Person {
        const char *name;
        const char *description;
    };
    const Person people[] = {
        {"Ann Keller", "Melting curve check of the new primer set"},
        {"Bo Li", "GAPDH reference, plate 2 of 3"},
        {"Chris Meyer", "Colony screen of the morning transformation"},
        {"Dana Ortiz", "Touchdown test for the difficult template"},
    };
    const char *const notes[] = {
        "", "Plate sealed with the new foil.", "",
        "Repeat of last week's run; lane 7 was empty then.", "", "Samples thawed twice.",
    };
    // Three of the demo lab's instruments.
    const char *const instruments[][3] = {
        {"127.0.7.10", "DUVO 96", "DU0000001000"},
        {"127.0.7.11", "DUVO 24", "DU0000001001"},
        {"127.0.7.12", "DUVO 96", "DU0000001002"},
    };
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < 12; ++i) {
        const DemoProtocol &p = protocols()[size_t(i % 4)];
        const QDateTime start = now.addDays(-21 + i * 7 / 4).addSecs(-3600 * (i % 5) - 37 * i);
        const QString session = FormatSessionId(start, 1000 + i * 2371);
        plots << RunPlotFilePath(db, session);
        const int seconds = writePlot(plots.last(), p, start, unsigned(i) + 7u);
        if (seconds < 0)
            return false;
        const auto &place = instruments[i % 3];
        RunRecord r;
        r.sessionId = session.toStdString();
        r.folder = i % 3 == 2 ? "ROUTINE" : "0/ROUTINE";
        r.file = p.name;
        r.protocol = protocolText(p);
        // The size the run monitor stores is that of the whole GetProtocol reply: the document
        // and the reply's envelope around it.
        r.protocolSize = int(r.protocol.size()) + 220;
        r.date = DayNumberFromDateTime(start);
        r.volume = (i % 3 == 0) ? 25 : (i % 3 == 1 ? 50 : 20);
        r.consumable = i % 2;
        r.originalIp = place[0];
        r.originalType = place[1];
        r.originalName = place[2];
        r.contactName = people[i % 4].name;
        r.description = people[i % 4].description;
        r.notes = notes[i % 6];
        r.fwVersion = i < 8 ? "2.4.1" : "2.5.0";
        WriteRunRecord(db, r);
        // The newest run's log has not been fetched yet: its "View Duvo Log" says so.
        if (i < 11)
            WriteRunLogRecord(db, {r.sessionId, runLog(start, seconds, "ROUTINE/" + std::string(p.name), i == 5)});
    }
    return true;
}

// The database is filled under a name of its own and takes its place only when complete, so
// a failed start leaves nothing that a later one would take for the user's own database.
bool writeDatabase(const QString &folder)
{
    const QString db = folder + QStringLiteral("/VadeZir.sqb");
    if (QFileInfo::exists(db))
        return true;
    const QString building = db + QStringLiteral(".demo");
    QStringList plots;
    const auto fail = [&](const QString &what) {
        std::fprintf(stderr, "duvodemo: %s\n", qPrintable(what));
        for (const QString &plot : std::as_const(plots))
            QFile::remove(plot);
        QFile::remove(building);
        QFile::remove(building + QStringLiteral("-journal"));
        return false;
    };
    try {
        if (!fillDatabase(building, plots))
            return fail(QStringLiteral("cannot write the demo runs into ") + folder);
    } catch (const CppSQLite3Exception &e) {
        return fail(QStringLiteral("SQLite error %1 in %2").arg(e.ErrorCode()).arg(building));
    }
    if (!QFile::rename(building, db))
        return fail(QStringLiteral("cannot rename ") + building);
    std::printf("duvodemo: %s with 12 past runs\n", qPrintable(db));
    return true;
}

void writeProtocolFiles(const QString &folder)
{
    for (const DemoProtocol &p : protocols()) {
        const QString path = folder + QLatin1Char('/') + QString::fromLatin1(p.name) + QStringLiteral(".SVP");
        if (QFileInfo::exists(path))
            continue;
        const std::string text = protocolText(p);
        if (!WriteProtocolFile(path, p.name, text, int(text.size())))
            std::fprintf(stderr, "duvodemo: cannot write %s\n", qPrintable(path));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: duvodemo <program folder>\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "duvodemo: cannot make %s\n", qPrintable(folder));
        return 1;
    }
    try {
        if (!writeDatabase(folder))
            return 1;
        writeProtocolFiles(folder);
    } catch (const CppSQLite3Exception &e) {
        std::fprintf(stderr, "duvodemo: SQLite error %d\n", e.ErrorCode());
        return 1;
    }
    return 0;
}
