// Test signals, and a plain reading of a record to check the measures against.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "measure_record.h"

namespace sig {

using Record = std::vector<uint8_t>;

// `high` for the first `highLen` samples of every period, `low` for the rest;
// `shift` moves the pattern right (samples before it continue the pattern).
inline Record square(int count, int period, int highLen, uint8_t high, uint8_t low, int shift = 0)
{
    Record r(count);
    for (int i = 0; i < count; ++i) {
        int p = ((i - shift) % period + period) % period;
        r[i] = p < highLen ? high : low;
    }
    return r;
}

inline Record sine(int count, double period, double centre, double amp, double phase = 0)
{
    Record r(count);
    for (int i = 0; i < count; ++i)
        r[i] = static_cast<uint8_t>(std::lround(centre + amp * std::sin(2 * M_PI * i / period + phase)));
    return r;
}

inline Record flat(int count, uint8_t v) { return Record(count, v); }

inline Record step(int count, int at, uint8_t before, uint8_t after)
{
    Record r(count, before);
    for (int i = at; i < count; ++i)
        r[i] = after;
    return r;
}

inline Record noise(int count, std::mt19937 &rng)
{
    Record r(count);
    std::uniform_int_distribution<int> d(0, 255);
    for (auto &v : r)
        v = static_cast<uint8_t>(d(rng));
    return r;
}

// Every index i where the record moves strictly past `mid` (from at or
// below it for a rise, at or above for a fall).
inline std::vector<int> crossings(const Record &r, int mid, bool rising)
{
    std::vector<int> out;
    for (size_t i = 1; i < r.size(); ++i) {
        if (rising && r[i] > mid && r[i - 1] <= mid)
            out.push_back(static_cast<int>(i));
        if (!rising && r[i] < mid && r[i - 1] >= mid)
            out.push_back(static_cast<int>(i));
    }
    return out;
}

// Each test starts from the zero state of a fresh load.
class Measure : public ::testing::Test {
protected:
    void SetUp() override { TavlinkMeasureReset(); }
    const MeasureRecord &rec(int ch) { return *TavlinkMeasureRecord(ch); }
};

}  // namespace sig
