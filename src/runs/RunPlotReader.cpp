#include "runs/RunPlotReader.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace duvo {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Reads one number at p (no leading '+', as "%f" never writes one); false when there is none.
bool readNumber(const char *&p, const char *end, double &value)
{
    const auto [next, ec] = std::from_chars(p, end, value, std::chars_format::general);
    if (ec != std::errc() || next == p)
        return false;
    p = next;
    return std::isfinite(value);
}

bool parseLine(const char *p, const char *end, PlotPoint &point)
{
    if (end > p && end[-1] == '\r')
        --end;
    while (p < end && isBlank(*p))
        ++p;
    if (!readNumber(p, end, point.x))
        return false;
    if (p == end || !isBlank(*p))
        return false;
    while (p < end && isBlank(*p))
        ++p;
    if (!readNumber(p, end, point.y))
        return false;
    while (p < end && isBlank(*p))
        ++p;
    return p == end && point.x >= kPlotMinDay && point.x <= kPlotMaxDay && point.y >= kPlotMinTemperature
           && point.y <= kPlotMaxTemperature;
}

} // namespace

std::vector<PlotPoint> ParseRunPlotText(std::string_view text)
{
    std::vector<PlotPoint> points;
    // A line of the file is about 20 bytes.
    points.reserve(text.size() / 20 + 1);
    const char *p = text.data();
    const char *end = p + text.size();
    bool ordered = true;
    while (p < end) {
        const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!lineEnd)
            lineEnd = end;
        PlotPoint point;
        if (parseLine(p, lineEnd, point)) {
            if (!points.empty() && point.x < points.back().x)
                ordered = false;
            points.push_back(point);
        }
        p = lineEnd + (lineEnd < end ? 1 : 0);
    }
    if (!ordered)
        std::stable_sort(points.begin(), points.end(),
                         [](const PlotPoint &a, const PlotPoint &b) { return a.x < b.x; });
    return points;
}

bool ReadRunPlotFile(const QString &path, std::vector<PlotPoint> &points, qint64 maxBytes)
{
    points.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // read(n) would reserve n bytes up front: ask only for what the file holds.
    const QByteArray bytes = file.size() > maxBytes ? file.read(maxBytes) : file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    points = ParseRunPlotText(std::string_view(bytes.constData(), size_t(bytes.size())));
    return true;
}

void PlotPaging::setPointCount(qsizetype count)
{
    FCount = std::max<qsizetype>(0, count);
    setPage(FPage);
}

void PlotPaging::setPointsPerPage(int perPage)
{
    const qsizetype firstShown = first();
    FPerPage = std::clamp(perPage, kMinPerPage, kMaxPerPage);
    setPage(int(firstShown / FPerPage));
}

void PlotPaging::setPage(int page)
{
    FPage = std::clamp(page, 0, pageCount() - 1);
}

int PlotPaging::pageCount() const
{
    return std::max<int>(1, int((FCount + FPerPage - 1) / FPerPage));
}

qsizetype PlotPaging::first() const
{
    return std::min<qsizetype>(FCount, qsizetype(FPage) * FPerPage);
}

qsizetype PlotPaging::count() const
{
    return std::min<qsizetype>(FPerPage, FCount - first());
}

QString PlotPaging::label() const
{
    return QStringLiteral("Page %1 of %2").arg(FPage + 1).arg(pageCount());
}

} // namespace duvo
