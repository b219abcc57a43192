// Output forms of vantorctl: samples, the instrument's measurement block, identity fields.
#pragma once

#include <measures.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

namespace vantorctl {

constexpr int kUnitCount = measures::kUnitCount;
constexpr int kMeasureCount = measures::kItemCount;
constexpr int kMeasureEntryBytes = measures::kEntryBytes;

// The instrument's tables and its entry, as the application reads them too.
inline const char *const (&kUnitTable)[kUnitCount] = measures::kUnitNames;
inline const char *const (&kMeasureItems)[kMeasureCount] = measures::kItemNames;
using MeasureEntry = measures::Entry;
using MeasureBlock = std::array<MeasureEntry, kMeasureCount>;

// "" for an index the table does not have.
const char *unitText(int index);
MeasureEntry decodeMeasureEntry(const uint8_t *entry);
MeasureBlock decodeMeasureBlock(const uint8_t *block);  // 512 bytes
// The value as the instrument asks it to be shown: "%f" cut to the entry's digits (0 keeps the
// point), then the unit; "****" when the instrument has no value.
std::string measureText(const MeasureEntry &entry);

void writeCsv(std::ostream &out, const uint8_t *samples, int count);
void writeJson(std::ostream &out, int channel, bool memory, const uint8_t *samples, int count,
               const MeasureBlock *measures);
// One line per item: the shown text, then the entry's fields as the instrument sent them.
void writeMeasureTable(std::ostream &out, const MeasureBlock &measures);

// A fixed-size text field from the instrument: up to the first NUL, trailing blanks dropped,
// other bytes outside printable ASCII as \xHH.
std::string fieldText(const char *bytes, size_t size);
std::string jsonString(const std::string &text);

}  // namespace vantorctl
