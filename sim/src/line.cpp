#include "line.h"

#include <algorithm>

#include "bytes.h"
#include "lineform.h"  // Tavserial's codec

namespace vsim {

std::vector<uint8_t> packLine(const std::vector<uint8_t> &frame, size_t announced)
{
    bool cut = announced > frame.size();
    if (!cut && !frame.empty() && frame.size() <= tavserial::kMaxFrame)
        return tavserial::pack(frame);
    size_t total = tavserial::kOverhead + (cut ? announced : frame.size());
    std::vector<uint8_t> out(tavserial::kHeaderBytes + frame.size() + (cut ? 0 : 4), 0);
    out[0] = tavserial::kSync0;
    out[1] = tavserial::kSync1;
    out[2] = tavserial::kVersion;
    putU32(&out[4], uint32_t(total));
    std::copy(frame.begin(), frame.end(), out.begin() + tavserial::kHeaderBytes);
    if (!cut)
        putU32(&out[out.size() - 4], tavserial::crc32(out.data(), out.size() - 4));
    return out;
}

}  // namespace vsim
