// Level measures: extremes, histogram, top, base, amplitude and its levels.
#include <cstring>

#include "measure_internal.h"

namespace tavlink::measure {

static int distance(int a, int b) { return a > b ? a - b : b - a; }

State &state()
{
    static State s{};
    return s;
}

void clearHistogram(int channel) { std::memset(&state().histograms[channel], 0, sizeof(LevelHistogram)); }

int basicFresh(int channel, const uint8_t *samples, int count)
{
    if (!usable(channel, samples, count))
        return 1;
    clearHistogram(channel);
    return measure_basic(channel, samples, count, nullptr, nullptr);
}

RecordScan &scanRecord(int channel, const uint8_t *s, int count)
{
    RecordScan &c = state().scans[channel];
    if (c.valid && c.count == count && std::memcmp(c.copy, s, count) == 0)
        return c;
    c.count = count;
    c.periodWalked = false;
    c.valid = count <= TAVLINK_RECORD_BYTES;
    if (c.valid)
        std::memcpy(c.copy, s, count);

    // Four interleaved tables: runs of one code would otherwise chain every
    // increment on the one before it.
    uint32_t part[4][256] = {};
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        ++part[0][s[i]];
        ++part[1][s[i + 1]];
        ++part[2][s[i + 2]];
        ++part[3][s[i + 3]];
    }
    for (; i < count; ++i)
        ++part[0][s[i]];
    int hi = -1, lo = 256;
    for (int code = 0; code < 256; ++code) {
        c.histogram[code] = part[0][code] + part[1][code] + part[2][code] + part[3][code];
        if (c.histogram[code]) {
            if (lo == 256)
                lo = code;
            hi = code;
        }
    }
    c.max = hi;
    c.min = lo;

    // Each position moves to a new extreme only when that is more than 5 codes
    // away from the sample at the position held so far. The walk starts inside
    // this record, so a position never points past its end.
    // The running extremes change rarely: blocks that hold neither a new
    // maximum nor a new minimum are skipped after a branch-free look.
    int runHi = 0, runLo = 255, hiPos = 0, loPos = 0;
    constexpr int kBlock = 64;
    for (int start = 0; start < count; start += kBlock) {
        const int end = start + kBlock < count ? start + kBlock : count;
        uint8_t blockHi = 0, blockLo = 255;
        for (int k = start; k < end; ++k) {
            blockHi = s[k] > blockHi ? s[k] : blockHi;
            blockLo = s[k] < blockLo ? s[k] : blockLo;
        }
        if (blockHi <= runHi && blockLo >= runLo)
            continue;
        for (int k = start; k < end; ++k) {
            const int v = s[k];
            if (v > runHi) {
                runHi = v;
                if (distance(s[hiPos], v) > 5)
                    hiPos = k;
            }
            if (v < runLo) {
                runLo = v;
                if (distance(s[loPos], v) > 5)
                    loPos = k;
            }
        }
        if (runHi == hi && runLo == lo)
            break;  // nothing can move any more
    }
    c.maxPosition = hiPos;
    c.minPosition = loPos;
    return c;
}

namespace {

struct Pick {
    int code = 0;
    uint32_t count = 0;
    bool made = false;
};

// More than 5 % of the samples sit on the pick, or on it and its neighbours.
bool isDominantLevel(const LevelHistogram &h, const Pick &pick, int count)
{
    const long long n = count;
    if (static_cast<long long>(pick.count) * 20 > n)
        return true;
    long long around = h.counts[pick.code];
    if (pick.code > 0)
        around += h.counts[pick.code - 1];
    if (pick.code < 255)
        around += h.counts[pick.code + 1];
    return around * 20 > n;
}

// A bin replaces the pick only when it beats it by 2 or more, so among
// near-equal bins the first one scanned (the outermost) keeps the place.
void consider(const LevelHistogram &h, int code, Pick &pick)
{
    if (h.counts[code] >= pick.count + 2) {
        pick.code = code;
        pick.count = h.counts[code];
        pick.made = true;
    }
}

}  // namespace
}  // namespace tavlink::measure

using namespace tavlink::measure;

