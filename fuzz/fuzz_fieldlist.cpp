// The settings field-list reader on arbitrary text: it never fails, and a list written back
// with every item quoted reads back item for item.
#include "link/FieldList.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QStringList items = duvo::ParseFieldList(text);
    QList<duvo::FieldListItem> quoted;
    for (const QString &item : items)
        quoted << duvo::QuotedField(item);
    if (duvo::ParseFieldList(duvo::JoinFieldList(quoted)) != items)
        std::abort();
    bool ok = false;
    for (const QString &item : items)
        duvo::FieldToInt(item, &ok);
    return 0;
}
