#include <cstring>

#include "signals.h"

using namespace sig;

namespace {

class Amplitude : public Measure {
protected:
    struct Levels {
        uint16_t amp = 0, mid = 0, l90 = 0, l10 = 0;
        int result = -1;
    };
    Levels vamp(int ch, const Record &r)
    {
        Levels l;
        l.result = measure_get_vamp(ch, r.data(), static_cast<int>(r.size()), &l.amp, &l.mid, &l.l90, &l.l10);
        return l;
    }
};

TEST_F(Amplitude, SquareSixtyFortyGivesItsTwoLevels)
{
    const Record r = square(1000, 100, 60, 200, 50);
    uint16_t top = 0, base = 0;
    EXPECT_EQ(measure_get_vtop(1, r.data(), 1000, &top), 0);
    EXPECT_EQ(measure_get_vbase(1, r.data(), 1000, &base), 0);
    EXPECT_EQ(top, 200);
    EXPECT_EQ(base, 50);
    const Levels l = vamp(1, r);
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.amp, 150);
    EXPECT_EQ(l.mid, 125);
    EXPECT_EQ(l.l10, 65);
    EXPECT_EQ(l.l90, 185);
    EXPECT_EQ(rec(1).top, 200);
    EXPECT_EQ(rec(1).base, 50);
    EXPECT_EQ(rec(1).amplitude, 150);
    EXPECT_EQ(rec(1).midLevel, 125);
    EXPECT_EQ(rec(1).level10, 65);
    EXPECT_EQ(rec(1).level90, 185);
}

TEST_F(Amplitude, EvenSpreadHasNoDominantLevel)
{
    // A triangle from 20 to 230: every code holds well under 5 % of the samples.
    Record r;
    for (int rep = 0; rep < 4; ++rep) {
        for (int v = 20; v <= 230; ++v)
            r.push_back(static_cast<uint8_t>(v));
        for (int v = 229; v > 20; --v)
            r.push_back(static_cast<uint8_t>(v));
    }
    uint16_t top = 0, base = 0;
    measure_get_vtop(2, r.data(), static_cast<int>(r.size()), &top);
    measure_get_vbase(2, r.data(), static_cast<int>(r.size()), &base);
    EXPECT_EQ(top, 230);
    EXPECT_EQ(base, 20);
}

TEST_F(Amplitude, ASineKeepsItsLevelsAtTheCrests)
{
    const Record r = sine(2400, 240, 128, 90);
    uint16_t top = 0, base = 0;
    measure_get_vtop(1, r.data(), 2400, &top);
    measure_get_vbase(1, r.data(), 2400, &base);
    EXPECT_LE(218 - top, 2);
    EXPECT_LE(base - 38, 2);
    EXPECT_GE(top, base + 170);
}

TEST_F(Amplitude, CrowdedLevelNearMidFallsBackToTheExtremes)
{
    // Most samples at 128 and 122, within 5 codes of mid 125: not a top or a base.
    Record r(1000, 128);
    for (int i = 500; i < 1000; ++i)
        r[i] = 122;
    r[10] = 200;
    r[600] = 50;
    uint16_t top = 0, base = 0;
    measure_get_vtop(1, r.data(), 1000, &top);
    measure_get_vbase(1, r.data(), 1000, &base);
    EXPECT_EQ(top, 200);
    EXPECT_EQ(base, 50);
}

TEST_F(Amplitude, NearEqualUpperCountsPreferTheHigherCode)
{
    auto build = [](int highCount, int lowerCount) {
        Record r;
        r.insert(r.end(), highCount, 200);
        r.insert(r.end(), lowerCount, 190);
        r.insert(r.end(), 300, 50);
        return r;
    };
    uint16_t top = 0;
    Record r = build(100, 101);
    measure_get_vtop(1, r.data(), static_cast<int>(r.size()), &top);
    EXPECT_EQ(top, 200);
    r = build(100, 102);
    measure_get_vtop(1, r.data(), static_cast<int>(r.size()), &top);
    EXPECT_EQ(top, 190);
}

TEST_F(Amplitude, NearEqualLowerCountsPreferTheLowerCode)
{
    auto build = [](int lowCount, int upperCount) {
        Record r;
        r.insert(r.end(), lowCount, 40);
        r.insert(r.end(), upperCount, 60);
        r.insert(r.end(), 300, 200);
        return r;
    };
    uint16_t base = 0;
    Record r = build(100, 101);
    measure_get_vbase(1, r.data(), static_cast<int>(r.size()), &base);
    EXPECT_EQ(base, 40);
    r = build(100, 102);
    measure_get_vbase(1, r.data(), static_cast<int>(r.size()), &base);
    EXPECT_EQ(base, 60);
}

TEST_F(Amplitude, LoneSamplesAboveMidDoNotMakeCodeZeroTheTop)
{
    // No upper bin reaches 2 samples; the heap of zeros must not become the top.
    Record r(1000, 0);
    r[500] = 255;
    uint16_t top = 0, base = 0;
    measure_get_vtop(1, r.data(), 1000, &top);
    measure_get_vbase(1, r.data(), 1000, &base);
    EXPECT_EQ(top, 255);
    EXPECT_EQ(base, 0);
}

