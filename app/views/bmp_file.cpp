#include "bmp_file.h"

#include <algorithm>
#include <cstring>

namespace bmp {

namespace {

uint16_t Le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Put16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void Put32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

struct Rgb {
    uint8_t b, g, r;
};

}  // namespace

Error Decode(const uint8_t *data, size_t size, Picture &out)
{
    if (size < size_t(kFileHeaderBytes))
        return Error::ShortFile;
    FileHeader file;
    file.bfType = Le16(data);
    file.bfSize = Le32(data + 2);
    file.bfReserved1 = Le16(data + 6);
    file.bfReserved2 = Le16(data + 8);
    file.bfOffBits = Le32(data + 10);
    if (file.bfType != kType)
        return Error::NotBmp;
    if (size < size_t(kHeaderBytes))
        return Error::ShortFile;

    const uint8_t *h = data + kFileHeaderBytes;
    InfoHeader info;
    info.biSize = Le32(h);
    info.biWidth = int32_t(Le32(h + 4));
    info.biHeight = int32_t(Le32(h + 8));
    info.biPlanes = Le16(h + 12);
    info.biBitCount = Le16(h + 14);
    info.biCompression = Le32(h + 16);
    info.biSizeImage = Le32(h + 20);
    info.biXPelsPerMeter = int32_t(Le32(h + 24));
    info.biYPelsPerMeter = int32_t(Le32(h + 28));
    info.biClrUsed = Le32(h + 32);
    info.biClrImportant = Le32(h + 36);
    // A shorter header is another format whose fields lie elsewhere.
    if (info.biSize < uint32_t(kInfoHeaderBytes))
        return Error::NotBmp;
    if (info.biCompression != 0)
        return Error::Compressed;
    const int bits = info.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return Error::BitCount;
    if (info.biWidth <= 0 || info.biHeight <= 0)
        return Error::BadSize;
    if (info.biWidth > kMaxSide || info.biHeight > kMaxSide)
        return Error::TooLarge;
    const int64_t width = info.biWidth, height = info.biHeight;

    // The colour table follows the information header, whose later versions
    // are longer than 40 bytes.
    uint64_t position = uint64_t(kFileHeaderBytes) + info.biSize;
    std::array<Rgb, 256> table{};
    uint64_t entries = 0;
    if (bits <= 8) {
        entries = info.biClrUsed != 0 ? info.biClrUsed : 1u << bits;
        if (position + 4 * entries > size)
            return Error::ShortFile;
        const uint64_t kept = std::min<uint64_t>(entries, table.size());
        for (uint64_t i = 0; i < kept; ++i) {
            const uint8_t *e = data + position + 4 * i;
            table[i] = {e[0], e[1], e[2]};
        }
        position += 4 * entries;
    }
    if (file.bfOffBits < position)
        return Error::DataOverlap;
    position = file.bfOffBits;

    // Rows of the file are padded to 4 bytes; the last one may lack its padding.
    const uint64_t fileRow = (uint64_t(width) * bits + 31) / 32 * 4;
    const uint64_t lastRow = (uint64_t(width) * bits + 7) / 8;
    if (position + fileRow * uint64_t(height - 1) + lastRow > size)
        return Error::ShortFile;

    const int64_t row = RowBytes(width);
    std::vector<uint8_t> pixels(size_t(row * height), 0);
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t *src = data + position + fileRow * uint64_t(y);
        uint8_t *dst = pixels.data() + row * y;
        if (bits == 24) {
            std::memcpy(dst, src, size_t(width * 3));
            continue;
        }
        const int perByte = 8 / bits, mask = (1 << bits) - 1;
        for (int64_t x = 0; x < width; ++x) {
            // The leftmost pixel sits in the most significant bits.
            const int shift = bits * (perByte - 1 - int(x % perByte));
            const unsigned index = unsigned(src[x / perByte] >> shift) & unsigned(mask);
            if (index >= entries)
                return Error::ColourIndex;
            const Rgb &c = table[index];
            dst[3 * x] = c.b;
            dst[3 * x + 1] = c.g;
            dst[3 * x + 2] = c.r;
        }
    }

    // What the held rows are now: 24 bits behind a 40-byte header, no table.
    info.biSize = kInfoHeaderBytes;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = uint32_t(pixels.size());
    info.biClrUsed = 0;
    info.biClrImportant = 0;
    out.file = file;
    out.info = info;
    out.bits = std::move(pixels);
    return Error::None;
}

std::array<uint8_t, kFileHeaderBytes> EncodeFileHeader(const FileHeader &header, size_t bitsSize)
{
    std::array<uint8_t, kFileHeaderBytes> b{};
    Put16(&b[0], header.bfType);
    Put32(&b[2], uint32_t(bitsSize + kHeaderBytes));
    Put16(&b[6], header.bfReserved1);
    Put16(&b[8], header.bfReserved2);
    Put32(&b[10], kHeaderBytes);
    return b;
}

std::array<uint8_t, kInfoHeaderBytes> EncodeInfoHeader(const InfoHeader &header)
{
    std::array<uint8_t, kInfoHeaderBytes> b{};
    Put32(&b[0], header.biSize);
    Put32(&b[4], uint32_t(header.biWidth));
    Put32(&b[8], uint32_t(header.biHeight));
    Put16(&b[12], header.biPlanes);
    Put16(&b[14], header.biBitCount);
    Put32(&b[16], header.biCompression);
    Put32(&b[20], header.biSizeImage);
    Put32(&b[24], uint32_t(header.biXPelsPerMeter));
    Put32(&b[28], uint32_t(header.biYPelsPerMeter));
    Put32(&b[32], header.biClrUsed);
    Put32(&b[36], header.biClrImportant);
    return b;
}

}  // namespace bmp
