#include "format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <sstream>

using namespace vantorctl;

namespace {

// One entry as the instrument lays it out: flag, big-endian float, unit, digits.
void putEntry(uint8_t *entry, bool present, float value, uint8_t unit, uint8_t digits)
{
    std::memset(entry, 0xEE, kMeasureEntryBytes);  // unread bytes must not matter
    entry[0] = present ? 1 : 0;
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    entry[4] = uint8_t(bits >> 24);
    entry[5] = uint8_t(bits >> 16);
    entry[6] = uint8_t(bits >> 8);
    entry[7] = uint8_t(bits);
    entry[8] = unit;
    entry[12] = digits;
}

MeasureEntry entry(float value, int unit, int digits, bool present = true)
{
    MeasureEntry e;
    e.present = present;
    e.value = value;
    e.unit = unit;
    e.digits = digits;
    return e;
}

}  // namespace

TEST(MeasureDecode, ReadsFlagBigEndianFloatUnitAndDigits)
{
    uint8_t raw[kMeasureEntryBytes];
    putEntry(raw, true, 1.25f, 7, 3);
    MeasureEntry e = decodeMeasureEntry(raw);
    EXPECT_TRUE(e.present);
    EXPECT_FLOAT_EQ(e.value, 1.25f);
    EXPECT_EQ(e.unit, 7);
    EXPECT_EQ(e.digits, 3);
    // 1.25f is 3F A0 00 00 on the wire.
    EXPECT_EQ(raw[4], 0x3F);
    EXPECT_EQ(raw[5], 0xA0);

    putEntry(raw, false, -3.5f, 2, 1);
    e = decodeMeasureEntry(raw);
    EXPECT_FALSE(e.present);
    EXPECT_FLOAT_EQ(e.value, -3.5f);
}

TEST(MeasureDecode, BlockEntriesFollowTheItemOrder)
{
    uint8_t block[512];
    for (int k = 0; k < kMeasureCount; ++k)
        putEntry(block + 16 * k, k % 3 != 0, float(k) + 0.5f, uint8_t(k % 16), uint8_t(k % 7));
    MeasureBlock m = decodeMeasureBlock(block);
    for (int k = 0; k < kMeasureCount; ++k) {
        EXPECT_EQ(m[k].present, k % 3 != 0) << k;
        EXPECT_FLOAT_EQ(m[k].value, float(k) + 0.5f) << k;
        EXPECT_EQ(m[k].unit, k % 16) << k;
        EXPECT_EQ(m[k].digits, k % 7) << k;
    }
    EXPECT_STREQ(kMeasureItems[0], "Vpp");
    EXPECT_STREQ(kMeasureItems[15], "Frequent");
    EXPECT_STREQ(kMeasureItems[23], "Phase");
    EXPECT_STREQ(kMeasureItems[31], "LFF");
}

TEST(MeasureText, CutsToTheInstrumentsDigits)
{
    EXPECT_EQ(measureText(entry(1.234567f, 7, 2)), "1.23V");
    EXPECT_EQ(measureText(entry(-12.5f, 6, 1)), "-12.5mV");
    // Digits 0 keeps the point.
    EXPECT_EQ(measureText(entry(3.75f, 3, 0)), "3.ms");
    // Six or more keep the six places "%f" gives, no rounding beyond them.
    EXPECT_EQ(measureText(entry(0.5f, 10, 6)), "0.500000Hz");
    EXPECT_EQ(measureText(entry(0.5f, 10, 9)), "0.500000Hz");
    EXPECT_EQ(measureText(entry(2.0f, 9, 1)), "2.0?");
    EXPECT_EQ(measureText(entry(2.0f, 15, 2)), "2.00div");
}

