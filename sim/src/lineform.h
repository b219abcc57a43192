// The serial line form of a frame: sync A5 5A, version 1, 0, total length T
// (big-endian), the frame, CRC-32 of bytes 0..T-5 (big-endian).
#ifndef VSIM_LINEFORM_H
#define VSIM_LINEFORM_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vsim {

constexpr size_t kLineOverhead = 12;
constexpr size_t kLineMaxFrame = 25600;

// The line form of frame; announced > frame.size() gives a header that
// promises announced frame bytes and no CRC (a cut reply).
std::vector<uint8_t> packLine(const std::vector<uint8_t> &frame, size_t announced = 0);

// Collects line bytes and yields whole frames; damaged or oversize line forms
// are skipped up to the next sync.
class LineParser {
 public:
  void feed(const uint8_t *data, size_t length);
  std::optional<std::vector<uint8_t>> next();
  size_t rejected() const { return rejected_; }

 private:
  std::vector<uint8_t> buffer_;
  size_t rejected_ = 0;
};

}  // namespace vsim

#endif
