// Big-endian fields of the instrument protocol.
#ifndef VSIM_BYTES_H
#define VSIM_BYTES_H

#include <cstdint>
#include <cstring>
#include <vector>

namespace vsim {

inline void putU32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
inline void putI32(uint8_t *p, int32_t v) { putU32(p, uint32_t(v)); }
inline void putF32(uint8_t *p, float f)
{
    uint32_t v;
    std::memcpy(&v, &f, 4);
    putU32(p, v);
}
inline uint32_t getU32(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline int32_t getI32(const uint8_t *p) { return int32_t(getU32(p)); }
inline float getF32(const uint8_t *p)
{
    uint32_t v = getU32(p);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

}  // namespace vsim

#endif
