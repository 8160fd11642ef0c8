#pragma once
// Reading a run's plot file (SessionId + ".DAT": one line per status pass, "%f %.1f", the
// local day-number time and the block temperature) and cutting its points into pages.
//
// The reader makes one pass over the bytes, reads numbers with '.' as the decimal point
// whatever the locale, takes LF and CR LF line ends, skips every line that is not exactly two
// finite numbers in range and orders the points by time (stably: equal times keep the file's
// order).

#include <QString>

#include <string_view>
#include <vector>

namespace duvo {

struct PlotPoint {
    double x = 0;  // day number with fraction (days since 30 December 1899, local time)
    double y = 0;  // block temperature in degrees
};

// Day numbers from 1 January 100 to 31 December 9999; temperatures a block can report.
inline constexpr double kPlotMinDay = -657434.0;
inline constexpr double kPlotMaxDay = 2958466.0;
inline constexpr double kPlotMinTemperature = -100.0;
inline constexpr double kPlotMaxTemperature = 400.0;

// The points of a plot file's text.
std::vector<PlotPoint> ParseRunPlotText(std::string_view text);

// Reads the file at path; false when it cannot be read (points then empty). A file bigger
// than maxBytes is read only up to that size.
bool ReadRunPlotFile(const QString &path, std::vector<PlotPoint> &points,
                     qint64 maxBytes = qint64(512) << 20);

// Paging: a page shows pointsPerPage points (1 to 1000); there is always at least one page.
class PlotPaging {
public:
    static constexpr int kMinPerPage = 1;
    static constexpr int kMaxPerPage = 1000;
    static constexpr int kDefaultPerPage = 300;

    void setPointCount(qsizetype count);
    // Clamps to 1..1000; keeps the first point of the current page on the page shown.
    void setPointsPerPage(int perPage);
    void setPage(int page);  // 0-based, clamped

    int pointsPerPage() const { return FPerPage; }
    int page() const { return FPage; }
    int pageCount() const;
    qsizetype first() const;  // index of the first point on the current page
    qsizetype count() const;  // points on the current page
    // "Page n of m"
    QString label() const;

private:
    qsizetype FCount = 0;
    int FPerPage = kDefaultPerPage;
    int FPage = 0;
};

} // namespace duvo
