#include "link/FieldList.h"

#include <limits>

namespace duvo {

namespace {

constexpr QChar kDelimiter = QLatin1Char(':');
constexpr QChar kQuote = QLatin1Char('"');

// Blanks and control characters (1 to 32); NUL is the end of the text.
bool isBlank(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= 32;
}

} // namespace

QStringList ParseFieldList(const QString &input, QChar delimiter)
{
    // Everything from a NUL character on is not part of the text.
    const qsizetype nul = input.indexOf(QChar(0));
    const QString text = nul < 0 ? input : input.left(nul);
    const qsizetype n = text.size();

    QStringList items;
    qsizetype p = 0;
    while (p < n && isBlank(text.at(p)))
        ++p;
    while (p < n) {
        QString item;
        if (text.at(p) == kQuote) {
            ++p;
            while (p < n) {
                const QChar c = text.at(p);
                if (c == kQuote) {
                    if (p + 1 < n && text.at(p + 1) == kQuote) {
                        item += kQuote;
                        p += 2;
                        continue;
                    }
                    ++p;  // the closing quote
                    break;
                }
                item += c;
                ++p;
            }
        } else {
            const qsizetype start = p;
            while (p < n && text.at(p).unicode() > 32 && text.at(p) != delimiter)
                ++p;
            item = text.mid(start, p - start);
        }
        items << item;
        while (p < n && isBlank(text.at(p)))
            ++p;
        if (p < n && text.at(p) == delimiter) {
            if (p + 1 == n)
                items << QString();
            do {
                ++p;
            } while (p < n && isBlank(text.at(p)));
        }
    }
    return items;
}

FieldListItem TextField(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() <= 32 || c == kDelimiter || c == kQuote)
            return FieldListItem(text, true);
    return FieldListItem(text, false);
}

QString JoinFieldList(const QList<FieldListItem> &items)
{
    QString out;
    bool first = true;
    for (const FieldListItem &item : items) {
        if (!first)
            out += kDelimiter;
        first = false;
        if (item.quoted) {
            QString inner = item.text;
            inner.replace(kQuote, QStringLiteral("\"\""));
            out += kQuote + inner + kQuote;
        } else {
            out += item.text;
        }
    }
    return out;
}

int FieldToInt(const QString &text, bool *ok)
{
    auto fail = [ok] {
        if (ok)
            *ok = false;
        return 0;
    };
    qsizetype p = 0;
    const qsizetype n = text.size();
    while (p < n && text.at(p) == QLatin1Char(' '))
        ++p;
    bool negative = false;
    if (p < n && (text.at(p) == QLatin1Char('-') || text.at(p) == QLatin1Char('+'))) {
        negative = text.at(p) == QLatin1Char('-');
        ++p;
    }
    int base = 10;
    if (p < n && text.at(p) == QLatin1Char('$')) {
        base = 16;
        ++p;
    } else if (p + 1 < n && text.at(p) == QLatin1Char('0')
               && (text.at(p + 1) == QLatin1Char('x') || text.at(p + 1) == QLatin1Char('X'))) {
        base = 16;
        p += 2;
    }
    if (p >= n)
        return fail();
    qint64 value = 0;
    for (; p < n; ++p) {
        const char16_t c = text.at(p).unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0 || digit >= base)
            return fail();
        value = value * base + digit;
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            return fail();
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return fail();
    if (ok)
        *ok = true;
    return static_cast<int>(value);
}

} // namespace duvo
