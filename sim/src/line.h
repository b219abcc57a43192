// The instrument's side of the serial line form (the codec is Tavserial's).
#ifndef VSIM_LINE_H
#define VSIM_LINE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vsim {

// The line form of frame. A frame too long for the line is still wrapped
// whole, as a misbehaving instrument would send it; announced > frame.size()
// gives a header that promises announced frame bytes and no CRC (a cut reply).
std::vector<uint8_t> packLine(const std::vector<uint8_t> &frame, size_t announced = 0);

}  // namespace vsim

#endif
