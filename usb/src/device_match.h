// Recognising the instrument among candidate devices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ferrule {

inline constexpr std::uint16_t kVendorId = 0xF4EC;
inline constexpr std::uint16_t kProductId = 0xEE38;
inline constexpr std::size_t kDeviceDescriptorSize = 18;

// A device descriptor names the instrument only when it is exactly 18 bytes
// with the vendor and product IDs (little-endian) at offsets 8 and 10.
bool isInstrumentDescriptor(const std::uint8_t *descriptor, std::size_t size);

struct CandidateProbe {
    // The candidate's device descriptor, or nothing when it cannot be read.
    std::function<std::optional<std::vector<std::uint8_t>>(std::size_t index)> describe;
    // Opens a matching candidate; false passes it over.
    std::function<bool(std::size_t index)> open;
};

// Index of the first of `count` candidates that matches and opens. Candidates
// that do not describe themselves, do not match or fail to open are skipped.
std::optional<std::size_t> findFirstInstrument(std::size_t count, const CandidateProbe &probe);

}  // namespace ferrule
