// Generated signals against what they are known to be; fixed seeds.
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "signals.h"

using namespace sig;

namespace {

constexpr uint16_t kNF = TAVLINK_NOT_FOUND;

int n(const Record &r) { return static_cast<int>(r.size()); }

class Properties : public Measure {
protected:
    std::mt19937 rng{20261207};
    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
};

TEST_F(Properties, SquareWavesGiveTheirPeriodWidthsAndLevels)
{
    for (int trial = 0; trial < 300; ++trial) {
        const int period = uniform(20, 400);
        const int highLen = uniform(8, period - 8);
        const int low = uniform(0, 100);
        const int high = uniform(low + 60, 255);
        const int periods = uniform(3, 45);
        // The first level must last 3 samples: a shorter one is a transition
        // too close to the start and moves the first counted edge.
        int shift;
        do {
            shift = uniform(0, period - 1);
        } while ((((-shift) % period + period) % period < highLen
                      ? highLen - ((-shift) % period + period) % period
                      : period - ((-shift) % period + period) % period) < 3);
        const int count = std::min(24000, period * periods + uniform(0, period - 1));
        const Record r = square(count, period, highLen, static_cast<uint8_t>(high), static_cast<uint8_t>(low), shift);
        SCOPED_TRACE(::testing::Message()
                     << "period " << period << " high " << highLen << " shift " << shift << " count " << count);
        const int ch = 1 + trial % 4;
        uint16_t p = 0, top = 0, base = 0, pos = 0, neg = 0;
        ASSERT_EQ(measure_get_prid(ch, r.data(), count, &p), 0);
        EXPECT_EQ(p, period);
        measure_get_vtop(ch, r.data(), count, &top);
        measure_get_vbase(ch, r.data(), count, &base);
        EXPECT_EQ(top, high);
        EXPECT_EQ(base, low);
        const int w = measure_get_Pos_and_Neg_width(ch, r.data(), count, &pos, &neg);
        ASSERT_EQ(w, 0);
        EXPECT_EQ(pos, highLen);
        EXPECT_EQ(neg, period - highLen);
        uint16_t mean = 0;
        measure_get_c_avg(ch, r.data(), count, &mean);
        // The first period holds highLen high samples whatever its phase.
        EXPECT_EQ(mean, (highLen * high + (period - highLen) * low) / period);
        double pd = 0, nd = 0;
        transform_Pos_Neg_Dut(pos, neg, p, &pd, &nd);
        EXPECT_NEAR(pd + nd, 100, 1e-9);
    }
}

TEST_F(Properties, SineRmsAndLevels)
{
    for (int trial = 0; trial < 100; ++trial) {
        const double amp = uniform(30, 120);
        const double period = uniform(40, 600);
        const int count = uniform(20, 40) * static_cast<int>(period);
        const Record r = sine(std::min(count, 24000), period, 128, amp, uniform(0, 628) / 100.0);
        uint16_t rms = 0, mean = 0, p = 0;
        measure_get_vrms(2, r.data(), n(r), 128, &rms);
        EXPECT_NEAR(rms, amp / std::sqrt(2.0), 1.5) << amp << " " << period;
        measure_get_Vmean(2, r.data(), n(r), &mean);
        EXPECT_NEAR(mean, 128, 1.5);
        if (n(r) / period <= 50) {
            measure_get_prid(2, r.data(), n(r), &p);
            EXPECT_NEAR(p, period, 1.0) << amp << " " << period;
        }
    }
}

TEST_F(Properties, StepsGiveOneSampleEdgesAndExactDelays)
{
    for (int trial = 0; trial < 200; ++trial) {
        const int count = uniform(50, 24000);
        const int at = uniform(2, count - 2);
        const int d = uniform(0, count - 2 - at);
        const Record a = step(count, at, 40, 210);
        const Record b = step(count, at + d, 40, 210);
        uint16_t rise = 0, fall = 0;
        EXPECT_EQ(measure_get_rise_and_fall_time(3, a.data(), count, &fall, &rise), 3);
        EXPECT_EQ(rise, 1);
        int v = -1;
        EXPECT_EQ(measure_get_frr(&v, a.data(), b.data(), count), 0);
        EXPECT_EQ(v, d);
        EXPECT_EQ(measure_get_lrr(&v, a.data(), b.data(), count), 0);
        EXPECT_EQ(v, d);
        EXPECT_EQ(measure_get_frf(&v, a.data(), b.data(), count), 1);
        uint16_t burst = 0x1234;
        EXPECT_EQ(measure_get_burst_width(3, a.data(), count, &burst), 0);
        EXPECT_EQ(burst, 0x1234);
    }
}

TEST_F(Properties, PulseTrainsGiveTheirBurstWidth)
{
    for (int trial = 0; trial < 200; ++trial) {
        const int width = uniform(3, 40);
        const int gap = uniform(6, 60);
        const int pulses = uniform(1, 30);
        const int lead = uniform(1, 500), tail = uniform(1, 500);
        Record r(lead, 30);
        for (int p = 0; p < pulses; ++p) {
            r.insert(r.end(), width, 220);
            if (p + 1 < pulses)
                r.insert(r.end(), gap, 30);
        }
        r.insert(r.end(), tail, 30);
        uint16_t w = 0;
        // With few pulses their level may hold under 5 % of the samples; the
        // burst still runs between the outermost edges.
        ASSERT_EQ(measure_get_burst_width(4, r.data(), n(r), &w), 0);
        EXPECT_EQ(w, pulses * width + (pulses - 1) * gap);
    }
}

TEST_F(Properties, FlatLinesHaveNoTimes)
{
    for (int trial = 0; trial < 50; ++trial) {
        const int count = uniform(1, 24000);
        const Record r = flat(count, static_cast<uint8_t>(uniform(0, 255)));
        uint16_t p = 0, a = 0, b = 0, amp = 9, mid, l90, l10;
        EXPECT_EQ(measure_get_prid(1, r.data(), count, &p), 1);
        EXPECT_EQ(p, kNF);
        EXPECT_EQ(measure_get_vamp(1, r.data(), count, &amp, &mid, &l90, &l10), 0);
        EXPECT_EQ(amp, 0);
        EXPECT_EQ(measure_get_rise_and_fall_time(1, r.data(), count, &a, &b), 1);
        EXPECT_EQ(measure_get_Pos_and_Neg_width(1, r.data(), count, &a, &b), 1);
        EXPECT_EQ(measure_get_burst_width(1, r.data(), count, &a), 1);
        EXPECT_EQ(rec(1).maxCount, std::min(count, 0xFFFF));
    }
}

// Every export over noise, short records and odd shapes, each in a buffer of
// exactly its size (the sanitizer build catches any read past it); results
// that are indices or counts must lie inside the record.
TEST_F(Properties, AnyRecordStaysInsideItsBounds)
{
    for (int trial = 0; trial < 400; ++trial) {
        const int count = trial < 40 ? trial + 1 : uniform(1, trial % 10 == 0 ? 24000 : 700);
        Record r = noise(count, rng);
        if (trial % 3 == 1) {  // a noisy square: glitches everywhere
            const Record sq = square(count, uniform(4, 80), 2, 200, 40);
            for (int i = 0; i < count; ++i)
                r[i] = static_cast<uint8_t>((sq[i] * 3 + r[i]) / 4);
        }
        const Record other = noise(count, rng);
        const int ch = 1 + trial % 4;
        uint16_t a = 0, b = 0, c = 0, d = 0;
        measure_basic(ch, r.data(), count, &a, &b);
        EXPECT_LE(b, a);
        EXPECT_LT(rec(ch).maxPosition, count);
        EXPECT_LT(rec(ch).minPosition, count);
        measure_get_vamp(ch, r.data(), count, &a, &b, &c, &d);
        EXPECT_LE(rec(ch).base, rec(ch).top);
        EXPECT_LE(rec(ch).level10, rec(ch).midLevel);
        EXPECT_LE(rec(ch).midLevel, rec(ch).level90);
        auto inside = [&](uint16_t v) { return v == kNF || v <= count; };
        if (measure_get_prid(ch, r.data(), count, &a) == 0) {
            EXPECT_LE(a, count);
        }
        measure_get_rise_and_fall_time(ch, r.data(), count, &a, &b);
        EXPECT_TRUE(inside(rec(ch).riseTime) || rec(ch).riseTime == 0);
        measure_get_Pos_and_Neg_width(ch, r.data(), count, &a, &b);
        EXPECT_TRUE(inside(rec(ch).positiveWidth));
        EXPECT_TRUE(inside(rec(ch).negativeWidth));
        a = 0;
        if (measure_get_burst_width(ch, r.data(), count, &a) == 0 && a != 0) {
            EXPECT_LT(a, count);
        }
        measure_get_c_avg(ch, r.data(), count, &a);
        measure_get_Vmean(ch, r.data(), count, &a);
        EXPECT_LE(a, 255);
        measure_get_vrms(ch, r.data(), count, static_cast<uint8_t>(trial), &a);
        EXPECT_LE(a, 255);
        measure_get_c_rms(ch, r.data(), count, 128, &a);
        for (auto fn : {measure_get_ROVShoot, measure_get_FOVShoot, measure_get_RPREShoot, measure_get_FPREShoot}) {
            if (fn(ch, r.data(), count, &a) == 0) {
                EXPECT_LE(a, 255);
            }
        }
        int v = 0;
        for (auto fn : {measure_get_frr, measure_get_frf, measure_get_ffr, measure_get_fff, measure_get_lrr,
                        measure_get_lrf, measure_get_lfr, measure_get_lff}) {
            if (fn(&v, r.data(), other.data(), count) == 0) {
                EXPECT_LT(v, count);
            }
        }
        if (measure_get_phase(&v, r.data(), other.data(), 100, 100, count) == 0) {
            EXPECT_LT(std::abs(v), count);
        }
    }
}

TEST_F(Properties, LadderRoundTrips)
{
    const char *volt[] = {"uV", "mV", "V", "kV"};
    std::uniform_real_distribution<double> mant(-3.0, 3.0);
    std::uniform_int_distribution<int> exp10(-9, 9);
    for (int trial = 0; trial < 2000; ++trial) {
        const double value = mant(rng) * std::pow(10.0, exp10(rng));
        const int in = uniform(0, 3);
        char unit[5] = "";
        double out = 0;
        // volts/div chosen so that code 25 gives exactly `value` up to rounding.
        transform_vamp(25, value, volt[in], unit, &out);
        int o = -1;
        for (int k = 0; k < 4; ++k)
            if (std::strcmp(unit, volt[k]) == 0)
                o = k;
        ASSERT_GE(o, 0) << unit;
        const double back = out * std::pow(1000.0, o - in);
        EXPECT_NEAR(back, value, std::fabs(value) * 1e-9 + 1e-300);
        const double mag = std::fabs(out);
        if (std::fabs(value) >= 1e-8) {
            if (o > 0) {
                EXPECT_GE(mag, 1 - 1e-9) << value << volt[in];
            }
            if (o < 3) {
                EXPECT_LT(mag, 1000) << value << volt[in];
            }
        } else {
            EXPECT_EQ(o, in);
        }
    }
}

TEST_F(Properties, PeriodThroughFrequencyIsTheReciprocal)
{
    for (int trial = 0; trial < 500; ++trial) {
        const int count = uniform(1, 20000);
        const double timeBase = std::pow(10.0, uniform(-9, 1));
        const int length = uniform(1, 24000);
        char tUnit[5] = "", fUnit[5] = "";
        double t = 0, f = 0;
        ASSERT_TRUE(transform_prid(1, count, timeBase, length, "s", tUnit, &t));
        ASSERT_TRUE(transform_Freq(t, tUnit, fUnit, &f));
        const char *hz[] = {"Hz", "KHz", "MHz", "GHz", "THz"};
        const char *sec[] = {"ps", "ns", "us", "ms", "s"};
        double seconds = 0, hertz = 0;
        for (int k = 0; k < 5; ++k) {
            if (std::strcmp(tUnit, sec[k]) == 0)
                seconds = t * std::pow(1000.0, k - 4);
            if (std::strcmp(fUnit, hz[k]) == 0)
                hertz = f * std::pow(1000.0, k);
        }
        const int screens = std::max(1, length / 300);
        EXPECT_NEAR(seconds, count * timeBase / screens * 0.04, seconds * 1e-9);
        EXPECT_NEAR(hertz * seconds, 1.0, 1e-9);
    }
}

}  // namespace
