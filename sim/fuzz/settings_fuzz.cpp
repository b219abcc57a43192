// Settings blocks sent to the virtual instrument. A block it accepts must
// read back the same after one more round, and the state it decodes must
// serve the replies (status, a record picked by the input, the screen)
// without fault.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "lineform.h"
#include "vsim/instrument.h"

namespace {

std::vector<uint8_t> read(uint8_t kind, uint8_t flag)
{
    std::vector<uint8_t> frame(20, 0);
    std::memcpy(frame.data(), "DSOPPV20", 8);
    frame[11] = 4;
    frame[13] = vsim::CmdRead;
    frame[16] = kind;
    frame[17] = flag;
    return frame;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    std::vector<uint8_t> block(vsim::kSettingsBytes, 0);
    std::memcpy(block.data(), data + 1, std::min(size - 1, block.size()));
    // Mostly a block with a good header and checksum, so the fields are reached.
    if (data[0] & 1) {
        std::memcpy(block.data(), "VSET\x00\x01\x00\x98", 8);
        const uint32_t crc = tavserial::crc32(block.data(), block.size() - 4);
        for (int i = 0; i < 4; ++i)
            block[block.size() - 4 + i] = uint8_t(crc >> (24 - 8 * i));
    }
    vsim::Instrument instrument(70);
    if (!instrument.decodeSettings(block.data(), block.size()))
        return 0;
    const std::vector<uint8_t> once = instrument.encodeSettings();
    vsim::Instrument again(70);
    if (!again.decodeSettings(once.data(), once.size()) || again.encodeSettings() != once)
        __builtin_trap();
    static constexpr uint8_t kKinds[] = {1, 2, 5, 6, 7, 8, 9, 10};
    for (uint8_t kind : {uint8_t(0), kKinds[(data[0] >> 3) % 8]}) {
        const std::vector<uint8_t> request = read(kind, data[0] & 2);
        instrument.handle(request.data(), request.size());
    }
    if (data[0] & 4)
        instrument.renderBitmap();
    return 0;
}
