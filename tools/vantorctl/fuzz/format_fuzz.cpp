// What vantorctl prints from the instrument's bytes: the 512-byte measurement
// block, the identity fields and the samples, in every output form.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace vantorctl;
    constexpr size_t kBlock = kMeasureCount * kMeasureEntryBytes;
    if (size < kBlock)
        return 0;
    const MeasureBlock measures = decodeMeasureBlock(data);
    std::ostringstream out;
    for (const MeasureEntry &entry : measures)
        out << measureText(entry);
    writeMeasureTable(out, measures);
    const uint8_t *samples = data + kBlock;
    const int count = int(size - kBlock);
    writeCsv(out, samples, count);
    writeJson(out, 1 + data[0] % 4, data[1] & 1, samples, count, &measures);
    const std::string field = fieldText(reinterpret_cast<const char *>(samples), size - kBlock);
    if (jsonString(field).empty())
        __builtin_trap();  // a JSON string has its quotes at least
    return 0;
}
