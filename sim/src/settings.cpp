// The 2500-byte settings image: magic, version, the state's fields, CRC-32.
//
//   0  "VSET"          4  version (u16)     6  length of the fields (u16)
//   8  product code    9  time index        10 horizontal position (f64)
//   18 flags: running, single, math, ref, cursor   23 trigger source
//   24 four channels of 32 bytes each (see putChannel)
//   2496 CRC-32 of bytes 0..2495
// Everything else is zero. Numbers are big-endian.
#include <cmath>
#include <cstring>

#include "bytes.h"
#include "internal.h"
#include "lineform.h"  // Tavserial's CRC-32

namespace vsim {

namespace {

constexpr uint16_t kVersion = 1;
constexpr size_t kChannelAt = 24, kChannelBytes = 32;
constexpr size_t kFieldsEnd = kChannelAt + 4 * kChannelBytes;
constexpr size_t kCrcAt = kSettingsBytes - 4;

void putF64(uint8_t *p, double d)
{
    uint64_t v;
    std::memcpy(&v, &d, 8);
    putU32(p, uint32_t(v >> 32));
    putU32(p + 4, uint32_t(v));
}

double getF64(const uint8_t *p)
{
    uint64_t v = uint64_t(getU32(p)) << 32 | getU32(p + 4);
    double d;
    std::memcpy(&d, &v, 8);
    return d;
}

void putChannel(uint8_t *p, const ChannelState &c)
{
    p[0] = c.on;
    p[1] = uint8_t(c.voltsIndex);
    putI32(p + 2, c.offset);
    putI32(p + 6, c.triggerLevel);
    p[10] = uint8_t(c.signal.wave);
    putF32(p + 11, float(c.signal.frequency));
    putF32(p + 15, float(c.signal.amplitude));
    putF32(p + 19, float(c.signal.offset));
    putF32(p + 23, float(c.signal.duty));
    putF32(p + 27, float(c.signal.phase));
}

bool getChannel(const uint8_t *p, ChannelState &c)
{
    if (p[0] > 1 || p[1] >= kVoltsSteps || p[10] > uint8_t(Wave::Noise))
        return false;
    int32_t offset = getI32(p + 2), level = getI32(p + 6);
    if (offset < zeroCode(255) || offset > zeroCode(0) || level < -128 || level > 127)
        return false;
    float f[5];
    for (int i = 0; i < 5; ++i) {
        f[i] = getF32(p + 11 + 4 * i);
        if (!std::isfinite(f[i]))
            return false;
    }
    if (f[0] < 0 || f[1] < 0 || f[3] < 0 || f[3] > 1)
        return false;
    c.on = p[0];
    c.voltsIndex = p[1];
    c.offset = offset;
    c.triggerLevel = level;
    c.signal.wave = Wave(p[10]);
    c.signal.frequency = f[0];
    c.signal.amplitude = f[1];
    c.signal.offset = f[2];
    c.signal.duty = f[3];
    c.signal.phase = f[4];
    return true;
}

}  // namespace

std::vector<uint8_t> encodeState(const State &s, int productCode)
{
    std::vector<uint8_t> b(kSettingsBytes, 0);
    std::memcpy(b.data(), "VSET", 4);
    b[4] = kVersion >> 8;
    b[5] = kVersion & 0xFF;
    b[6] = uint8_t(kFieldsEnd >> 8);
    b[7] = uint8_t(kFieldsEnd);
    b[8] = uint8_t(productCode);
    b[9] = uint8_t(s.timeIndex);
    putF64(&b[10], s.horizontalPosition);
    b[18] = s.running;
    b[19] = s.single;
    b[20] = s.math;
    b[21] = s.ref;
    b[22] = s.cursor;
    b[23] = uint8_t(s.triggerSource);
    for (size_t i = 0; i < 4; ++i)
        putChannel(&b[kChannelAt + kChannelBytes * i], s.channels[i]);
    putU32(&b[kCrcAt], tavserial::crc32(b.data(), kCrcAt));
    return b;
}

bool decodeState(const uint8_t *b, size_t length, State &out)
{
    if (!b || length < kSettingsBytes)
        return false;
    if (std::memcmp(b, "VSET", 4) != 0)
        return false;
    if ((b[4] << 8 | b[5]) != kVersion || size_t(b[6] << 8 | b[7]) != kFieldsEnd)
        return false;
    if (getU32(b + kCrcAt) != tavserial::crc32(b, kCrcAt))
        return false;
    State s = out;
    if (b[9] >= kTimeSteps || b[23] > 3)
        return false;
    for (size_t i = 18; i <= 22; ++i)
        if (b[i] > 1)
            return false;
    double position = getF64(b + 10);
    if (!std::isfinite(position))
        return false;
    s.timeIndex = b[9];
    s.horizontalPosition = position;
    s.running = b[18];
    s.single = b[19];
    s.math = b[20];
    s.ref = b[21];
    s.cursor = b[22];
    s.triggerSource = b[23];
    for (size_t i = 0; i < 4; ++i)
        if (!getChannel(b + kChannelAt + kChannelBytes * i, s.channels[i]))
            return false;
    out = s;
    return true;
}

}  // namespace vsim
