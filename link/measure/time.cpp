// Time measures in sample counts: period, rise and fall, widths, burst width.
#include <cstdlib>

#include "measure_internal.h"

namespace tavlink::measure {
namespace {

enum class Level { None, High, Low };

// A record with more whole periods than this has no period.
constexpr uint16_t kPeriodLimit = 50;

int absDiff(int a, int b) { return std::abs(a - b); }

// Counts the alternating edges between the two thresholds. The record keeps
// an 8-bit counter; counting in it would wrap on a busy record and turn
// thousands of edges into a handful of periods.
void walkEdges(const uint8_t *samples, int count, int max, int min, RecordScan &scan)
{
    long long edges = 0;
    int firstEdge = 0, lastOddEdge = 0;
    if (max > min + 20) {
        const int high = max - 10, low = min + 10;
        Level level = Level::None;
        long long lastTransition = -50;
        for (int i = 0; i < count; ++i) {
            const int v = samples[i];
            const bool settled = i - lastTransition > 2;
            bool moved = false;
            if (v >= high && level != Level::High && settled) {
                if (level == Level::Low)
                    ++edges;
                level = Level::High;
                moved = true;
            } else if (v <= low && level != Level::Low && settled) {
                if (level == Level::High)
                    ++edges;
                level = Level::Low;
                moved = true;
            }
            if (moved) {
                lastTransition = i;
                if (edges == 1)
                    firstEdge = i;
                if (edges % 2 == 1)
                    lastOddEdge = i;
            }
        }
    }
    scan.edges = edges;
    scan.firstEdge = firstEdge;
    scan.lastOddEdge = lastOddEdge;
    scan.periodWalked = true;
}

// --- rise and fall ------------------------------------------------------

struct EdgeLevels {
    int l10, mid, l90;
    bool strictLow = false;   // start/end tests against L10 exclude L10 itself
    bool strictHigh = false;  // start/end tests against L90 exclude L90 itself
    bool atOrBelowL10(int v) const { return strictLow ? v < l10 : v <= l10; }
    bool atOrAboveL90(int v) const { return strictHigh ? v > l90 : v >= l90; }
};

struct EdgeStep {
    int start = kNone;
    int end = kNone;
};

// From `from`: the first sample past mid in the edge's direction, back to
// where the edge left its far level (index 0 never taken), then forward to
// where it reaches the near level.
EdgeStep risingStep(const uint8_t *s, int count, int from, const EdgeLevels &lv)
{
    EdgeStep st;
    const int cross = findForward(s, count, from, [&](int v) { return v > lv.mid; });
    if (cross == kNone)
        return st;
    st.start = findBackward(s, count, cross - 1, 1, [&](int v) { return lv.atOrBelowL10(v); });
    st.end = findForward(s, count, st.start == kNone ? 0 : st.start, [&](int v) { return lv.atOrAboveL90(v); });
    return st;
}

EdgeStep fallingStep(const uint8_t *s, int count, int from, const EdgeLevels &lv)
{
    EdgeStep st;
    const int cross = findForward(s, count, from, [&](int v) { return v < lv.mid; });
    if (cross == kNone)
        return st;
    st.start = findBackward(s, count, cross - 1, 1, [&](int v) { return lv.atOrAboveL90(v); });
    st.end = findForward(s, count, st.start == kNone ? 0 : st.start, [&](int v) { return lv.atOrBelowL10(v); });
    return st;
}

// Stores and writes a time only when both ends of its edge were found.
void keepTime(const EdgeStep &st, uint16_t &field, uint16_t *out)
{
    if (st.start == kNone || st.end == kNone)
        return;
    field = fit16(absDiff(st.end, st.start));
    put(out, field);
}

// --- widths -------------------------------------------------------------

// A mid crossing whose sample 5 further on has turned back is a glitch; the
// search resumes there. Near the end of the record there is nothing to look
// ahead at, and the crossing is taken as it is.
int crossDown(const uint8_t *s, int count, int from, int mid)
{
    for (;;) {
        const int i = findForward(s, count, from, [&](int v) { return v < mid; });
        if (i == kNone)
            return kNone;
        if (i + 5 < count && s[i + 5] > s[i]) {
            from = i + 5;
            continue;
        }
        return i;
    }
}

int crossUp(const uint8_t *s, int count, int from, int mid)
{
    for (;;) {
        const int i = findForward(s, count, from, [&](int v) { return v > mid; });
        if (i == kNone)
            return kNone;
        if (i + 5 < count && s[i + 5] < s[i]) {
            from = i + 5;
            continue;
        }
        return i;
    }
}

// The next upward crossing after a downward one at `down`: the signal must
// first have passed below L10.
int nextUp(const uint8_t *s, int count, int down, const MeasureRecord &r)
{
    if (down == kNone)
        return kNone;
    const int far = findForward(s, count, down, [&](int v) { return v < r.level10; });
    return far == kNone ? kNone : crossUp(s, count, far, r.midLevel);
}

int nextDown(const uint8_t *s, int count, int up, const MeasureRecord &r)
{
    if (up == kNone)
        return kNone;
    const int far = findForward(s, count, up, [&](int v) { return v > r.level90; });
    return far == kNone ? kNone : crossDown(s, count, far, r.midLevel);
}

// --- burst width --------------------------------------------------------

// Index of the first sample on the far side of mid, skipping crossings the
// signal undoes within the next 2 samples; kNone when the search runs off
// the record. `fromAbove` says on which side the record starts.
int firstBurstCrossing(const uint8_t *s, int count, int mid, bool fromAbove)
{
    int from = 0;
    for (;;) {
        const int i = findForward(s, count, from, [&](int v) { return fromAbove ? v < mid : v > mid; });
        if (i == kNone)
            return kNone;
        bool undone = false;
        for (int k = i + 1; k <= i + 2 && k < count; ++k)
            if (fromAbove ? s[k] > mid : s[k] < mid)
                undone = true;
        if (!undone)
            return i;
        from = i + 2;
    }
}

// Mirror image from the end: the crossing is reported as the first sample
// that is on the record's final side, so a single pulse's burst equals its
// width measured from the front.
int lastBurstCrossing(const uint8_t *s, int count, int mid, bool endAbove)
{
    int from = count - 1;
    for (;;) {
        const int j = findBackward(s, count, from, 0, [&](int v) { return endAbove ? v < mid : v > mid; });
        if (j == kNone)
            return kNone;
        bool undone = false;
        for (int k = j - 1; k >= j - 2 && k >= 0; --k)
            if (endAbove ? s[k] > mid : s[k] < mid)
                undone = true;
        if (!undone)
            return j + 1;
        from = j - 2;
        if (from < 0)
            return kNone;
    }
}

}  // namespace
}  // namespace tavlink::measure

