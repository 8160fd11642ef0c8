#include "runs/RunPlotFile.h"
#include "runs/RunPlotReader.h"
#include "runs/forms/TGraphViewForm.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <clocale>
#include <cstdio>

using namespace duvo;
using namespace duvo::test;

namespace {

// Lines as the run monitor writes them: "%f %.1f" and the platform's line end.
QByteArray plotLines(int count, const char *lineEnd = "\r\n", double start = 40512.5)
{
    QByteArray out;
    char line[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "%f %.1f%s", start + i / 86400.0, 20.0 + (i % 80), lineEnd);
        out += line;
    }
    return out;
}

QString writePlot(const QTemporaryDir &dir, const QByteArray &bytes, const QString &name = "S1.DAT")
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(bytes);
    return path;
}

std::vector<PlotPoint> parse(const QByteArray &bytes)
{
    return ParseRunPlotText(std::string_view(bytes.constData(), size_t(bytes.size())));
}

// Makes de_DE.UTF-8 usable for this process, building it into a private folder when the
// system has not generated it.
bool useGermanCLocale(QTemporaryDir &scratch)
{
    if (std::setlocale(LC_ALL, "de_DE.UTF-8"))
        return true;
    const QString folder = scratch.filePath("locales");
    QDir().mkpath(folder);
    QProcess::execute("localedef", {"-i", "de_DE", "-f", "UTF-8", folder + "/de_DE.UTF-8"});
    qputenv("LOCPATH", QFile::encodeName(folder));
    return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

// The share of the ink pixels (darker than mid-grey) of two pictures of texts with no ink of
// the other picture in the same row a pixel either way: characters placed a pixel apart still
// match, other characters do not.
double inkMismatch(const QImage &a, const QImage &b)
{
    const auto ink = [](const QImage &image, int x, int y) {
        return x >= 0 && x < image.width() && qGray(image.pixel(x, y)) < 128;
    };
    const auto near = [&](const QImage &image, int x, int y) {
        return ink(image, x - 1, y) || ink(image, x, y) || ink(image, x + 1, y);
    };
    int inked = 0, alone = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const bool inA = ink(a, x, y), inB = ink(b, x, y);
            inked += inA + inB;
            alone += (inA && !near(b, x, y)) + (inB && !near(a, x, y));
        }
    return inked > 0 ? double(alone) / inked : 1.0;
}

} // namespace

