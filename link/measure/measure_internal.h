// Shared helpers of the measurement sources; internal to Tavlink.
#ifndef TAVLINK_MEASURE_INTERNAL_H
#define TAVLINK_MEASURE_INTERNAL_H

#include <cstdint>

#include "measure_record.h"

namespace tavlink::measure {

constexpr uint16_t kNotFound = 0xFFFF;
constexpr int kNone = -1;  // index not found

// What one pass over a record yields. The measures of a channel page run the
// same record through measure_basic a dozen times and more; a record equal to
// the last one seen on the channel (same length, same bytes) reuses its pass.
struct RecordScan {
    bool valid;  // copy holds the record this scan belongs to
    int count;
    uint8_t copy[TAVLINK_RECORD_BYTES];
    uint32_t histogram[256];
    int max, min, maxPosition, minPosition;
    bool periodWalked;  // the edge walk below is filled in
    long long edges;
    int firstEdge, lastOddEdge;
};

struct State {
    MeasureRecord records[5];  // indexed by channel 1..4; slot 0 unused
    LevelHistogram histograms[5];
    EdgeSet edges;
    DelayResults delays;
    double rememberedMax;  // unscaled pair kept by transform_basic for transform_vpp
    double rememberedMin;
    RecordScan scans[5];
};

State &state();

inline bool validChannel(int channel) { return channel >= 1 && channel <= 4; }

// A usable call: known channel, samples present, at least one of them.
inline bool usable(int channel, const uint8_t *samples, int count)
{
    return validChannel(channel) && samples != nullptr && count > 0;
}

inline MeasureRecord &rec(int channel) { return state().records[channel]; }

template <typename T, typename V> inline void put(T *out, V value)
{
    if (out)
        *out = static_cast<T>(value);
}

// Sample counts and indices live in 16-bit fields; one that does not fit is
// reported as not found rather than wrapped into a plausible number.
inline uint16_t fit16(long long v) { return (v < 0 || v >= kNotFound) ? kNotFound : static_cast<uint16_t>(v); }

// First index in [from, count) whose sample satisfies pred, or kNone.
template <typename Pred> inline int findForward(const uint8_t *s, int count, int from, Pred pred)
{
    if (from < 0)
        from = 0;
    for (int i = from; i < count; ++i)
        if (pred(s[i]))
            return i;
    return kNone;
}

// Last index in [lowest, from] (scanning down from `from`) whose sample satisfies pred, or kNone.
template <typename Pred> inline int findBackward(const uint8_t *s, int count, int from, int lowest, Pred pred)
{
    if (from >= count)
        from = count - 1;
    if (lowest < 0)
        lowest = 0;
    for (int i = from; i >= lowest; --i)
        if (pred(s[i]))
            return i;
    return kNone;
}

// The pass over a record for this channel, from the cache when it is the same record.
RecordScan &scanRecord(int channel, const uint8_t *samples, int count);

// measure_basic on a freshly cleared histogram, as every level search wants it.
int basicFresh(int channel, const uint8_t *samples, int count);
void clearHistogram(int channel);

// Seconds per sample at the given time base and record length.
double secondsPerSample(double timeBase, int recordLength);

}  // namespace tavlink::measure

#endif
