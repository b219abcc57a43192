// The private-profile reader over any bytes: set.ini and the language files
// come from the user's disk. The first byte picks the caller's buffer size.
#include "platform/ini_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int bufferSize = data[0] % 80;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    (void)vantor::DecodeTextFile(bytes);
    const vantor::IniFile ini(bytes, true);
    const QString keys[][2] = {{"Set", "Language"}, {"String", "IDD100_Title"}, {"", ""}, {"set", "LANGUAGE"}};
    for (const auto &key : keys) {
        const QString value = ini.value(key[0], key[1], QStringLiteral("default"), bufferSize);
        if (bufferSize > 0 && value.size() > bufferSize - 1 && value != QStringLiteral("default"))
            __builtin_trap();  // the buffer size cuts every value read
    }
    return 0;
}
