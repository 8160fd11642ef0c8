#include "link/DecimalText.h"

#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <cmath>
#include <cstdint>
#include <cstdio>

double ParseDecimal(const std::string &text)
{
    std::string s = text.substr(0, 47);
    if (s.find('.') == std::string::npos)
        for (char &c : s)
            if (c == ',')
                c = '.';
    // strtod itself, but always in the "C" locale whatever the program's locale is.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return strtod_l(s.c_str(), nullptr, c);
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
