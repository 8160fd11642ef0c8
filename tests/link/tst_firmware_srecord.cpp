// The S-record reader: records of every type built here with their own checksums, the image
// they give (base, zero-filled gaps, padding, word checksum) and the files it refuses.

#include "link/FirmwareUpload.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace duvo::firmware;

namespace {

int addressLength(int type)
{
    switch (type) {
    case 2: case 6: case 8: return 3;
    case 3: case 7: return 4;
    case 4: return 5;
    default: return 2; // 0, 1, 5, 9
    }
}

// One record line: "S", type, count, address, data, checksum (the ones' complement of the
// low byte of the sum of count, address and data bytes).
QByteArray srec(int type, quint64 address, const QByteArray &data = {})
{
    QByteArray bytes;
    const int alen = addressLength(type);
    for (int i = alen - 1; i >= 0; --i)
        bytes.append(char((address >> (8 * i)) & 0xFF));
    bytes.append(data);
    const int count = int(bytes.size()) + 1;
    unsigned sum = unsigned(count);
    for (char b : bytes)
        sum += uint8_t(b);
    const char checksum = char(0xFF - (sum & 0xFF));
    return "S" + QByteArray::number(type) + QByteArray(1, char(count)).toHex().toUpper()
           + bytes.toHex().toUpper() + QByteArray(1, checksum).toHex().toUpper() + "\n";
}

QByteArray seq(int n, int start = 1)
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b.append(char((start + i) & 0xFF));
    return b;
}

QByteArray toBytes(const std::vector<uint8_t> &v)
{
    return QByteArray(reinterpret_cast<const char *>(v.data()), qsizetype(v.size()));
}

quint32 wordSum(const QByteArray &b)
{
    quint32 sum = 0;
    for (int i = 0; i + 3 < b.size(); i += 4)
        sum += (quint32(uint8_t(b[i])) << 24) | (quint32(uint8_t(b[i + 1])) << 16)
               | (quint32(uint8_t(b[i + 2])) << 8) | quint32(uint8_t(b[i + 3]));
    return sum;
}

} // namespace

class TestFirmwareSRecord : public QObject {
    Q_OBJECT
private slots:
    void hexByte_data()
    {
        QTest::addColumn<QByteArray>("two");
        QTest::addColumn<int>("byte");
        QTest::newRow("digits") << QByteArray("42") << 0x42;
        QTest::newRow("upper") << QByteArray("AF") << 0xAF;
        QTest::newRow("lower") << QByteArray("af") << 0xAF;
        QTest::newRow("mixed") << QByteArray("0c") << 0x0C;
        // Nothing is rejected: 'G' counts as sixteen.
        QTest::newRow("not hex") << QByteArray("0G") << 0x10;
    }
    void hexByte()
    {
        QFETCH(QByteArray, two);
        QFETCH(int, byte);
        QCOMPARE(int(HexByte(two.constData())), byte);
    }

