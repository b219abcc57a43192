// The bitmap page's own BMP files: a reader that accepts uncompressed 1, 4, 8
// and 24-bit files and yields the page's 24-bit rows, and the headers its
// writer puts before them. Plain C++ without Qt, so the reader can be fuzzed
// on its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace bmp {

constexpr uint16_t kType = 0x4D42;  // "BM"
constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;
constexpr int kHeaderBytes = kFileHeaderBytes + kInfoHeaderBytes;
// Larger pictures are refused before anything is allocated.
constexpr int kMaxSide = 16384;

struct FileHeader {
    uint16_t bfType = 0;
    uint32_t bfSize = 0;
    uint16_t bfReserved1 = 0;
    uint16_t bfReserved2 = 0;
    uint32_t bfOffBits = 0;
};

struct InfoHeader {
    uint32_t biSize = 0;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

enum class Error {
    None,
    ShortFile,    // a header, the colour table or a row lies past the end
    NotBmp,       // no "BM", or an information header shorter than 40 bytes
    Compressed,   // any compression but none
    BitCount,     // not 1, 4, 8 or 24 bits per pixel
    BadSize,      // width or height not above 0
    TooLarge,     // a side above kMaxSide
    DataOverlap,  // the pixel data starts inside the headers or colour table
    ColourIndex,  // a pixel names an entry past the colour table
};

// Bytes of one held row: width x 3, padded to a multiple of 4 so that every
// row is a valid bitmap row for drawing and saving.
constexpr int64_t RowBytes(int64_t width) { return (width * 3 + 3) / 4 * 4; }

// A picture in the page's form: 24 bits, blue-green-red, rows in the order
// of the file (bottom row first), each RowBytes(width) long. The headers are
// those loaded, corrected to describe these rows.
struct Picture {
    FileHeader file;
    InfoHeader info;
    std::vector<uint8_t> bits;
};

// Reads a whole file image; out is left alone unless the result is None.
Error Decode(const uint8_t *data, size_t size, Picture &out);

// The two headers as the page writes them before its rows: bfSize and
// bfOffBits follow from the rows, the rest is as held.
std::array<uint8_t, kFileHeaderBytes> EncodeFileHeader(const FileHeader &header, size_t bitsSize);
std::array<uint8_t, kInfoHeaderBytes> EncodeInfoHeader(const InfoHeader &header);

}  // namespace bmp
