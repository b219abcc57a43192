// The channel file codecs on their own: the byte layout of .wdf, the line
// layout of .csv, and every file they refuse.
#include "views/channel_files.h"

#include <QtTest>
#include <cstring>

namespace {

ChannelFileContent SampleContent(bool measured)
{
    ChannelFileContent c;
    c.kind = kKindGraph;
    c.measured = measured;
    for (int i = 0; i < 300; ++i)
        c.samples.append(char(uint8_t(i * 7)));
    for (int i = 0; i < 10; ++i)
        c.lamps[size_t(i)] = uint8_t(0xA0 + i);
    c.params = {QStringLiteral("500.000000us"), QStringLiteral("0.000000s"), QStringLiteral("1.000000V"),
                QStringLiteral("-12345"), QStringLiteral("Trig'd")};
    for (int row = 0; row < 32; ++row)
        c.measures[size_t(row)] = QStringLiteral("r%1v").arg(row);
    return c;
}

QByteArray Field(const QByteArray &bytes, int offset, int width)
{
    const QByteArray f = bytes.mid(offset, width);
    return f.left(f.indexOf('\0') < 0 ? width : f.indexOf('\0'));
}

int32_t Int32At(const QByteArray &bytes, int offset)
{
    int32_t v;
    std::memcpy(&v, bytes.constData() + offset, 4);
    return v;
}

}  // namespace

class TestChannelFiles : public QObject {
    Q_OBJECT
private slots:
    void wdfLayoutWithMeasurements();
    void wdfWithoutMeasurementsIsHeaderSamplesAndRecord();
    void wdfDecodesWhatItEncodes();
    void wdfRefusals_data();
    void wdfRefusals();
    void csvLines();
    void csvDecodes();
    void csvRefusals_data();
    void csvRefusals();
    void leadingByte();
};

void TestChannelFiles::wdfLayoutWithMeasurements()
{
    const ChannelFileContent c = SampleContent(true);
    const QByteArray bytes = EncodeChannelFile(c);
    QCOMPARE(bytes.size(), 12 + 300 + 52 + 320);
    QCOMPARE(Int32At(bytes, 0), 300);
    QCOMPARE(Int32At(bytes, 4), 320);
    QCOMPARE(uint8_t(bytes[8]), uint8_t(1));
    QCOMPARE(uint8_t(bytes[9]), uint8_t(2));
    QCOMPARE(bytes.mid(10, 2), QByteArray(2, '\0'));
    QCOMPARE(bytes.mid(12, 300), c.samples);
    const int info = 12 + 300;
    for (int i = 0; i < 10; ++i)
        QCOMPARE(uint8_t(bytes[info + i]), uint8_t(0xA0 + i));
    // Each text is cut to its field less one and NUL-terminated.
    QCOMPARE(Field(bytes, info + 10, 10), QByteArray("500.00000"));
    QCOMPARE(Field(bytes, info + 20, 10), QByteArray("0.000000s"));
    QCOMPARE(Field(bytes, info + 30, 10), QByteArray("1.000000V"));
    QCOMPARE(Field(bytes, info + 40, 5), QByteArray("-123"));
    QCOMPARE(Field(bytes, info + 45, 7), QByteArray("Trig'd"));
    QCOMPARE(bytes[info + 51], '\0');
    const int text = info + 52;
    QCOMPARE(Field(bytes, text + 0, 10), QByteArray("r0v"));
    QCOMPARE(Field(bytes, text + 260, 10), QByteArray("r26v"));
    QCOMPARE(Field(bytes, text + 270, 10), QByteArray("r28v"));  // row 28 in field 27
    QCOMPARE(Field(bytes, text + 280, 10), QByteArray("r27v"));
    QCOMPARE(Field(bytes, text + 310, 10), QByteArray("r31v"));
}

void TestChannelFiles::wdfWithoutMeasurementsIsHeaderSamplesAndRecord()
{
    const QByteArray bytes = EncodeChannelFile(SampleContent(false));
    QCOMPARE(bytes.size(), 64 + 300);
    QCOMPARE(Int32At(bytes, 4), 0);
    QCOMPARE(uint8_t(bytes[8]), uint8_t(0));
}

void TestChannelFiles::wdfDecodesWhatItEncodes()
{
    ChannelFileContent c = SampleContent(true);
    c.params[0] = QStringLiteral("5.0us");
    c.params[3] = QStringLiteral("-87");
    c.measures[23] = QStringLiteral("90.0°");
    ChannelFileContent back;
    QVERIFY(DecodeChannelFile(EncodeChannelFile(c), back));
    QCOMPARE(back.kind, c.kind);
    QVERIFY(back.measured);
    QCOMPARE(back.samples, c.samples);
    QCOMPARE(back.params[0], QStringLiteral("5.0us"));
    QCOMPARE(back.params[3], QStringLiteral("-87"));
    QCOMPARE(back.params[4], QStringLiteral("Trig'd"));
    for (int row = 0; row < 32; ++row)
        QCOMPARE(back.measures[size_t(row)], c.measures[size_t(row)]);
    // The degree sign travels in the Chinese code page.
    QVERIFY(EncodeChannelFile(c).contains(QByteArray("90.0\xA1\xE3")));
}

