// Means and rms values, overshoot and preshoot, delays and phase.
#include <cmath>
#include <cstdlib>

#include "measure_internal.h"

namespace tavlink::measure {
namespace {

uint16_t isqrt(unsigned long long n)
{
    auto r = static_cast<unsigned long long>(std::sqrt(static_cast<double>(n)));
    while (r * r > n)
        --r;
    while ((r + 1) * (r + 1) <= n)
        ++r;
    return static_cast<uint16_t>(r);
}

// 32-bit sums over blocks of 16384 squares (at most 255^2 each, so a block
// cannot overflow), added up in 64 bits: any record length is safe.
uint16_t rmsOver(const uint8_t *s, int n, uint8_t zero)
{
    unsigned long long sum = 0;
    constexpr int kBlock = 16384;
    for (int start = 0; start < n; start += kBlock) {
        const int end = n - start < kBlock ? n : start + kBlock;
        uint32_t part = 0;
        for (int i = start; i < end; ++i) {
            const int d = static_cast<int>(s[i]) - static_cast<int>(zero);
            part += static_cast<uint32_t>(d * d);
        }
        sum += part;
    }
    return isqrt(sum / static_cast<unsigned long long>(n));
}

// The period of the channel, or kNotFound; also 0 when nothing usable came back.
int cyclePeriod(int channel, const uint8_t *samples, int count)
{
    uint16_t period = kNotFound;
    measure_get_prid(channel, samples, count, &period);
    return period;
}

// --- shoots -------------------------------------------------------------

// First index i > 0 where the record passes mid upward (downward): the sample
// before is on the other side or on mid.
int firstRisingCrossing(const uint8_t *s, int count, int mid)
{
    for (int i = 1; i < count; ++i)
        if (s[i] > mid && s[i - 1] <= mid)
            return i;
    return kNone;
}

int firstFallingCrossing(const uint8_t *s, int count, int mid)
{
    for (int i = 1; i < count; ++i)
        if (s[i] < mid && s[i - 1] >= mid)
            return i;
    return kNone;
}

// The window of a shoot runs from the edge (overshoot: forward; preshoot:
// backward from the sample before it) until the signal, having reached the
// level, comes back inside it; the extreme in that window against the level.
int shootAfter(const uint8_t *s, int count, int from, int level, bool above)
{
    int extreme = level;
    bool reached = false;
    for (int i = from; i < count; ++i) {
        const int v = s[i];
        const bool beyond = above ? v >= level : v <= level;
        if (reached && !beyond)
            break;
        if (beyond)
            reached = true;
        if (above ? v > extreme : v < extreme)
            extreme = v;
    }
    return above ? extreme - level : level - extreme;
}

int shootBefore(const uint8_t *s, int from, int level, bool above)
{
    int extreme = level;
    bool reached = false;
    for (int i = from; i >= 0; --i) {
        const int v = s[i];
        const bool beyond = above ? v >= level : v <= level;
        if (reached && !beyond)
            break;
        if (beyond)
            reached = true;
        if (above ? v > extreme : v < extreme)
            extreme = v;
    }
    return above ? extreme - level : level - extreme;
}

enum class Shoot { RisingOver, FallingOver, RisingPre, FallingPre };

int measureShoot(Shoot kind, int channel, const uint8_t *s, int count, uint16_t *value)
{
    if (measure_get_vamp(channel, s, count, nullptr, nullptr, nullptr, nullptr) != 0)
        return 1;
    MeasureRecord &r = rec(channel);
    const bool rising = kind == Shoot::RisingOver || kind == Shoot::RisingPre;
    const bool againstTop = kind == Shoot::RisingOver || kind == Shoot::FallingPre;
    uint16_t &field = kind == Shoot::RisingOver    ? r.risingOvershoot
                      : kind == Shoot::FallingOver ? r.fallingOvershoot
                      : kind == Shoot::RisingPre   ? r.risingPreshoot
                                                   : r.fallingPreshoot;
    auto finish = [&](uint16_t v, int result) {
        field = v;
        put(value, v);
        return result;
    };
    // Nothing lies beyond the level when it is the extreme itself.
    if (againstTop ? r.top == r.max : r.base == r.min)
        return finish(0, 0);
    if ((rising ? r.riseTime : r.fallTime) == kNotFound)
        return finish(kNotFound, 1);
    const int edge = rising ? firstRisingCrossing(s, count, r.midLevel) : firstFallingCrossing(s, count, r.midLevel);
    if (edge == kNone)
        return finish(kNotFound, 1);
    const int level = againstTop ? r.top : r.base;
    const bool pre = kind == Shoot::RisingPre || kind == Shoot::FallingPre;
    const int shoot = pre ? shootBefore(s, edge - 1, level, againstTop) : shootAfter(s, count, edge, level, againstTop);
    return finish(static_cast<uint16_t>(shoot), 0);
}

// --- edges of two records -------------------------------------------------

struct FirstEdges {
    uint16_t rise = kNotFound;
    uint16_t fall = kNotFound;
};

// Forward from sample 0: the first mid crossing in the direction the record
// leaves its start, then the opposite one once the far level has been passed.
FirstEdges firstEdges(const uint8_t *s, int count, const MeasureRecord &r)
{
    FirstEdges e;
    const int mid = r.midLevel, l10 = r.level10, l90 = r.level90;
    auto above = [&](int from, int level) { return findForward(s, count, from, [&](int v) { return v > level; }); };
    auto below = [&](int from, int level) { return findForward(s, count, from, [&](int v) { return v < level; }); };
    int rise = kNone, fall = kNone;
    bool goingUp;
    if (s[0] > mid) {
        goingUp = false;
        fall = below(0, mid);
    } else if (s[0] < mid) {
        goingUp = true;
        rise = above(0, mid);
    } else {
        const int hi = above(0, l90), lo = below(0, l10);
        if (hi == kNone && lo == kNone)
            return e;
        goingUp = lo == kNone || (hi != kNone && hi < lo);
        (goingUp ? rise : fall) = 0;
    }
    if (goingUp && rise != kNone) {
        const int far = above(rise, l90);
        if (far != kNone)
            fall = below(far, mid);
    } else if (!goingUp && fall != kNone) {
        const int far = below(fall, l10);
        if (far != kNone)
            rise = above(far, mid);
    }
    e.rise = fit16(rise == kNone ? -1 : rise);
    e.fall = fit16(fall == kNone ? -1 : fall);
    return e;
}

// Mirror image from the last sample. Each crossing is the index of the first
// sample on the new side, as in the forward search, so identical records give
// the same first and last edge when they hold one.
FirstEdges lastEdges(const uint8_t *s, int count, const MeasureRecord &r)
{
    FirstEdges e;
    const int mid = r.midLevel, l10 = r.level10, l90 = r.level90;
    const int endIdx = count - 1;
    auto above = [&](int from, int level) { return findBackward(s, count, from, 0, [&](int v) { return v > level; }); };
    auto below = [&](int from, int level) { return findBackward(s, count, from, 0, [&](int v) { return v < level; }); };
    // A crossing found at j (last sample on the old side, scanning back) is
    // reported at the next sample past mid.
    auto riseAfter = [&](int j) {
        return j == kNone ? kNone : findForward(s, count, j + 1, [&](int v) { return v > mid; });
    };
    auto fallAfter = [&](int j) {
        return j == kNone ? kNone : findForward(s, count, j + 1, [&](int v) { return v < mid; });
    };
    int rise = kNone, fall = kNone;
    int riseOld = kNone, fallOld = kNone;  // where the scan back met the old side
    bool endsHigh;
    const int sN = s[endIdx];
    if (sN > mid) {
        endsHigh = true;
        riseOld = below(endIdx, mid);
        rise = riseAfter(riseOld);
    } else if (sN < mid) {
        endsHigh = false;
        fallOld = above(endIdx, mid);
        fall = fallAfter(fallOld);
    } else {
        const int hi = above(endIdx, l90), lo = below(endIdx, l10);
        if (hi == kNone && lo == kNone)
            return e;
        // Met L90 first going back: the record ends by falling onto mid.
        endsHigh = !(lo == kNone || (hi != kNone && hi > lo));
        if (endsHigh) {
            rise = endIdx;
            riseOld = endIdx;
        } else {
            fall = endIdx;
            fallOld = endIdx;
        }
    }
    if (endsHigh && riseOld != kNone) {
        const int far = below(riseOld, l10);
        if (far != kNone)
            fall = fallAfter(above(far, mid));
    } else if (!endsHigh && fallOld != kNone) {
        const int far = above(fallOld, l90);
        if (far != kNone)
            rise = riseAfter(below(far, mid));
    }
    e.rise = fit16(rise == kNone ? -1 : rise);
    e.fall = fit16(fall == kNone ? -1 : fall);
    return e;
}

void clearEdges()
{
    EdgeSet &e = state().edges;
    e.firstRise1 = e.firstFall1 = e.firstRise2 = e.firstFall2 = kNotFound;
    e.lastRise2 = e.lastFall2 = kNotFound;
}

// Levels of the first record go to channel slot 1, of the second to slot 2.
bool findEdgePairs(const uint8_t *first, const uint8_t *second, int count)
{
    clearEdges();
    if (!first || !second || count <= 0)
        return false;
    if (measure_get_vamp(1, first, count, nullptr, nullptr, nullptr, nullptr) != 0)
        return false;
    if (measure_get_vamp(2, second, count, nullptr, nullptr, nullptr, nullptr) != 0)
        return false;
    EdgeSet &e = state().edges;
    const FirstEdges f1 = firstEdges(first, count, rec(1));
    const FirstEdges f2 = firstEdges(second, count, rec(2));
    const FirstEdges l2 = lastEdges(second, count, rec(2));
    e.firstRise1 = f1.rise;
    e.firstFall1 = f1.fall;
    e.firstRise2 = f2.rise;
    e.firstFall2 = f2.fall;
    e.lastRise2 = l2.rise;
    e.lastFall2 = l2.fall;
    return true;
}

using EdgeField = uint16_t EdgeSet::*;

int delay(int *value, const uint8_t *first, const uint8_t *second, int count, EdgeField a, EdgeField b,
          uint16_t DelayResults::*slot)
{
    findEdgePairs(first, second, count);
    const EdgeSet &e = state().edges;
    uint16_t &stored = state().delays.*slot;
    if (e.*a == kNotFound || e.*b == kNotFound) {
        stored = kNotFound;
        put(value, kNotFound);
        return 1;
    }
    stored = static_cast<uint16_t>(std::abs(int(e.*a) - int(e.*b)));
    put(value, stored);
    return 0;
}

}  // namespace
}  // namespace tavlink::measure

