// Time per sample of each measurement export, and of the 32 values a
// measurement page shows for one channel (with their transforms), on a
// 24000-sample record. Every call gets another record than the one before,
// as a live signal gives; the rows named cache_hit repeat one record.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "tavlink.h"

namespace {

constexpr int kCount = TAVLINK_RECORD_BYTES;

// A noisy square with some ringing: every search has real work to do.
std::vector<uint8_t> makeRecord(int shift)
{
    std::vector<uint8_t> r(kCount);
    std::mt19937 rng(7 + shift);
    std::normal_distribution<double> noise(0.0, 2.0);
    for (int i = 0; i < kCount; ++i) {
        const int p = (i + shift) % 1200;
        double v = p < 600 ? 190 : 60;
        if (p < 30)
            v += 15 * std::exp(-p / 8.0);
        v += noise(rng);
        r[i] = static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, v))));
    }
    return r;
}

// Records of one signal at other moments: each misses the pass cache of the one before.
constexpr int kRing = 4;
const std::vector<uint8_t> &recordAt(int k)
{
    static const std::vector<uint8_t> ring[kRing] = {makeRecord(0), makeRecord(150), makeRecord(300), makeRecord(450)};
    return ring[k % kRing];
}
const std::vector<uint8_t> &first() { return recordAt(0); }
const std::vector<uint8_t> &second() { return recordAt(1); }

template <typename Fn> void perSample(benchmark::State &state, Fn fn)
{
    int k = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(fn(recordAt(k++).data()));
    state.SetItemsProcessed(state.iterations() * kCount);
}

