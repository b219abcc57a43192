// The transfer announcement and the piece arithmetic shared by the host side
// and the virtual device, so both agree on every byte.
#pragma once

#include "ferrule_sim_wire.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

namespace ferrule {

inline constexpr std::size_t kCommandBlockSize = 16;
inline constexpr std::size_t kPacket = FERRULE_SIM_PACKET;  // command and write pipe granularity
inline constexpr std::size_t kPiece = FERRULE_SIM_PIECE;    // data pipe piece
inline constexpr std::uint32_t kMaxTransfer = 25600;
inline constexpr std::uint16_t kReadFlag = 0x8000;

static_assert(sizeof(FerruleCommandBlock) == kCommandBlockSize);

// 64-bit so that a huge caller count cannot wrap to a small rounded length.
constexpr std::uint64_t roundUp(std::uint64_t n, std::uint64_t step) { return (n + step - 1) / step * step; }

inline bool transferCountAllowed(std::uint64_t count) { return count >= 1 && count <= kMaxTransfer; }

struct CommandFields {
    std::uint16_t pipe = 0;
    std::uint16_t transferLength = 0;
    std::uint16_t count = 0;
    bool isRead() const { return (pipe & kReadFlag) != 0; }
};

inline void putLe16(std::uint8_t *p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline std::uint16_t getLe16(const std::uint8_t *p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// Numbers are little-endian on the wire whatever the host is.
inline std::array<std::uint8_t, kCommandBlockSize> encodeCommandBlock(const CommandFields &f)
{
    std::array<std::uint8_t, kCommandBlockSize> b{};
    std::memcpy(b.data(), "Comm", 4);
    putLe16(b.data() + 4, f.pipe);
    putLe16(b.data() + 6, f.transferLength);
    putLe16(b.data() + 8, f.count);
    return b;
}

inline CommandFields writeCommand(int pipe, std::uint64_t count)
{
    return {static_cast<std::uint16_t>(pipe), static_cast<std::uint16_t>(roundUp(count, kPacket)),
            static_cast<std::uint16_t>(count)};
}

inline CommandFields readCommand(int pipe, std::uint64_t count)
{
    return {static_cast<std::uint16_t>(pipe + kReadFlag), static_cast<std::uint16_t>(roundUp(count, kPiece)),
            static_cast<std::uint16_t>(count)};
}

// Only the tag and the zero tail make a block; the numbers are the receiver's to judge.
inline std::optional<CommandFields> decodeCommandBlock(const std::uint8_t *b, std::size_t n)
{
    if (n < kCommandBlockSize || std::memcmp(b, "Comm", 4) != 0)
        return std::nullopt;
    for (std::size_t i = 10; i < kCommandBlockSize; ++i)
        if (b[i] != 0)
            return std::nullopt;
    return CommandFields{getLe16(b + 4), getLe16(b + 6), getLe16(b + 8)};
}

}  // namespace ferrule
