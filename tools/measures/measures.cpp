#include "measures.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

namespace measures {

const char *const kUnitNames[kUnitCount] = {"ps", "ns", "us", "ms",  "s",   "uV",  "mV",  "V",
                                            "kV", "?",  "Hz", "KHz", "MHz", "GHz", "THz", "div"};

const char *const kItemNames[kItemCount] = {"Vpp",
                                            "Vmax",
                                            "Vmin",
                                            "Vamp",
                                            "Vtop",
                                            "Vbase",
                                            "Vmean",
                                            "Mean",
                                            "Vrms",
                                            "Crms",
                                            "FOV",
                                            "FPRE",
                                            "ROV",
                                            "RPRE",
                                            "Period",
                                            "Frequent",
                                            "Positive Width",
                                            "Negative Width",
                                            "Rise Time",
                                            "Fall Time",
                                            "Width",
                                            "PDut",
                                            "NDut",
                                            "Phase",
                                            "FRR",
                                            "FRF",
                                            "FFR",
                                            "FFF",
                                            "LRR",
                                            "LRF",
                                            "LFR",
                                            "LFF"};

const char kDegreeUnit[3] = "\xA1\xE3";

namespace {

constexpr Family V = Family::Voltage, T = Family::Time, F = Family::Frequency, P = Family::Percent, D = Family::Degree;
constexpr Family kFamilies[kItemCount] = {V, V, V, V, V, V, V, V, V, V, P, P, P, P, T, F,
                                          T, T, T, T, T, P, P, D, T, T, T, T, T, T, T, T};

const char *const kVoltageUnits[] = {"uV", "mV", "V", "kV"};
const char *const kTimeUnits[] = {"ps", "ns", "us", "ms", "s"};
const char *const kFrequencyUnits[] = {"Hz", "KHz", "MHz", "GHz", "THz"};
const char *const kPercentUnits[] = {"%"};
const char *const kDegreeUnits[] = {kDegreeUnit};

// Where a unit stands: its family and its power of ten against the base unit.
struct UnitPlace {
    enum Kind { None, Scaled, Bare, Percent, Degree } kind = None;
    Family family = Family::Voltage;
    int exponent = 0;
};

UnitPlace PlaceOfIndex(int index)
{
    if (index >= 0 && index <= 4)
        return {UnitPlace::Scaled, Family::Time, 3 * index - 12};
    if (index >= 5 && index <= 8)
        return {UnitPlace::Scaled, Family::Voltage, 3 * (index - 5) - 6};
    if (index == kUnitOther)
        return {UnitPlace::Bare, Family::Percent, 0};
    if (index >= 10 && index <= 14)
        return {UnitPlace::Scaled, Family::Frequency, 3 * (index - 10)};
    return {};  // "div" and anything past the table
}

// A limit's unit name: one of the first 15 names, "%" or the degree sign.
UnitPlace PlaceOfLimitUnit(const char (&unit)[4])
{
    const std::string_view name(unit, strnlen(unit, sizeof unit));
    for (int i = 0; i < 15; ++i)
        if (name == kUnitNames[i])
            return PlaceOfIndex(i);
    if (name == "%")
        return {UnitPlace::Percent, Family::Percent, 0};
    if (name == kDegreeUnit)
        return {UnitPlace::Degree, Family::Degree, 0};
    return {};
}

// The value in a limit's unit, or nothing when no factor relates them.
std::optional<double> InLimitUnit(const Entry &entry, const UnitPlace &limit)
{
    const UnitPlace value = PlaceOfIndex(entry.unit);
    if (value.kind == UnitPlace::None || limit.kind == UnitPlace::None)
        return std::nullopt;
    if (value.kind == UnitPlace::Bare)
        return limit.kind == UnitPlace::Scaled ? std::nullopt : std::optional<double>(entry.value);
    if (limit.kind != UnitPlace::Scaled || value.family != limit.family)
        return std::nullopt;
    double scaled = entry.value;
    for (int e = value.exponent; e < limit.exponent; e += 3)
        scaled /= 1000.0;
    for (int e = value.exponent; e > limit.exponent; e -= 3)
        scaled *= 1000.0;
    // The instrument's value carries a float's precision; so does its
    // conversion, so that 0.3 V meets a limit of 300 mV.
    return double(float(scaled));
}

void PutUnit(char (&field)[4], const char *unit)
{
    std::memset(field, 0, sizeof field);
    std::memcpy(field, unit, std::min(std::strlen(unit), sizeof field - 1));
}

}  // namespace

const char *UnitName(int index) { return index >= 0 && index < kUnitCount ? kUnitNames[index] : ""; }

Family ItemFamily(int row) { return row >= 0 && row < kItemCount ? kFamilies[row] : Family::Voltage; }

std::span<const char *const> FamilyUnits(Family family)
{
    switch (family) {
    case Family::Voltage: return kVoltageUnits;
    case Family::Time: return kTimeUnits;
    case Family::Frequency: return kFrequencyUnits;
    case Family::Percent: return kPercentUnits;
    case Family::Degree: return kDegreeUnits;
    }
    return {};
}

const char *BaseUnit(Family family)
{
    switch (family) {
    case Family::Voltage: return "V";
    case Family::Time: return "s";
    case Family::Frequency: return "Hz";
    case Family::Percent: return "%";
    case Family::Degree: return "\xC2\xB0";
    }
    return "";
}

Limit DefaultLimit(int row)
{
    Limit limit;
    const char *unit = "mV";
    limit.nMin = -999;
    limit.nMax = 999;
    switch (ItemFamily(row)) {
    case Family::Voltage: break;
    case Family::Time: unit = "us"; break;
    case Family::Frequency: unit = "KHz"; break;
    case Family::Percent:
    case Family::Degree:
        unit = ItemFamily(row) == Family::Percent ? "%" : kDegreeUnit;
        limit.nMin = 0;
        limit.nMax = 100;
        break;
    }
    PutUnit(limit.szMinUnit, unit);
    PutUnit(limit.szMaxUnit, unit);
    return limit;
}

std::array<Limit, kItemCount> DefaultLimits()
{
    std::array<Limit, kItemCount> limits;
    for (int row = 0; row < kItemCount; ++row)
        limits[size_t(row)] = DefaultLimit(row);
    return limits;
}

Entry DecodeEntry(const uint8_t *entry)
{
    Entry decoded;
    decoded.present = entry[0] != 0;
    const uint32_t bits =
        (uint32_t(entry[4]) << 24) | (uint32_t(entry[5]) << 16) | (uint32_t(entry[6]) << 8) | uint32_t(entry[7]);
    std::memcpy(&decoded.value, &bits, sizeof bits);
    decoded.unit = entry[8];
    decoded.digits = entry[12];
    return decoded;
}

void EncodeEntry(const Entry &entry, uint8_t *out)
{
    uint32_t bits;
    std::memcpy(&bits, &entry.value, sizeof bits);
    out[0] = entry.present ? 1 : 0;
    for (int i = 0; i < 4; ++i)
        out[4 + i] = uint8_t(bits >> (24 - 8 * i));
    out[8] = uint8_t(entry.unit);
    out[12] = uint8_t(entry.digits);
}

std::string ValueText(const Entry &entry)
{
    if (!entry.present)
        return "****";
    char buffer[400];  // "%f" of the largest float takes 47 characters
    std::snprintf(buffer, sizeof buffer, "%f", double(entry.value));
    std::string text = buffer;
    const auto point = text.find('.');
    if (point != std::string::npos && entry.digits < 6)
        text.resize(point + 1 + size_t(entry.digits));
    return text + UnitName(entry.unit);
}

bool WithinLimits(const Entry &entry, const Limit &limit)
{
    const UnitPlace minUnit = PlaceOfLimitUnit(limit.szMinUnit);
    const UnitPlace maxUnit = PlaceOfLimitUnit(limit.szMaxUnit);
    const std::optional<double> low = InLimitUnit(entry, minUnit);
    const std::optional<double> high = InLimitUnit(entry, maxUnit);
    return low && high && double(limit.nMin) <= *low && *high <= double(limit.nMax);
}

RowResult EvaluateRow(int row, const Entry &entry, bool pairChannelsOn, const Limit &limit)
{
    if (!entry.present || (row >= kFirstPairRow && !pairChannelsOn))
        return {"****", false};
    return {ValueText(entry), WithinLimits(entry, limit)};
}

std::optional<double> BaseSiValue(int row, const Entry &entry)
{
    if (!entry.present || !std::isfinite(entry.value))
        return std::nullopt;
    const Family family = ItemFamily(row);
    const UnitPlace place = PlaceOfIndex(entry.unit);
    const bool bareRow = family == Family::Percent || family == Family::Degree;
    if (bareRow ? place.kind != UnitPlace::Bare : (place.kind != UnitPlace::Scaled || place.family != family))
        return std::nullopt;
    // Shift the float's own shortest digits, so 12.34 mV becomes 0.01234 V
    // and not 0.012339999...
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, entry.value, std::chars_format::scientific);
    if (ec != std::errc())
        return std::nullopt;
    *end = 0;
    char *e = std::strchr(text, 'e');
    const int exponent = std::atoi(e + 1) + place.exponent;
    std::snprintf(e, size_t(text + sizeof text - e), "e%d", exponent);
    return std::strtod(text, nullptr);
}

