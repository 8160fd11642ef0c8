#pragma once
// Decimal texts from instruments (status values, run times) and the durations shown for them.
// Both are independent of the user's locale: instruments always write '.' (old firmware ',').

#include <string>

// When the text holds no '.', every ',' becomes '.'; then the leading decimal number is read
// with '.' as the decimal point. No number, or one too large to hold, gives 0. Only the
// first 47 characters count.
double ParseDecimal(const std::string &text);

// Whole seconds (the fraction is cut) as "%02d:%02d:%02d"; hours are not limited to two
// digits. Negative and non-finite values show as 00:00:00.
std::string FormatDuration(double seconds);
