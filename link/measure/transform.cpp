// Sample codes and counts to volts, seconds, hertz, percent and degrees,
// brought into engineering range on a unit ladder.
#include <cmath>
#include <cstring>

#include "measure_internal.h"

namespace tavlink::measure {
namespace {

constexpr int kUnitBytes = 5;
constexpr double kDivPerCode = 0.04;    // 25 codes per division
constexpr double kDivPerSample = 0.04;  // at 300 samples per record

struct Ladder {
    const char *const *units;
    int size;
};

constexpr const char *kVoltUnits[] = {"uV", "mV", "V", "kV"};
constexpr const char *kTimeUnits[] = {"ps", "ns", "us", "ms", "s"};
constexpr const char *kHertzUnits[] = {"Hz", "KHz", "MHz", "GHz", "THz"};
constexpr Ladder ScaleVolts{kVoltUnits, 4};
constexpr Ladder ScaleSeconds{kTimeUnits, 5};
constexpr Ladder ScaleHertz{kHertzUnits, 5};

// A unit text: at most four characters, read no further than its 5-byte field.
struct Unit {
    char text[kUnitBytes] = {};
    explicit Unit(const char *from)
    {
        if (!from)
            return;
        const size_t n = strnlen(from, kUnitBytes - 1);
        std::memcpy(text, from, n);
    }
};

void writeUnit(char *out, const char *text)
{
    if (!out)
        return;
    const size_t n = strnlen(text, kUnitBytes - 1);
    std::memmove(out, text, n);
    std::memset(out + n, 0, kUnitBytes - n);
}

int rung(const Ladder &ladder, const char *unit)
{
    for (int i = 0; i < ladder.size; ++i)
        if (std::strcmp(ladder.units[i], unit) == 0)
            return i;
    return -1;
}

// Returns the scaled value and writes the unit it is in.
double scale(const Ladder &ladder, double value, const char *unitIn, char *unitOut)
{
    const Unit in(unitIn);  // unitOut may be the same field
    if (value > -1e-8 && value < 1e-8) {
        writeUnit(unitOut, in.text);
        return value;
    }
    int cur = rung(ladder, in.text);
    if (cur < 0) {
        writeUnit(unitOut, in.text);
        return value;
    }
    double e = std::fabs(value);
    if (e >= 1 && e < 1000) {
        writeUnit(unitOut, in.text);
        return value;
    }
    while (e >= 1000 && cur < ladder.size - 1) {
        ++cur;
        e *= 0.001;
    }
    while (e < 1 && cur > 0) {
        --cur;
        e *= 1000;
    }
    writeUnit(unitOut, ladder.units[cur]);
    return value < 0 ? -e : e;
}

uint16_t code16(int code) { return static_cast<uint16_t>(code); }

double volts(int code, double zero, double voltsPerDiv) { return (code16(code) - zero) * voltsPerDiv * kDivPerCode; }

double timeScaled(double count, double timeBase, int recordLength, const char *unitIn, char *unitOut)
{
    return scale(ScaleSeconds, secondsPerSample(timeBase, recordLength) * count, unitIn, unitOut);
}

}  // namespace

// A record shorter than 300 samples is taken as one screen rather than
// dividing the time base by zero.
double secondsPerSample(double timeBase, int recordLength)
{
    int screens = recordLength / 300;
    if (screens < 1)
        screens = 1;
    return timeBase / screens * kDivPerSample;
}

}  // namespace tavlink::measure

using namespace tavlink::measure;