    void checkSRecord_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<bool>("good");
        QTest::newRow("S1 good") << srec(1, 0x1000, seq(4)) << true;
        QTest::newRow("S9 good") << srec(9, 0x1000) << true;
        QTest::newRow("known line") << QByteArray("S1130000285F245F2212226A000424290008237C2A") << true;
        QTest::newRow("checksum off by one") << QByteArray("S1130000285F245F2212226A000424290008237C2B") << false;
        QTest::newRow("data changed") << QByteArray("S1130000285F245F2212226A000424290008237D2A") << false;
        QTest::newRow("lower case") << QByteArray("s1130000285f245f2212226a000424290008237c2a").replace('s', 'S') << true;
        // "0G" is worth as much as "10", so the sum alone would pass it.
        QTest::newRow("non-hex character") << QByteArray("S1050000000GEA") << false;
        QTest::newRow("cut short") << QByteArray("S1130000285F245F22") << false;
        QTest::newRow("line end inside") << QByteArray("S1130000285F\n245F2212226A000424290008237C2A") << false;
        QTest::newRow("count zero") << QByteArray("S100") << false;
    }
    void checkSRecord()
    {
        QFETCH(QByteArray, record);
        QFETCH(bool, good);
        QCOMPARE(CheckSRecord(record.constData()), good);
        QCOMPARE(CheckSRecord(record.constData(), record.constData() + record.size()), good);
    }

    void image_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<quint32>("base");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("one S1") << srec(1, 0x1000, seq(8)) << quint32(0x1000) << seq(8);
        QTest::newRow("S2 three-byte address") << srec(2, 0x123400, seq(4)) << quint32(0x123400) << seq(4);
        QTest::newRow("S3 four-byte address") << srec(3, 0x80001000, seq(4)) << quint32(0x80001000) << seq(4);
        QTest::newRow("S4 five-byte address, low 32 bits")
            << srec(4, 0x0120000000ull, seq(4)) << quint32(0x20000000) << seq(4);
        QTest::newRow("ends at base + 10: padded to 12")
            << srec(1, 0x2000, seq(10)) << quint32(0x2000) << seq(10) + QByteArray(2, '\0');
        QTest::newRow("two records in a row")
            << srec(1, 0x100, seq(6)) + srec(1, 0x106, seq(6, 7)) << quint32(0x100) << seq(12);
        QTest::newRow("gap of 16 zero-filled")
            << srec(1, 0x100, seq(16)) + srec(1, 0x120, seq(4, 50)) << quint32(0x100)
            << seq(16) + QByteArray(16, '\0') + seq(4, 50);
        QTest::newRow("S0 header, S5 count between, S9 end")
            << srec(0, 0, "HDR") + srec(1, 0x40, seq(4)) + srec(5, 1) + srec(1, 0x44, seq(4, 9)) + srec(9, 0x40)
            << quint32(0x40) << seq(4) + seq(4, 9);
        QTest::newRow("S6 count, S7 and S8 start addresses ignored")
            << srec(3, 0x40, seq(4)) + srec(6, 1) + srec(7, 0x40) + srec(8, 0x40) << quint32(0x40) << seq(4);
        QTest::newRow("crlf and stray text between records")
            << "junk line\r\n" + srec(1, 0x10, seq(4)).replace("\n", "\r\n") + "\r\n  -- \r\n"
                   + srec(1, 0x14, seq(4, 5))
            << quint32(0x10) << seq(8);
        QTest::newRow("no line ends at all")
            << srec(1, 0x10, seq(4)).trimmed() + srec(1, 0x14, seq(4, 5)).trimmed() << quint32(0x10) << seq(8);
        QTest::newRow("text ends at a zero byte")
            << srec(1, 0x10, seq(4)) + QByteArray(1, '\0') + "S1 this is not read" << quint32(0x10) << seq(4);
        QTest::newRow("first record without data sets the base")
            << srec(1, 0x10) + srec(1, 0x14, seq(4)) << quint32(0x10) << QByteArray(4, '\0') + seq(4);
        QTest::newRow("471 data bytes padded to 472")
            << srec(1, 0x0, seq(250)) + srec(1, 250, seq(221, 251)) << quint32(0)
            << seq(471) + QByteArray(1, '\0');
    }
    void image()
    {
        QFETCH(QByteArray, text);
        QFETCH(quint32, base);
        QFETCH(QByteArray, bytes);
        SRecordImage image;
        QCOMPARE(ParseSRecordText(text.constData(), size_t(text.size()), image), SRecordOk);
        QCOMPARE(image.base, base);
        QCOMPARE(toBytes(image.bytes), bytes);
        QCOMPARE(image.size, quint32(bytes.size()));
        QCOMPARE(image.size % 4, 0u);
        QCOMPARE(image.checksum, wordSum(bytes));
    }

    void checksumIsSumOfBigEndianWords()
    {
        // 0x01020304 + 0xFFFFFFFF wraps to 0x01020303.
        const QByteArray data = QByteArray::fromHex("01020304FFFFFFFF");
        SRecordImage image;
        const QByteArray text = srec(1, 0, data);
        QCOMPARE(ParseSRecordText(text.constData(), size_t(text.size()), image), SRecordOk);
        QCOMPARE(image.checksum, 0x01020303u);
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("code");
        const QByteArray good = srec(1, 0x100, seq(16));
        QByteArray badSum = srec(1, 0x120, seq(4));
        badSum[badSum.size() - 2] = badSum[badSum.size() - 2] == '0' ? '1' : '0';
        QTest::newRow("bad checksum") << good + badSum << ErrRecordChecksum;
        QTest::newRow("bad checksum in an S7") << good + QByteArray("S70500000040FF\n") << ErrRecordChecksum;
        // The same value as "...10..." with a correct sum, but not hexadecimal.
        QTest::newRow("bad hex") << QByteArray("S1050000000GEA\n") << ErrRecordChecksum;
        QTest::newRow("truncated file") << good + srec(1, 0x110, seq(16)).left(20) << ErrRecordChecksum;
        QTest::newRow("count smaller than the address") << QByteArray("S102FD00\n") << ErrConversion;
        QTest::newRow("descending") << good + srec(1, 0x80, seq(4)) << ErrOrder;
        QTest::newRow("overlapping") << good + srec(1, 0x10C, seq(8)) << ErrOrder;
        QTest::newRow("past 4 GiB") << srec(3, 0xFFFFFFFE, seq(4)) << ErrConversion;
        QTest::newRow("ends exactly at 4 GiB") << srec(3, 0xFFFFFFFC, seq(4)) << ErrConversion;
        QTest::newRow("gap larger than the text") << good + srec(3, 0x10000000, seq(4)) << ErrConversion;
        QTest::newRow("header only") << srec(0, 0, "HDR") + srec(9, 0) << ErrConversion;
        QTest::newRow("empty text") << QByteArray() << ErrConversion;
        QTest::newRow("data records without data") << srec(1, 0x10) + srec(1, 0x20) << ErrConversion;
    }
    void refused()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, code);
        SRecordImage image;
        QCOMPARE(ParseSRecordText(text.constData(), size_t(text.size()), image), code);
        QVERIFY(image.bytes.empty());
    }
    void noTextAtAll()
    {
        // A caller with no buffer at all (an empty file read into nothing).
        SRecordImage image;
        QCOMPARE(ParseSRecordText(nullptr, 0, image), int(ErrConversion));
        QVERIFY(image.bytes.empty());
    }

    void loadsFromFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("DUVO96_v2.s19");
        const QByteArray text = srec(0, 0, "DUVO96") + srec(1, 0x400, seq(20)) + srec(9, 0x400);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();

        SRecordImage image;
        QCOMPARE(LoadSRecordImage(path.toStdString(), image), SRecordOk);
        QCOMPARE(image.base, 0x400u);
        QCOMPARE(toBytes(image.bytes), seq(20));
        QCOMPARE(image.checksum, wordSum(seq(20)));
    }

    void refusesFiles()
    {
        QTemporaryDir dir;
        SRecordImage image;
        QCOMPARE(LoadSRecordImage(dir.filePath("missing.s19").toStdString(), image), ErrOpen);
        QCOMPARE(LoadSRecordImage(dir.path().toStdString(), image), ErrOpen);
        QCOMPARE(LoadSRecordImage("", image), ErrOpen);
        // A path is at most 511 characters; a longer one is never cut to another file's name.
        const std::string longPath = dir.path().toStdString() + "/" + std::string(600, 'a') + ".s19";
        QCOMPARE(LoadSRecordImage(longPath, image), ErrOpen);
        QVERIFY(image.bytes.empty());
    }
};

QTEST_GUILESS_MAIN(TestFirmwareSRecord)
#include "tst_firmware_srecord.moc"
