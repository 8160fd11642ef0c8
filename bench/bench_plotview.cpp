// The plot viewer on a 24 h plot file (86 400 lines), beside the raw floor in the same run:
// open to the first page painted against a raw read + from_chars + QPainter polyline of the
// page; then 200 page moves and Points per Page changes up to 1000, each repaint against a
// polyline of the same points into an image of the same size (best of three of each). Prints
// the ratios and the slowest repaint.

#include "runs/forms/TGraphViewForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSpinBox>
#include <QTemporaryDir>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

double polylineMs(const std::vector<QPointF> &pts, QSize size)
{
    QElapsedTimer t;
    t.start();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    double minX = pts.empty() ? 0 : pts.front().x(), maxX = pts.empty() ? 1 : pts.back().x();
    QPolygonF poly;
    poly.reserve(qsizetype(pts.size()));
    for (const QPointF &pt : pts)
        poly << QPointF((pt.x() - minX) / std::max(1e-9, maxX - minX) * size.width(),
                        size.height() - pt.y() / 100.0 * size.height());
    p.drawPolyline(poly);
    p.end();
    return t.nsecsElapsed() / 1e6;
}

std::vector<QPointF> rawRead(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    std::vector<QPointF> out;
    const char *p = bytes.constData(), *end = p + bytes.size();
    while (p < end) {
        double x = 0, y = 0;
        auto r = std::from_chars(p, end, x);
        r = std::from_chars(r.ptr + 1, end, y);
        out.emplace_back(x, y);
        p = static_cast<const char *>(std::memchr(r.ptr, '\n', size_t(end - r.ptr)));
        if (!p)
            break;
        ++p;
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("S24H.DAT");
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        char line[64];
        for (int i = 0; i < 86400; ++i) {
            const int n = std::snprintf(line, sizeof line, "%f %.1f\r\n", 46000.0 + i / 86400.0, 20.0 + (i % 700) / 10.0);
            f.write(line, n);
        }
    }

    rawRead(path);
    {
        // In the workstation the main window has loaded the fonts and the style long before
        // a plot opens; do that here too, so the timing below is the viewer's own.
        QLabel warm(QStringLiteral("Time"));
        warm.show();
        warm.grab();
    }
    // The opening is timed three times, the floor and ours in turn, and the best of each is
    // compared: one sample of a few milliseconds moves with the machine's other work.
    QElapsedTimer t;
    t.start();
    double raw = 1e18, ours = 1e18;
    std::unique_ptr<TGraphViewForm> opened;
    for (int round = 0; round < 3; ++round) {
        t.restart();
        const std::vector<QPointF> all = rawRead(path);
        const std::vector<QPointF> firstPage(all.begin(), all.begin() + 300);
        polylineMs(firstPage, QSize(740, 430));
        raw = std::min(raw, t.nsecsElapsed() / 1e6);

        opened.reset();
        t.restart();
        opened = std::make_unique<TGraphViewForm>(nullptr, path);
        opened->resize(760, 600);
        opened->show();
        opened->Chart1->grab();
        ours = std::min(ours, t.nsecsElapsed() / 1e6);
    }
    TGraphViewForm &form = *opened;
    std::printf("open 86400 lines to the first page: ours %.1f ms, raw %.1f ms, ratio %.2f (limit 2x)\n", ours, raw,
                ours / raw);

    // A repaint takes a few hundredths of a millisecond, so one timer interrupt can triple a
    // single sample: each move is timed three times from the same state (the page and page size
    // put back untimed in between), as is its floor, and the best of each is compared. The
    // slowest single sample is kept for the 50 ms limit.
    double worst = 0, worstRatio = 0, sumOurs = 0, sumRaw = 0;
    for (int i = 0; i < 200; ++i) {
        const int fromPage = form.paging().page();
        const int fromPerPage = form.PPPSpinEdit1->value();
        const int toPerPage = 50 + (i * 37) % 951;
        double ms = 1e9;
        QSize size;
        for (int repeat = 0; repeat < 3; ++repeat) {
            if (repeat > 0) {
                form.PPPSpinEdit1->setValue(fromPerPage);
                form.showPage(fromPage);
                form.Chart1->grab();
            }
            t.restart();
            if (i % 2)
                form.showPage(fromPage + 1);
            else
                form.PPPSpinEdit1->setValue(toPerPage);
            const QImage painted = form.Chart1->grab().toImage();
            const double once = t.nsecsElapsed() / 1e6;
            worst = std::max(worst, once);
            ms = std::min(ms, once);
            size = painted.size();
        }
        const auto &pts = form.points();
        std::vector<QPointF> page;
        for (qsizetype k = form.paging().first(); k < form.paging().first() + form.paging().count(); ++k)
            page.emplace_back(pts[size_t(k)].x, pts[size_t(k)].y);
        double floor = 1e9;
        for (int repeat = 0; repeat < 3; ++repeat)
            floor = std::min(floor, polylineMs(page, size));
        worstRatio = std::max(worstRatio, ms / std::max(floor, 0.01));
        sumOurs += ms;
        sumRaw += floor;
    }
    std::printf("200 page moves and page size changes: mean ratio %.2f, worst ratio %.2f (limit 3x), slowest "
                "repaint %.1f ms (limit 50 ms)\n",
                sumOurs / sumRaw, worstRatio, worst);
    return 0;
}
