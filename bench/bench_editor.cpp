// The protocol editor offscreen on protocols of 99 and 2 000 records: the time to show the
// window with the protocol, and the time of one editing command (New Step on the first
// record, which rebuilds list, footer and graph). The floor, measured in the same run: as
// many plain QListWidget items plus one QLineSeries replace of the same points in a shown
// chart. Prints ours/floor for both sizes (target: at most 2) and the cost per record at
// 2 000 against 99 (target: at most 1.5). No network.

#include "protocols/ProtocolEditing.h"
#include "protocols/forms/TProtocolEditorForm.h"
#include "common/Prompts.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QListWidget>
#include <QValueAxis>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Answers every box with its "no": a bench never waits.
class SilentPrompts : public duvo::Prompts {
public:
    duvo::PromptAnswer ask(const duvo::PromptRequest &r) override
    {
        duvo::PromptAnswer a;
        a.button = (r.buttons & duvo::Cancel) ? duvo::Cancel : duvo::Ok;
        return a;
    }
};

std::string protocolOf(int records)
{
    duvo::CyclerStepList list;
    // Steps with a loop of 3 every 10 records, as real protocols look.
    while (list.Count() < records) {
        if (list.Count() % 10 == 5 && records - list.Count() >= 4) {
            auto loop = std::make_unique<duvo::CyclerStepRecord>();
            loop->StepType = duvo::LoopStepType;
            loop->NumberOfStepsInsideLoop = 3;
            loop->NumberOfCyclesToLoop = 1;
            loop->IncubationTime = duvo::EncodeTime(0, 0, 20);
            list.Append(std::move(loop));
        }
        auto step = std::make_unique<duvo::CyclerStepRecord>();
        step->Temperature = 50 + list.Count() % 40;
        step->IncubationTime = duvo::EncodeTime(0, 0, 10 + list.Count() % 50);
        step->RampRate = 7;
        list.Append(std::move(step));
    }
    std::string text;
    list.WriteProtocolXml(QStringLiteral("BENCH"), text);
    return text;
}

struct Times {
    double show = 0;
    double command = 0;
};

Times timeEditor(const QString &xml)
{
    Times t;
    QElapsedTimer timer;
    timer.start();
    TProtocolEditorForm editor(nullptr, false, xml, false, QString(), QStringLiteral("BENCH"), QString(), QString());
    editor.show();
    QCoreApplication::processEvents();
    t.show = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    editor.selectIndex(0);
    editor.btnNewStepClick();
    QCoreApplication::processEvents();
    t.command = double(timer.nsecsElapsed()) / 1e6;
    return t;
}

Times timeFloor(int records)
{
    Times t;
    auto fill = [records](QListWidget &list, QLineSeries &series) {
        list.clear();
        for (int i = 0; i < records; ++i)
            list.addItem(QString::number(i + 1));
        QList<QPointF> points;
        points.reserve(2 * records + 1);
        for (int i = 0; i <= records; ++i) {
            points.append(QPointF(i * 1000.0, 50 + i % 40));
            points.append(QPointF(i * 1000.0 + 500, 50 + (i + 1) % 40));
        }
        series.replace(points);
    };
    QElapsedTimer timer;
    timer.start();
    QWidget window;
    auto *list = new QListWidget(&window);
    auto *chart = new QChart;
    auto *series = new QLineSeries;
    chart->addSeries(series);
    auto *x = new QDateTimeAxis;
    auto *y = new QValueAxis;
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    auto *view = new QChartView(chart, &window);
    auto *layout = new QHBoxLayout(&window);
    layout->addWidget(list);
    layout->addWidget(view);
    window.resize(1040, 640);
    fill(*list, *series);
    window.show();
    QCoreApplication::processEvents();
    t.show = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    fill(*list, *series);
    QCoreApplication::processEvents();
    t.command = double(timer.nsecsElapsed()) / 1e6;
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SilentPrompts prompts;
    duvo::PromptsScope scope(&prompts);

    const int sizes[] = {99, 2000};
    const int rounds = 5;
    double perRecord[2] = {0, 0};
    bool ok = true;
    for (int s = 0; s < 2; ++s) {
        const int n = sizes[s];
        const QString xml = QString::fromStdString(protocolOf(n));
        Times best{1e300, 1e300}, floor{1e300, 1e300};
        timeEditor(xml);   // warm-up: fonts, pictures, chart theme
        timeFloor(n);
        for (int r = 0; r < rounds; ++r) {
            const Times e = timeEditor(xml);
            const Times f = timeFloor(n);
            best.show = std::min(best.show, e.show);
            best.command = std::min(best.command, e.command);
            floor.show = std::min(floor.show, f.show);
            floor.command = std::min(floor.command, f.command);
        }
        const double showRatio = best.show / floor.show;
        const double commandRatio = best.command / floor.command;
        perRecord[s] = (best.show + best.command) / n;
        std::printf("records %5d: show ours/floor %.2f, command ours/floor %.2f\n", n, showRatio, commandRatio);
        ok = ok && showRatio <= 2.0 && commandRatio <= 2.0;
    }
    const double growth = perRecord[1] / perRecord[0];
    std::printf("cost per record, 2000 vs 99: %.2f\n", growth);
    ok = ok && growth <= 1.5;
    std::printf("%s\n", ok ? "within targets" : "OUTSIDE TARGETS");
    return ok ? 0 : 1;
}
