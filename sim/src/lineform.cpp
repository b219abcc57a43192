#include "lineform.h"

#include <algorithm>

#include "bytes.h"
#include "crc32.h"

namespace vsim {

std::vector<uint8_t> packLine(const std::vector<uint8_t> &frame, size_t announced) {
  bool cut = announced > frame.size();
  size_t total = kLineOverhead + (cut ? announced : frame.size());
  std::vector<uint8_t> out{0xA5, 0x5A, 1, 0, 0, 0, 0, 0};
  putU32(&out[4], uint32_t(total));
  out.insert(out.end(), frame.begin(), frame.end());
  if (!cut) {
    uint8_t crc[4];
    putU32(crc, crc32(out.data(), out.size()));
    out.insert(out.end(), crc, crc + 4);
  }
  return out;
}

void LineParser::feed(const uint8_t *data, size_t length) {
  buffer_.insert(buffer_.end(), data, data + length);
}

std::optional<std::vector<uint8_t>> LineParser::next() {
  for (;;) {
    auto sync = std::find(buffer_.begin(), buffer_.end(), uint8_t(0xA5));
    if (sync != buffer_.begin()) {
      buffer_.erase(buffer_.begin(), sync);
      ++rejected_;
    }
    if (buffer_.size() < 8) return std::nullopt;
    uint32_t total = getU32(&buffer_[4]);
    bool header = buffer_[1] == 0x5A && buffer_[2] == 1 && buffer_[3] == 0 &&
                  total >= kLineOverhead + 16 && total <= kLineOverhead + kLineMaxFrame;
    if (!header) {
      buffer_.erase(buffer_.begin());
      ++rejected_;
      continue;
    }
    if (buffer_.size() < total) return std::nullopt;
    if (getU32(&buffer_[total - 4]) != crc32(buffer_.data(), total - 4)) {
      buffer_.erase(buffer_.begin());
      ++rejected_;
      continue;
    }
    std::vector<uint8_t> frame(buffer_.begin() + 8, buffer_.begin() + (total - 4));
    buffer_.erase(buffer_.begin(), buffer_.begin() + total);
    return frame;
  }
}

}  // namespace vsim
