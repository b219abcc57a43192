#include "frames.h"

#include <cstring>

namespace linktest {

void PutBE32(Bytes &b, size_t offset, uint32_t value)
{
    b.at(offset) = uint8_t(value >> 24);
    b.at(offset + 1) = uint8_t(value >> 16);
    b.at(offset + 2) = uint8_t(value >> 8);
    b.at(offset + 3) = uint8_t(value);
}

void PutFloat(Bytes &b, size_t offset, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutBE32(b, offset, bits);
}

uint32_t GetBE32(const Bytes &b, size_t offset)
{
    return (uint32_t(b.at(offset)) << 24) | (uint32_t(b.at(offset + 1)) << 16) | (uint32_t(b.at(offset + 2)) << 8) |
           uint32_t(b.at(offset + 3));
}

Bytes Frame(uint8_t command, const Bytes &payload, uint8_t direction, const std::string &magic)
{
    Bytes f(16 + payload.size(), 0);
    std::memcpy(f.data(), magic.data(), std::min<size_t>(8, magic.size()));
    PutBE32(f, 8, uint32_t(payload.size()));
    f[12] = direction;
    f[13] = command;
    std::copy(payload.begin(), payload.end(), f.begin() + 16);
    return f;
}

Bytes BindPayload(int8_t status, uint8_t code, const std::string &name, const std::string &field2,
                  const std::string &text)
{
    Bytes p(100, 0);
    p[0] = uint8_t(status);
    p[1] = code;
    std::memcpy(p.data() + 27, name.data(), std::min<size_t>(20, name.size()));
    std::memcpy(p.data() + 47, field2.data(), std::min<size_t>(10, field2.size()));
    std::memcpy(p.data() + 77, text.data(), std::min<size_t>(16, text.size()));
    return p;
}

Bytes StatusPayload(const StatusFields &s, bool fourChannel)
{
    Bytes p(fourChannel ? 120 : 72, 0);
    const size_t base = fourChannel ? 16 : 12;
    const int channels = fourChannel ? 4 : 2;
    if (fourChannel) {
        std::memcpy(p.data() + 4, s.lamps, 10);
    } else {
        std::memcpy(p.data() + 4, s.lamps, 5);
        std::memcpy(p.data() + 9, s.lamps + 7, 3);
    }
    for (int n = 0; n < channels; ++n) {
        const size_t c = base + 20 * n;
        p[c] = s.channel[n].on ? 1 : 0;
        PutFloat(p, c + 4, s.channel[n].voltsPerDiv);
        p[c + 8] = s.channel[n].unit;
        PutBE32(p, c + 12, uint32_t(s.channel[n].offset));
        PutBE32(p, c + 16, uint32_t(s.channel[n].second));
    }
    const size_t tb = fourChannel ? 96 : 52;
    PutFloat(p, tb, s.timeBase);
    p[tb + 4] = s.timeBaseUnit;
    PutFloat(p, tb + 8, s.horizontal);
    p[tb + 12] = s.horizontalUnit;
    p[tb + 16] = s.trigger;
    return p;
}

Bytes WavePayload(uint8_t kind, int32_t count, const Bytes &samples, size_t total, size_t wavepntOffset,
                  const Bytes &wavepnt)
{
    Bytes p(std::max(total, 8 + samples.size()), 0);
    p[1] = kind;
    PutBE32(p, 4, uint32_t(count));
    std::copy(samples.begin(), samples.end(), p.begin() + 8);
    if (!wavepnt.empty()) {
        if (p.size() < wavepntOffset + wavepnt.size())
            p.resize(wavepntOffset + wavepnt.size());
        std::copy(wavepnt.begin(), wavepnt.end(), p.begin() + long(wavepntOffset));
    }
    return p;
}

Bytes SettingsPayload(const Bytes &settings)
{
    Bytes p(4 + settings.size(), 0);
    p[1] = 4;
    std::copy(settings.begin(), settings.end(), p.begin() + 4);
    return p;
}

Bytes ChunkPayload(uint32_t index, const Bytes &data, std::optional<uint32_t> checksum, uint8_t flag1, uint8_t flag2)
{
    Bytes p(24014, 0);
    PutBE32(p, 0, index);
    PutBE32(p, 4, uint32_t(data.size()));
    uint32_t sum = 0;
    for (uint8_t b : data)
        sum += b;
    PutBE32(p, 8, checksum.value_or(0u - sum));
    std::copy(data.begin(), data.end(), p.begin() + 12);
    p[24012] = flag1;
    p[24013] = flag2;
    return p;
}

Bytes BeginPayload(uint8_t status, uint32_t total, int8_t result)
{
    Bytes p(12, 0);
    p[0] = status;
    PutBE32(p, 4, total);
    p[8] = uint8_t(result);
    return p;
}

Bytes Pattern(size_t n, uint8_t seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t(seed + i * 7 + (i >> 8));
    return b;
}

}  // namespace linktest
