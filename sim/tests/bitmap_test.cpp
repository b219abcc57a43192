// The screen travels as a BMP file image in checksummed chunks.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "helpers.h"
#include "vsim/instrument.h"

using namespace vsimtest;
using vsim::Instrument;

namespace {

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Begin, every chunk in order, end: the bytes as the host would store them.
std::vector<uint8_t> transfer(Instrument &inst, uint32_t *chunks = nullptr)
{
    Parsed begin = ask(inst, request(vsim::CmdBmpBegin));
    EXPECT_TRUE(begin.ok);
    EXPECT_EQ(begin.payload[0], 0);
    EXPECT_EQ(begin.payload[8], 0);
    uint32_t total = be32(&begin.payload[4]);
    std::vector<uint8_t> image;
    uint32_t index = 0;
    while (image.size() < total && index < 100) {
        Parsed c = ask(inst, chunkRequest(index));
        EXPECT_TRUE(c.ok);
        EXPECT_EQ(c.payload.size(), 24014u);
        EXPECT_EQ(be32(&c.payload[0]), index);
        EXPECT_EQ(c.payload[24012], 0);
        EXPECT_EQ(c.payload[24013], 0);
        uint32_t len = be32(&c.payload[4]);
        EXPECT_GT(len, 0u);
        EXPECT_LE(len, 24000u);
        uint32_t sum = be32(&c.payload[8]);
        for (uint32_t i = 0; i < len; ++i)
            sum += c.payload[12 + i];
        EXPECT_EQ(sum, 0u) << "chunk " << index;
        image.insert(image.end(), c.payload.begin() + 12, c.payload.begin() + 12 + len);
        ++index;
    }
    Parsed end = ask(inst, request(vsim::CmdBmpEnd));
    EXPECT_TRUE(end.ok);
    EXPECT_EQ(end.payload[0], 0);
    EXPECT_EQ(end.payload[1], 0);
    EXPECT_EQ(image.size(), total);
    if (chunks)
        *chunks = index;
    return image;
}

// Colour of pixel (x, y), y from the top, as 0xRRGGBB.
uint32_t pixel(const std::vector<uint8_t> &bmp, int x, int y)
{
    size_t at = 54 + size_t(239 - y) * 960 + size_t(x) * 3;
    return uint32_t(bmp[at + 2]) << 16 | uint32_t(bmp[at + 1]) << 8 | bmp[at];
}

size_t countColour(const std::vector<uint8_t> &bmp, uint32_t rgb)
{
    size_t n = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            n += pixel(bmp, x, y) == rgb;
    return n;
}

TEST(Bitmap, ChunksAddUpToA320By240TrueColourFile)
{
    Instrument inst(70);
    uint32_t chunks = 0;
    std::vector<uint8_t> bmp = transfer(inst, &chunks);
    ASSERT_EQ(bmp.size(), 54u + 320u * 240u * 3u);
    EXPECT_EQ(chunks, 10u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(le32(&bmp[2]), bmp.size());
    EXPECT_EQ(le32(&bmp[10]), 54u);
    EXPECT_EQ(le32(&bmp[14]), 40u);
    EXPECT_EQ(le32(&bmp[18]), 320u);
    EXPECT_EQ(le32(&bmp[22]), 240u);
    EXPECT_EQ(bmp[28], 24);
    EXPECT_EQ(le32(&bmp[30]), 0u);  // uncompressed
}

TEST(Bitmap, AGivenScreenImageTravelsInsteadUntilCleared)
{
    Instrument inst(70);
    const std::vector<uint8_t> image(30000, 0x5A);
    inst.setScreenImage(image);
    uint32_t chunks = 0;
    EXPECT_EQ(transfer(inst, &chunks), image);
    EXPECT_EQ(chunks, 2u);
    inst.setScreenImage({});
    EXPECT_EQ(transfer(inst).size(), 54u + 320u * 240u * 3u);
}

TEST(Bitmap, TheScreenShowsTheOpenChannelsInTheirColours)
{
    Instrument inst(70);
    std::vector<uint8_t> both = transfer(inst);
    EXPECT_GT(countColour(both, 0xFFFF00), 300u);  // CH1 yellow
    EXPECT_GT(countColour(both, 0x00FFFF), 300u);  // CH2 cyan
    EXPECT_EQ(countColour(both, 0xFF00FF), 0u);    // CH3 is off
    ask(inst, keyRequest(9));                      // CH2 off
    ask(inst, keyRequest(19));                     // CH3 on
    std::vector<uint8_t> other = transfer(inst);
    EXPECT_EQ(countColour(other, 0x00FFFF), 0u);
    EXPECT_GT(countColour(other, 0xFF00FF), 300u);
    // The graticule's centre cross is there whatever the traces.
    EXPECT_EQ(pixel(other, 10 + 6 * 25, 20 + 1), 0x828282u);
}

TEST(Bitmap, ATraceSitsWhereItsSamplesAre)
{
    Instrument inst(70);
    vsim::State s = inst.state();
    s.channels[1].on = false;
    s.channels[0].signal = {vsim::Wave::Sine, 1000.0, 0.0, 1.0};  // flat at +1 V
    s.channels[0].voltsIndex = 8;                                 // 1 V: 25 codes up
    s.channels[0].offset = 129;                                   // from zero code 100
    inst.setState(s);
    std::vector<uint8_t> bmp = transfer(inst);
    // Code 125 is the row 125 above the bottom of the graticule (y = 220).
    size_t onRow = 0;
    for (int x = 10; x < 310; ++x)
        for (int y = 94; y <= 96; ++y)
            onRow += pixel(bmp, x, y) == 0xFFFF00;
    EXPECT_GT(onRow, 290u);
}

TEST(Bitmap, ChunksOutsideATransferAreFlaggedBad)
{
    Instrument inst(70);
    Parsed early = ask(inst, chunkRequest(0));
    EXPECT_NE(early.payload[24012], 0);
    ask(inst, request(vsim::CmdBmpBegin));
    EXPECT_NE(ask(inst, chunkRequest(10)).payload[24012], 0);
    EXPECT_EQ(ask(inst, chunkRequest(9)).payload[24012], 0);
    EXPECT_EQ(be32(&ask(inst, chunkRequest(9)).payload[4]), 230454u - 9u * 24000u);
    ask(inst, request(vsim::CmdBmpEnd));
    EXPECT_NE(ask(inst, chunkRequest(0)).payload[24012], 0);
}

TEST(Bitmap, ImageMagickReadsTheFile)
{
    if (std::system("command -v identify >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no identify";
    Instrument inst(58);
    std::vector<uint8_t> bmp = transfer(inst);
    std::string path = ::testing::TempDir() + "vsim_screen.bmp";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bmp.data()), std::streamsize(bmp.size()));
    FILE *p = ::popen(("identify -format '%m %wx%h %z' '" + path + "' 2>&1").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char out[256] = {};
    size_t n = std::fread(out, 1, sizeof out - 1, p);
    int rc = ::pclose(p);
    std::remove(path.c_str());
    EXPECT_EQ(rc, 0) << std::string(out, n);
    std::string said(out, n);
    EXPECT_EQ(said.rfind("BMP", 0), 0u) << said;
    EXPECT_NE(said.find(" 320x240 8"), std::string::npos) << said;
}

}  // namespace
