#include "gbk.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace vantor {

namespace {

QByteArray Convert(const char *to, const char *from, const QByteArray &in)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    QByteArray out;
    std::vector<char> buffer(in.size() * 4 + 16);
    char *src = const_cast<char *>(in.constData());
    size_t srcLeft = static_cast<size_t>(in.size());
    while (srcLeft > 0) {
        char *dst = buffer.data();
        size_t dstLeft = buffer.size();
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer.data(), static_cast<qsizetype>(buffer.size() - dstLeft));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // Characters the code page lacks become '?', as a lossy ANSI
            // conversion would make them; skip one source byte otherwise.
            out.append('?');
            if (std::string_view(from) == "UTF-8") {
                unsigned char c = static_cast<unsigned char>(*src);
                size_t skip = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
                skip = std::min(skip, srcLeft);
                src += skip;
                srcLeft -= skip;
            } else {
                ++src;
                --srcLeft;
            }
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

QByteArray ToGbk(const QString &text) { return Convert("GBK", "UTF-8", text.toUtf8()); }

QString FromGbk(const QByteArray &bytes) { return QString::fromUtf8(Convert("UTF-8", "GBK", bytes)); }

QByteArray CutGbk(const QByteArray &bytes, int maxBytes)
{
    if (bytes.size() <= maxBytes)
        return bytes;
    int i = 0;
    while (i < maxBytes) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const int width = (c >= 0x81 && c <= 0xFE) ? 2 : 1;
        if (i + width > maxBytes)
            break;
        i += width;
    }
    return bytes.left(i);
}

}  // namespace vantor
