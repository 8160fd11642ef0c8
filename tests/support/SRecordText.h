#pragma once
// S-record text for a firmware image: a header record, S3 records of 32 data bytes from base,
// and the end record.

#include <QByteArray>
#include <cstdint>

namespace duvo::test {

inline QByteArray srecordText(uint32_t base, const QByteArray &data)
{
    QByteArray text = "S00600004844521B\n";
    for (int off = 0; off < data.size(); off += 32) {
        const QByteArray part = data.mid(off, 32);
        QByteArray b;
        const uint32_t a = base + uint32_t(off);
        b.append(char(a >> 24)).append(char(a >> 16)).append(char(a >> 8)).append(char(a));
        b.append(part);
        unsigned sum = unsigned(b.size() + 1);
        for (char c : b)
            sum += uint8_t(c);
        text += "S3" + QByteArray(1, char(b.size() + 1)).toHex().toUpper() + b.toHex().toUpper()
                + QByteArray(1, char(0xFF - (sum & 0xFF))).toHex().toUpper() + "\n";
    }
    return text + "S70500000000FA\n";
}

} // namespace duvo::test
