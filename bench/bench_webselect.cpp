// Fills the download list window from an index of 10,000 entries (60,000 name=value lines)
// and prints the time, beside the time of only splitting and mapping the index (the floor).
//   bench_webselect [--entries 10000]

#include "mainwindow/WebDownload.h"
#include "mainwindow/forms/TWebSelectForm.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int entries = 10000;
    for (int i = 1; i + 1 < argc; ++i)
        if (!std::strcmp(argv[i], "--entries"))
            entries = std::atoi(argv[++i]);
    QByteArray text = "TotalFiles=" + QByteArray::number(entries) + "\r\n";
    for (int n = 1; n <= entries; ++n) {
        const QByteArray k = QByteArray::number(n);
        text += k + "=protocol" + k + ".svp\r\nName" + k + "=Protocol " + k + "\r\nDescription" + k
                + "=Two-step cycling\r\nAuthor" + k + "=Velmor Lab\r\nVersion" + k + "=1.0\r\nDate" + k + "=2026-11-30\r\n";
    }
    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    QStringList lines = duvo::NameValueIndex::splitLines(text);
    const duvo::NameValueIndex index(lines);
    const auto t1 = Clock::now();
    QStringList list = duvo::NameValueIndex::splitLines(text);
    const auto t2 = Clock::now();
    TWebSelectForm form(nullptr, &list);
    const auto t3 = Clock::now();
    const double floor = std::chrono::duration<double>(t1 - t0).count();
    const double fill = std::chrono::duration<double>(t3 - t2).count();
    std::printf("%d entries: index map %.3f s, window filled %.3f s (target < 0.5 s), ours/floor %.1f, rows %d\n", entries,
                floor, fill, fill / floor, form.ListBox1->count());
    return index.value(QStringLiteral("TotalFiles")).toInt() == entries ? 0 : 1;
}
