// The serial line form of one frame, shared by the host side (libtavserial)
// and the instrument side (the virtual instrument's pseudo-terminal).
//
//   0..1   sync 0xA5 0x5A
//   2      version 1
//   3      0
//   4..7   total length T = 12 + frame length, big-endian
//   8..    the frame (16 to 25600 bytes)
//   T-4..  CRC-32 (IEEE 802.3, zlib's crc32) of bytes 0..T-5, big-endian
//
// Use:
//   uint8_t line[tavserial::kMaxLine];
//   size_t n = tavserial::pack(frame, frameLength, line);      // 0 = refused
//
//   tavserial::LineParser parser;
//   while (have bytes) {
//     size_t used = parser.feed(data, count);
//     data += used; count -= used;
//     switch (parser.status()) {
//       case LineParser::Status::Frame:   use parser.frame(); break;
//       case LineParser::Status::BadCrc:  / BadLength: count a damaged form
//       case LineParser::Status::Pending: break;   // all bytes taken
//     }
//   }
//
// feed() stops right after the byte that completes a frame or a fault, so no
// byte of the next form is swallowed; the next feed() starts afresh. A reader
// that must not take bytes off the line beyond the current form can read at
// most wanted() bytes at a time.
#ifndef TAVSERIAL_LINEFORM_H
#define TAVSERIAL_LINEFORM_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tavserial {

inline constexpr uint8_t kSync0 = 0xA5;
inline constexpr uint8_t kSync1 = 0x5A;
inline constexpr uint8_t kVersion = 1;
inline constexpr size_t kHeaderBytes = 8;
inline constexpr size_t kCrcBytes = 4;
inline constexpr size_t kOverhead = kHeaderBytes + kCrcBytes;  // 12
// The smallest frame is a bare 16-byte instrument header.
inline constexpr size_t kMinFrame = 16;
inline constexpr size_t kMaxFrame = 25600;
inline constexpr size_t kMaxLine = kOverhead + kMaxFrame;

// CRC-32 as zlib computes it; pass the previous result as crc to continue over
// several pieces (crc32(b, crc32(a)) == crc32(a + b)).
uint32_t crc32(const uint8_t *data, size_t length, uint32_t crc = 0);

// Writes the line form of frame into out (length + 12 bytes) and returns its
// total length; 0 (nothing written) when the frame is empty or longer than
// kMaxFrame.
size_t pack(const uint8_t *frame, size_t length, uint8_t *out);
std::vector<uint8_t> pack(std::span<const uint8_t> frame);

// Incremental reader of line forms. Bytes before a sync are skipped (and
// counted); a sync followed by a wrong version byte is taken for garbage and
// the search goes on from the byte after it. A total length below 12 + 16 or
// above 12 + 25600 is refused: the announced bytes are dropped, so that the
// line stays in step, and BadLength is reported once they are gone (a reader
// that runs out of line first calls reset()).
class LineParser {
public:
    enum class Status {
        Pending,    // all bytes given were taken; nothing completed
        Frame,      // frame() holds a whole, checked frame
        BadCrc,     // a whole form arrived and its CRC did not match
        BadLength,  // a refused length, its announced bytes dropped
    };

    LineParser();

    // Takes bytes until one form completes (or a refused one has been dropped)
    // or the input runs out; returns how many it took.
    size_t feed(const uint8_t *data, size_t length);
    Status status() const { return status_; }
    // The unwrapped frame of the last Frame result (valid until the next feed).
    std::span<const uint8_t> frame() const;
    // Total length announced by the form in progress or just completed.
    uint32_t announced() const { return announced_; }

    // How many bytes the current step still needs (1 while searching for the
    // sync); reading no more than this never takes bytes of the next form.
    size_t wanted() const;
    // True once a sync has been seen and the form is not yet complete.
    bool inForm() const { return state_ != State::Hunt; }
    // True while the bytes of a refused length are being dropped.
    bool dropping() const { return state_ == State::Drop; }
    // Bytes skipped as garbage since construction or reset().
    size_t skipped() const { return skipped_; }

    // Forgets any form in progress, as after a silent line.
    void reset();

private:
    enum class State { Hunt, Sync1, Header, Body, Drop };

    void restartAfterFalseSync();
    bool step(uint8_t byte);  // true when a result is complete

    State state_ = State::Hunt;
    Status status_ = Status::Pending;
    std::vector<uint8_t> form_;  // the line form in progress, sync included
    uint32_t announced_ = 0;
    uint64_t dropLeft_ = 0;
    size_t skipped_ = 0;
};

}  // namespace tavserial

#endif
