#include "signals.h"

using namespace sig;

namespace {

constexpr uint16_t kNF = TAVLINK_NOT_FOUND;

int n(const Record &r) { return static_cast<int>(r.size()); }

// ---- period ---------------------------------------------------------------

class Period : public Measure {
protected:
    int prid(const Record &r, uint16_t &p, int ch = 1) { return measure_get_prid(ch, r.data(), n(r), &p); }
};

TEST_F(Period, SquareOfPeriod100InOneThousandSamples)
{
    for (int shift : {0, 50, 25}) {
        const Record r = square(1000, 100, 50, 200, 50, shift);
        uint16_t p = 0;
        EXPECT_EQ(prid(r, p), 0) << shift;
        EXPECT_EQ(p, 100) << shift;
        EXPECT_EQ(rec(1).period, 100);
        EXPECT_GE(rec(1).edgeCounter, 19);
        EXPECT_LE(rec(1).edgeCounter, 20);
        EXPECT_EQ(rec(1).periodSpan, 900);
        EXPECT_EQ(rec(1).periodLimit, 50);
    }
}

TEST_F(Period, ThresholdsSitTenCodesInsideTheExtremes)
{
    // One sample pins max 200 and min 50; the pulses then must reach 190 and 60.
    auto build = [](uint8_t peak, uint8_t trough) {
        Record r = square(1000, 100, 50, peak, trough);
        r[0] = 200;
        r[999] = 50;
        return r;
    };
    uint16_t p = 0;
    EXPECT_EQ(prid(build(190, 60), p), 0);
    EXPECT_EQ(p, 100);
    EXPECT_EQ(prid(build(189, 60), p), 1);
    EXPECT_EQ(p, kNF);
    EXPECT_EQ(prid(build(190, 61), p), 1);
    EXPECT_EQ(p, kNF);
}

TEST_F(Period, SwingOfTwentyCodesOrLessHasNoPeriod)
{
    uint16_t p = 0;
    EXPECT_EQ(prid(square(1000, 100, 50, 120, 100), p), 1);
    EXPECT_EQ(p, kNF);
    EXPECT_EQ(rec(1).period, kNF);
    EXPECT_EQ(prid(square(1000, 100, 50, 121, 100), p), 0);
    EXPECT_EQ(p, 100);
}

TEST_F(Period, AtMostFiftyWholePeriods)
{
    uint16_t p = 0;
    // 60 periods of 10 samples.
    EXPECT_EQ(prid(square(600, 10, 5, 200, 50), p), 1);
    EXPECT_EQ(p, kNF);
    // Transitions every 5 samples from index 5: 101 counted edges are 50 periods...
    EXPECT_EQ(prid(square(506, 10, 5, 200, 50), p), 0);
    EXPECT_EQ(rec(1).edgeCounter, 101);
    EXPECT_EQ(p, 10);
    // ...and 103 are 51.
    EXPECT_EQ(prid(square(516, 10, 5, 200, 50), p), 1);
    EXPECT_EQ(p, kNF);
}

TEST_F(Period, FewerThanThreeEdgesHaveNoPeriod)
{
    uint16_t p = 0;
    EXPECT_EQ(prid(step(500, 250, 50, 200), p), 1);
    EXPECT_EQ(rec(1).edgeCounter, 1);  // the first transition is not counted
    EXPECT_EQ(prid(square(250, 200, 100, 200, 50), p), 1);
    EXPECT_EQ(rec(1).edgeCounter, 2);
    EXPECT_EQ(p, kNF);
}

TEST_F(Period, TransitionsWithinTwoSamplesAreIgnored)
{
    // High from index 10, one low sample d samples later, high again after it.
    for (int d = 1; d <= 3; ++d) {
        Record r = step(100, 10, 50, 200);
        r[10 + d] = 50;
        uint16_t p = 0;
        prid(r, p);
        if (d < 3) {
            EXPECT_EQ(rec(1).edgeCounter, 1) << d;
            EXPECT_EQ(p, kNF);
        } else {
            // low at 13 counts, and high again at 16 (3 after it) counts too
            EXPECT_EQ(rec(1).edgeCounter, 3);
            EXPECT_EQ(p, 6);
        }
    }
}

TEST_F(Period, ThousandsOfEdgesDoNotWrapIntoAPeriod)
{
    // 4000 periods of 6 samples: 7999 edges would wrap an 8-bit counter to 63.
    uint16_t p = 0;
    EXPECT_EQ(prid(square(24000, 6, 3, 200, 50), p), 1);
    EXPECT_EQ(p, kNF);
    EXPECT_EQ(rec(1).edgeCounter, 255);
}

// ---- rise and fall ------------------------------------------------------------

class RiseFall : public Measure {
protected:
    uint16_t fall = 0x1234, rise = 0x1234;
    int run(const Record &r) { return measure_get_rise_and_fall_time(1, r.data(), n(r), &fall, &rise); }
    // Low 50, ramp up in steps of `up` to 200, high, ramp down in steps of `down`, low.
    static Record trapezoid(int up, int down)
    {
        Record r(100, 50);
        for (int v = 50 + up; v < 200; v += up)
            r.push_back(static_cast<uint8_t>(v));
        r.insert(r.end(), 200, 200);
        for (int v = 200 - down; v > 50; v -= down)
            r.push_back(static_cast<uint8_t>(v));
        r.insert(r.end(), 200, 50);
        return r;
    }
};

TEST_F(RiseFall, TrapezoidStartingLow)
{
    // Levels 50..200: L10 65, L90 185. Rise: last <= 65 is 60, first >= 185 is 190,
    // 13 steps of 10 apart. Fall: last >= 185 is 185, first <= 65 is 65, 24 steps of 5.
    EXPECT_EQ(run(trapezoid(10, 5)), 0);
    EXPECT_EQ(rise, 13);
    EXPECT_EQ(fall, 24);
    EXPECT_EQ(rec(1).riseTime, 13);
    EXPECT_EQ(rec(1).fallTime, 24);
}

TEST_F(RiseFall, StartingHighMeasuresTheFallFirst)
{
    Record r = trapezoid(10, 5);
    r.erase(r.begin(), r.begin() + 150);  // now starts on the high plateau
    EXPECT_GE(r[0], 185);
    EXPECT_EQ(run(r), 2);  // no rise after the fall
    EXPECT_EQ(fall, 24);
    EXPECT_EQ(rise, kNF);
    EXPECT_EQ(rec(1).riseTime, kNF);
}

TEST_F(RiseFall, NoFallAfterTheRiseIsResultThree)
{
    Record r = trapezoid(10, 5);
    r.resize(150);
    EXPECT_EQ(run(r), 3);
    EXPECT_EQ(rise, 13);
    EXPECT_EQ(fall, kNF);
    EXPECT_EQ(rec(1).fallTime, kNF);
}

TEST_F(RiseFall, FlatRecordFindsNothing)
{
    EXPECT_EQ(run(flat(300, 80)), 1);
    EXPECT_EQ(rise, kNF);
    EXPECT_EQ(fall, kNF);
}

TEST_F(RiseFall, StartBetweenLevelsNeedsBothFarLevels)
{
    // 100..109 with no dominant level: L10 100, L90 108; the start 104 lies
    // between them and the record never goes below 100.
    Record r(50, 104);
    r.insert(r.end(), 50, 109);
    r.insert(r.end(), 50, 100);
    EXPECT_EQ(run(r), 1);
    EXPECT_EQ(rise, kNF);
    EXPECT_EQ(fall, kNF);
    EXPECT_EQ(rec(1).riseTime, kNF);
}

TEST_F(RiseFall, StartBetweenLevelsGoingDownFirst)
{
    // 120 (between 65 and 185) then a fall to 50 and a rise to 200.
    Record r(20, 120);
    for (int v = 110; v > 50; v -= 10)
        r.push_back(static_cast<uint8_t>(v));
    r.insert(r.end(), 100, 50);
    for (int v = 60; v < 200; v += 10)
        r.push_back(static_cast<uint8_t>(v));
    r.insert(r.end(), 100, 200);
    // Below L10 comes first: the rising step starts there, the fall is not measured.
    EXPECT_EQ(run(r), 3);
    EXPECT_EQ(rise, 13);
    EXPECT_EQ(fall, kNF);
}

TEST_F(RiseFall, StartBetweenLevelsGoingUpFirstUsesStrictLevels)
{
    // 120, high, a shelf exactly on L90 (185), down to 50, a shelf exactly on
    // L10 (65), up to 200 again.
    Record r(20, 120);
    r.insert(r.end(), 100, 200);
    r.insert(r.end(), 5, 185);  // 120..124
    for (int v = 180; v >= 60; v -= 10)
        r.push_back(static_cast<uint8_t>(v));  // 125..137
    r.insert(r.end(), 100, 50);                // 138..237
    r.insert(r.end(), 3, 65);                  // 238..240
    for (int v = 70; v <= 190; v += 10)
        r.push_back(static_cast<uint8_t>(v));  // 241..253
    r.insert(r.end(), 100, 200);
    ASSERT_EQ(run(r), 0);
    // Fall from the last sample strictly above 185 (119) to 60 (137).
    EXPECT_EQ(fall, 18);
    // Rise from the last sample strictly below 65 (237) to 190 (253).
    EXPECT_EQ(rise, 16);
}

TEST_F(RiseFall, EdgeAtTheVeryStartKeepsTheOutputAndGoesOn)
{
    // The rise's start would be index 0, which is never taken.
    Record r = {50};
    r.insert(r.end(), 100, 200);
    for (int v = 190; v > 50; v -= 10)
        r.push_back(static_cast<uint8_t>(v));
    r.insert(r.end(), 100, 50);
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(rise, 0x1234);  // untouched
    EXPECT_EQ(fall, 13);      // from 190 (>= 185) to 60 (<= 65)
}

// ---- widths -----------------------------------------------------------------------

class Widths : public Measure {
protected:
    uint16_t pos = 0x1234, neg = 0x1234;
    int run(const Record &r) { return measure_get_Pos_and_Neg_width(1, r.data(), n(r), &pos, &neg); }
};

TEST_F(Widths, SquareStartingHighOrLow)
{
    EXPECT_EQ(run(square(1000, 100, 30, 200, 50)), 0);  // starts high
    EXPECT_EQ(pos, 30);
    EXPECT_EQ(neg, 70);
    EXPECT_EQ(rec(1).positiveWidth, 30);
    EXPECT_EQ(rec(1).negativeWidth, 70);
    pos = neg = 0;
    EXPECT_EQ(run(square(1000, 100, 30, 200, 50, 40)), 0);  // starts low
    EXPECT_EQ(pos, 30);
    EXPECT_EQ(neg, 70);
}

TEST_F(Widths, StartingOnMidTakesIndexZeroAsTheFirstEdge)
{
    // mid of 50..200 is 125.
    Record r(10, 125);
    r.insert(r.end(), 40, 50);
    r.insert(r.end(), 30, 200);
    r.insert(r.end(), 40, 50);
    r.insert(r.end(), 30, 200);
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(neg, 50);  // going low first: the negative pulse runs from 0 to the rise
    EXPECT_EQ(pos, 30);
    Record h(10, 125);
    h.insert(h.end(), 40, 200);
    h.insert(h.end(), 30, 50);
    h.insert(h.end(), 40, 200);
    EXPECT_EQ(run(h), 0);
    EXPECT_EQ(pos, 50);
    EXPECT_EQ(neg, 30);
}

TEST_F(Widths, ShortDipIsAGlitch)
{
    Record r = square(1000, 200, 100, 200, 50);
    // A 2-sample dip in the first high phase: the sample 5 on is high again.
    r[20] = r[21] = 50;
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(neg, 100);
    EXPECT_EQ(pos, 100);
}

TEST_F(Widths, MissingSecondWidth)
{
    // High, one low pulse, high to the end: no second downward crossing.
    Record r(100, 200);
    r.insert(r.end(), 60, 50);
    r.insert(r.end(), 100, 200);
    EXPECT_EQ(run(r), 4);
    EXPECT_EQ(neg, 60);
    EXPECT_EQ(pos, kNF);
    Record l(100, 50);
    l.insert(l.end(), 60, 200);
    l.insert(l.end(), 100, 50);
    EXPECT_EQ(run(l), 5);
    EXPECT_EQ(pos, 60);
    EXPECT_EQ(neg, kNF);
}

TEST_F(Widths, NoCrossingAtAll)
{
    EXPECT_EQ(run(flat(100, 9)), 1);
    EXPECT_EQ(pos, kNF);
    EXPECT_EQ(neg, kNF);
    pos = neg = 0;
    EXPECT_EQ(run(step(100, 50, 200, 50)), 1);  // one fall, never back up
    EXPECT_EQ(pos, kNF);
    EXPECT_EQ(neg, kNF);
}

TEST_F(Widths, CrossingsNearTheEndStayInsideTheRecord)
{
    // The look-ahead 5 samples on would pass the end: the crossing is taken as it is.
    for (int tail = 1; tail <= 6; ++tail) {
        Record r(100, 200);
        r.insert(r.end(), 50, 50);
        r.insert(r.end(), 40, 200);
        r.insert(r.end(), tail, 50);
        EXPECT_EQ(run(r), 0) << tail;
        EXPECT_EQ(neg, 50);
        EXPECT_EQ(pos, 40);
    }
}

// ---- burst width ---------------------------------------------------------------------

class Burst : public Measure {
protected:
    uint16_t w = 0x1234;
    int run(const Record &r) { return measure_get_burst_width(1, r.data(), n(r), &w); }
    static Record burst(int lead, int pulses, int width, int period, int tail)
    {
        Record r(lead, 50);
        for (int p = 0; p < pulses; ++p) {
            r.insert(r.end(), width, 200);
            if (p + 1 < pulses)
                r.insert(r.end(), period - width, 50);
        }
        r.insert(r.end(), tail, 50);
        return r;
    }
};

TEST_F(Burst, FromTheFirstToTheLastEdge)
{
    EXPECT_EQ(run(burst(100, 5, 10, 30, 100)), 0);
    EXPECT_EQ(w, 4 * 30 + 10);
    EXPECT_EQ(rec(1).burstWidth, 130);
}

TEST_F(Burst, SinglePulseEqualsItsWidth)
{
    const Record r = burst(300, 1, 45, 0, 300);
    EXPECT_EQ(run(r), 0);
    uint16_t pos = 0, neg = 0;
    measure_get_Pos_and_Neg_width(1, r.data(), n(r), &pos, &neg);
    EXPECT_EQ(w, 45);
    EXPECT_EQ(pos, 45);
}

TEST_F(Burst, InvertedBurstStartingHigh)
{
    Record r = burst(100, 3, 10, 40, 100);
    for (auto &v : r)
        v = static_cast<uint8_t>(250 - v);
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(w, 2 * 40 + 10);
}

TEST_F(Burst, SpikesUndoneWithinTwoSamplesAreSkipped)
{
    Record r = burst(100, 3, 10, 40, 100);
    r[30] = 200;             // one-sample spike before the burst
    r[r.size() - 30] = 200;  // and one after it
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(w, 90);
}

TEST_F(Burst, StartAndEndOnMid)
{
    Record r = burst(100, 3, 10, 40, 100);
    r.front() = 125;
    r.back() = 125;
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(w, static_cast<uint16_t>(r.size() - 1));
}

TEST_F(Burst, NoCrossingIsNotFound)
{
    EXPECT_EQ(run(flat(500, 70)), 1);
    EXPECT_EQ(w, kNF);
    EXPECT_EQ(rec(1).burstWidth, kNF);
}

TEST_F(Burst, SingleEdgeWritesNothing)
{
    EXPECT_EQ(run(step(500, 200, 50, 200)), 0);
    EXPECT_EQ(w, 0x1234);
}

}  // namespace
