#include "device_match.h"

#include "command_block.h"

namespace ferrule {

bool isInstrumentDescriptor(const std::uint8_t *descriptor, std::size_t size)
{
    if (descriptor == nullptr || size != kDeviceDescriptorSize)
        return false;
    return getLe16(descriptor + 8) == kVendorId && getLe16(descriptor + 10) == kProductId;
}

std::optional<std::size_t> findFirstInstrument(std::size_t count, const CandidateProbe &probe)
{
    for (std::size_t i = 0; i < count; ++i) {
        auto descriptor = probe.describe(i);
        if (!descriptor || !isInstrumentDescriptor(descriptor->data(), descriptor->size()))
            continue;
        if (probe.open(i))
            return i;
    }
    return std::nullopt;
}

}  // namespace ferrule
