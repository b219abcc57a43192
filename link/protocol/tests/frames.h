// Byte-exact builders for the instrument's replies, so tests can craft good
// and malformed frames alike.
#ifndef TAVLINK_TESTS_FRAMES_H
#define TAVLINK_TESTS_FRAMES_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace linktest {

using Bytes = std::vector<uint8_t>;

void PutBE32(Bytes &b, size_t offset, uint32_t value);
void PutFloat(Bytes &b, size_t offset, float value);
uint32_t GetBE32(const Bytes &b, size_t offset);

// A whole frame: magic, big-endian N, direction, command, zero, payload.
Bytes Frame(uint8_t command, const Bytes &payload, uint8_t direction = 1, const std::string &magic = "DSOPPV20");

Bytes BindPayload(int8_t status, uint8_t code, const std::string &name = "", const std::string &field2 = "",
                  const std::string &text = "");

struct ChannelFields {
    bool on = false;
    float voltsPerDiv = 0;
    uint8_t unit = 0;
    int32_t offset = 0;
    int32_t second = 0;
};

struct StatusFields {
    uint8_t lamps[10] = {};
    ChannelFields channel[4];
    float timeBase = 0;
    uint8_t timeBaseUnit = 0;
    float horizontal = 0;
    uint8_t horizontalUnit = 0;
    uint8_t trigger = 0;
};

// Payload of a status reply in the four- or two-channel layout.
Bytes StatusPayload(const StatusFields &s, bool fourChannel);

// Payload of a wave reply: count L at 4, `samples` from 8, the whole payload
// `total` bytes long (at least 8 + samples), an optional 512-byte block.
Bytes WavePayload(uint8_t kind, int32_t count, const Bytes &samples, size_t total, size_t wavepntOffset = 0,
                  const Bytes &wavepnt = {});

Bytes SettingsPayload(const Bytes &settings);

// Chunk reply; the checksum defaults to the correct one.
Bytes ChunkPayload(uint32_t index, const Bytes &data, std::optional<uint32_t> checksum = {}, uint8_t flag1 = 0,
                   uint8_t flag2 = 0);

Bytes BeginPayload(uint8_t status, uint32_t total, int8_t result);

// n bytes counting up from seed, so misplaced bytes show.
Bytes Pattern(size_t n, uint8_t seed = 1);

}  // namespace linktest

#endif
