#include <cmath>
#include <random>

#include "internal.h"

namespace vsim {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Value of the probe's signal in volts at time t.
double level(const Signal &s, double t, std::mt19937_64 &rng)
{
    if (s.wave == Wave::Noise) {
        std::normal_distribution<double> n(0.0, s.amplitude / 3.0);
        return s.offset + n(rng);
    }
    double cycles = t * s.frequency + s.phase / 360.0;
    double x = cycles - std::floor(cycles);  // 0..1 within the period
    switch (s.wave) {
    case Wave::Sine: return s.offset + s.amplitude * std::sin(2 * kPi * x);
    case Wave::Square: return s.offset + (x < 0.5 ? s.amplitude : -s.amplitude);
    case Wave::Triangle: return s.offset + s.amplitude * (x < 0.5 ? 4 * x - 1 : 3 - 4 * x);
    case Wave::Pulse: return s.offset + (x < s.duty ? s.amplitude : 0.0);
    case Wave::Noise: break;
    }
    return s.offset;
}

}  // namespace

std::vector<uint8_t> synthesize(const ChannelState &channel, int length, double dt, double t0, uint64_t seed)
{
    std::vector<uint8_t> out(size_t(length > 0 ? length : 0));
    std::mt19937_64 rng(seed);
    // A little front-end noise, about half a code.
    std::normal_distribution<double> noise(0.0, 0.5);
    double codesPerVolt = 1.0 / (voltsPerDivVolts(channel.voltsIndex) * 0.04);
    int zero = zeroCode(channel.offset);
    for (size_t i = 0; i < out.size(); ++i) {
        double v = level(channel.signal, t0 + double(i) * dt, rng);
        double code = zero + v * codesPerVolt + noise(rng);
        long c = std::lround(code);
        out[i] = uint8_t(c < 0 ? 0 : c > 255 ? 255 : c);
    }
    return out;
}

}  // namespace vsim
