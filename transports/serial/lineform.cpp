#include "lineform.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tavserial {
namespace {

constexpr std::array<uint32_t, 256> makeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

void putBe32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

uint32_t getBe32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

}  // namespace

uint32_t crc32(const uint8_t *data, size_t length, uint32_t crc)
{
    crc = ~crc;
    for (size_t i = 0; i < length; ++i)
        crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

size_t pack(const uint8_t *frame, size_t length, uint8_t *out)
{
    if (frame == nullptr || out == nullptr || length == 0 || length > kMaxFrame)
        return 0;
    const size_t total = length + kOverhead;
    // The frame may already sit inside out (even at its start): move it first.
    std::memmove(out + kHeaderBytes, frame, length);
    out[0] = kSync0;
    out[1] = kSync1;
    out[2] = kVersion;
    out[3] = 0;
    putBe32(out + 4, uint32_t(total));
    putBe32(out + total - kCrcBytes, crc32(out, total - kCrcBytes));
    return total;
}

std::vector<uint8_t> pack(std::span<const uint8_t> frame)
{
    std::vector<uint8_t> out(frame.size() + kOverhead);
    out.resize(pack(frame.data(), frame.size(), out.data()));
    return out;
}

LineParser::LineParser() { form_.reserve(kMaxLine); }

void LineParser::reset()
{
    state_ = State::Hunt;
    status_ = Status::Pending;
    form_.clear();
    announced_ = 0;
    dropLeft_ = 0;
    skipped_ = 0;
}

std::span<const uint8_t> LineParser::frame() const
{
    if (status_ != Status::Frame)
        return {};
    return {form_.data() + kHeaderBytes, form_.size() - kOverhead};
}

size_t LineParser::wanted() const
{
    switch (state_) {
    case State::Hunt:
    case State::Sync1: return 1;
    case State::Header: return kHeaderBytes - form_.size();
    case State::Body: return announced_ - form_.size();
    case State::Drop: return size_t(std::min<uint64_t>(dropLeft_, SIZE_MAX));
    }
    return 1;
}

void LineParser::restartAfterFalseSync()
{
    // A5 5A turned up inside other bytes; look for a sync among the bytes
    // already taken after it. Six bytes cannot complete a header, so this
    // never recurses.
    const std::vector<uint8_t> rest(form_.begin() + 2, form_.end());
    skipped_ += 2;
    state_ = State::Hunt;
    form_.clear();
    for (uint8_t b : rest)
        step(b);
}

bool LineParser::step(uint8_t byte)
{
    switch (state_) {
    case State::Hunt:
        if (byte == kSync0) {
            form_.assign(1, byte);
            state_ = State::Sync1;
        } else {
            ++skipped_;
        }
        return false;
    case State::Sync1:
        if (byte == kSync1) {
            form_.push_back(byte);
            state_ = State::Header;
        } else if (byte == kSync0) {
            ++skipped_;  // the earlier A5 was garbage; this one may start a form
        } else {
            skipped_ += 2;
            form_.clear();
            state_ = State::Hunt;
        }
        return false;
    case State::Header:
        form_.push_back(byte);
        if (form_.size() < kHeaderBytes)
            return false;
        if (form_[2] != kVersion || form_[3] != 0) {
            restartAfterFalseSync();
            return false;
        }
        announced_ = getBe32(form_.data() + 4);
        if (announced_ < kOverhead + kMinFrame || announced_ > kMaxLine) {
            dropLeft_ = announced_ > kHeaderBytes ? announced_ - kHeaderBytes : 0;
            state_ = State::Drop;
            if (dropLeft_ == 0) {
                state_ = State::Hunt;
                status_ = Status::BadLength;
                return true;
            }
            return false;
        }
        state_ = State::Body;
        return false;
    case State::Body:
    case State::Drop: break;  // taken in bulk by feed()
    }
    return false;
}

size_t LineParser::feed(const uint8_t *data, size_t length)
{
    status_ = Status::Pending;
    size_t used = 0;
    while (used < length) {
        if (state_ == State::Drop) {
            const size_t n = size_t(std::min<uint64_t>(dropLeft_, length - used));
            dropLeft_ -= n;
            used += n;
            if (dropLeft_ == 0) {
                state_ = State::Hunt;
                form_.clear();
                status_ = Status::BadLength;
                return used;
            }
            continue;
        }
        if (state_ == State::Body) {
            const size_t n = std::min(size_t(announced_) - form_.size(), length - used);
            form_.insert(form_.end(), data + used, data + used + n);
            used += n;
            if (form_.size() == announced_) {
                const size_t crcAt = announced_ - kCrcBytes;
                const bool good = getBe32(form_.data() + crcAt) == crc32(form_.data(), crcAt);
                state_ = State::Hunt;
                status_ = good ? Status::Frame : Status::BadCrc;
                return used;
            }
            continue;
        }
        if (step(data[used++]))
            return used;
    }
    return used;
}

}  // namespace tavserial
