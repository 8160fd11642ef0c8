#pragma once
// The one codec of the colon-separated field lists of the settings row (preferencedata,
// maildata).
//
// Reading (ParseFieldList): ':' is the delimiter and '"' the quote character. Blanks and
// control characters before an item are skipped. An item that begins with '"' runs to the
// closing '"' (the quotes are removed, a doubled quote inside stands for one; without a
// closing quote it runs to the end). An unquoted item ends at the next ':' or at the first
// blank or control character, which then starts a new item. An empty item between two ':'
// is kept, and a ':' that is the very last character gives a last empty item (a ':' followed
// only by blanks does not). A NUL character ends the text.
//
// Writing (JoinFieldList): the items joined with ':'; a quoted item is written between double
// quotes with every double quote inside doubled (which the reading undoes), other items are
// written as they are.

#include <QList>
#include <QString>
#include <QStringList>

namespace duvo {

// The delimiter is ':' for the settings row; the firmware file names are split at '_'.
QStringList ParseFieldList(const QString &text, QChar delimiter = QLatin1Char(':'));

struct FieldListItem {
    FieldListItem() = default;
    FieldListItem(const QString &t, bool q = false) : text(t), quoted(q) {}
    FieldListItem(const char *t, bool q = false) : text(QString::fromUtf8(t)), quoted(q) {}
    QString text;
    bool quoted = false;
};

inline FieldListItem QuotedField(const QString &text) { return FieldListItem(text, true); }
// A free text (a proxy server, user or password): quoted only when it holds something the
// reading would split or strip (a blank or control character, ':' or '"'), so plain texts are
// stored as they always were.
FieldListItem TextField(const QString &text);
inline FieldListItem SwitchField(bool on) { return FieldListItem(on ? QStringLiteral("1") : QStringLiteral("0")); }

QString JoinFieldList(const QList<FieldListItem> &items);

// The class library's integer conversion of a field: optional leading blanks, an optional
// sign, then decimal digits (or hexadecimal after '$' or "0x") to the end of the text. Any
// other text, an empty text or a value outside int gives ok = false and 0.
int FieldToInt(const QString &text, bool *ok);

} // namespace duvo
