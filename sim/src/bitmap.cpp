// The instrument's screen: 320 x 240 pixels, a graticule of 12 x 8 divisions
// of 25 pixels, the traces of the open channels and a line of status text,
// written as an uncompressed bottom-up 24-bit BMP file image.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "internal.h"

namespace vsim {

namespace {

constexpr int kWidth = 320, kHeight = 240;
constexpr int kLeft = 10, kTop = 20, kDiv = 25, kDivsX = 12, kDivsY = 8;

struct Rgb {
    uint8_t r, g, b;
};
constexpr Rgb kTraceColours[4] = {{255, 255, 0}, {0, 255, 255}, {255, 0, 255}, {64, 128, 255}};

// 3 x 5 glyphs, rows top first, three bits a row (left bit high).
struct Glyph {
    char c;
    uint16_t rows[5];
};
constexpr Glyph kFont[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}},  {'3', {7, 1, 7, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}},  {'7', {7, 1, 1, 1, 1}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'A', {2, 5, 7, 5, 5}},  {'B', {6, 5, 6, 5, 6}},
    {'C', {3, 4, 4, 4, 3}}, {'D', {6, 5, 5, 5, 6}}, {'E', {7, 4, 6, 4, 7}},  {'F', {7, 4, 6, 4, 4}},
    {'G', {3, 4, 5, 5, 3}}, {'H', {5, 5, 7, 5, 5}}, {'I', {7, 2, 2, 2, 7}},  {'J', {1, 1, 1, 5, 2}},
    {'K', {5, 5, 6, 5, 5}}, {'L', {4, 4, 4, 4, 7}}, {'M', {5, 7, 7, 5, 5}},  {'N', {6, 5, 5, 5, 5}},
    {'O', {2, 5, 5, 5, 2}}, {'P', {6, 5, 6, 4, 4}}, {'Q', {2, 5, 5, 6, 3}},  {'R', {6, 5, 6, 5, 5}},
    {'S', {3, 4, 2, 1, 6}}, {'T', {7, 2, 2, 2, 2}}, {'U', {5, 5, 5, 5, 7}},  {'V', {5, 5, 5, 5, 2}},
    {'W', {5, 5, 7, 7, 5}}, {'X', {5, 5, 2, 5, 5}}, {'Y', {5, 5, 2, 2, 2}},  {'Z', {7, 1, 2, 4, 7}},
    {'.', {0, 0, 0, 0, 2}}, {'/', {1, 1, 2, 4, 4}}, {'\'', {2, 2, 0, 0, 0}}, {'-', {0, 0, 7, 0, 0}},
    {'%', {5, 1, 2, 4, 5}}, {':', {0, 2, 0, 2, 0}},
};

class Canvas {
public:
    Canvas() : pixels_(size_t(kWidth) * kHeight) {}
    void set(int x, int y, Rgb c)
    {
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight)
            pixels_[size_t(y) * kWidth + size_t(x)] = c;
    }
    void vline(int x, int y0, int y1, Rgb c)
    {
        if (y0 > y1)
            std::swap(y0, y1);
        for (int y = y0; y <= y1; ++y)
            set(x, y, c);
    }
    void text(int x, int y, const std::string &s, Rgb c)
    {
        for (char raw : s) {
            char ch = char(std::toupper(static_cast<unsigned char>(raw)));
            for (const Glyph &g : kFont) {
                if (g.c != ch)
                    continue;
                for (int row = 0; row < 5; ++row)
                    for (int col = 0; col < 3; ++col)
                        if (g.rows[row] & (4 >> col))
                            for (int d = 0; d < 4; ++d)
                                set(x + 2 * col + d % 2, y + 2 * row + d / 2, c);
            }
            x += 8;
        }
    }
    std::vector<uint8_t> bmp() const
    {
        const uint32_t rowBytes = kWidth * 3;  // already a multiple of 4
        const uint32_t data = rowBytes * kHeight, size = 54 + data;
        std::vector<uint8_t> f(size, 0);
        auto le32 = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                f[at + size_t(i)] = uint8_t(v >> (8 * i));
        };
        f[0] = 'B';
        f[1] = 'M';
        le32(2, size);
        le32(10, 54);
        le32(14, 40);
        le32(18, kWidth);
        le32(22, kHeight);
        f[26] = 1;   // planes
        f[28] = 24;  // bits per pixel
        le32(34, data);
        le32(38, 3780);  // 96 dpi
        le32(42, 3780);
        for (int y = 0; y < kHeight; ++y) {
            uint8_t *row = &f[54 + size_t(kHeight - 1 - y) * rowBytes];
            for (int x = 0; x < kWidth; ++x) {
                const Rgb &p = pixels_[size_t(y) * kWidth + size_t(x)];
                row[3 * x] = p.b;
                row[3 * x + 1] = p.g;
                row[3 * x + 2] = p.r;
            }
        }
        return f;
    }