TEST(MeasureText, AbsentValuesAndUnknownUnits)
{
    EXPECT_EQ(measureText(entry(9.0f, 7, 2, false)), "****");
    // A unit index beyond the table has no text rather than garbage.
    EXPECT_EQ(measureText(entry(9.0f, 16, 2)), "9.00");
    EXPECT_EQ(measureText(entry(9.0f, 200, 2)), "9.00");
    EXPECT_STREQ(unitText(-1), "");
    EXPECT_STREQ(unitText(11), "KHz");
    // The largest float still formats whole.
    std::string big = measureText(entry(3.4e38f, 7, 0));
    EXPECT_EQ(big.substr(big.size() - 2), ".V");
    EXPECT_GT(big.size(), 39u);
}

TEST(MeasureTable, OneLinePerItemInOrder)
{
    MeasureBlock m{};
    m[0] = entry(1.5f, 7, 2);
    m[31] = entry(20.0f, 2, 1);
    std::ostringstream out;
    writeMeasureTable(out, m);
    std::istringstream lines(out.str());
    std::string line;
    int n = 0;
    std::string first, last;
    while (std::getline(lines, line)) {
        if (n == 0)
            first = line;
        last = line;
        ++n;
    }
    EXPECT_EQ(n, kMeasureCount);
    EXPECT_EQ(first, "Vpp             1.50V         present=1 value=1.5 unit=V digits=2");
    EXPECT_EQ(last, "LFF             20.0us        present=1 value=20 unit=us digits=1");
    EXPECT_NE(out.str().find("Positive Width  ****          present=0 value=0 unit=ps digits=0"), std::string::npos)
        << out.str();
}

TEST(Csv, HeaderThenIndexAndSamplePerLine)
{
    const uint8_t samples[] = {0, 128, 255, 7};
    std::ostringstream out;
    writeCsv(out, samples, 4);
    EXPECT_EQ(out.str(), "index,sample\n0,0\n1,128\n2,255\n3,7\n");
    std::ostringstream empty;
    writeCsv(empty, samples, 0);
    EXPECT_EQ(empty.str(), "index,sample\n");
}

TEST(Json, SamplesAndMeasurements)
{
    const uint8_t samples[] = {1, 2, 250};
    std::ostringstream plain;
    writeJson(plain, 2, true, samples, 3, nullptr);
    EXPECT_EQ(plain.str(), "{\"channel\":2,\"record\":\"memory\",\"count\":3,\"samples\":[1,2,250]}\n");

    MeasureBlock m{};
    m[0] = entry(1.5f, 7, 2);
    m[1] = entry(std::numeric_limits<float>::quiet_NaN(), 7, 2);
    std::ostringstream measured;
    writeJson(measured, 1, false, samples, 1, &m);
    std::string s = measured.str();
    EXPECT_NE(s.find("\"record\":\"screen\",\"count\":1,\"samples\":[1]"), std::string::npos);
    EXPECT_NE(s.find("{\"item\":\"Vpp\",\"present\":true,\"value\":1.5,\"unit\":\"V\",\"digits\":2,"
                     "\"text\":\"1.50V\"}"),
              std::string::npos);
    // NaN is not JSON.
    EXPECT_NE(s.find("\"item\":\"Vmax\",\"present\":true,\"value\":null"), std::string::npos);
    EXPECT_NE(s.find("\"item\":\"Vmin\",\"present\":false"), std::string::npos);
}

TEST(Json, StringsAreEscaped) { EXPECT_EQ(jsonString("a\"b\\c\n"), "\"a\\\"b\\\\c\\u000a\""); }

TEST(Fields, StopAtNulDropTrailingBlanksEscapeTheRest)
{
    const char name[20] = "VDS-2104  ";
    EXPECT_EQ(fieldText(name, sizeof name), "VDS-2104");
    const char full[4] = {'A', 'B', 'C', 'D'};  // no terminator inside the field
    EXPECT_EQ(fieldText(full, sizeof full), "ABCD");
    const char binary[4] = {'X', '\x01', char(0xC8), '\0'};
    EXPECT_EQ(fieldText(binary, sizeof binary), "X\\x01\\xC8");
}
