// libFuzzer target over the bitmap page's BMP reader: any bytes as a file.
// A picture it accepts must be exactly the rows it promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "bmp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    bmp::Picture picture;
    if (bmp::Decode(data, size, picture) != bmp::Error::None)
        return 0;
    const bmp::InfoHeader &info = picture.info;
    if (info.biWidth <= 0 || info.biHeight <= 0 || info.biWidth > bmp::kMaxSide || info.biHeight > bmp::kMaxSide ||
        info.biBitCount != 24 || info.biSize != 40 || info.biSizeImage != picture.bits.size() ||
        picture.bits.size() != size_t(bmp::RowBytes(info.biWidth) * info.biHeight))
        std::abort();
    return 0;
}
