#include "link/DecimalText.h"

#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <cmath>
#include <cstdint>
#include <cctype>
#include <cstdio>

double ParseDecimal(const std::string &text)
{
    std::string s = text.substr(0, 47);
    if (s.find('.') == std::string::npos)
        for (char &c : s)
            if (c == ',')
                c = '.';
    // The leading decimal number only: blanks, a sign, digits, a point, digits, an exponent.
    // Nothing else that strtod would take ("inf", "nan", hexadecimal) counts as a number.
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    const size_t start = i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
            while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])))
                ++j;
            i = j;
        }
    }
    // strtod itself, but always in the "C" locale whatever the program's locale is.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const double v = strtod_l(s.substr(start, i - start).c_str(), nullptr, c);
    return std::isfinite(v) ? v : 0.0;
}

std::string FormatDuration(double seconds)
{
    int64_t whole = 0;
    if (std::isfinite(seconds) && seconds > 0)
        whole = seconds >= 9.2e15 ? int64_t(9'200'000'000'000'000) : static_cast<int64_t>(seconds);
    const int64_t hours = whole / 3600;
    const int64_t minutes = (whole % 3600) / 60;
    const int64_t secs = whole % 60;
    char out[48];
    std::snprintf(out, sizeof out, "%02lld:%02lld:%02lld", static_cast<long long>(hours),
                  static_cast<long long>(minutes), static_cast<long long>(secs));
    return out;
}
