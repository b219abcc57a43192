// GBK text from logs, channel files and language files: decoding never
// fails, and a cut never exceeds its limit nor splits a double-byte character.
#include "platform/gbk.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int limit = data[0];
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString text = vantor::FromGbk(bytes);
    const QByteArray again = vantor::ToGbk(text);
    const QByteArray cut = vantor::CutGbk(again, limit);
    if (cut.size() > limit || !again.startsWith(cut))
        __builtin_trap();
    // What was cut is whole characters: it decodes to a prefix of the whole.
    if (!vantor::FromGbk(again).startsWith(vantor::FromGbk(cut)))
        __builtin_trap();
    (void)vantor::CutGbk(bytes, limit);
    return 0;
}
