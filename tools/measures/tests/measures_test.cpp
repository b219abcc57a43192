// The judgement of one value against its limits, the base SI value and the
// trend-log lines, on hand-made entries.
#include "measures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

using namespace measures;

namespace {

Limit MakeLimit(int32_t nMin, const char *minUnit, int32_t nMax, const char *maxUnit)
{
    Limit limit;
    limit.nMin = nMin;
    limit.nMax = nMax;
    std::memcpy(limit.szMinUnit, minUnit, std::min<size_t>(std::strlen(minUnit), 3));
    std::memcpy(limit.szMaxUnit, maxUnit, std::min<size_t>(std::strlen(maxUnit), 3));
    return limit;
}

Entry Value(float value, int unit, bool present = true) { return Entry{present, value, unit, 2}; }

void PutEntry(uint8_t *block, int row, float value, int unit)
{
    EncodeEntry(Entry{true, value, unit, 2}, block + row * kEntryBytes);
    EXPECT_EQ(DecodeEntry(block + row * kEntryBytes).value, value);
}

}  // namespace

TEST(Limits, EachBoundInItsOwnUnit)
{
    const char *deg = kDegreeUnit;
    struct Case {
        const char *what;
        Entry value;
        Limit limit;
        bool pass;
    };
    const Case cases[] = {
        {"equal to the lower bound", Value(-999.0f, 6), MakeLimit(-999, "mV", 999, "mV"), true},
        {"equal to the upper bound", Value(999.0f, 6), MakeLimit(-999, "mV", 999, "mV"), true},
        {"just above the upper bound", Value(999.01f, 6), MakeLimit(-999, "mV", 999, "mV"), false},
        {"volts against millivolts at the bound", Value(0.3f, 7), MakeLimit(300, "mV", 300, "mV"), true},
        {"millivolts against volts", Value(1500.0f, 6), MakeLimit(1, "V", 2, "V"), true},
        {"bounds in different units", Value(2.0f, 3), MakeLimit(1500, "us", 3, "ms"), true},
        {"nanoseconds below microseconds", Value(900.0f, 1), MakeLimit(1, "us", 999, "us"), false},
        {"kilohertz against hertz", Value(1.0f, 11), MakeLimit(1000, "Hz", 1000, "Hz"), true},
        {"terahertz against kilohertz", Value(0.002f, 14), MakeLimit(1, "KHz", 999, "KHz"), false},
        {"volts against a time limit", Value(1.0f, 7), MakeLimit(-999, "us", 999, "us"), false},
        {"a limit in div", Value(1.0f, 15), MakeLimit(-999, "div", 999, "div"), false},
        {"a value in div", Value(1.0f, 15), MakeLimit(-999, "mV", 999, "mV"), false},
        {"names are case-sensitive", Value(1.0f, 6), MakeLimit(-999, "mv", 999, "mV"), false},
        {"an unknown unit", Value(1.0f, 6), MakeLimit(-999, "mV", 999, "xx"), false},
        {"percent limit, bare value", Value(12.5f, 9), MakeLimit(0, "%", 100, "%"), true},
        {"percent limit at 100", Value(100.0f, 9), MakeLimit(0, "%", 100, "%"), true},
        {"percent limit exceeded", Value(100.5f, 9), MakeLimit(0, "%", 100, "%"), false},
        {"degree limit, bare value", Value(90.0f, 9), MakeLimit(0, deg, 100, deg), true},
        {"percent limit, value in volts", Value(50.0f, 7), MakeLimit(0, "%", 100, "%"), false},
        {"bare value against millivolts", Value(1.0f, 9), MakeLimit(-999, "mV", 999, "mV"), false},
        {"bare value against a bare limit", Value(5.0f, 9), MakeLimit(0, "?", 9, "?"), true},
        {"a unit past the table", Value(1.0f, 200), MakeLimit(-999, "mV", 999, "mV"), false},
        {"not a number", Value(std::nanf(""), 6), MakeLimit(-999, "mV", 999, "mV"), false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(WithinLimits(c.value, c.limit), c.pass) << c.what;
}

TEST(Limits, RowsAndDefaults)
{
    // Every default finds its unit; a middle value of each family passes.
    const float middles[] = {10.0f, 10.0f, 10.0f, 10.0f, 10.0f};  // mV, us, KHz, %, degrees
    const int units[] = {6, 2, 11, 9, 9};
    for (int row = 0; row < kItemCount; ++row) {
        const int f = int(ItemFamily(row));
        EXPECT_TRUE(WithinLimits(Value(middles[f], units[f]), DefaultLimit(row))) << kItemNames[row];
    }
    EXPECT_STREQ(DefaultLimit(2).szMinUnit, "mV");  // Vmin
    EXPECT_STREQ(DefaultLimit(15).szMaxUnit, "KHz");
    EXPECT_STREQ(DefaultLimit(23).szMinUnit, "\xA1\xE3");
    EXPECT_EQ(DefaultLimit(23).nMax, 100);

    const Limit wide = MakeLimit(-999, "mV", 999, "mV");
    EXPECT_EQ(EvaluateRow(0, Value(1.0f, 6, false), true, wide).text, "****");
    EXPECT_FALSE(EvaluateRow(0, Value(1.0f, 6, false), true, wide).pass);
    EXPECT_EQ(EvaluateRow(22, Value(1.0f, 6), false, wide).text, "1.00mV");
    EXPECT_EQ(EvaluateRow(23, Value(1.0f, 6), false, wide).text, "****");
    EXPECT_TRUE(EvaluateRow(31, Value(1.0f, 6), true, wide).pass);
}

TEST(BaseSi, TheRowsFamilyOnly)
{
    struct Case {
        int row;
        Entry entry;
        std::optional<double> si;
    };
    const Case cases[] = {
        {0, Value(12.34f, 6), 0.01234},
        {8, Value(-2.5f, 7), -2.5},
        {1, Value(1.5f, 8), 1500.0},
        {14, Value(500.0f, 2), 0.0005},
        {18, Value(3.5f, 1), 3.5e-9},
        {16, Value(20.0f, 0), 2e-11},
        {15, Value(2.0f, 11), 2000.0},
        {15, Value(1.25f, 13), 1.25e9},
        {10, Value(12.5f, 9), 12.5},
        {23, Value(90.0f, 9), 90.0},
        {0, Value(1.0f, 9), std::nullopt},
        {10, Value(1.0f, 6), std::nullopt},
        {0, Value(1.0f, 15), std::nullopt},
        {14, Value(1.0f, 7), std::nullopt},
        {0, Value(1.0f, 6, false), std::nullopt},
        {0, Value(INFINITY, 6), std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BaseSiValue(c.row, c.entry), c.si) << kItemNames[c.row] << " " << c.entry.value;
    EXPECT_EQ(NumberText(*BaseSiValue(0, Value(12.34f, 6))), "0.01234");
    EXPECT_EQ(FormatSi(0.001234, Family::Voltage), "1.234 mV");
    EXPECT_EQ(FormatSi(5e-4, Family::Time), "500 us");
    EXPECT_EQ(FormatSi(1e-15, Family::Time), "0.001 ps");
    EXPECT_EQ(FormatSi(2000.0, Family::Frequency), "2 KHz");
    EXPECT_EQ(FormatSi(12.5, Family::Percent), "12.5 %");
}

TEST(TrendLog, LinesAndTime)
{
    uint8_t block[kBlockBytes] = {};
    PutEntry(block, 0, 12.34f, 6);  // Vpp 12.34 mV
    PutEntry(block, 15, 2.0f, 11);  // Frequent 2 KHz
    PutEntry(block, 23, 45.0f, 9);  // Phase
    PutEntry(block, 24, 10.0f, 2);  // FRR 10 us
    auto limits = DefaultLimits();
    const TrendRow alone = MakeTrendRow("t", 2, block, false, limits);
    const TrendRow paired = MakeTrendRow("t", 2, block, true, limits);
    EXPECT_EQ(alone.values[0], 0.01234);
    EXPECT_TRUE(alone.pass[0]);
    EXPECT_FALSE(alone.pass[1]);  // absent
    EXPECT_EQ(alone.values[15], 2000.0);
    EXPECT_FALSE(alone.values[23]);  // a pair row without channel 1 and 2
    EXPECT_FALSE(alone.pass[23]);
    EXPECT_EQ(paired.values[23], 45.0);
    EXPECT_EQ(paired.values[24], 1e-5);
    EXPECT_TRUE(paired.pass[24]);

    EXPECT_EQ(TrendColumns().size(), 66u);
    EXPECT_EQ(TrendColumns()[2], "Vpp (V)");
    EXPECT_EQ(TrendColumns()[25], "Phase (\xC2\xB0)");
    EXPECT_EQ(TrendColumns()[34], "Vpp verdict");
    const std::string line = TrendCsvLine(paired);
    EXPECT_EQ(line.rfind("t,2,0.01234,,,", 0), 0u) << line;
    EXPECT_NE(line.find(",2000,"), std::string::npos);
    EXPECT_EQ(line.substr(line.size() - 11), ",Fail,Fail\n");
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 65);
    const std::string header = TrendCsvHeader();
    EXPECT_EQ(std::count(header.begin(), header.end(), ','), 65);
    const std::string json = TrendJsonLine(alone);
    EXPECT_EQ(json.rfind("{\"time\":\"t\",\"channel\":2,\"Vpp (V)\":0.01234,\"Vmax (V)\":null,", 0), 0u) << json;
    EXPECT_NE(json.find("\"Vpp verdict\":\"Pass\",\"Vmax verdict\":\"Fail\""), std::string::npos);

    const char *zone = std::getenv("TZ");
    const std::string saved = zone ? zone : "";
    setenv("TZ", "XYZ-05:30", 1);
    tzset();
    EXPECT_EQ(IsoLocalTime(123), "1970-01-01T05:30:00.123+05:30");
    setenv("TZ", "ABC+3", 1);
    tzset();
    EXPECT_EQ(IsoLocalTime(-1), "1969-12-31T20:59:59.999-03:00");
    if (zone)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