using namespace tavlink::measure;

extern "C" {

TAVLINK_API int measure_get_c_avg(int channel, const uint8_t *samples, int count, uint16_t *mean)
{
    if (!usable(channel, samples, count))
        return 1;
    MeasureRecord &r = rec(channel);
    const int period = cyclePeriod(channel, samples, count);
    if (period == kNotFound || period == 0) {
        // 0xFFFF is -1 in the signed reading of the field: both mean "none".
        r.cycleMean = kNotFound;
        put(mean, kNotFound);
        return 1;
    }
    const int n = period < count ? period : count;
    unsigned long long sum = 0;
    for (int i = 0; i < n; ++i)
        sum += samples[i];
    r.cycleMean = static_cast<uint16_t>(sum / static_cast<unsigned long long>(n));
    put(mean, r.cycleMean);
    return 0;
}

TAVLINK_API int measure_get_Vmean(int channel, const uint8_t *samples, int count, uint16_t *mean)
{
    if (basicFresh(channel, samples, count) != 0)
        return 1;
    MeasureRecord &r = rec(channel);
    const LevelHistogram &h = state().histograms[channel];
    unsigned long long sum = 0;
    for (int code = 0; code < 256; ++code)
        sum += static_cast<unsigned long long>(code) * h.counts[code];
    r.mean = static_cast<uint16_t>(sum / static_cast<unsigned long long>(count));
    put(mean, r.mean);
    return 0;
}

TAVLINK_API int measure_get_vrms(int channel, const uint8_t *samples, int count, uint8_t zero, uint16_t *rms)
{
    if (!usable(channel, samples, count))
        return 1;
    MeasureRecord &r = rec(channel);
    // From the record's level counts: the same integer sum, 256 terms long.
    const RecordScan &scan = scanRecord(channel, samples, count);
    unsigned long long sum = 0;
    for (int code = 0; code < 256; ++code) {
        const long long d = code - static_cast<int>(zero);
        sum += static_cast<unsigned long long>(d * d) * scan.histogram[code];
    }
    r.rms = isqrt(sum / static_cast<unsigned long long>(count));
    put(rms, r.rms);
    return 0;
}

TAVLINK_API int measure_get_c_rms(int channel, const uint8_t *samples, int count, uint8_t zero, uint16_t *rms)
{
    if (!usable(channel, samples, count))
        return 1;
    MeasureRecord &r = rec(channel);
    const int period = cyclePeriod(channel, samples, count);
    if (period == kNotFound || period == 0) {
        r.cycleRms = kNotFound;
        put(rms, kNotFound);
        return 1;
    }
    r.cycleRms = rmsOver(samples, period < count ? period : count, zero);
    put(rms, r.cycleRms);
    return 0;
}

TAVLINK_API int measure_get_ROVShoot(int channel, const uint8_t *samples, int count, uint16_t *value)
{
    return measureShoot(Shoot::RisingOver, channel, samples, count, value);
}

TAVLINK_API int measure_get_FOVShoot(int channel, const uint8_t *samples, int count, uint16_t *value)
{
    return measureShoot(Shoot::FallingOver, channel, samples, count, value);
}

TAVLINK_API int measure_get_RPREShoot(int channel, const uint8_t *samples, int count, uint16_t *value)
{
    return measureShoot(Shoot::RisingPre, channel, samples, count, value);
}

TAVLINK_API int measure_get_FPREShoot(int channel, const uint8_t *samples, int count, uint16_t *value)
{
    return measureShoot(Shoot::FallingPre, channel, samples, count, value);
}

// Each delay pairs an edge of the first record with one of the second.
#define TAVLINK_DELAY_EXPORT(name, edge1, edge2)                                                                       \
    TAVLINK_API int measure_get_##name(int *value, const uint8_t *first, const uint8_t *second, int count)             \
    {                                                                                                                  \
        return delay(value, first, second, count, &EdgeSet::edge1, &EdgeSet::edge2, &DelayResults::name);              \
    }
TAVLINK_DELAY_EXPORT(frr, firstRise1, firstRise2)
TAVLINK_DELAY_EXPORT(frf, firstRise1, firstFall2)
TAVLINK_DELAY_EXPORT(ffr, firstFall1, firstRise2)
TAVLINK_DELAY_EXPORT(fff, firstFall1, firstFall2)
TAVLINK_DELAY_EXPORT(lrr, firstRise1, lastRise2)
TAVLINK_DELAY_EXPORT(lrf, firstRise1, lastFall2)
TAVLINK_DELAY_EXPORT(lfr, firstFall1, lastRise2)
TAVLINK_DELAY_EXPORT(lff, firstFall1, lastFall2)
#undef TAVLINK_DELAY_EXPORT

// The difference is kept as 16 bits but handed out signed, so a second record
// that leads gives a negative count and transform_phase a negative angle.
// Without a rising edge on both records there is no phase to report.
TAVLINK_API int measure_get_phase(int *value, const uint8_t *first, const uint8_t *second, int firstPeriod,
                                  int secondPeriod, int count)
{
    findEdgePairs(first, second, count);
    const EdgeSet &e = state().edges;
    uint16_t &stored = state().delays.phase;
    if (static_cast<uint16_t>(firstPeriod) == kNotFound || static_cast<uint16_t>(secondPeriod) == kNotFound ||
        e.firstRise1 == kNotFound || e.firstRise2 == kNotFound) {
        stored = kNotFound;
        put(value, kNotFound);
        return 1;
    }
    stored = static_cast<uint16_t>(e.firstRise2 - e.firstRise1);
    put(value, static_cast<int16_t>(stored));
    return 0;
}

}  // extern "C"
