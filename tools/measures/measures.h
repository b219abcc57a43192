// The instrument's 32 measurements of a channel as the application and
// vantorctl read them: the item and unit tables, one entry of the 512-byte
// block, its text, the pass/fail judgement against limits, the value in base
// SI units and the rows of a measurement trend log. Plain C++ without Qt, so
// the tool and the application share one copy.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace measures {

constexpr int kItemCount = 32;
constexpr int kUnitCount = 16;
constexpr int kEntryBytes = 16;
constexpr int kBlockBytes = kItemCount * kEntryBytes;
// Rows from "Phase" on relate channel 1 to channel 2.
constexpr int kFirstPairRow = 23;
constexpr int kUnitOther = 9;  // "?"

enum class Family : uint8_t { Voltage, Time, Frequency, Percent, Degree };

// "ps" .. "div"; index 9 is a literal question mark.
extern const char *const kUnitNames[kUnitCount];
extern const char *const kItemNames[kItemCount];
// The degree sign as the limits store it (GB2312 A1 E3).
extern const char kDegreeUnit[3];

// "" for an index outside the table.
const char *UnitName(int index);
Family ItemFamily(int row);
// The units the limit dialog offers for a family; "%" and the degree sign
// (GB2312) for percent and degree.
std::span<const char *const> FamilyUnits(Family family);
// "V", "s", "Hz", "%", "°" (UTF-8).
const char *BaseUnit(Family family);

struct Limit {
    int32_t nMin = 0;
    int32_t nMax = 0;
    char szMinUnit[4] = {};
    char szMaxUnit[4] = {};
};
Limit DefaultLimit(int row);

struct Entry {
    bool present = false;
    float value = 0.0f;
    int unit = 0;
    int digits = 0;
};
// One 16-byte entry: present flag, big-endian float, unit index, digits.
Entry DecodeEntry(const uint8_t *entry);
// The instrument's side: the entry's four fields (other bytes untouched).
void EncodeEntry(const Entry &entry, uint8_t *out);

// "%f" cut after the entry's digits behind the point (0 keeps the point,
// 6 or more keep all), then the unit; "****" when the instrument has none.
std::string ValueText(const Entry &entry);

// nMin <= value <= nMax with the value converted into each limit's unit:
// factors of 1000 within a family, the value rounded to the float it came
// as. A value of unit "?" is a bare number: compared directly with a limit
// in "%" or the degree sign (and with a limit in "?"), never with one of
// volts, seconds or hertz. A unit outside "ps".."THz", "%" and the degree
// sign fails, as does any value that cannot be converted.
bool WithinLimits(const Entry &entry, const Limit &limit);

// One row as the measurement page shows it: "****" and a failure when the
// instrument sent nothing or a pair row lacks channel 1 or 2.
struct RowResult {
    std::string text;
    bool pass = false;
};
RowResult EvaluateRow(int row, const Entry &entry, bool pairChannelsOn, const Limit &limit);

// The value in the base unit of the row's family (V, s, Hz, %, °); empty
// when absent, not finite, or in a unit of another family ("div", or "?"
// outside the percent and degree rows).
std::optional<double> BaseSiValue(int row, const Entry &entry);
// "1.234 mV": a base-unit value shown with the family's prefix.
std::string FormatSi(double value, Family family);

// ---- trend log --------------------------------------------------------------

struct TrendRow {
    std::string time;  // ISO-8601 local time
    int channel = 0;
    std::array<std::optional<double>, kItemCount> values{};
    std::array<bool, kItemCount> pass{};
};

// The block of one channel judged against limits.
TrendRow MakeTrendRow(std::string time, int channel, const uint8_t *block, bool pairChannelsOn,
                      const std::array<Limit, kItemCount> &limits);
std::array<Limit, kItemCount> DefaultLimits();

// "2026-03-05T14:07:09.123+01:00" for milliseconds since the epoch.
std::string IsoLocalTime(int64_t msSinceEpoch);
// Column names: "time", "channel", "<item> (<unit>)" x 32, "<item> verdict" x 32.
const std::array<std::string, 2 + 2 * kItemCount> &TrendColumns();
// The header and one row, each ended by "\n"; empty cells for absent values.
std::string TrendCsvHeader();
std::string TrendCsvLine(const TrendRow &row);
// One JSON object per line with the same names; null for absent values.
std::string TrendJsonLine(const TrendRow &row);
// The shortest text that reads back as the same double.
std::string NumberText(double value);

}  // namespace measures