TEST_F(Amplitude, FlatRecordCollapsesEveryLevel)
{
    const Record r = flat(777, 91);
    uint16_t max = 0, min = 0;
    EXPECT_EQ(measure_basic(3, r.data(), 777, &max, &min), 0);
    EXPECT_EQ(max, 91);
    EXPECT_EQ(min, 91);
    EXPECT_EQ(rec(3).maxCount, 777);
    EXPECT_EQ(rec(3).minCount, 777);
    EXPECT_EQ(rec(3).peakToPeak, 0);
    const Levels l = vamp(3, r);
    EXPECT_EQ(l.amp, 0);
    EXPECT_EQ(rec(3).top, 91);
    EXPECT_EQ(rec(3).base, 91);
    EXPECT_EQ(l.mid, 91);
    EXPECT_EQ(l.l10, 91);
    EXPECT_EQ(l.l90, 91);
}

TEST_F(Amplitude, ExtremesCountsAndPositions)
{
    // The max position moves only when the new maximum is more than 5 codes
    // away from the sample at the stored position.
    const Record r = {100, 103, 110, 112, 112, 20, 18, 25, 14, 60};
    uint16_t max = 0, min = 0;
    ASSERT_EQ(measure_basic(1, r.data(), static_cast<int>(r.size()), &max, &min), 0);
    EXPECT_EQ(max, 112);
    EXPECT_EQ(min, 14);
    EXPECT_EQ(rec(1).peakToPeak, 98);
    EXPECT_EQ(rec(1).maxCount, 2);
    EXPECT_EQ(rec(1).minCount, 1);
    EXPECT_EQ(rec(1).maxPosition, 2);
    // min: 100@0, 20@5 (moves), 18 (2 from 20: stays), 14 (6 from 20: moves)
    EXPECT_EQ(rec(1).minPosition, 8);
}

TEST_F(Amplitude, PositionsStartAfreshOnAShorterRecord)
{
    Record longRec(2000, 10);
    longRec[1500] = 250;
    longRec[1800] = 0;
    measure_basic(1, longRec.data(), 2000, nullptr, nullptr);
    EXPECT_EQ(rec(1).maxPosition, 1500);
    EXPECT_EQ(rec(1).minPosition, 1800);
    const Record shortRec = {5, 200, 6, 203};
    measure_basic(1, shortRec.data(), 4, nullptr, nullptr);
    EXPECT_EQ(rec(1).maxPosition, 1);
    EXPECT_EQ(rec(1).minPosition, 0);
}

TEST_F(Amplitude, ABufferRewrittenInPlaceIsMeasuredAfresh)
{
    Record r = square(1000, 100, 50, 200, 50);
    uint16_t top = 0, max = 0, min = 0;
    measure_get_vtop(1, r.data(), 1000, &top);
    EXPECT_EQ(top, 200);
    r[999] = 60;  // same buffer, same length, one byte changed
    r[500] = 250;
    measure_basic(1, r.data(), 1000, &max, &min);
    EXPECT_EQ(max, 250);
    EXPECT_EQ(rec(1).maxPosition, 500);
    EXPECT_EQ(TavlinkMeasureHistogram(1)->counts[60], 1u);
    // A shorter count over the same bytes is another record.
    measure_basic(1, r.data(), 500, &max, &min);
    EXPECT_EQ(max, 200);
    // The same record on another channel keeps its own results.
    const Record other = flat(1000, 7);
    measure_basic(2, other.data(), 1000, &max, &min);
    measure_basic(1, r.data(), 1000, &max, &min);
    EXPECT_EQ(max, 250);
    EXPECT_EQ(rec(2).max, 7);
}

TEST_F(Amplitude, RecordsLongerThanAnInstrumentRecord)
{
    // 70000 samples: counts and sums pass 16 bits, indices pass 65535.
    Record r = square(70000, 2000, 1000, 200, 50);
    r[69000] = 255;
    uint16_t max = 0, min = 0, mean = 0;
    measure_basic(3, r.data(), 70000, &max, &min);
    EXPECT_EQ(max, 255);
    EXPECT_EQ(rec(3).minCount, 34999);
    EXPECT_EQ(rec(3).maxPosition, 0xFFFF);  // 69000 does not fit a 16-bit index
    measure_get_Vmean(3, r.data(), 70000, &mean);
    EXPECT_EQ(mean, (35000ull * 200 + 34999ull * 50 + 255) / 70000);
    const Record f = flat(70000, 3);
    measure_basic(4, f.data(), 70000, &max, &min);
    EXPECT_EQ(rec(4).maxCount, 0xFFFF);  // saturates rather than wraps to 4464
    EXPECT_EQ(TavlinkMeasureHistogram(4)->counts[3], 70000u);
    uint16_t top = 0;
    measure_get_vtop(3, r.data(), 70000, &top);
    EXPECT_EQ(top, 200);
}