private:
    std::vector<Rgb> pixels_;
};

}  // namespace

std::vector<uint8_t> renderScreen(const State &state, const std::vector<ScreenTrace> &traces, const std::string &status)
{
    Canvas c;
    const Rgb grid{70, 70, 70}, axis{130, 130, 130};
    const int right = kLeft + kDivsX * kDiv, bottom = kTop + kDivsY * kDiv;
    for (int i = 0; i <= kDivsX; ++i)
        for (int y = kTop; y <= bottom; y += (i == kDivsX / 2 ? 1 : 5))
            c.set(kLeft + i * kDiv, y, i == kDivsX / 2 ? axis : grid);
    for (int j = 0; j <= kDivsY; ++j)
        for (int x = kLeft; x <= right; x += (j == kDivsY / 2 ? 1 : 5))
            c.set(x, kTop + j * kDiv, j == kDivsY / 2 ? axis : grid);
    c.vline(kLeft, kTop, bottom, axis);
    c.vline(right, kTop, bottom, axis);
    for (int x = kLeft; x <= right; ++x) {
        c.set(x, kTop, axis);
        c.set(x, bottom, axis);
    }
    // Codes 0..200 fill the eight divisions; anything beyond sits on the edge.
    for (const ScreenTrace &t : traces) {
        if (t.samples.empty())
            continue;
        Rgb colour = kTraceColours[t.channel & 3];
        int width = kDivsX * kDiv, n = int(t.samples.size()), lastY = -1;
        for (int x = 0; x <= width; ++x) {
            int from = int(int64_t(x) * n / (width + 1)), to = int(int64_t(x + 1) * n / (width + 1));
            to = std::max(to, from + 1);
            int lo = 255, hi = 0;
            for (int i = from; i < to && i < n; ++i) {
                lo = std::min<int>(lo, t.samples[size_t(i)]);
                hi = std::max<int>(hi, t.samples[size_t(i)]);
            }
            auto toY = [&](int code) { return bottom - std::clamp(code, 0, kDivsY * kDiv); };
            int y0 = toY(hi), y1 = toY(lo);
            if (lastY >= 0)
                y0 = std::min(y0, lastY), y1 = std::max(y1, lastY);
            c.vline(kLeft + x, y0, y1, colour);
            lastY = toY((lo + hi) / 2);
        }
    }
    c.text(kLeft, 4, status, Rgb{255, 255, 255});
    int x = kLeft;
    for (size_t i = 0; i < 4; ++i) {
        const ChannelState &ch = state.channels[i];
        bool shown =
            std::any_of(traces.begin(), traces.end(), [&](const ScreenTrace &t) { return t.channel == int(i); });
        if (!shown)
            continue;
        Scaled v = voltsPerDiv(ch.voltsIndex);
        char label[24];
        std::snprintf(label, sizeof label, "CH%zu %g%s", i + 1, double(v.value), unitText(v.unit));
        c.text(x, bottom + 6, label, kTraceColours[i]);
        x += 8 * int(std::strlen(label)) + 8;
    }
    return c.bmp();
}

}  // namespace vsim