class TestPlotView : public QObject {
    Q_OBJECT
private slots:
    void readerTakesOnlyWellFormedLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<double>>("ys");
        QTest::newRow("LF") << QByteArray("40512.500000 95.0\n40512.500012 94.5\n") << QList<double>{95.0, 94.5};
        QTest::newRow("CR LF") << QByteArray("40512.500000 95.0\r\n40512.500012 94.5\r\n") << QList<double>{95.0, 94.5};
        QTest::newRow("no last line end") << QByteArray("40512.5 95.0\n40512.6 72.0") << QList<double>{95.0, 72.0};
        QTest::newRow("garbage between")
            << QByteArray("40512.5 95.0\nhello\n\n40512,6 72,0\n40512.6\n40512.6 72.0 3\nnan 5.0\n"
                          "40512.6 inf\n1e400 5.0\n-1e9 5.0\n40512.6 9999.0\n+40512.6 5.0\n\x01\x02\xff\n"
                          "  40512.7   60.0  \r\n40512.8 61.0")
            << QList<double>{95.0, 60.0, 61.0};
        QTest::newRow("out of order, equal times stable")
            << QByteArray("40512.7 1.0\n40512.5 2.0\n40512.7 3.0\n40512.6 4.0\n") << QList<double>{2.0, 4.0, 1.0, 3.0};
        QTest::newRow("empty") << QByteArray() << QList<double>{};
        QTest::newRow("only a line end") << QByteArray("\r\n") << QList<double>{};
    }
    void readerTakesOnlyWellFormedLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(QList<double>, ys);
        const auto points = parse(text);
        QList<double> got;
        for (const PlotPoint &p : points)
            got << p.y;
        QCOMPARE(got, ys);
        for (size_t i = 1; i < points.size(); ++i)
            QVERIFY(points[i - 1].x <= points[i].x);
    }

    void readerReadsWhatTheWriterWrites()
    {
        std::string text;
        for (int i = 0; i < 3; ++i)
            text += RunPlotLine(40512.5 + i / 86400.0, 95.04 - i);
        const auto points = ParseRunPlotText(text);
        QCOMPARE(points.size(), size_t(3));
        QCOMPARE(points[0].x, 40512.5);
        QCOMPARE(points[0].y, 95.0);
        QCOMPARE(points[2].y, 93.0);
        QVERIFY(qAbs(points[2].x - (40512.5 + 2 / 86400.0)) < 1e-6);
    }

    void pagingCountsPagesAndClamps()
    {
        PlotPaging paging;
        QCOMPARE(paging.label(), QStringLiteral("Page 1 of 1"));
        paging.setPointCount(1000);
        QCOMPARE(paging.label(), QStringLiteral("Page 1 of 4"));
        paging.setPage(3);
        QCOMPARE(paging.first(), 900);
        QCOMPARE(paging.count(), 100);
        paging.setPage(7);
        QCOMPARE(paging.page(), 3);
        // Changing the page size keeps the first point shown on the page.
        paging.setPointsPerPage(100);
        QCOMPARE(paging.label(), QStringLiteral("Page 10 of 10"));
        paging.setPointsPerPage(5000);
        QCOMPARE(paging.pointsPerPage(), 1000);
        QCOMPARE(paging.label(), QStringLiteral("Page 1 of 1"));
        paging.setPointsPerPage(0);
        QCOMPARE(paging.pointsPerPage(), 1);
    }

    void viewerShowsOnePageAtATime()
    {
        QTemporaryDir dir;
        const QString path = writePlot(dir, plotLines(1000));
        TGraphViewForm form(nullptr, path);
        QCOMPARE(form.windowTitle(), QStringLiteral("S1.DAT"));
        QCOMPARE(form.PageNumLabel->text(), QStringLiteral("Page 1 of 1"));
        form.show();
        QCOMPARE(form.points().size(), size_t(1000));
        QCOMPARE(form.PageNumLabel->text(), QStringLiteral("Page 1 of 4"));
        QCOMPARE(form.Series1->count(), 300);
        QCOMPARE(form.Series1->at(0).y(), 20.0);
        QCOMPARE(form.PPPSpinEdit1->value(), 300);

        QTest::mouseClick(form.btnNextPage, Qt::LeftButton);
        QCOMPARE(form.PageNumLabel->text(), QStringLiteral("Page 2 of 4"));
        QCOMPARE(form.Series1->at(0).y(), 20.0 + (300 % 80));
        QCOMPARE(form.ChartScrollBar1->value(), 1);
        form.ChartScrollBar1->setValue(3);
        QCOMPARE(form.PageNumLabel->text(), QStringLiteral("Page 4 of 4"));
        QCOMPARE(form.Series1->count(), 100);
        QVERIFY(!form.btnNextPage->isEnabled());
        QTest::mouseClick(form.btnFirstPage, Qt::LeftButton);
        QCOMPARE(form.PageNumLabel->text(), QStringLiteral("Page 1 of 4"));

        form.PPPSpinEdit1->setValue(1000);
        QCOMPARE(form.PageNumLabel->text(), QStringLiteral("Page 1 of 1"));
        QCOMPARE(form.Series1->count(), 1000);
        // The page fills the time axis; the temperature axis stays 0 to 100.
        const QRectF area = form.Chart1->plotArea();
        QCOMPARE(form.Chart1->timeFrom(), form.Series1->at(0).x());
        QCOMPARE(form.Chart1->timeTo(), form.Series1->at(999).x());
        QCOMPARE(form.Chart1->mapToPosition(QPointF(form.Chart1->timeFrom(), 100)), area.topLeft());
        QCOMPARE(form.Chart1->mapToPosition(QPointF(form.Chart1->timeTo(), 0)), area.bottomRight());
        // The line goes through the points.
        const QImage painted = form.Chart1->grab().toImage();
        for (int k : {10, 500, 990}) {
            const QPoint at = (form.Chart1->mapToPosition(form.Series1->at(k)) * painted.devicePixelRatio()).toPoint();
            bool onLine = false;
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    onLine = onLine || painted.pixelColor(at + QPoint(dx, dy)) == QColor(0x20, 0x9f, 0xdf);
            QVERIFY2(onLine, qPrintable(QString::number(k)));
        }

        QVERIFY(!form.Series1->pointLabelsVisible());
        form.MarksBox1->click();
        QVERIFY(form.Series1->pointLabelsVisible());
        form.PointBox1->click();
        QVERIFY(form.Series1->pointsVisible());
        form.PPPSpinEdit1->setValue(40);
        saveShot(form, QStringLiteral("TGraphViewForm"));
    }

    // Paging repaints only what changed and keeps the rest of the chart from earlier paints: after
    // page moves, page size changes and a resize the chart must look exactly as a window that
    // opened on that page.
    void pagedChartLooksAsAFreshOne()
    {
        QTemporaryDir dir;
        const QString path = writePlot(dir, plotLines(1000));
        TGraphViewForm paged(nullptr, path);
        paged.resize(700, 560);
        paged.show();
        paged.Chart1->grab();
        QTest::mouseClick(paged.btnNextPage, Qt::LeftButton);
        paged.Chart1->grab();
        paged.PPPSpinEdit1->setValue(120);
        paged.Chart1->grab();
        paged.resize(760, 600);
        QCoreApplication::processEvents();
        paged.Chart1->grab();
        paged.ChartScrollBar1->setValue(5);
        QCoreApplication::processEvents();
        const QImage shown = paged.Chart1->grab().toImage();

        TGraphViewForm fresh(nullptr, path);
        fresh.resize(760, 600);
        fresh.show();
        fresh.PPPSpinEdit1->setValue(120);
        fresh.showPage(5);
        QCoreApplication::processEvents();
        QCOMPARE(paged.PageNumLabel->text(), fresh.PageNumLabel->text());
        QCOMPARE(shown, fresh.Chart1->grab().toImage());
    }

    // On the screen the chart is put together from plain fills, its grid and pieces of a picture
    // of its frame; it must look exactly as the whole chart drawn anew (the time labels, put
    // together from pictures of their characters, left aside).
    void chartOnScreenIsTheChartDrawnAnew()
    {
        QTemporaryDir dir;
        TGraphViewForm form(nullptr, writePlot(dir, plotLines(500)));
        form.resize(700, 560);
        form.show();
        QTest::mouseClick(form.btnNextPage, Qt::LeftButton);
        form.MarksBox1->click();
        const QImage grabbed = form.Chart1->grab().toImage();
        if (grabbed.devicePixelRatio() != 1.0)
            QSKIP("drawn at a pixel ratio of 1 only");
        QImage shown = grabbed.convertToFormat(QImage::Format_RGB32);
        QImage drawn(form.Chart1->size(), QImage::Format_RGB32);
        drawn.fill(form.Chart1->palette().color(QPalette::Window));
        {
            QPainter painter(&drawn);
            form.Chart1->paintChart(painter, form.Chart1->size());
        }
        const int labelsTop = int(form.Chart1->plotArea().bottom()) + 2;
        const QRect labels(0, labelsTop, shown.width(), form.Chart1->fontMetrics().height() + 6);
        // The time labels, put together from their characters, carry the same ink as the texts
        // drawn anew, give or take a pixel where a character's edge falls.
        const double mismatch = inkMismatch(shown.copy(labels), drawn.copy(labels));
        QVERIFY2(mismatch < 0.2, qPrintable(QString::number(mismatch)));
        for (QImage *image : {&shown, &drawn}) {
            QPainter painter(image);
            painter.fillRect(labels, Qt::black);
        }
        QCOMPARE(shown, drawn);
    }

    // A printer has many more dots per inch than the screen: the chart drawn there, scaled to
    // the page, keeps the screen's proportions, texts included.
    void chartDrawnAtAHighResolutionKeepsItsProportions()
    {
        QTemporaryDir dir;
        TGraphViewForm form(nullptr, writePlot(dir, plotLines(500)));
        form.resize(700, 560);
        form.show();
        const QSize size = form.Chart1->size();
        const auto draw = [&](int scale) {
            QImage image(size * scale, QImage::Format_RGB32);
            image.setDotsPerMeterX(image.dotsPerMeterX() * scale);
            image.setDotsPerMeterY(image.dotsPerMeterY() * scale);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.scale(scale, scale);
            form.Chart1->paintChart(painter, size);
            return image;
        };
        // Where the title leaves ink, in the chart's units.
        const auto titleInk = [&](const QImage &image, int scale) {
            const int bottom = int(form.Chart1->plotArea().top() - form.Chart1->fontMetrics().height()) * scale;
            QRect ink;
            for (int y = 0; y < bottom; ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixel(x, y) != qRgb(255, 255, 255))
                        ink |= QRect(x, y, 1, 1);
            return QRectF(ink.x() / double(scale), ink.y() / double(scale), ink.width() / double(scale),
                          ink.height() / double(scale));
        };
        const QRectF screen = titleInk(draw(1), 1);
        const QRectF paper = titleInk(draw(6), 6);
        QVERIFY(!screen.isEmpty());
        QVERIFY2(qAbs(paper.width() - screen.width()) < 3 && qAbs(paper.height() - screen.height()) < 3
                     && qAbs(paper.center().x() - screen.center().x()) < 2,
                 qPrintable(QStringLiteral("%1 x %2 against %3 x %4")
                                .arg(paper.width()).arg(paper.height()).arg(screen.width()).arg(screen.height())));
    }

    void emptyAndGarbageFilesShowAnEmptyChart()
    {
        QTemporaryDir dir;
        for (const QByteArray &bytes : {QByteArray(), QByteArray("\x89PNG\r\n\x1a\n\0\0\0 garbage", 20)}) {
            TGraphViewForm form(nullptr, writePlot(dir, bytes));
            form.show();
            QCOMPARE(form.Series1->count(), 0);
            QCOMPARE(form.PageNumLabel->text(), QStringLiteral("Page 1 of 1"));
            QTest::mouseClick(form.btnNextPage, Qt::LeftButton);
            QCOMPARE(form.PageNumLabel->text(), QStringLiteral("Page 1 of 1"));
        }
        TGraphViewForm missing(nullptr, dir.filePath("none.DAT"));
        missing.show();
        QCOMPARE(missing.Series1->count(), 0);
    }

    void commaLocaleReadsPointsAndIsLeftAsItWas()
    {
        QTemporaryDir scratch;
        const QByteArray savedC = std::setlocale(LC_ALL, nullptr);
        if (!useGermanCLocale(scratch))
            QSKIP("de_DE.UTF-8 cannot be made here");
        const QLocale savedDefault;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        {
            const QString path = writePlot(scratch, "40512.500000 95.0\r\n40512.500012 94.5\r\n");
            TGraphViewForm form(nullptr, path);
            form.show();
            QCOMPARE(form.points().size(), size_t(2));
            QCOMPARE(form.points()[0].y, 95.0);
            QCOMPARE(form.points()[0].x, 40512.5);
            QCOMPARE(QLocale().decimalPoint(), QStringLiteral(","));
        }
        QCOMPARE(QLocale().decimalPoint(), QStringLiteral(","));
        QCOMPARE(QString::fromLatin1(std::localeconv()->decimal_point), QStringLiteral(","));
        QLocale::setDefault(savedDefault);
        std::setlocale(LC_ALL, savedC.constData());
    }

    void printsToPdfAndSavesPng()
    {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        TGraphViewForm form(nullptr, writePlot(dir, plotLines(500)));
        form.show();
        QTest::mouseClick(form.btnNextPage, Qt::LeftButton);
        form.Chart1->grab();
        const QString pdf = dir.filePath("chart.pdf");
        prompts.answerPath(pdf);
        QVERIFY(triggerAction(&form, "actPrintPreview"));
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(5) == "%PDF-");
        QVERIFY(f.size() > 1000);
        // Drawn anew at the printer's resolution: no pictures of the screen in the document.
        QVERIFY(!f.readAll().contains("/Subtype /Image"));

        prompts.answerPath(dir.filePath("chart"));
        QVERIFY(triggerAction(&form, "actSave"));
        QImage saved(dir.filePath("chart.png"));
        QVERIFY(!saved.isNull());
        QCOMPARE(prompts.pending(), 0);
    }

    void cursorFollowsTheMouseAlongTheSeries()
    {
        QTemporaryDir dir;
        TGraphViewForm form(nullptr, writePlot(dir, plotLines(50)));
        form.resize(700, 600);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Six ticks over the 49 seconds of the page, each time cut to its second.
        QCOMPARE(form.Chart1->timeLabels(), (QStringList{"12:00:00", "12:00:09", "12:00:19", "12:00:29",
                                                         "12:00:39", "12:00:48"}));
        const QRectF area = form.Chart1->plotArea();
        const QPoint at = area.center().toPoint();
        QTest::mouseMove(form.Chart1, at);
        QMouseEvent move(QEvent::MouseMove, QPointF(at), form.Chart1->mapToGlobal(QPointF(at)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form.Chart1, &move);
        // The points are a second apart from 12:00:00 at 20, 21, ...: the middle of the page is
        // half-way through the 50 seconds.
        QVERIFY2(form.Chart1->cursorTip().contains(QRegularExpression("^12:00:2[45]  4[45]\\.0$")),
                 qPrintable(form.Chart1->cursorTip()));
        saveShot(form, QStringLiteral("TGraphViewForm-cursor"));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(form.Chart1, &leave);
        QVERIFY(form.Chart1->cursorTip().isEmpty());
    }
};

QTEST_MAIN(TestPlotView)
#include "tst_plotview.moc"