extern "C" {

TAVLINK_API void transform_basic(int channel, int maxCode, int minCode, double zero, double voltsPerDiv,
                                 const char *unitIn, char *maxUnitOut, char *minUnitOut, double *max, double *min)
{
    State &st = state();
    st.rememberedMax = volts(maxCode, zero, voltsPerDiv);
    st.rememberedMin = volts(minCode, zero, voltsPerDiv);
    const Unit in(unitIn);
    put(max, scale(ScaleVolts, st.rememberedMax, in.text, maxUnitOut));
    put(min, scale(ScaleVolts, st.rememberedMin, in.text, minUnitOut));
}

TAVLINK_API void transform_vpp(int, int, int, int, const char *unitIn, char *unitOut, double *value)
{
    const State &st = state();
    put(value, scale(ScaleVolts, st.rememberedMax - st.rememberedMin, unitIn, unitOut));
}

TAVLINK_API void transform_vtop(int channel, int code, double zero, double voltsPerDiv, const char *unitIn,
                                char *unitOut, double *value)
{
    put(value, scale(ScaleVolts, volts(code, zero, voltsPerDiv), unitIn, unitOut));
}

TAVLINK_API void transform_vbase(int channel, int code, double zero, double voltsPerDiv, const char *unitIn,
                                 char *unitOut, double *value) __attribute__((alias("transform_vtop")));

TAVLINK_API void transform_vamp(int code, double voltsPerDiv, const char *unitIn, char *unitOut, double *value)
{
    put(value, scale(ScaleVolts, volts(code, 0.0, voltsPerDiv), unitIn, unitOut));
}

TAVLINK_API void transform_Vmean(int code, double zero, double voltsPerDiv, const char *unitIn, char *unitOut,
                                 double *value)
{
    put(value, scale(ScaleVolts, volts(code, zero, voltsPerDiv), unitIn, unitOut));
}

TAVLINK_API void transform_c_ave(int code, double zero, double voltsPerDiv, const char *unitIn, char *unitOut,
                                 double *value) __attribute__((alias("transform_Vmean")));

TAVLINK_API void transform_vrms(int code, int, int, double voltsPerDiv, const char *unitIn, char *unitOut,
                                double *value)
{
    put(value, scale(ScaleVolts, volts(code, 0.0, voltsPerDiv), unitIn, unitOut));
}

TAVLINK_API void transform_c_rms(int code, int unused1, int unused2, double voltsPerDiv, const char *unitIn,
                                 char *unitOut, double *value) __attribute__((alias("transform_vrms")));

TAVLINK_API bool transform_prid(int channel, int count, double timeBase, int recordLength, const char *unitIn,
                                char *unitOut, double *value)
{
    if (code16(count) == kNotFound)
        return false;
    put(value, timeScaled(code16(count), timeBase, recordLength, unitIn, unitOut));
    return true;
}

TAVLINK_API bool transform_Freq(double period, const char *periodUnit, char *unitOut, double *value)
{
    if (period == 65535)
        return false;
    const Unit unit(periodUnit);
    double seconds = period;
    if (std::strcmp(unit.text, "ms") == 0)
        seconds *= 0.001;
    else if (std::strcmp(unit.text, "us") == 0)
        seconds *= 1e-6;
    else if (std::strcmp(unit.text, "ns") == 0)
        seconds *= 1e-9;
    else if (std::strcmp(unit.text, "ps") == 0)
        seconds *= 1e-12;
    put(value, scale(ScaleHertz, 1.0 / seconds, "Hz", unitOut));
    return true;
}

TAVLINK_API int transform_rise_fall_time(int channel, int firstCount, int secondCount, const char *unitIn,
                                         char *firstUnitOut, char *secondUnitOut, double timeBase, double *firstValue,
                                         int recordLength, double *secondValue)
{
    const Unit in(unitIn);
    int missing = 0;
    if (code16(firstCount) == kNotFound)
        missing |= 1;
    else
        put(firstValue, timeScaled(code16(firstCount), timeBase, recordLength, in.text, firstUnitOut));
    if (code16(secondCount) == kNotFound)
        missing |= 2;
    else
        put(secondValue, timeScaled(code16(secondCount), timeBase, recordLength, in.text, secondUnitOut));
    return missing;
}

TAVLINK_API int transform_Pos_Neg_width(int positiveCount, int negativeCount, double timeBase, int recordLength,
                                        const char *unitIn, char *unitOut, double *positive, double *negative)
{
    return transform_rise_fall_time(0, positiveCount, negativeCount, unitIn, unitOut, unitOut, timeBase, positive,
                                    recordLength, negative);
}

// 255 marks a duty that cannot be had: no period, or a width not found.
TAVLINK_API void transform_Pos_Neg_Dut(int positiveCount, int negativeCount, int periodCount, double *positiveDuty,
                                       double *negativeDuty)
{
    const uint16_t period = code16(periodCount);
    if (period == 0 || period == kNotFound) {
        put(positiveDuty, 255.0);
        put(negativeDuty, 255.0);
        return;
    }
    auto duty = [&](int width) { return code16(width) == kNotFound ? 255.0 : code16(width) * 100.0 / period; };
    put(positiveDuty, duty(positiveCount));
    put(negativeDuty, duty(negativeCount));
}

TAVLINK_API void transform_burst_width(int count, double timeBase, int recordLength, const char *unitIn, char *unitOut,
                                       double *value)
{
    put(value, timeScaled(code16(count), timeBase, recordLength, unitIn, unitOut));
}

TAVLINK_API int transform_ROVShoot(int difference, int amplitude, double *value)
{
    put(value, difference * 100.0 / amplitude);
    return difference;
}

TAVLINK_API int transform_FOVShoot(int difference, int amplitude, double *value)
    __attribute__((alias("transform_ROVShoot")));
TAVLINK_API int transform_RPREShoot(int difference, int amplitude, double *value)
    __attribute__((alias("transform_ROVShoot")));
TAVLINK_API int transform_FPREShoot(int difference, int amplitude, double *value)
    __attribute__((alias("transform_ROVShoot")));

TAVLINK_API void transform_frr(int delay, double timeBase, int recordLength, const char *unitIn, char *unitOut,
                               double *value)
{
    put(value, timeScaled(delay, timeBase, recordLength, unitIn, unitOut));
}

#define TAVLINK_DELAY_ALIAS(name)                                                                                      \
    TAVLINK_API void name(int delay, double timeBase, int recordLength, const char *unitIn, char *unitOut,             \
                          double *value) __attribute__((alias("transform_frr")));
TAVLINK_DELAY_ALIAS(transform_frf)
TAVLINK_DELAY_ALIAS(transform_ffr)
TAVLINK_DELAY_ALIAS(transform_fff)
TAVLINK_DELAY_ALIAS(transform_lrr)
TAVLINK_DELAY_ALIAS(transform_lrf)
TAVLINK_DELAY_ALIAS(transform_lfr)
TAVLINK_DELAY_ALIAS(transform_lff)
#undef TAVLINK_DELAY_ALIAS

TAVLINK_API void transform_phase(int delay, int period, double *value)
{
    if (period == 0)
        return;
    const double turns = static_cast<double>(delay) / period;
    put(value, (turns - std::trunc(turns)) * 360.0);
}

}  // extern "C"