void TestChannelFiles::wdfRefusals_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = EncodeChannelFile(SampleContent(true));
    auto withInt = [&](int offset, int32_t value) {
        QByteArray b = good;
        std::memcpy(b.data() + offset, &value, 4);
        return b;
    };
    QByteArray big = EncodeChannelFile(SampleContent(false));
    {
        int32_t n = 24001;
        std::memcpy(big.data(), &n, 4);
        big.append(QByteArray(24001, '\x80'));
    }
    QTest::newRow("more than 24000 samples") << big;
    QTest::newRow("negative count") << withInt(0, -1);
    QTest::newRow("fewer samples than announced") << withInt(0, 400);
    QTest::newRow("text block of 100 bytes") << withInt(4, 100);
    QTest::newRow("text block cut short") << good.left(good.size() - 1);
    QTest::newRow("record cut short") << EncodeChannelFile(SampleContent(false)).left(12 + 300 + 51);
    QTest::newRow("header only in part") << good.left(11);
}

void TestChannelFiles::wdfRefusals()
{
    QFETCH(QByteArray, bytes);
    ChannelFileContent content;
    content.samples = "kept";
    QVERIFY(!DecodeChannelFile(bytes, content));
    QCOMPARE(content.samples, QByteArray("kept"));
}

void TestChannelFiles::csvLines()
{
    GraphFileContent c;
    c.cells = {"12", "255", "0"};
    c.params = {QStringLiteral("500.000000us"), QStringLiteral("0.0s"), QStringLiteral("1V"), QStringLiteral("-5"),
                QStringLiteral("Auto")};
    QCOMPARE(EncodeGraphFile(c), QByteArray("3\r\n0\r\n0\r\n2\r\n12\r\n255\r\n0\r\n"
                                            "500.00000\r\n0.0s\r\n1V\r\n-5\r\nAuto\r\n"));
    c.measured = true;
    for (int row = 0; row < 32; ++row)
        c.measures[size_t(row)] = QString::number(row);
    const QList<QByteArray> lines = EncodeGraphFile(c).split('\n');
    QCOMPARE(lines.size(), 4 + 3 + 5 + 32 + 1);
    QCOMPARE(lines[1], QByteArray("320\r"));
    QCOMPARE(lines[2], QByteArray("1\r"));
    QCOMPARE(lines[12 + 27], QByteArray("27\r"));  // rows in order, no swap in text files
    QCOMPARE(lines[12 + 28], QByteArray("28\r"));
}

void TestChannelFiles::csvDecodes()
{
    GraphFileContent c;
    c.measured = true;
    for (int i = 0; i < 250; ++i)
        c.cells.append(QByteArray::number(i));
    c.params = {QStringLiteral("1ms"), QStringLiteral("2s"), QStringLiteral("3V"), QStringLiteral("4"),
                QStringLiteral("Scan")};
    for (int row = 0; row < 32; ++row)
        c.measures[size_t(row)] = QStringLiteral("m%1").arg(row);
    GraphFileContent back;
    QCOMPARE(DecodeGraphFile(EncodeGraphFile(c), back), GraphFileResult::Ok);
    QCOMPARE(back.cells, c.cells);
    QCOMPARE(back.params, c.params);
    QCOMPARE(back.measures, c.measures);
    QVERIFY(back.measured);
    // Plain LF lines read the same.
    QCOMPARE(DecodeGraphFile(EncodeGraphFile(c).replace("\r\n", "\n"), back), GraphFileResult::Ok);
    QCOMPARE(back.cells, c.cells);
}

void TestChannelFiles::csvRefusals_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("result");
    const int wrong = int(GraphFileResult::WrongKind), bad = int(GraphFileResult::Malformed);
    QByteArray five;
    for (int i = 0; i < 5; ++i)
        five += "p\r\n";
    QTest::newRow("line 4 is not 2") << QByteArray("1\r\n0\r\n0\r\n1\r\n5\r\n") + five << wrong;
    QTest::newRow("line 4 empty") << QByteArray("1\r\n0\r\n0\r\n\r\n5\r\n") + five << wrong;
    QTest::newRow("count above 24000") << QByteArray("24001\r\n0\r\n0\r\n2\r\n") + five << bad;
    QTest::newRow("negative count") << QByteArray("-3\r\n0\r\n0\r\n2\r\n") + five << bad;
    QTest::newRow("fewer samples than announced") << QByteArray("3\r\n0\r\n0\r\n2\r\n1\r\n2\r\n") + five << bad;
    QTest::newRow("measurement lines missing") << QByteArray("1\r\n320\r\n1\r\n2\r\n7\r\n") + five + "m\r\n" << bad;
    QTest::newRow("three lines") << QByteArray("1\r\n0\r\n0\r\n") << bad;
}

void TestChannelFiles::csvRefusals()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, result);
    GraphFileContent content;
    content.cells = {"kept"};
    QCOMPARE(int(DecodeGraphFile(bytes, content)), result);
    QCOMPARE(content.cells, QList<QByteArray>{"kept"});
}

void TestChannelFiles::leadingByte()
{
    QCOMPARE(LeadingByte("128", 3), uint8_t(128));
    QCOMPARE(LeadingByte("12ab", 4), uint8_t(12));
    QCOMPARE(LeadingByte("x", 1), uint8_t(0));
    QCOMPARE(LeadingByte("300", 3), uint8_t(44));  // a byte, as the buffer holds it
    QCOMPARE(LeadingByte("", 0), uint8_t(0));
}

QTEST_GUILESS_MAIN(TestChannelFiles)
#include "tst_channel_files.moc"
