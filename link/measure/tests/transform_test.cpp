#include <cmath>
#include <cstring>
#include <string>

#include "signals.h"

namespace {

struct Scaled {
    double value = -12345;
    char unit[5] = "????";
    std::string u() const { return std::string(unit, strnlen(unit, 5)); }
};

// One voltage value through transform_vamp, whose code x volts/div x 0.04 is
// exact for code 25 (one division).
Scaled volts(double value, const char *unitIn)
{
    Scaled s;
    transform_vamp(25, value, unitIn, s.unit, &s.value);
    return s;
}

TEST(Ladders, VoltageSteps)
{
    struct Case {
        double in;
        const char *unitIn;
        double out;
        const char *unitOut;
    } cases[] = {
        {0.5, "V", 500, "mV"},    {0.0005, "V", 500, "uV"}, {0.0000005, "V", 0.5, "uV"}, {1500, "V", 1.5, "kV"},
        {2000, "kV", 2000, "kV"}, {-0.5, "V", -500, "mV"},  {12.3, "mV", 12.3, "mV"},    {0.0123, "V", 12.3, "mV"},
        {1, "V", 1, "V"},         {999.5, "V", 999.5, "V"}, {1000, "uV", 1, "mV"},       {1e7, "uV", 10, "V"},
    };
    for (const Case &c : cases) {
        const Scaled s = volts(c.in, c.unitIn);
        EXPECT_NEAR(s.value, c.out, std::fabs(c.out) * 1e-9) << c.in << c.unitIn;
        EXPECT_EQ(s.u(), c.unitOut) << c.in << c.unitIn;
    }
}

TEST(Ladders, TinyValuesKeepTheirUnit)
{
    for (const char *unit : {"V", "mV", "uV", "kV"}) {
        const Scaled s = volts(5e-9, unit);
        EXPECT_NEAR(s.value, 5e-9, 1e-20);
        EXPECT_EQ(s.u(), unit);
    }
    Scaled z = volts(0, "mV");
    EXPECT_EQ(z.value, 0);
    EXPECT_EQ(z.u(), "mV");
}

TEST(Ladders, UnknownUnitLeavesTheValue)
{
    const Scaled s = volts(0.001, "Ohm");
    EXPECT_NEAR(s.value, 0.001, 1e-15);
    EXPECT_EQ(s.u(), "Ohm");
    // Units of another ladder are unknown too.
    const Scaled t = volts(2500, "ms");
    EXPECT_NEAR(t.value, 2500, 1e-9);
    EXPECT_EQ(t.u(), "ms");
}

TEST(Ladders, UnitFieldsAreReadNoFurtherThanFiveBytes)
{
    // An unterminated field: five letters, no zero.
    const char raw[5] = {'m', 'V', 'x', 'y', 'z'};
    Scaled s;
    transform_vamp(25, 0.5, raw, s.unit, &s.value);
    EXPECT_EQ(s.u(), "mVxy");
    EXPECT_EQ(s.unit[4], '\0');
    // In and out may be the same field.
    char same[5] = "V";
    double v = 0;
    transform_vamp(25, 0.002, same, same, &v);
    EXPECT_NEAR(v, 2, 1e-12);
    EXPECT_STREQ(same, "mV");
}

TEST(VoltTransforms, CodesAboutTheZeroCode)
{
    Scaled s;
    transform_vtop(1, 200, 128, 1.0, "V", s.unit, &s.value);
    EXPECT_NEAR(s.value, 2.88, 1e-12);
    EXPECT_EQ(s.u(), "V");
    transform_vbase(1, 100, 128, 1.0, "V", s.unit, &s.value);
    EXPECT_NEAR(s.value, -1.12, 1e-12);
    EXPECT_EQ(s.u(), "V");
    transform_vamp(50, 10, "mV", s.unit, &s.value);
    EXPECT_NEAR(s.value, 20, 1e-12);
    EXPECT_EQ(s.u(), "mV");
    transform_Vmean(153, 128, 0.2, "V", s.unit, &s.value);
    EXPECT_NEAR(s.value, 200, 1e-9);
    EXPECT_EQ(s.u(), "mV");
    Scaled c;
    transform_c_ave(153, 128, 0.2, "V", c.unit, &c.value);
    EXPECT_EQ(c.value, s.value);
    EXPECT_EQ(c.u(), s.u());
    transform_vrms(28, 7, 9, 0.5, "V", s.unit, &s.value);
    EXPECT_NEAR(s.value, 560, 1e-9);
    EXPECT_EQ(s.u(), "mV");
    transform_c_rms(28, 0, 0, 0.5, "V", c.unit, &c.value);
    EXPECT_EQ(c.value, s.value);
}

TEST(VoltTransforms, PeakToPeakFromTheRememberedPair)
{
    Scaled mx, mn, pp;
    transform_basic(2, 228, 28, 128, 1.0, "V", mx.unit, mn.unit, &mx.value, &mn.value);
    EXPECT_NEAR(mx.value, 4, 1e-12);
    EXPECT_EQ(mx.u(), "V");
    EXPECT_NEAR(mn.value, -4, 1e-12);
    EXPECT_EQ(mn.u(), "V");
    transform_vpp(0, 0, 0, 0, "V", pp.unit, &pp.value);
    EXPECT_NEAR(pp.value, 8, 1e-12);
    transform_basic(2, 130, 126, 128, 1.0, "V", mx.unit, mn.unit, &mx.value, &mn.value);
    EXPECT_NEAR(mx.value, 80, 1e-9);
    EXPECT_EQ(mx.u(), "mV");
    transform_vpp(1, 2, 3, 4, "V", pp.unit, &pp.value);
    EXPECT_NEAR(pp.value, 160, 1e-9);
    EXPECT_EQ(pp.u(), "mV");
}

TEST(TimeTransforms, PeriodAndFrequency)
{
    Scaled s;
    EXPECT_TRUE(transform_prid(1, 100, 1e-3, 3000, "s", s.unit, &s.value));
    EXPECT_NEAR(s.value, 400, 1e-9);
    EXPECT_EQ(s.u(), "us");
    Scaled keep;
    EXPECT_FALSE(transform_prid(1, 0xFFFF, 1e-3, 3000, "s", keep.unit, &keep.value));
    EXPECT_EQ(keep.value, -12345);
    struct Case {
        double period;
        const char *unit;
        double hz;
        const char *out;
    } cases[] = {{2, "ms", 500, "Hz"}, {250, "ns", 4, "MHz"}, {2, "s", 0.5, "Hz"},
                 {1, "ps", 1, "THz"},  {5, "us", 200, "KHz"}, {0.5, "ns", 2, "GHz"}};
    for (const Case &c : cases) {
        Scaled f;
        EXPECT_TRUE(transform_Freq(c.period, c.unit, f.unit, &f.value));
        EXPECT_NEAR(f.value, c.hz, c.hz * 1e-9) << c.period << c.unit;
        EXPECT_EQ(f.u(), c.out) << c.period << c.unit;
    }
    Scaled f;
    EXPECT_FALSE(transform_Freq(65535, "us", f.unit, &f.value));
    EXPECT_EQ(f.value, -12345);
}

TEST(TimeTransforms, ShortRecordsDoNotDivideByZero)
{
    // Under 300 samples the record is one screen: 0.04 divisions per sample.
    Scaled s;
    EXPECT_TRUE(transform_prid(1, 10, 1.0, 299, "s", s.unit, &s.value));
    EXPECT_NEAR(s.value, 400, 1e-9);
    EXPECT_EQ(s.u(), "ms");
    Scaled b;
    transform_burst_width(10, 1.0, 0, "s", b.unit, &b.value);
    EXPECT_EQ(b.value, s.value);
    EXPECT_TRUE(std::isfinite(b.value));
}

TEST(TimeTransforms, RecordLengthIsDividedInWholeScreens)
{
    // 599 / 300 = 1 screen, 600 / 300 = 2.
    Scaled a, b;
    transform_frr(50, 1e-3, 599, "s", a.unit, &a.value);
    transform_lff(50, 1e-3, 600, "s", b.unit, &b.value);
    EXPECT_NEAR(a.value, 2, 1e-9);
    EXPECT_EQ(a.u(), "ms");
    EXPECT_NEAR(b.value, 1, 1e-9);
    EXPECT_EQ(b.u(), "ms");
    // Every delay transform is the same conversion.
    for (auto fn : {transform_frf, transform_ffr, transform_fff, transform_lrr, transform_lrf, transform_lfr}) {
        Scaled c;
        fn(50, 1e-3, 600, "s", c.unit, &c.value);
        EXPECT_EQ(c.value, b.value);
        EXPECT_EQ(c.u(), b.u());
    }
    Scaled neg;
    transform_frr(-50, 1e-3, 600, "s", neg.unit, &neg.value);
    EXPECT_NEAR(neg.value, -1, 1e-9);
    EXPECT_EQ(neg.u(), "ms");
}

TEST(TimeTransforms, PairsReportWhatWasNotFound)
{
    Scaled f, s;
    EXPECT_EQ(transform_rise_fall_time(1, 25, 50, "us", f.unit, s.unit, 1.0, &f.value, 300, &s.value), 0);
    EXPECT_NEAR(f.value, 1, 1e-12);
    EXPECT_EQ(f.u(), "us");
    EXPECT_NEAR(s.value, 2, 1e-12);
    Scaled f2, s2;
    EXPECT_EQ(transform_rise_fall_time(1, 0xFFFF, 50, "us", f2.unit, s2.unit, 1.0, &f2.value, 300, &s2.value), 1);
    EXPECT_EQ(f2.value, -12345);
    EXPECT_EQ(transform_rise_fall_time(1, 25, 0xFFFF, "us", f2.unit, s2.unit, 1.0, &f2.value, 300, &s2.value), 2);
    EXPECT_EQ(transform_rise_fall_time(1, 0xFFFF, 0xFFFF, "us", f2.unit, s2.unit, 1.0, &f2.value, 300, &s2.value), 3);

    // Both widths share one unit field: it ends with the negative width's unit.
    double p = 0, n = 0;
    char unit[5] = "";
    EXPECT_EQ(transform_Pos_Neg_width(25000, 25, 1.0, 300, "us", unit, &p, &n), 0);
    EXPECT_NEAR(p, 1, 1e-12);  // 1 ms
    EXPECT_NEAR(n, 1, 1e-12);  // 1 us
    EXPECT_STREQ(unit, "us");
    EXPECT_EQ(transform_Pos_Neg_width(0xFFFF, 25, 1.0, 300, "us", unit, &p, &n), 1);
    EXPECT_EQ(transform_Pos_Neg_width(25, 0xFFFF, 1.0, 300, "us", unit, &p, &n), 2);
}

TEST(RatioTransforms, DutyShootAndPhase)
{
    double pd = 0, nd = 0;
    transform_Pos_Neg_Dut(30, 70, 100, &pd, &nd);
    EXPECT_DOUBLE_EQ(pd, 30);
    EXPECT_DOUBLE_EQ(nd, 70);
    transform_Pos_Neg_Dut(30, 70, 0, &pd, &nd);
    EXPECT_EQ(pd, 255);
    EXPECT_EQ(nd, 255);
    transform_Pos_Neg_Dut(30, 70, 0xFFFF, &pd, &nd);
    EXPECT_EQ(pd, 255);
    EXPECT_EQ(nd, 255);
    transform_Pos_Neg_Dut(0xFFFF, 40, 80, &pd, &nd);
    EXPECT_EQ(pd, 255);
    EXPECT_DOUBLE_EQ(nd, 50);

    double v = 0;
    EXPECT_EQ(transform_ROVShoot(15, 150, &v), 15);
    EXPECT_DOUBLE_EQ(v, 10);
    for (auto fn : {transform_FOVShoot, transform_RPREShoot, transform_FPREShoot}) {
        double w = 0;
        EXPECT_EQ(fn(3, 12, &w), 3);
        EXPECT_DOUBLE_EQ(w, 25);
    }

    transform_phase(125, 100, &v);
    EXPECT_DOUBLE_EQ(v, 90);
    transform_phase(-25, 100, &v);
    EXPECT_DOUBLE_EQ(v, -90);
    transform_phase(200, 100, &v);
    EXPECT_DOUBLE_EQ(v, 0);
    v = 42;
    transform_phase(10, 0, &v);
    EXPECT_EQ(v, 42);
}

}  // namespace

