#include "format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace vantorctl {

const char *unitText(int index) { return measures::UnitName(index); }

MeasureEntry decodeMeasureEntry(const uint8_t *entry) { return measures::DecodeEntry(entry); }

MeasureBlock decodeMeasureBlock(const uint8_t *block)
{
    MeasureBlock decoded;
    for (int k = 0; k < kMeasureCount; ++k)
        decoded[k] = decodeMeasureEntry(block + k * kMeasureEntryBytes);
    return decoded;
}

std::string measureText(const MeasureEntry &entry) { return measures::ValueText(entry); }

void writeCsv(std::ostream &out, const uint8_t *samples, int count)
{
    out << "index,sample\n";
    for (int i = 0; i < count; ++i)
        out << i << ',' << int(samples[i]) << '\n';
}

std::string jsonString(const std::string &text)
{
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += char(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            quoted += escape;
        } else {
            quoted += char(c);
        }
    }
    return quoted + "\"";
}

namespace {

std::string jsonNumber(float value)
{
    if (!std::isfinite(value))
        return "null";
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", double(value));
    return text;
}

}  // namespace

void writeJson(std::ostream &out, int channel, bool memory, const uint8_t *samples, int count,
               const MeasureBlock *measures)
{
    out << "{\"channel\":" << channel << ",\"record\":\"" << (memory ? "memory" : "screen") << "\",\"count\":" << count
        << ",\"samples\":[";
    for (int i = 0; i < count; ++i)
        out << (i ? "," : "") << int(samples[i]);
    out << "]";
    if (measures) {
        out << ",\"measurements\":[";
        for (int k = 0; k < kMeasureCount; ++k) {
            const MeasureEntry &m = (*measures)[k];
            out << (k ? "," : "") << "{\"item\":" << jsonString(kMeasureItems[k])
                << ",\"present\":" << (m.present ? "true" : "false") << ",\"value\":" << jsonNumber(m.value)
                << ",\"unit\":" << jsonString(unitText(m.unit)) << ",\"digits\":" << m.digits
                << ",\"text\":" << jsonString(measureText(m)) << "}";
        }
        out << "]";
    }
    out << "}\n";
}

void writeMeasureTable(std::ostream &out, const MeasureBlock &measures)
{
    for (int k = 0; k < kMeasureCount; ++k) {
        const MeasureEntry &m = measures[k];
        char line[512];
        std::snprintf(line, sizeof line, "%-15s %-13s present=%d value=%.9g unit=%s digits=%d\n", kMeasureItems[k],
                      measureText(m).c_str(), m.present ? 1 : 0, double(m.value), unitText(m.unit), m.digits);
        out << line;
    }
}

std::string fieldText(const char *bytes, size_t size)
{
    size_t length = 0;
    while (length < size && bytes[length] != '\0')
        ++length;
    while (length > 0 && bytes[length - 1] == ' ')
        --length;
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7f) {
            text += char(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            text += escape;
        }
    }
    return text;
}

}  // namespace vantorctl