std::string FormatSi(double value, Family family)
{
    if (!std::isfinite(value))
        return "-";
    const std::span<const char *const> units = FamilyUnits(family);
    int exponent = 0;
    const char *unit = BaseUnit(family);
    if (family == Family::Voltage || family == Family::Time || family == Family::Frequency) {
        const int first = family == Family::Voltage ? -6 : family == Family::Time ? -12 : 0;
        const int last = first + 3 * int(units.size() - 1);
        const double magnitude = std::fabs(value);
        exponent = magnitude == 0 ? 0 : int(std::floor(std::log10(magnitude) / 3.0)) * 3;
        exponent = std::clamp(exponent, first, last);
        unit = units[size_t((exponent - first) / 3)];
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.4g %s", value / std::pow(10.0, exponent), unit);
    return text;
}

// ---- trend log --------------------------------------------------------------

TrendRow MakeTrendRow(std::string time, int channel, const uint8_t *block, bool pairChannelsOn,
                      const std::array<Limit, kItemCount> &limits)
{
    TrendRow row;
    row.time = std::move(time);
    row.channel = channel;
    for (int k = 0; k < kItemCount; ++k) {
        const Entry entry = DecodeEntry(block + k * kEntryBytes);
        const bool shown = entry.present && (k < kFirstPairRow || pairChannelsOn);
        // The page's verdict without its text: a log row costs no "%f".
        if (shown) {
            row.values[size_t(k)] = BaseSiValue(k, entry);
            row.pass[size_t(k)] = WithinLimits(entry, limits[size_t(k)]);
        }
    }
    return row;
}

std::string IsoLocalTime(int64_t msSinceEpoch)
{
    const int64_t seconds = msSinceEpoch >= 0 ? msSinceEpoch / 1000 : (msSinceEpoch - 999) / 1000;
    const int ms = int(msSinceEpoch - seconds * 1000);
    const std::time_t t = std::time_t(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    char text[48];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff / 60;
    std::snprintf(text + n, sizeof text - n, ".%03d%c%02ld:%02ld", ms, offset < 0 ? '-' : '+', std::labs(offset) / 60,
                  std::labs(offset) % 60);
    return text;
}

const std::array<std::string, 2 + 2 * kItemCount> &TrendColumns()
{
    static const std::array<std::string, 2 + 2 *kItemCount> columns = [] {
        std::array<std::string, 2 + 2 * kItemCount> c;
        c[0] = "time";
        c[1] = "channel";
        for (int k = 0; k < kItemCount; ++k) {
            c[size_t(2 + k)] = std::string(kItemNames[k]) + " (" + BaseUnit(ItemFamily(k)) + ")";
            c[size_t(2 + kItemCount + k)] = std::string(kItemNames[k]) + " verdict";
        }
        return c;
    }();
    return columns;
}

std::string NumberText(double value)
{
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : std::string();
}

std::string TrendCsvHeader()
{
    std::string line;
    for (const std::string &name : TrendColumns()) {
        if (!line.empty())
            line += ',';
        line += name;
    }
    return line + '\n';
}

std::string TrendCsvLine(const TrendRow &row)
{
    std::string line;
    line.reserve(32 * 16 + 32 * 5 + 40);
    line += row.time;
    line += ',';
    line += std::to_string(row.channel);
    for (const std::optional<double> &value : row.values) {
        line += ',';
        if (value)
            line += NumberText(*value);
    }
    for (bool pass : row.pass)
        line += pass ? ",Pass" : ",Fail";
    line += '\n';
    return line;
}

std::string TrendJsonLine(const TrendRow &row)
{
    const auto &names = TrendColumns();
    std::string line = "{\"" + names[0] + "\":\"" + row.time + "\",\"" + names[1] + "\":" + std::to_string(row.channel);
    for (int k = 0; k < kItemCount; ++k) {
        const std::optional<double> &value = row.values[size_t(k)];
        line += ",\"" + names[size_t(2 + k)] + "\":" + (value ? NumberText(*value) : std::string("null"));
    }
    for (int k = 0; k < kItemCount; ++k)
        line += ",\"" + names[size_t(2 + kItemCount + k)] + "\":" + (row.pass[size_t(k)] ? "\"Pass\"" : "\"Fail\"");
    line += "}\n";
    return line;
}

}  // namespace measures
