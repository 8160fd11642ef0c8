#include "protocols/CyclerStepRecord.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace duvo {

namespace {

constexpr double MSecsPerDay = 86400000.0;

std::string_view trimBlanks(std::string_view s)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

double EncodeTime(int hours, int minutes, int seconds, int milliseconds)
{
    const double ms = ((double(hours) * 60.0 + minutes) * 60.0 + seconds) * 1000.0 + milliseconds;
    return ms / MSecsPerDay;
}

TimeParts DecodeTime(double time)
{
    TimeParts p;
    if (!std::isfinite(time))
        return p;
    long long ms = std::llround(std::fabs(time) * MSecsPerDay);
    ms %= 86400000LL;
    p.hours = int(ms / 3600000);
    ms %= 3600000;
    p.minutes = int(ms / 60000);
    ms %= 60000;
    p.seconds = int(ms / 1000);
    p.milliseconds = int(ms % 1000);
    return p;
}

int MinuteSecondTotal(double time)
{
    const TimeParts p = DecodeTime(time);
    return p.minutes * 60 + p.seconds;
}

std::string FormatFixed(double value, int minIntegerDigits, int decimals)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    const bool negative = std::signbit(value);
    value = std::fabs(value);

    // value = 0.<digits> x 10^point
    std::string digits;
    int point = 0;
    if (value != 0.0) {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
        const std::string_view s(buf, size_t(r.ptr - buf));
        const size_t e = s.find('e');
        digits.assign(1, s[0]);
        digits.append(s.substr(2, e - 2));
        int exponent = 0;
        std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), exponent);
        point = exponent + 1;
    }

    // Round half away from zero at the last decimal kept.
    const int keep = point + decimals;
    if (keep < 0) {
        digits.clear();
    } else if (keep < int(digits.size())) {
        const bool up = digits[size_t(keep)] >= '5';
        digits.resize(size_t(keep));
        if (up) {
            int k = keep - 1;
            while (k >= 0 && digits[size_t(k)] == '9')
                digits[size_t(k--)] = '0';
            if (k < 0) {
                digits.insert(digits.begin(), '1');
                ++point;
            } else {
                ++digits[size_t(k)];
            }
        }
    }

    auto digitAt = [&](int p) { return (p >= 0 && p < int(digits.size())) ? digits[size_t(p)] : '0'; };
    std::string integer;
    for (int p = 0; p < point; ++p)
        integer += digitAt(p);
    while (int(integer.size()) < minIntegerDigits)
        integer.insert(integer.begin(), '0');
    std::string fraction;
    for (int p = point; p < point + decimals; ++p)
        fraction += digitAt(p);

    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    std::string out;
    if (negative && !zero)
        out += '-';
    out += integer;
    if (decimals > 0) {
        out += '.';
        out += fraction;
    }
    return out;
}

std::optional<double> ParseDecimal(std::string_view text)
{
    text = trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Digits or a '.' must follow the sign: from_chars would also take "inf" and "nan".
    if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.'))
        return std::nullopt;
    double value = 0.0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<long long> ParseInteger(std::string_view text)
{
    text = trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    long long value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<double> ParseTemperatureText(const QString &text)
{
    QString t = text;
    if (!t.contains(QLatin1Char('.')))
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    return ParseDecimal(t.toStdString());
}

QString FormatMinutesSeconds(double time)
{
    const TimeParts p = DecodeTime(time);
    return QStringLiteral("%1:%2").arg(p.minutes, 2, 10, QLatin1Char('0')).arg(p.seconds, 2, 10, QLatin1Char('0'));
}

std::optional<double> ParseMinutesSeconds(const QString &text)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return 0.0;
    const auto minutes = ParseInteger(text.left(colon).toStdString());
    const auto seconds = ParseInteger(text.mid(colon + 1).toStdString());
    if (!minutes || !seconds || *minutes < 0 || *minutes > 59 || *seconds < 0 || *seconds > 59)
        return std::nullopt;
    return EncodeTime(0, int(*minutes), int(*seconds));
}

} // namespace duvo
