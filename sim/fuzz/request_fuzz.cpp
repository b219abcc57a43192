// The virtual instrument's side of every exchange: the input is a run of
// request frames (each one's length taken from its own header), some with a
// fault picked from the input, all on one instrument so that keys, settings
// and the bitmap transfer meet the requests after them.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "vsim/instrument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    vsim::Instrument instrument(data[0] & 0x7F, data[1]);
    size_t at = 2;
    while (at < size) {
        const uint8_t *request = data + at;
        size_t left = size - at;
        // A header that announces its payload bounds the frame; anything
        // else is handed over as it stands.
        size_t length = left;
        if (left >= vsim::kFrameHeader) {
            const uint32_t n =
                uint32_t(request[8]) << 24 | uint32_t(request[9]) << 16 | uint32_t(request[10]) << 8 | request[11];
            length = std::min<size_t>(left, vsim::kFrameHeader + std::min<uint32_t>(n, 30000));
        }
        if (request[0] == 'F' && left >= 4) {  // "F" kind arg command: a fault for what follows
            instrument.inject({vsim::Fault::Kind(request[1] % (vsim::Fault::WrongReadKind + 1)), request[3],
                               int(int8_t(request[2])) * 100, 1});
            at += 4;
            continue;
        }
        const vsim::Instrument::Reply reply = instrument.handle(request, length);
        if (!reply.drop && reply.truncatedFrom < 0 && reply.bytes.size() >= vsim::kFrameHeader) {
            const uint32_t n = uint32_t(reply.bytes[8]) << 24 | uint32_t(reply.bytes[9]) << 16 |
                               uint32_t(reply.bytes[10]) << 8 | reply.bytes[11];
            if (n + vsim::kFrameHeader != reply.bytes.size())
                __builtin_trap();
        }
        at += length;
    }
    return 0;
}
