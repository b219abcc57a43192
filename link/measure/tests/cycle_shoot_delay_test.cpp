#include "signals.h"

using namespace sig;

namespace {

constexpr uint16_t kNF = TAVLINK_NOT_FOUND;

int n(const Record &r) { return static_cast<int>(r.size()); }

// ---- means and rms -----------------------------------------------------------

class MeanRms : public Measure {};

TEST_F(MeanRms, MeanOverTheRecord)
{
    uint16_t m = 0;
    const Record full = flat(100, 255);
    EXPECT_EQ(measure_get_Vmean(1, full.data(), 100, &m), 0);
    EXPECT_EQ(m, 255);
    const Record sq = square(1000, 100, 60, 200, 50);
    EXPECT_EQ(measure_get_Vmean(2, sq.data(), 1000, &m), 0);
    EXPECT_EQ(m, (600 * 200 + 400 * 50) / 1000);
    EXPECT_EQ(rec(2).mean, m);
    // The mean drops its fraction: (1 + 2) / 2.
    const Record two = {1, 2};
    measure_get_Vmean(3, two.data(), 2, &m);
    EXPECT_EQ(m, 1);
}

TEST_F(MeanRms, RmsAboutTheZeroCode)
{
    uint16_t v = 0;
    const Record r = {100, 156};
    EXPECT_EQ(measure_get_vrms(1, r.data(), 2, 128, &v), 0);
    EXPECT_EQ(v, 28);
    EXPECT_EQ(rec(1).rms, 28);
    // sqrt((3^2 + 4^2) / 2) = 3.53: the fraction is dropped.
    const Record f = {131, 124};
    measure_get_vrms(1, f.data(), 2, 128, &v);
    EXPECT_EQ(v, 3);
    // The zero code itself gives 0.
    const Record z = flat(50, 77);
    measure_get_vrms(1, z.data(), 50, 77, &v);
    EXPECT_EQ(v, 0);
}

TEST_F(MeanRms, CycleMeanOverTheFirstPeriod)
{
    uint16_t m = 0;
    const Record half = square(1000, 100, 50, 200, 50);
    EXPECT_EQ(measure_get_c_avg(1, half.data(), 1000, &m), 0);
    EXPECT_EQ(m, 125);
    const Record third = square(1000, 100, 30, 200, 50);
    EXPECT_EQ(measure_get_c_avg(1, third.data(), 1000, &m), 0);
    EXPECT_EQ(m, (30 * 200 + 70 * 50) / 100);
    EXPECT_EQ(rec(1).cycleMean, m);
    const Record none = flat(1000, 90);
    EXPECT_EQ(measure_get_c_avg(1, none.data(), 1000, &m), 1);
    EXPECT_EQ(m, kNF);
    EXPECT_EQ(rec(1).cycleMean, kNF);
}

TEST_F(MeanRms, CycleRmsIsSymmetricAboutTheZeroCode)
{
    uint16_t a = 0, b = 0;
    const Record up = square(1000, 100, 50, 156, 100);
    const Record down = square(1000, 100, 50, 100, 156);
    EXPECT_EQ(measure_get_c_rms(1, up.data(), 1000, 128, &a), 0);
    EXPECT_EQ(measure_get_c_rms(2, down.data(), 1000, 128, &b), 0);
    EXPECT_EQ(a, 28);
    EXPECT_EQ(b, 28);
    // Against zero code 100 half the period is 56 away: 56 / sqrt(2) = 39.6.
    EXPECT_EQ(measure_get_c_rms(1, up.data(), 1000, 100, &a), 0);
    EXPECT_EQ(a, 39);
    EXPECT_EQ(rec(1).cycleRms, 39);
    const Record none = flat(500, 3);
    EXPECT_EQ(measure_get_c_rms(1, none.data(), 500, 0, &a), 1);
    EXPECT_EQ(a, kNF);
}

// ---- shoots ------------------------------------------------------------------

class Shoots : public Measure {
protected:
    static Record build(std::initializer_list<std::pair<int, uint8_t>> runs)
    {
        Record r;
        for (auto [len, v] : runs)
            r.insert(r.end(), len, v);
        return r;
    }
    void edges(const Record &r)
    {
        uint16_t f, ri;
        measure_get_rise_and_fall_time(1, r.data(), n(r), &f, &ri);
    }
};

TEST_F(Shoots, TopAtTheMaximumHasNoOvershoot)
{
    const Record r = square(1000, 100, 50, 200, 50);
    edges(r);
    uint16_t v = 99;
    EXPECT_EQ(measure_get_ROVShoot(1, r.data(), 1000, &v), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(measure_get_FOVShoot(1, r.data(), 1000, &v), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(measure_get_RPREShoot(1, r.data(), 1000, &v), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(measure_get_FPREShoot(1, r.data(), 1000, &v), 0);
    EXPECT_EQ(v, 0);
}

TEST_F(Shoots, RingingAfterTheRisingEdge)
{
    const Record r = build({{200, 50}, {1, 220}, {1, 210}, {98, 200}, {200, 50}});
    edges(r);
    uint16_t v = 0;
    EXPECT_EQ(measure_get_ROVShoot(1, r.data(), n(r), &v), 0);
    EXPECT_EQ(v, 220 - 200);
    EXPECT_EQ(rec(1).risingOvershoot, 20);
}

TEST_F(Shoots, RingingAfterTheFallingEdge)
{
    const Record r = build({{200, 200}, {1, 30}, {1, 40}, {98, 50}, {200, 200}});
    edges(r);
    uint16_t v = 0;
    EXPECT_EQ(measure_get_FOVShoot(1, r.data(), n(r), &v), 0);
    EXPECT_EQ(v, 50 - 30);
    EXPECT_EQ(rec(1).fallingOvershoot, 20);
}

TEST_F(Shoots, DipBeforeTheRisingEdge)
{
    const Record r = build({{198, 50}, {2, 40}, {100, 200}, {200, 50}});
    edges(r);
    uint16_t v = 0;
    EXPECT_EQ(measure_get_RPREShoot(1, r.data(), n(r), &v), 0);
    EXPECT_EQ(v, 10);
    EXPECT_EQ(rec(1).risingPreshoot, 10);
}

TEST_F(Shoots, BumpBeforeTheFallingEdge)
{
    const Record r = build({{100, 50}, {98, 200}, {2, 210}, {200, 50}});
    edges(r);
    uint16_t v = 0;
    EXPECT_EQ(measure_get_FPREShoot(1, r.data(), n(r), &v), 0);
    EXPECT_EQ(v, 10);
    EXPECT_EQ(rec(1).fallingPreshoot, 10);
}

TEST_F(Shoots, NoStoredEdgeTimeIsNotFound)
{
    // A fall only (rise time not found), with a spike that lifts max over top.
    Record r = build({{300, 200}, {300, 50}});
    r[10] = 220;
    r[400] = 30;
    edges(r);
    ASSERT_EQ(rec(1).riseTime, kNF);
    uint16_t v = 0;
    EXPECT_EQ(measure_get_ROVShoot(1, r.data(), n(r), &v), 1);
    EXPECT_EQ(v, kNF);
    EXPECT_EQ(rec(1).risingOvershoot, kNF);
    EXPECT_EQ(measure_get_RPREShoot(1, r.data(), n(r), &v), 1);
    EXPECT_EQ(v, kNF);
    // The fall was measured: its shoots are found.
    EXPECT_EQ(measure_get_FOVShoot(1, r.data(), n(r), &v), 0);
    EXPECT_EQ(v, 20);
}

// ---- delays and phase ----------------------------------------------------------

class Delays : public Measure {
protected:
    using Fn = int (*)(int *, const uint8_t *, const uint8_t *, int);
    static constexpr Fn all[8] = {measure_get_frr, measure_get_frf, measure_get_ffr, measure_get_fff,
                                  measure_get_lrr, measure_get_lrf, measure_get_lfr, measure_get_lff};
};

TEST_F(Delays, IdenticalRecordsHaveNoDelayOrPhase)
{
    const Record r = square(1000, 200, 100, 200, 50, 50);
    int v = -7;
    EXPECT_EQ(measure_get_frr(&v, r.data(), r.data(), 1000), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(measure_get_fff(&v, r.data(), r.data(), 1000), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(measure_get_phase(&v, r.data(), r.data(), 200, 200, 1000), 0);
    EXPECT_EQ(v, 0);
}

TEST_F(Delays, EachDelayPairsTheNamedEdges)
{
    const Record a = square(1000, 200, 100, 200, 50, 50);
    const Record b = square(1000, 200, 100, 180, 40, 80);
    const auto riseA = crossings(a, 125, true), fallA = crossings(a, 125, false);
    const auto riseB = crossings(b, 110, true), fallB = crossings(b, 110, false);
    const int want[8] = {std::abs(riseA.front() - riseB.front()), std::abs(riseA.front() - fallB.front()),
                         std::abs(fallA.front() - riseB.front()), std::abs(fallA.front() - fallB.front()),
                         std::abs(riseA.front() - riseB.back()),  std::abs(riseA.front() - fallB.back()),
                         std::abs(fallA.front() - riseB.back()),  std::abs(fallA.front() - fallB.back())};
    for (int k = 0; k < 8; ++k) {
        int v = -1;
        EXPECT_EQ(all[k](&v, a.data(), b.data(), 1000), 0) << k;
        EXPECT_EQ(v, want[k]) << k;
    }
    const EdgeSet &e = *TavlinkMeasureEdges();
    EXPECT_EQ(e.firstRise1, riseA.front());
    EXPECT_EQ(e.firstFall1, fallA.front());
    EXPECT_EQ(e.lastRise2, riseB.back());
    EXPECT_EQ(e.lastFall2, fallB.back());
    EXPECT_EQ(TavlinkMeasureDelays()->lff, want[7]);
    // The levels of channel slots 1 and 2 now belong to the two records.
    EXPECT_EQ(rec(1).top, 200);
    EXPECT_EQ(rec(2).top, 180);
    EXPECT_EQ(rec(2).base, 40);
}

TEST_F(Delays, RecordsStartingOnMidTakeIndexZero)
{
    Record a = square(1000, 200, 100, 200, 50, 50);
    a[0] = 125;  // then below L10: a falling edge at 0
    Record b = square(1000, 200, 100, 200, 50, 150);
    b[999] = 125;  // ends on mid after a high phase: a falling edge at the end
    int v = 0;
    EXPECT_EQ(measure_get_fff(&v, a.data(), b.data(), 1000), 0);
    EXPECT_EQ(TavlinkMeasureEdges()->firstFall1, 0);
    EXPECT_EQ(TavlinkMeasureEdges()->lastFall2, 999);
    EXPECT_EQ(measure_get_lff(&v, a.data(), b.data(), 1000), 0);
    EXPECT_EQ(v, 999);
}

TEST_F(Delays, SecondRecordWithoutCrossingsHasNoDelays)
{
    const Record a = square(1000, 200, 100, 200, 50, 50);
    const Record b = flat(1000, 120);
    for (int k = 0; k < 8; ++k) {
        int v = 0;
        EXPECT_EQ(all[k](&v, a.data(), b.data(), 1000), 1) << k;
        EXPECT_EQ(v, kNF) << k;
    }
    int v = 0;
    EXPECT_EQ(measure_get_phase(&v, a.data(), b.data(), 200, 200, 1000), 1);
    EXPECT_EQ(v, kNF);
}

TEST_F(Delays, MissingRecordsAreRefused)
{
    const Record a = square(100, 20, 10, 200, 50);
    for (int k = 0; k < 8; ++k) {
        int v = 0;
        EXPECT_EQ(all[k](&v, nullptr, a.data(), 100), 1);
        EXPECT_EQ(v, kNF);
        EXPECT_EQ(all[k](&v, a.data(), nullptr, 100), 1);
        EXPECT_EQ(all[k](&v, a.data(), a.data(), 0), 1);
        EXPECT_EQ(all[k](nullptr, a.data(), a.data(), 100), 0);  // no output wanted
    }
}

TEST_F(Delays, PhaseIsSignedAndNeedsBothPeriods)
{
    const Record early = square(1000, 200, 100, 200, 50, 50);
    const Record late = square(1000, 200, 100, 200, 50, 80);
    int v = 0;
    EXPECT_EQ(measure_get_phase(&v, early.data(), late.data(), 200, 200, 1000), 0);
    EXPECT_EQ(v, 30);
    EXPECT_EQ(measure_get_phase(&v, late.data(), early.data(), 200, 200, 1000), 0);
    EXPECT_EQ(v, -30);
    double deg = 0;
    transform_phase(v, 200, &deg);
    EXPECT_DOUBLE_EQ(deg, -54.0);
    EXPECT_EQ(measure_get_phase(&v, early.data(), late.data(), 0xFFFF, 200, 1000), 1);
    EXPECT_EQ(v, kNF);
    EXPECT_EQ(measure_get_phase(&v, early.data(), late.data(), 200, -1, 1000), 1);
    EXPECT_EQ(TavlinkMeasureDelays()->phase, kNF);
}

}  // namespace
