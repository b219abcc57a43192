// Pieces of the instrument shared by its sources; not installed.
#ifndef VSIM_INTERNAL_H
#define VSIM_INTERNAL_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "vsim/instrument.h"

namespace vsim {

// Zero code of a channel from the offset the status reply carries.
inline int zeroCode(int offset) { return 229 - offset; }

// One acquisition of a channel: length samples, dt seconds apart, the first
// at t0; noise from seed; jitter shifts the whole record in time (untriggered).
std::vector<uint8_t> synthesize(const ChannelState &channel, int length, double dt, double t0, uint64_t seed);

// Seconds between samples as the link's transforms count them.
inline double sampleInterval(double timeBaseSeconds, int length)
{
    int per = length / 300;
    if (per < 1)
        per = 1;
    return timeBaseSeconds * 0.04 / per;
}

// What the measurement block is computed from.
struct MeasureInput {
    const uint8_t *samples = nullptr;
    int count = 0;
    int zero = 128;
    Scaled volts{};
    Scaled time{};
    int recordLength = 0;  // as given to the time transforms
};
// Fills the 512-byte block of channel (1..4); other is channel 2's record when
// channel 1's block is asked for and the other way round (null: none).
void fillWavepnt(uint8_t *block, int channel, const MeasureInput &self, const MeasureInput *ch1,
                 const MeasureInput *ch2);

const char *unitText(uint8_t index);

// Settings block codec.
std::vector<uint8_t> encodeState(const State &state, int productCode);
bool decodeState(const uint8_t *block, size_t length, State &state);

// 320 x 240, 24-bit BMP file image of the screen.
struct ScreenTrace {
    int channel;                   // 0..3
    std::vector<uint8_t> samples;  // codes, 0..255
};
std::vector<uint8_t> renderScreen(const State &state, const std::vector<ScreenTrace> &traces,
                                  const std::string &status);

uint64_t mixSeed(uint64_t a, uint64_t b);

}  // namespace vsim

#endif
