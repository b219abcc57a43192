// Feeds arbitrary records and arguments to every measurement and transform
// export. Each record sits in a heap buffer of exactly its size, so any read
// past its end is caught.
#include <cstdint>
#include <cstring>
#include <memory>

#include "measure_record.h"

namespace {

struct Input {
    const uint8_t *p;
    size_t left;
    template <typename T> T take()
    {
        T v{};
        const size_t n = left < sizeof(T) ? left : sizeof(T);
        std::memcpy(&v, p, n);
        p += n;
        left -= n;
        return v;
    }
};

std::unique_ptr<uint8_t[]> exact(const uint8_t *from, size_t n)
{
    std::unique_ptr<uint8_t[]> b(new uint8_t[n ? n : 1]);
    if (n)
        std::memcpy(b.get(), from, n);
    return b;
}

void channelMeasures(int ch, const uint8_t *s, int count, uint8_t zero)
{
    uint16_t a, b, c, d;
    measure_basic(ch, s, count, &a, &b);
    measure_get_vtop(ch, s, count, &a);
    measure_get_vbase(ch, s, count, &a);
    measure_get_vamp(ch, s, count, &a, &b, &c, &d);
    measure_get_prid(ch, s, count, &a);
    measure_get_rise_and_fall_time(ch, s, count, &a, &b);
    measure_get_Pos_and_Neg_width(ch, s, count, &a, &b);
    measure_get_burst_width(ch, s, count, &a);
    measure_get_c_avg(ch, s, count, &a);
    measure_get_Vmean(ch, s, count, &a);
    measure_get_vrms(ch, s, count, zero, &a);
    measure_get_c_rms(ch, s, count, zero, &a);
    measure_get_ROVShoot(ch, s, count, &a);
    measure_get_FOVShoot(ch, s, count, &a);
    measure_get_RPREShoot(ch, s, count, &a);
    measure_get_FPREShoot(ch, s, count, &a);
}

void pairMeasures(const uint8_t *x, const uint8_t *y, int count, int p1, int p2)
{
    int v;
    for (auto fn : {measure_get_frr, measure_get_frf, measure_get_ffr, measure_get_fff, measure_get_lrr,
                    measure_get_lrf, measure_get_lfr, measure_get_lff})
        fn(&v, x, y, count);
    measure_get_phase(&v, x, y, p1, p2, count);
}

void transforms(Input &in)
{
    const int code = in.take<int32_t>();
    const int other = in.take<int32_t>();
    const int length = in.take<int32_t>();
    const double zero = in.take<double>();
    const double vpd = in.take<double>();
    const double tb = in.take<double>();
    // Unit texts as raw 5-byte fields, terminated or not.
    std::unique_ptr<char[]> unit(new char[5]);
    for (int i = 0; i < 5; ++i)
        unit[i] = static_cast<char>(in.take<uint8_t>());
    std::unique_ptr<char[]> o1(new char[5]), o2(new char[5]);
    double a = 0, b = 0;
    transform_basic(1, code, other, zero, vpd, unit.get(), o1.get(), o2.get(), &a, &b);
    transform_vpp(0, 0, 0, 0, unit.get(), o1.get(), &a);
    transform_vtop(1, code, zero, vpd, unit.get(), o1.get(), &a);
    transform_vbase(1, code, zero, vpd, unit.get(), o1.get(), &a);
    transform_vamp(code, vpd, unit.get(), o1.get(), &a);
    transform_Vmean(code, zero, vpd, unit.get(), o1.get(), &a);
    transform_c_ave(code, zero, vpd, unit.get(), o1.get(), &a);
    transform_vrms(code, 0, 0, vpd, unit.get(), o1.get(), &a);
    transform_c_rms(code, 0, 0, vpd, unit.get(), o1.get(), &a);
    transform_prid(1, code, tb, length, unit.get(), o1.get(), &a);
    transform_Freq(tb, unit.get(), o1.get(), &a);
    transform_rise_fall_time(1, code, other, unit.get(), o1.get(), o2.get(), tb, &a, length, &b);
    transform_Pos_Neg_width(code, other, tb, length, unit.get(), o1.get(), &a, &b);
    transform_Pos_Neg_Dut(code, other, length, &a, &b);
    transform_burst_width(code, tb, length, unit.get(), o1.get(), &a);
    transform_ROVShoot(code, other, &a);
    transform_FOVShoot(code, other, &a);
    transform_RPREShoot(code, other, &a);
    transform_FPREShoot(code, other, &a);
    for (auto fn : {transform_frr, transform_frf, transform_ffr, transform_fff, transform_lrr, transform_lrf,
                    transform_lfr, transform_lff})
        fn(code, tb, length, unit.get(), o1.get(), &a);
    transform_phase(code, other, &a);
    // In and out in one field.
    transform_vamp(code, vpd, o1.get(), o1.get(), &a);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{data, size};
    const uint8_t mode = in.take<uint8_t>();
    const uint8_t zero = in.take<uint8_t>();
    const int p1 = in.take<int16_t>();
    const int p2 = in.take<int16_t>();
    // The channel number is anything at all, usually a real one.
    const int ch = (mode & 0x80) ? ((mode & 0x10) ? mode : -(mode & 0x0F)) : 1 + (mode & 3);
    if (mode & 0x40)
        TavlinkMeasureReset();

    const size_t n = in.left;
    auto record = exact(in.p, n);
    // A count below the buffer is fine; never above it.
    const int count = (mode & 0x20) && n > 0 ? static_cast<int>(n - (zero % n)) : static_cast<int>(n);
    channelMeasures(ch, n ? record.get() : nullptr, count, zero);

    const size_t half = n / 2;
    auto x = exact(in.p, half);
    auto y = exact(in.p + half, half);
    pairMeasures(half ? x.get() : nullptr, half ? y.get() : nullptr, static_cast<int>(half), p1, p2);

    transforms(in);
    return 0;
}
