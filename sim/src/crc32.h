// CRC-32 (IEEE 802.3, reflected, as zlib computes it).
#ifndef VSIM_CRC32_H
#define VSIM_CRC32_H

#include <cstddef>
#include <cstdint>

namespace vsim {

uint32_t crc32(const uint8_t *data, size_t length, uint32_t crc = 0);

}  // namespace vsim

#endif
