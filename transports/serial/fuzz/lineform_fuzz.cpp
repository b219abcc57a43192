// The serial line form both ways: arbitrary line bytes through the parser in
// pieces of varying size, and the input taken as a frame, packed and parsed
// back whole.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "lineform.h"

using tavserial::LineParser;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LineParser parser;
    for (size_t at = 0, step = 0; at < size; ++step) {
        // Piece sizes from the bytes themselves, as a line delivers them.
        const size_t piece = std::min<size_t>(1 + data[step % size] % 97, size - at);
        const size_t used = parser.feed(data + at, piece);
        if (used == 0 || used > piece || parser.wanted() == 0)
            __builtin_trap();
        at += used;
        if (parser.status() == LineParser::Status::Frame) {
            const auto frame = parser.frame();
            if (frame.size() < tavserial::kMinFrame || frame.size() > tavserial::kMaxFrame ||
                frame.size() + tavserial::kOverhead != parser.announced())
                __builtin_trap();
        } else if (parser.status() == LineParser::Status::Pending && used != piece) {
            __builtin_trap();  // bytes left over without a result
        }
    }

    const std::vector<uint8_t> line = tavserial::pack(std::span<const uint8_t>(data, size));
    if (size == 0 || size > tavserial::kMaxFrame) {
        if (!line.empty())
            __builtin_trap();
        return 0;
    }
    if (line.size() != size + tavserial::kOverhead)
        __builtin_trap();
    LineParser back;
    back.feed(line.data(), line.size());
    const bool whole = size >= tavserial::kMinFrame;
    if (whole != (back.status() == LineParser::Status::Frame))
        __builtin_trap();
    if (whole && (back.frame().size() != size || std::memcmp(back.frame().data(), data, size) != 0))
        __builtin_trap();
    return 0;
}
