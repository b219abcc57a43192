// Level measures: extremes, histogram, top, base, amplitude and its levels.
#include <cstring>

#include "measure_internal.h"

namespace tavlink::measure {

State &state() {
    static State s{};
    return s;
}

void clearHistogram(int channel) {
    std::memset(&state().histograms[channel], 0, sizeof(LevelHistogram));
}

int basicFresh(int channel, const uint8_t *samples, int count) {
    if (!usable(channel, samples, count)) return 1;
    clearHistogram(channel);
    return measure_basic(channel, samples, count, nullptr, nullptr);
}

namespace {

struct Pick {
    int code = 0;
    uint32_t count = 0;
    bool made = false;
};

// More than 5 % of the samples sit on the pick, or on it and its neighbours.
bool isDominantLevel(const LevelHistogram &h, const Pick &pick, int count) {
    const long long n = count;
    if (static_cast<long long>(pick.count) * 20 > n) return true;
    long long around = h.counts[pick.code];
    if (pick.code > 0) around += h.counts[pick.code - 1];
    if (pick.code < 255) around += h.counts[pick.code + 1];
    return around * 20 > n;
}

// A bin replaces the pick only when it beats it by 2 or more, so among
// near-equal bins the first one scanned (the outermost) keeps the place.
void consider(const LevelHistogram &h, int code, Pick &pick) {
    if (h.counts[code] >= pick.count + 2) {
        pick.code = code;
        pick.count = h.counts[code];
        pick.made = true;
    }
}

int distance(int a, int b) { return a > b ? a - b : b - a; }

}  // namespace
}  // namespace tavlink::measure

using namespace tavlink::measure;

extern "C" {

TAVLINK_API MeasureRecord *TavlinkMeasureRecord(int channel) {
    return validChannel(channel) ? &rec(channel) : nullptr;
}

TAVLINK_API const LevelHistogram *TavlinkMeasureHistogram(int channel) {
    return validChannel(channel) ? &state().histograms[channel] : nullptr;
}

TAVLINK_API const EdgeSet *TavlinkMeasureEdges(void) { return &state().edges; }

TAVLINK_API const DelayResults *TavlinkMeasureDelays(void) { return &state().delays; }

TAVLINK_API void TavlinkMeasureReset(void) { state() = State{}; }

TAVLINK_API int measure_basic(int channel, const uint8_t *samples, int count, uint16_t *max,
                              uint16_t *min) {
    if (!usable(channel, samples, count)) return 1;
    MeasureRecord &r = rec(channel);
    if (r.busy == 1) return 1;
    LevelHistogram &h = state().histograms[channel];

    int hi = 0, lo = 255;
    // Positions restart inside this record: a position kept from a longer
    // record would index past the end of this one.
    int hiPos = 0, loPos = 0;
    long long hiCount = 0, loCount = 0;
    for (int i = 0; i < count; ++i) {
        const int v = samples[i];
        ++h.counts[v];
        if (v > hi) {
            hi = v;
            hiCount = 1;
            if (distance(samples[hiPos], v) > 5) hiPos = i;
        } else if (v == hi) {
            ++hiCount;
        }
        if (v < lo) {
            lo = v;
            loCount = 1;
            if (distance(samples[loPos], v) > 5) loPos = i;
        } else if (v == lo) {
            ++loCount;
        }
    }
    r.max = static_cast<uint16_t>(hi);
    r.min = static_cast<uint16_t>(lo);
    r.peakToPeak = static_cast<uint16_t>(hi - lo);
    r.maxPosition = fit16(hiPos);
    r.minPosition = fit16(loPos);
    // Counts saturate at 0xFFFF on very long records instead of wrapping.
    r.maxCount = hiCount > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(hiCount);
    r.minCount = loCount > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(loCount);
    put(max, hi);
    put(min, lo);
    return 0;
}

TAVLINK_API int measure_get_vtop(int channel, const uint8_t *samples, int count, uint16_t *top) {
    if (basicFresh(channel, samples, count) != 0) return 1;
    MeasureRecord &r = rec(channel);
    const LevelHistogram &h = state().histograms[channel];
    int result = r.max;
    if (r.max != r.min) {
        const int mid = (r.max + r.min) / 2;
        Pick pick;
        for (int code = r.max; code > mid; --code) consider(h, code, pick);
        // Without any bin of 2 or more there is no level to pick: the
        // starting code 0 lies below mid and must not become the top.
        if (pick.made && isDominantLevel(h, pick, count) && distance(pick.code, mid) > 5)
            result = pick.code;
    }
    r.top = static_cast<uint16_t>(result);
    put(top, result);
    return 0;
}

TAVLINK_API int measure_get_vbase(int channel, const uint8_t *samples, int count,
                                  uint16_t *base) {
    if (basicFresh(channel, samples, count) != 0) return 1;
    MeasureRecord &r = rec(channel);
    const LevelHistogram &h = state().histograms[channel];
    int result = r.min;
    if (r.max != r.min) {
        const int mid = (r.max + r.min) / 2;
        Pick pick;
        for (int code = r.min; code < mid; ++code) consider(h, code, pick);
        if (pick.made && isDominantLevel(h, pick, count) && distance(pick.code, mid) > 5)
            result = pick.code;
    }
    r.base = static_cast<uint16_t>(result);
    put(base, result);
    return 0;
}

TAVLINK_API int measure_get_vamp(int channel, const uint8_t *samples, int count,
                                 uint16_t *amplitude, uint16_t *mid, uint16_t *level90,
                                 uint16_t *level10) {
    if (measure_basic(channel, samples, count, nullptr, nullptr) != 0) return 1;
    if (measure_get_vtop(channel, samples, count, nullptr) != 0) return 1;
    if (measure_get_vbase(channel, samples, count, nullptr) != 0) return 1;
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