TEST_F(Amplitude, HistogramAddsUpUntilALevelSearchClearsIt)
{
    const Record r = {7, 7, 9};
    measure_basic(2, r.data(), 3, nullptr, nullptr);
    measure_basic(2, r.data(), 3, nullptr, nullptr);
    EXPECT_EQ(TavlinkMeasureHistogram(2)->counts[7], 4u);
    EXPECT_EQ(TavlinkMeasureHistogram(2)->counts[9], 2u);
    measure_get_vtop(2, r.data(), 3, nullptr);
    EXPECT_EQ(TavlinkMeasureHistogram(2)->counts[7], 2u);
    EXPECT_EQ(TavlinkMeasureHistogram(1)->counts[7], 0u);
}

TEST_F(Amplitude, BusyChannelIsRefusedWithoutOutput)
{
    const Record r = square(100, 20, 10, 200, 50);
    TavlinkMeasureRecord(4)->busy = 1;
    uint16_t max = 0xAAAA, min = 0xBBBB, top = 0xCCCC;
    EXPECT_EQ(measure_basic(4, r.data(), 100, &max, &min), 1);
    EXPECT_EQ(max, 0xAAAA);
    EXPECT_EQ(min, 0xBBBB);
    EXPECT_EQ(measure_get_vtop(4, r.data(), 100, &top), 1);
    EXPECT_EQ(top, 0xCCCC);
    EXPECT_EQ(vamp(4, r).result, 1);
    // Other channels are unaffected.
    EXPECT_EQ(measure_basic(3, r.data(), 100, &max, &min), 0);
}

// Every channel-taking export refuses channels outside 1..4 and empty records,
// and leaves all state and outputs alone.
TEST_F(Amplitude, BadChannelsAndEmptyRecordsTouchNothing)
{
    const Record r = square(400, 40, 20, 200, 50);
    for (int ch = 1; ch <= 4; ++ch)
        measure_get_vamp(ch, r.data(), 400, nullptr, nullptr, nullptr, nullptr);
    MeasureRecord before[4];
    for (int ch = 1; ch <= 4; ++ch)
        before[ch - 1] = rec(ch);

    struct Call {
        int channel;
        const uint8_t *samples;
        int count;
    };
    const Call calls[] = {{0, r.data(), 400}, {5, r.data(), 400}, {-1, r.data(), 400}, {1000000, r.data(), 400},
                          {1, nullptr, 400},  {1, r.data(), 0},   {2, r.data(), -5}};
    for (const Call &c : calls) {
        uint16_t a = 0x1111, b = 0x2222, d = 0x3333, e = 0x4444;
        EXPECT_EQ(measure_basic(c.channel, c.samples, c.count, &a, &b), 1);
        EXPECT_EQ(measure_get_vtop(c.channel, c.samples, c.count, &a), 1);
        EXPECT_EQ(measure_get_vbase(c.channel, c.samples, c.count, &a), 1);
        EXPECT_EQ(measure_get_vamp(c.channel, c.samples, c.count, &a, &b, &d, &e), 1);
        EXPECT_EQ(measure_get_prid(c.channel, c.samples, c.count, &a), 1);
        EXPECT_EQ(measure_get_rise_and_fall_time(c.channel, c.samples, c.count, &a, &b), 1);
        EXPECT_EQ(measure_get_Pos_and_Neg_width(c.channel, c.samples, c.count, &a, &b), 1);
        EXPECT_EQ(measure_get_burst_width(c.channel, c.samples, c.count, &a), 1);
        EXPECT_EQ(measure_get_c_avg(c.channel, c.samples, c.count, &a), 1);
        EXPECT_EQ(measure_get_Vmean(c.channel, c.samples, c.count, &a), 1);
        EXPECT_EQ(measure_get_vrms(c.channel, c.samples, c.count, 128, &a), 1);
        EXPECT_EQ(measure_get_c_rms(c.channel, c.samples, c.count, 128, &a), 1);
        EXPECT_EQ(measure_get_ROVShoot(c.channel, c.samples, c.count, &a), 1);
        EXPECT_EQ(measure_get_FOVShoot(c.channel, c.samples, c.count, &a), 1);
        EXPECT_EQ(measure_get_RPREShoot(c.channel, c.samples, c.count, &a), 1);
        EXPECT_EQ(measure_get_FPREShoot(c.channel, c.samples, c.count, &a), 1);
        EXPECT_EQ(a, 0x1111);
        EXPECT_EQ(b, 0x2222);
        EXPECT_EQ(d, 0x3333);
        EXPECT_EQ(e, 0x4444);
    }
    for (int ch = 1; ch <= 4; ++ch)
        EXPECT_EQ(std::memcmp(&before[ch - 1], &rec(ch), sizeof(MeasureRecord)), 0) << ch;
    EXPECT_EQ(TavlinkMeasureRecord(0), nullptr);
    EXPECT_EQ(TavlinkMeasureRecord(5), nullptr);
}

}  // namespace