using namespace tavlink::measure;

extern "C" {

TAVLINK_API int measure_get_prid(int channel, const uint8_t *samples, int count, uint16_t *period)
{
    if (!usable(channel, samples, count))
        return 1;
    MeasureRecord &r = rec(channel);
    r.edgeCounter = 0;
    r.periodLimit = kPeriodLimit;
    if (basicFresh(channel, samples, count) != 0)
        return 1;

    RecordScan &scan = scanRecord(channel, samples, count);
    if (!scan.periodWalked)
        walkEdges(samples, count, r.max, r.min, scan);
    const long long edges = scan.edges;
    const int firstEdge = scan.firstEdge, lastOddEdge = scan.lastOddEdge;
    r.edgeCounter = static_cast<uint8_t>(edges > 255 ? 255 : edges);

    const long long whole = edges > 0 ? (edges - 1) / 2 : 0;
    if (whole >= 1 && whole <= r.periodLimit) {
        r.periodSpan = lastOddEdge - firstEdge;
        r.period = fit16(r.periodSpan / whole);
        put(period, r.period);
        return r.period == kNotFound ? 1 : 0;
    }
    r.period = kNotFound;
    put(period, r.period);
    return 1;
}

TAVLINK_API int measure_get_rise_and_fall_time(int channel, const uint8_t *samples, int count, uint16_t *fall,
                                               uint16_t *rise)
{
    if (measure_get_vamp(channel, samples, count, nullptr, nullptr, nullptr, nullptr) != 0)
        return 1;
    MeasureRecord &r = rec(channel);
    EdgeLevels lv{r.level10, r.midLevel, r.level90};
    const uint8_t *s = samples;
    const int s0 = s[0];

    auto bothMissing = [&]() {
        r.riseTime = r.fallTime = kNotFound;
        put(rise, kNotFound);
        put(fall, kNotFound);
        return 1;
    };

    bool riseFirst;
    int from = 0;
    if (s0 <= lv.l10) {
        riseFirst = true;
    } else if (s0 >= lv.l90) {
        riseFirst = false;
    } else {
        const int below = findForward(s, count, 0, [&](int v) { return v < lv.l10; });
        const int above = findForward(s, count, 0, [&](int v) { return v > lv.l90; });
        if (below == kNone || above == kNone)
            return bothMissing();
        riseFirst = below < above;
        from = riseFirst ? below : above;
        if (!riseFirst)
            lv.strictHigh = true;
    }

    if (riseFirst) {
        const EdgeStep up = risingStep(s, count, from, lv);
        if (up.end == kNone)
            return bothMissing();
        keepTime(up, r.riseTime, rise);
        const EdgeStep down = fallingStep(s, count, up.end, lv);
        if (down.end == kNone) {
            r.fallTime = kNotFound;
            put(fall, kNotFound);
            return 3;
        }
        keepTime(down, r.fallTime, fall);
        return 0;
    }
    const EdgeStep down = fallingStep(s, count, from, lv);
    if (down.end == kNone)
        return bothMissing();
    keepTime(down, r.fallTime, fall);
    if (lv.strictHigh)
        lv.strictLow = true;
    const EdgeStep up = risingStep(s, count, down.end, lv);
    if (up.end == kNone) {
        r.riseTime = kNotFound;
        put(rise, kNotFound);
        return 2;
    }
    keepTime(up, r.riseTime, rise);
    return 0;
}

TAVLINK_API int measure_get_Pos_and_Neg_width(int channel, const uint8_t *samples, int count, uint16_t *positive,
                                              uint16_t *negative)
{
    if (measure_get_vamp(channel, samples, count, nullptr, nullptr, nullptr, nullptr) != 0)
        return 1;
    MeasureRecord &r = rec(channel);
    const uint8_t *s = samples;
    const int mid = r.midLevel;
    const int s0 = s[0];

    auto noneFound = [&]() {
        r.positiveWidth = r.negativeWidth = kNotFound;
        put(positive, kNotFound);
        put(negative, kNotFound);
        return 1;
    };
    auto setPositive = [&](int v) {
        r.positiveWidth = fit16(v);
        put(positive, r.positiveWidth);
    };
    auto setNegative = [&](int v) {
        r.negativeWidth = fit16(v);
        put(negative, r.negativeWidth);
    };

    // Which pulse comes first: the negative one (true) or the positive one.
    bool lowFirst;
    int d1 = kNone, u1 = kNone;
    if (s0 > mid) {
        lowFirst = true;
        d1 = crossDown(s, count, 0, mid);
        u1 = nextUp(s, count, d1, r);
        if (d1 == kNone || u1 == kNone)
            return noneFound();
        setNegative(absDiff(u1, d1));
    } else if (s0 < mid) {
        lowFirst = false;
        u1 = crossUp(s, count, 0, mid);
        d1 = nextDown(s, count, u1, r);
        if (u1 == kNone || d1 == kNone)
            return noneFound();
        setPositive(absDiff(d1, u1));
    } else {
        const int above = findForward(s, count, 0, [&](int v) { return v > r.level90; });
        const int below = findForward(s, count, 0, [&](int v) { return v < r.level10; });
        if (above == kNone || below == kNone)
            return noneFound();
        lowFirst = below < above;
        // The first pulse is taken to start at index 0.
        if (lowFirst) {
            d1 = 0;
            u1 = crossUp(s, count, below, mid);
            if (u1 == kNone)
                return noneFound();
            setNegative(u1);
        } else {
            u1 = 0;
            d1 = crossDown(s, count, above, mid);
            if (d1 == kNone)
                return noneFound();
            setPositive(d1);
        }
    }

    if (lowFirst) {
        const int d2 = nextDown(s, count, u1, r);
        if (d2 == kNone) {
            setPositive(kNotFound);
            return 4;
        }
        setPositive(absDiff(d2, u1));
    } else {
        const int u2 = nextUp(s, count, d1, r);
        if (u2 == kNone) {
            setNegative(kNotFound);
            return 5;
        }
        setNegative(absDiff(u2, d1));
    }
    return 0;
}

// From the first mid crossing to the last one, whatever levels the record
// starts and ends on. A record that starts or ends exactly on mid counts its
// first (last) sample as the crossing once the signal reaches L90 or L10.
TAVLINK_API int measure_get_burst_width(int channel, const uint8_t *samples, int count, uint16_t *width)
{
    if (measure_get_vamp(channel, samples, count, nullptr, nullptr, nullptr, nullptr) != 0)
        return 1;
    MeasureRecord &r = rec(channel);
    const uint8_t *s = samples;
    const int mid = r.midLevel;
    auto leavesMid = [&]() {
        return findForward(s, count, 0, [&](int v) { return v > r.level90 || v < r.level10; }) != kNone;
    };

    int first, last;
    if (s[0] == mid)
        first = leavesMid() ? 0 : kNone;
    else
        first = firstBurstCrossing(s, count, mid, s[0] > mid);
    const int sN = s[count - 1];
    if (first == kNone)
        last = kNone;
    else if (sN == mid)
        last = leavesMid() ? count - 1 : kNone;
    else
        last = lastBurstCrossing(s, count, mid, sN > mid);

    if (first == kNone || last == kNone) {
        r.burstWidth = kNotFound;
        put(width, kNotFound);
        return 1;
    }
    if (last > first) {
        r.burstWidth = fit16(last - first);
        put(width, r.burstWidth);
        return r.burstWidth == kNotFound ? 1 : 0;
    }
    return 0;
}

}  // extern "C"
