// The measurement block, computed with the link library's measurement and
// transform exports from the very samples that are sent.

#include <cmath>
#include <cstring>
#include <mutex>

#include "bytes.h"
#include "internal.h"
#include "tavlink.h"

namespace vsim {

namespace {

// The link library's measurement state is static and shared by all callers.
std::mutex &measureLock()
{
    static std::mutex m;
    return m;
}

constexpr uint16_t kNotFound = 0xFFFF;
constexpr uint8_t kUnitOther = 9;  // percent and degrees have no unit of their own

uint8_t unitIndex(const char *text)
{
    for (uint8_t i = 0; i < 16; ++i)
        if (std::strcmp(unitText(i), text) == 0)
            return i;
    return kUnitOther;
}

struct Block {
    uint8_t *p;
    void set(int item, double value, const char *unit, int digits) { set(item, value, unitIndex(unit), digits); }
    void set(int item, double value, uint8_t unit, int digits)
    {
        if (!std::isfinite(value))
            return;
        uint8_t *e = p + 16 * item;
        e[0] = 1;
        putF32(e + 4, float(value));
        e[8] = unit;
        e[12] = uint8_t(digits);
    }
};

struct Unit {
    char text[5] = {};
};

// The per-channel items 0..22.
void channelItems(Block &b, int ch, const MeasureInput &in)
{
    const uint8_t *s = in.samples;
    int n = in.count;
    double zero = in.zero;
    double vdiv = in.volts.value;
    const char *vu = unitText(in.volts.unit);
    double tb = in.time.value;
    const char *tu = unitText(in.time.unit);
    int len = in.recordLength;

    uint16_t mx = 0, mn = 0;
    if (measure_basic(ch, s, n, &mx, &mn) == 0) {
        Unit umax, umin, upp;
        double vmax = 0, vmin = 0, vpp = 0;
        transform_basic(ch, mx, mn, zero, vdiv, vu, umax.text, umin.text, &vmax, &vmin);
        transform_vpp(0, 0, 0, 0, vu, upp.text, &vpp);
        b.set(0, vpp, upp.text, 2);
        b.set(1, vmax, umax.text, 2);
        b.set(2, vmin, umin.text, 2);
    }
    uint16_t amp = kNotFound, mid = 0, l90 = 0, l10 = 0;
    if (measure_get_vamp(ch, s, n, &amp, &mid, &l90, &l10) == 0) {
        Unit u;
        double v = 0;
        transform_vamp(amp, vdiv, vu, u.text, &v);
        b.set(3, v, u.text, 2);
    }
    auto level = [&](int item, auto measure, auto transform) {
        uint16_t code = kNotFound;
        if (measure(ch, s, n, &code) == 0 && code != kNotFound) {
            Unit u;
            double v = 0;
            transform(ch, code, zero, vdiv, vu, u.text, &v);
            b.set(item, v, u.text, 2);
        }
    };
    level(4, measure_get_vtop, transform_vtop);
    level(5, measure_get_vbase, transform_vbase);
    auto mean = [&](int item, auto measure, auto transform) {
        uint16_t code = kNotFound;
        if (measure(ch, s, n, &code) == 0 && code != kNotFound) {
            Unit u;
            double v = 0;
            transform(code, zero, vdiv, vu, u.text, &v);
            b.set(item, v, u.text, 2);
        }
    };
    mean(6, measure_get_Vmean, transform_Vmean);
    mean(7, measure_get_c_avg, transform_c_ave);
    uint8_t zero8 = uint8_t(in.zero < 0 ? 0 : in.zero > 255 ? 255 : in.zero);
    auto rms = [&](int item, auto measure, auto transform) {
        uint16_t code = kNotFound;
        if (measure(ch, s, n, zero8, &code) == 0 && code != kNotFound) {
            Unit u;
            double v = 0;
            transform(code, 0, 0, vdiv, vu, u.text, &v);
            b.set(item, v, u.text, 2);
        }
    };
    rms(8, measure_get_vrms, transform_vrms);
    rms(9, measure_get_c_rms, transform_c_rms);

    // The shoot measures read the edge times stored by this one.
    uint16_t fall = kNotFound, rise = kNotFound;
    measure_get_rise_and_fall_time(ch, s, n, &fall, &rise);
    auto shoot = [&](int item, auto measure, auto transform) {
        uint16_t diff = kNotFound;
        if (amp != kNotFound && amp > 0 && measure(ch, s, n, &diff) == 0 && diff != kNotFound) {
            double pct = 0;
            transform(diff, amp, &pct);
            b.set(item, pct, kUnitOther, 1);
        }
    };
    shoot(10, measure_get_FOVShoot, transform_FOVShoot);
    shoot(11, measure_get_FPREShoot, transform_FPREShoot);
    shoot(12, measure_get_ROVShoot, transform_ROVShoot);
    shoot(13, measure_get_RPREShoot, transform_RPREShoot);

    uint16_t period = kNotFound;
    if (measure_get_prid(ch, s, n, &period) == 0 && period != kNotFound && period > 0) {
        Unit u;
        double v = 0;
        if (transform_prid(ch, period, tb, len, tu, u.text, &v)) {
            b.set(14, v, u.text, 2);
            Unit fu;
            double f = 0;
            if (transform_Freq(v, u.text, fu.text, &f))
                b.set(15, f, fu.text, 2);
        }
    }
    uint16_t pos = kNotFound, neg = kNotFound;
    measure_get_Pos_and_Neg_width(ch, s, n, &pos, &neg);
    // One width at a time: the export shares one unit field between both.
    Unit up, un;
    double vp = 0, vn = 0, unused = 0;
    if (pos != kNotFound && (transform_Pos_Neg_width(pos, kNotFound, tb, len, tu, up.text, &vp, &unused) & 1) == 0)
        b.set(16, vp, up.text, 2);
    if (neg != kNotFound && (transform_Pos_Neg_width(kNotFound, neg, tb, len, tu, un.text, &unused, &vn) & 2) == 0)
        b.set(17, vn, un.text, 2);
    if (rise != kNotFound || fall != kNotFound) {
        Unit ur, uf;
        double vr = 0, vf = 0;
        int missing = transform_rise_fall_time(ch, rise, fall, tu, ur.text, uf.text, tb, &vr, len, &vf);
        if (!(missing & 1) && rise != kNotFound)
            b.set(18, vr, ur.text, 2);
        if (!(missing & 2) && fall != kNotFound)
            b.set(19, vf, uf.text, 2);
    }
    uint16_t burst = kNotFound;
    if (measure_get_burst_width(ch, s, n, &burst) == 0 && burst != kNotFound) {
        Unit u;
        double v = 0;
        transform_burst_width(burst, tb, len, tu, u.text, &v);
        b.set(20, v, u.text, 2);
    }
    if (period != kNotFound && period > 0 && pos != kNotFound && neg != kNotFound) {
        double pd = 0, nd = 0;
        transform_Pos_Neg_Dut(pos, neg, period, &pd, &nd);
        b.set(21, pd, kUnitOther, 1);
        b.set(22, nd, kUnitOther, 1);
    }
}

// Items 23..31: channel 1 against channel 2.
void pairItems(Block &b, const MeasureInput &c1, const MeasureInput &c2)
{
    int n = std::min(c1.count, c2.count);
    double tb = c1.time.value;
    const char *tu = unitText(c1.time.unit);
    int len = c1.recordLength;
    uint16_t p1 = kNotFound, p2 = kNotFound;
    measure_get_prid(1, c1.samples, n, &p1);
    measure_get_prid(2, c2.samples, n, &p2);
    int delay = 0;
    if (p1 != kNotFound && p2 != kNotFound && p1 > 0 &&
        measure_get_phase(&delay, c1.samples, c2.samples, p1, p2, n) == 0 && delay != kNotFound) {
        double deg = 0;
        transform_phase(int16_t(delay), p1, &deg);
        b.set(23, deg, kUnitOther, 2);
    }
    using DelayFn = int (*)(int *, const uint8_t *, const uint8_t *, int);
    using ScaleFn = void (*)(int, double, int, const char *, char *, double *);
    const struct {
        DelayFn measure;
        ScaleFn transform;
    } delays[8] = {
        {measure_get_frr, transform_frr}, {measure_get_frf, transform_frf}, {measure_get_ffr, transform_ffr},
        {measure_get_fff, transform_fff}, {measure_get_lrr, transform_lrr}, {measure_get_lrf, transform_lrf},
        {measure_get_lfr, transform_lfr}, {measure_get_lff, transform_lff},
    };
    for (int i = 0; i < 8; ++i) {
        int d = kNotFound;
        if (delays[i].measure(&d, c1.samples, c2.samples, n) != 0 || d == kNotFound)
            continue;
        Unit u;
        double v = 0;
        delays[i].transform(d, tb, len, tu, u.text, &v);
        b.set(24 + i, v, u.text, 2);
    }
}

}  // namespace

void fillWavepnt(uint8_t *block, int channel, const MeasureInput &self, const MeasureInput *ch1,
                 const MeasureInput *ch2)
{
    std::memset(block, 0, 512);
    if (!self.samples || self.count <= 0)
        return;
    std::lock_guard lock(measureLock());
    Block b{block};
    channelItems(b, channel, self);
    if (ch1 && ch2 && ch1->count > 0 && ch2->count > 0)
        pairItems(b, *ch1, *ch2);
}

}  // namespace vsim