namespace {

// A channel's page from samples to units: 1000 samples of a 60/40 square at
// 1 ms time base in a 3000-sample record (4 us per sample), 0.5 V/div, zero 128.
TEST(PageChain, SquareWaveInPhysicalUnits)
{
    TavlinkMeasureReset();
    std::vector<uint8_t> r(1000);
    for (int i = 0; i < 1000; ++i)
        r[i] = (i % 100) < 60 ? 203 : 78;
    uint16_t period = 0, pos = 0, neg = 0, top = 0, amp, mid, l90, l10;
    ASSERT_EQ(measure_get_prid(1, r.data(), 1000, &period), 0);
    ASSERT_EQ(measure_get_Pos_and_Neg_width(1, r.data(), 1000, &pos, &neg), 0);
    ASSERT_EQ(measure_get_vamp(1, r.data(), 1000, &amp, &mid, &l90, &l10), 0);
    ASSERT_EQ(measure_get_vtop(1, r.data(), 1000, &top), 0);

    Scaled t, f, v, a;
    ASSERT_TRUE(transform_prid(1, period, 1e-3, 3000, "s", t.unit, &t.value));
    EXPECT_NEAR(t.value, 400, 1e-9);
    EXPECT_EQ(t.u(), "us");
    ASSERT_TRUE(transform_Freq(t.value, t.unit, f.unit, &f.value));
    EXPECT_NEAR(f.value, 2.5, 1e-9);
    EXPECT_EQ(f.u(), "KHz");
    double pd = 0, nd = 0;
    transform_Pos_Neg_Dut(pos, neg, period, &pd, &nd);
    EXPECT_DOUBLE_EQ(pd, 60);
    EXPECT_DOUBLE_EQ(nd, 40);
    transform_vtop(1, top, 128, 0.5, "V", v.unit, &v.value);
    EXPECT_NEAR(v.value, 1.5, 1e-12);  // 75 codes = 3 divisions
    EXPECT_EQ(v.u(), "V");
    transform_vamp(amp, 0.5, "V", a.unit, &a.value);
    EXPECT_NEAR(a.value, 2.5, 1e-12);  // 125 codes = 5 divisions
}

}  // namespace