#define CHANNEL_BENCH(name, ...)                                                                                       \
    void BM_##name(benchmark::State &state)                                                                            \
    {                                                                                                                  \
        uint16_t a, b, c, d;                                                                                           \
        (void)b, (void)c, (void)d;                                                                                     \
        perSample(state, [&](const uint8_t *s) { return measure_##name(1, s, kCount, __VA_ARGS__); });                 \
    }                                                                                                                  \
    BENCHMARK(BM_##name)

CHANNEL_BENCH(basic, &a, &b);
CHANNEL_BENCH(get_vtop, &a);
CHANNEL_BENCH(get_vbase, &a);
CHANNEL_BENCH(get_vamp, &a, &b, &c, &d);
CHANNEL_BENCH(get_prid, &a);
CHANNEL_BENCH(get_rise_and_fall_time, &a, &b);
CHANNEL_BENCH(get_Pos_and_Neg_width, &a, &b);
CHANNEL_BENCH(get_burst_width, &a);
CHANNEL_BENCH(get_c_avg, &a);
CHANNEL_BENCH(get_Vmean, &a);
CHANNEL_BENCH(get_vrms, 128, &a);
CHANNEL_BENCH(get_c_rms, 128, &a);
CHANNEL_BENCH(get_ROVShoot, &a);
CHANNEL_BENCH(get_FOVShoot, &a);
CHANNEL_BENCH(get_RPREShoot, &a);
CHANNEL_BENCH(get_FPREShoot, &a);

// The same record every call: what a second look at an unchanged record costs.
void BM_basic_cache_hit(benchmark::State &state)
{
    const uint8_t *s = first().data();
    uint16_t a, b;
    for (auto _ : state)
        benchmark::DoNotOptimize(measure_basic(1, s, kCount, &a, &b));
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_basic_cache_hit);

// Channel 2 is the record after channel 1's, fresh on both sides.
void BM_delay_frr(benchmark::State &state)
{
    int v, k = 0;
    perSample(state, [&](const uint8_t *s) { return measure_get_frr(&v, s, recordAt(++k).data(), kCount); });
}
BENCHMARK(BM_delay_frr);

void BM_phase(benchmark::State &state)
{
    int v, k = 0;
    perSample(state,
              [&](const uint8_t *s) { return measure_get_phase(&v, s, recordAt(++k).data(), 1200, 1200, kCount); });
}
BENCHMARK(BM_phase);

// The 32 items of one channel's measurement page, measured and transformed.
// With `alternate` each block gets a record other than the last one, as a
// refresh with new samples does.
void wholeBlock(benchmark::State &state, bool alternate)
{
    const double vpd = 0.5, zero = 128, tb = 1e-3;
    int k = 0;
    for (auto _ : state) {
        const bool swap = alternate && (k ^= 1);
        const uint8_t *s = swap ? second().data() : first().data();
        const uint8_t *t = swap ? first().data() : second().data();
        uint16_t mx, mn, top, base, amp, mid, l90, l10, mean, cmean, rms, crms, period;
        uint16_t fall, rise, pos, neg, burst, rov, fov, rpre, fpre;
        char u1[5], u2[5];
        double v1, v2;
        measure_basic(1, s, kCount, &mx, &mn);
        transform_basic(1, mx, mn, zero, vpd, "V", u1, u2, &v1, &v2);
        transform_vpp(0, 0, 0, 0, "V", u1, &v1);
        measure_get_vamp(1, s, kCount, &amp, &mid, &l90, &l10);
        transform_vamp(amp, vpd, "V", u1, &v1);
        measure_get_vtop(1, s, kCount, &top);
        transform_vtop(1, top, zero, vpd, "V", u1, &v1);
        measure_get_vbase(1, s, kCount, &base);
        transform_vbase(1, base, zero, vpd, "V", u1, &v1);
        measure_get_Vmean(1, s, kCount, &mean);
        transform_Vmean(mean, zero, vpd, "V", u1, &v1);
        measure_get_c_avg(1, s, kCount, &cmean);
        transform_c_ave(cmean, zero, vpd, "V", u1, &v1);
        measure_get_vrms(1, s, kCount, 128, &rms);
        transform_vrms(rms, 0, 0, vpd, "V", u1, &v1);
        measure_get_c_rms(1, s, kCount, 128, &crms);
        transform_c_rms(crms, 0, 0, vpd, "V", u1, &v1);
        measure_get_rise_and_fall_time(1, s, kCount, &fall, &rise);
        transform_rise_fall_time(1, fall, rise, "s", u1, u2, tb, &v1, kCount, &v2);
        measure_get_FOVShoot(1, s, kCount, &fov);
        transform_FOVShoot(fov, amp, &v1);
        measure_get_FPREShoot(1, s, kCount, &fpre);
        transform_FPREShoot(fpre, amp, &v1);
        measure_get_ROVShoot(1, s, kCount, &rov);
        transform_ROVShoot(rov, amp, &v1);
        measure_get_RPREShoot(1, s, kCount, &rpre);
        transform_RPREShoot(rpre, amp, &v1);
        measure_get_prid(1, s, kCount, &period);
        transform_prid(1, period, tb, kCount, "s", u1, &v1);
        transform_Freq(v1, u1, u2, &v2);
        measure_get_Pos_and_Neg_width(1, s, kCount, &pos, &neg);
        transform_Pos_Neg_width(pos, neg, tb, kCount, "s", u1, &v1, &v2);
        measure_get_burst_width(1, s, kCount, &burst);
        transform_burst_width(burst, tb, kCount, "s", u1, &v1);
        transform_Pos_Neg_Dut(pos, neg, period, &v1, &v2);
        int d;
        measure_get_phase(&d, s, t, period, period, kCount);
        transform_phase(d, period, &v1);
        using Delay = int (*)(int *, const uint8_t *, const uint8_t *, int);
        using DelayT = void (*)(int, double, int, const char *, char *, double *);
        static const Delay delays[] = {measure_get_frr, measure_get_frf, measure_get_ffr, measure_get_fff,
                                       measure_get_lrr, measure_get_lrf, measure_get_lfr, measure_get_lff};
        static const DelayT delayT[] = {transform_frr, transform_frf, transform_ffr, transform_fff,
                                        transform_lrr, transform_lrf, transform_lfr, transform_lff};
        for (int k = 0; k < 8; ++k) {
            delays[k](&d, s, t, kCount);
            delayT[k](d, tb, kCount, "s", u1, &v1);
        }
        benchmark::DoNotOptimize(v1);
        benchmark::DoNotOptimize(v2);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
void BM_whole_block_cache_hit(benchmark::State &state) { wholeBlock(state, false); }
void BM_whole_block_new_records(benchmark::State &state) { wholeBlock(state, true); }
BENCHMARK(BM_whole_block_cache_hit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_whole_block_new_records)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
