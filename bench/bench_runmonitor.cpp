// The run monitor's costs, each against its floor measured in the same run (loopback only,
// 127.0.143.0/24):
//   1. a monitor pass (GetStatus, display, chart point, plot line) over a raw GetStatus
//      exchange (limit 1.5);
//   2. a day of chart ticks (86 400 by default, one per second) rendered offscreen: the last
//      1 000 over the first 1 000 (limit 1.2), and add-trim-render over render alone (1.5);
//   3. a day of plot lines: the GUI thread's share (format and queue) over raw
//      fopen/fprintf/fclose per line (limit 0.3), the two files identical;
//   4. a writer that sleeps 200 ms per line: the longest lateness of a 10 ms GUI timer while
//      lines are queued (limit 50 ms).
// Usage: bench_runmonitor [chart ticks]

#include "duvosim/SimLab.h"
#include "link/CommandDocs.h"
#include "link/NetExchange.h"
#include "link/Workstation.h"
#include "runs/DayNumber.h"
#include "runs/RunPlotFile.h"
#include "runs/forms/TDeviceStatusForm.h"

#include <QApplication>
#include <QChartView>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

void render(QWidget *w, QImage &image)
{
    QPainter p(&image);
    w->render(&p);
}

const char *verdict(double ratio, double limit)
{
    return ratio <= limit ? "ok" : "OVER";
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int ticks = argc > 1 ? std::max(2000, std::atoi(argv[1])) : 86400;

    duvosim::SimLab lab("127.0.143", 1);
    std::string error;
    if (!lab.start(&error)) {
        std::fprintf(stderr, "bench: the simulated lab did not start: %s\n", error.c_str());
        return 1;
    }
    lab.instrument(0).setTimeScale(1);
    lab.instrument(0).putProtocol("PCR", "BENCH", "<Protocol/>");
    std::string reason;
    lab.instrument(0).startRun("PCR", "BENCH", &reason);

    QTemporaryDir dir;
    Workstation ws;
    DatabasePath = dir.filePath(QStringLiteral("VadeZir.sqb"));
    auto device = std::make_unique<DVDEVICEINFO_T>();
    device->ipAddress = lab.address(0);
    device->sessionId = "20260101000000";
    device->recording = 1;
    ws.FDeviceList.Add(std::move(device));

    // 1. The pass against the raw exchange.
    {
        int index = 0, consumable = 1, volume = 20;
        duvo::RunMonitorSeams seams;
        seams.clock = duvo::SystemLocalClock();
        seams.freeSpace = [](const QString &) { return -1; };
        TDeviceStatusForm form(nullptr, ws, &index, QString::fromStdString(lab.address(0)), QStringLiteral("B"),
                               QStringLiteral("DUVO 96"), QStringLiteral("PCR"), QStringLiteral("BENCH"), &consumable,
                               &volume, {}, {}, {}, {}, seams);
        form.resize(860, 620);
        const int n = 300;
        TcpClient raw;
        std::string reply;
        for (int i = 0; i < 20; ++i) {  // warm both up
            form.PollStatus();
            SendNetCommand(raw, lab.address(0), GetStatus_doc(), reply);
        }
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; ++i)
            SendNetCommand(raw, lab.address(0), GetStatus_doc(), reply);
        const double rawMs = t.nsecsElapsed() / 1e6;
        t.restart();
        for (int i = 0; i < n; ++i)
            form.PollStatus();
        const double passMs = t.nsecsElapsed() / 1e6;
        duvo::RunPlotWriter::instance().waitIdle(10000);
        const double ratio = passMs / rawMs;
        std::printf("monitor pass / raw GetStatus exchange: %.3f (limit 1.5) %s  [%.3f ms vs %.3f ms per pass]\n",
                    ratio, verdict(ratio, 1.5), passMs / n, rawMs / n);
    }

    // 2. A day of chart ticks.
    {
        int index = 0, consumable = 1, volume = 20;
        TDeviceStatusForm form(nullptr, ws, &index, QStringLiteral("127.0.143.250"), QStringLiteral("B"),
                               QStringLiteral("DUVO 96"), {}, {}, &consumable, &volume, {}, {}, {}, {}, std::nullopt);
        form.Timer1.stop();
        form.resize(860, 620);
        form.Chart1->resize(840, 300);
        QImage image(form.Chart1->size(), QImage::Format_ARGB32_Premultiplied);
        const QDateTime t0 = QDateTime::currentDateTime();
        QElapsedTimer t;
        double firstMs = 0, lastMs = 0, allMs = 0;
        t.start();
        for (int i = 0; i < ticks; ++i) {
            if (i == 1000)
                firstMs = t.nsecsElapsed() / 1e6;
            if (i == ticks - 1000)
                lastMs = t.nsecsElapsed() / 1e6;
            form.AddChartPoint(t0.addSecs(i), 20.0 + (i % 80));
            render(form.Chart1, image);
        }
        allMs = t.nsecsElapsed() / 1e6;
        lastMs = allMs - lastMs;
        const double drift = lastMs / firstMs;
        std::printf("chart, last 1000 ticks / first 1000 (%d ticks): %.3f (limit 1.2) %s\n", ticks, drift,
                    verdict(drift, 1.2));
        t.restart();
        for (int i = 0; i < 1000; ++i)
            render(form.Chart1, image);
        const double renderOnly = t.nsecsElapsed() / 1e6;
        t.restart();
        for (int i = 0; i < 1000; ++i) {
            form.AddChartPoint(t0.addSecs(ticks + i), 20.0 + (i % 80));
            render(form.Chart1, image);
        }
        const double withAdd = t.nsecsElapsed() / 1e6;
        const double addRatio = withAdd / renderOnly;
        std::printf("chart, add-trim-render / render alone: %.3f (limit 1.5) %s  [%.3f ms per tick]\n", addRatio,
                    verdict(addRatio, 1.5), withAdd / 1000);
    }

    // 3. A day of plot lines: the GUI thread's share against the raw writes.
    {
        const int lines = 86400;
        const QString ours = dir.filePath(QStringLiteral("ours.DAT"));
        const QString raw = dir.filePath(QStringLiteral("raw.DAT"));
        const double day0 = 46367.25;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < lines; ++i) {
            std::FILE *f = std::fopen(raw.toLocal8Bit().constData(), "ab");
            std::fprintf(f, "%f %.1f\r\n", day0 + i / 86400.0, 20.0 + (i % 800) / 10.0);
            std::fclose(f);
        }
        const double rawMs = t.nsecsElapsed() / 1e6;
        duvo::RunPlotWriter &writer = duvo::RunPlotWriter::instance();
        t.restart();
        for (int i = 0; i < lines; ++i)
            writer.append(0, {ours, duvo::RunPlotLine(day0 + i / 86400.0, 20.0 + (i % 800) / 10.0), {}});
        const double guiMs = t.nsecsElapsed() / 1e6;
        writer.waitIdle(120000);
        QFile a(ours), b(raw);
        a.open(QIODevice::ReadOnly);
        b.open(QIODevice::ReadOnly);
        const bool same = a.readAll() == b.readAll();
        const double ratio = guiMs / rawMs;
        std::printf("plot lines, GUI thread / raw fopen-fprintf-fclose: %.3f (limit 0.3) %s; files %s\n", ratio,
                    verdict(ratio, 0.3), same ? "identical" : "DIFFER");
    }

    // 4. A writer stuck 200 ms per line does not hold up a 10 ms GUI timer.
    {
        duvo::RunPlotWriter &writer = duvo::RunPlotWriter::instance();
        const auto slow = [](const QString &) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return -1;
        };
        QTimer tick;
        tick.setInterval(10);
        tick.setTimerType(Qt::PreciseTimer);
        QElapsedTimer since;
        qint64 worst = 0;
        int n = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            worst = std::max(worst, since.restart() - 10);
            // One status pass's line every tenth tick.
            if (++n % 10 == 0)
                writer.append(0, {dir.filePath(QStringLiteral("slow.DAT")), "1.000000 1.0\r\n", slow});
            if (n == 300)
                QCoreApplication::quit();
        });
        since.start();
        tick.start();
        app.exec();
        std::printf("10 ms GUI timer with a writer sleeping 200 ms per line: worst lateness %lld ms (limit 50) %s\n",
                    static_cast<long long>(worst), worst <= 50 ? "ok" : "OVER");
        writer.waitIdle(30000);
    }
    return 0;
}