extern "C" {

TAVLINK_API MeasureRecord *TavlinkMeasureRecord(int channel) { return validChannel(channel) ? &rec(channel) : nullptr; }

TAVLINK_API const LevelHistogram *TavlinkMeasureHistogram(int channel)
{
    return validChannel(channel) ? &state().histograms[channel] : nullptr;
}

TAVLINK_API const EdgeSet *TavlinkMeasureEdges(void) { return &state().edges; }

TAVLINK_API const DelayResults *TavlinkMeasureDelays(void) { return &state().delays; }

TAVLINK_API void TavlinkMeasureReset(void) { std::memset(&state(), 0, sizeof(State)); }

TAVLINK_API int measure_basic(int channel, const uint8_t *samples, int count, uint16_t *max, uint16_t *min)
{
    if (!usable(channel, samples, count))
        return 1;
    MeasureRecord &r = rec(channel);
    if (r.busy == 1)
        return 1;
    const RecordScan &scan = scanRecord(channel, samples, count);
    LevelHistogram &h = state().histograms[channel];
    for (int code = 0; code < 256; ++code)
        h.counts[code] += scan.histogram[code];
    const int hi = scan.max, lo = scan.min;
    r.max = static_cast<uint16_t>(hi);
    r.min = static_cast<uint16_t>(lo);
    r.peakToPeak = static_cast<uint16_t>(hi - lo);
    r.maxPosition = fit16(scan.maxPosition);
    r.minPosition = fit16(scan.minPosition);
    // Counts saturate at 0xFFFF on very long records instead of wrapping.
    r.maxCount = scan.histogram[hi] > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(scan.histogram[hi]);
    r.minCount = scan.histogram[lo] > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(scan.histogram[lo]);
    put(max, hi);
    put(min, lo);
    return 0;
}

TAVLINK_API int measure_get_vtop(int channel, const uint8_t *samples, int count, uint16_t *top)
{
    if (basicFresh(channel, samples, count) != 0)
        return 1;
    MeasureRecord &r = rec(channel);
    const LevelHistogram &h = state().histograms[channel];
    int result = r.max;
    if (r.max != r.min) {
        const int mid = (r.max + r.min) / 2;
        Pick pick;
        for (int code = r.max; code > mid; --code)
            consider(h, code, pick);
        // Without any bin of 2 or more there is no level to pick: the
        // starting code 0 lies below mid and must not become the top.
        if (pick.made && isDominantLevel(h, pick, count) && distance(pick.code, mid) > 5)
            result = pick.code;
    }
    r.top = static_cast<uint16_t>(result);
    put(top, result);
    return 0;
}

TAVLINK_API int measure_get_vbase(int channel, const uint8_t *samples, int count, uint16_t *base)
{
    if (basicFresh(channel, samples, count) != 0)
        return 1;
    MeasureRecord &r = rec(channel);
    const LevelHistogram &h = state().histograms[channel];
    int result = r.min;
    if (r.max != r.min) {
        const int mid = (r.max + r.min) / 2;
        Pick pick;
        for (int code = r.min; code < mid; ++code)
            consider(h, code, pick);
        if (pick.made && isDominantLevel(h, pick, count) && distance(pick.code, mid) > 5)
            result = pick.code;
    }
    r.base = static_cast<uint16_t>(result);
    put(base, result);
    return 0;
}

TAVLINK_API int measure_get_vamp(int channel, const uint8_t *samples, int count, uint16_t *amplitude, uint16_t *mid,
                                 uint16_t *level90, uint16_t *level10)
{
    if (measure_basic(channel, samples, count, nullptr, nullptr) != 0)
        return 1;
    if (measure_get_vtop(channel, samples, count, nullptr) != 0)
        return 1;
    if (measure_get_vbase(channel, samples, count, nullptr) != 0)
        return 1;
    MeasureRecord &r = rec(channel);
    const int amp = r.top - r.base;
    r.amplitude = static_cast<uint16_t>(amp);
    r.midLevel = static_cast<uint16_t>((r.top + r.base) / 2);
    r.level10 = static_cast<uint16_t>(r.base + amp / 10);
    r.level90 = static_cast<uint16_t>(r.base + (amp * 9) / 10);
    put(amplitude, r.amplitude);
    put(mid, r.midLevel);
    put(level90, r.level90);
    put(level10, r.level10);
    return 0;
}

}  // extern "C"
