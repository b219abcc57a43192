#include "lineform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using tavserial::LineParser;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes makeFrame(size_t length, uint8_t seed = 1)
{
    Bytes f(length);
    for (size_t i = 0; i < length; ++i)
        f[i] = uint8_t(seed + i * 7);
    return f;
}

struct Outcome {
    std::vector<Bytes> frames;
    int badCrc = 0;
    int badLength = 0;
};

// Feeds the stream in pieces of at most piece bytes and collects every result.
Outcome parseAll(LineParser &parser, const Bytes &stream, size_t piece)
{
    Outcome out;
    size_t at = 0;
    while (at < stream.size()) {
        const size_t n = std::min(piece, stream.size() - at);
        size_t used = 0;
        while (used < n) {
            used += parser.feed(stream.data() + at + used, n - used);
            switch (parser.status()) {
            case LineParser::Status::Frame: {
                auto f = parser.frame();
                out.frames.emplace_back(f.begin(), f.end());
                break;
            }
            case LineParser::Status::BadCrc: ++out.badCrc; break;
            case LineParser::Status::BadLength: ++out.badLength; break;
            case LineParser::Status::Pending: break;
            }
        }
        at += n;
    }
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes header(uint32_t total)
{
    return {0xA5, 0x5A, 1, 0, uint8_t(total >> 24), uint8_t(total >> 16), uint8_t(total >> 8), uint8_t(total)};
}

}  // namespace

TEST(Crc32, MatchesTheStandardCheckValueAndContinuesAcrossPieces)
{
    const std::string check = "123456789";
    const auto *p = reinterpret_cast<const uint8_t *>(check.data());
    EXPECT_EQ(tavserial::crc32(p, check.size()), 0xCBF43926u);
    EXPECT_EQ(tavserial::crc32(p + 4, 5, tavserial::crc32(p, 4)), 0xCBF43926u);
    EXPECT_EQ(tavserial::crc32(nullptr, 0), 0u);
}

TEST(Pack, WritesSyncVersionLengthFrameAndCrc)
{
    const Bytes frame = makeFrame(20);
    const Bytes line = tavserial::pack(frame);
    ASSERT_EQ(line.size(), 32u);
    EXPECT_EQ(Bytes(line.begin(), line.begin() + 8), header(32));
    EXPECT_EQ(Bytes(line.begin() + 8, line.end() - 4), frame);
    const uint32_t crc = tavserial::crc32(line.data(), 28);
    EXPECT_EQ(Bytes(line.end() - 4, line.end()),
              (Bytes{uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)}));
}

TEST(Pack, RefusesEmptyAndOversizeFramesAndAcceptsTheLargest)
{
    uint8_t out[16] = {};
    const uint8_t one = 7;
    EXPECT_EQ(tavserial::pack(&one, 0, out), 0u);
    EXPECT_EQ(out[0], 0);  // nothing written
    EXPECT_TRUE(tavserial::pack(makeFrame(tavserial::kMaxFrame + 1)).empty());
    EXPECT_EQ(tavserial::pack(makeFrame(tavserial::kMaxFrame)).size(), tavserial::kMaxLine);
}

TEST(Pack, WorksInPlaceWhenTheFrameSitsAtTheStartOfTheOutput)
{
    const Bytes frame = makeFrame(40, 9);
    Bytes buffer(frame.size() + tavserial::kOverhead);
    std::memcpy(buffer.data(), frame.data(), frame.size());
    ASSERT_EQ(tavserial::pack(buffer.data(), frame.size(), buffer.data()), buffer.size());
    EXPECT_EQ(buffer, tavserial::pack(frame));
}

TEST(LineParser, RoundTripsFramesWhateverTheFeedSplit)
{
    const Bytes a = makeFrame(16, 3), b = makeFrame(1000, 5), c = makeFrame(tavserial::kMaxFrame, 11);
    const Bytes stream = concat({tavserial::pack(a), tavserial::pack(b), tavserial::pack(c)});
    for (size_t piece : {size_t(1), size_t(3), size_t(7), size_t(4096), stream.size()}) {
        LineParser parser;
        const Outcome got = parseAll(parser, stream, piece);
        ASSERT_EQ(got.frames.size(), 3u) << "piece " << piece;
        EXPECT_EQ(got.frames[0], a);
        EXPECT_EQ(got.frames[1], b);
        EXPECT_EQ(got.frames[2], c);
        EXPECT_EQ(got.badCrc + got.badLength, 0);
        EXPECT_EQ(parser.skipped(), 0u);
    }
}

TEST(LineParser, StopsAfterEachFormSoTheNextOneIsNotSwallowed)
{
    const Bytes a = makeFrame(16), b = makeFrame(17);
    const Bytes stream = concat({tavserial::pack(a), tavserial::pack(b)});
    LineParser parser;
    const size_t used = parser.feed(stream.data(), stream.size());
    EXPECT_EQ(used, a.size() + tavserial::kOverhead);
    ASSERT_EQ(parser.status(), LineParser::Status::Frame);
    EXPECT_EQ(parser.feed(stream.data() + used, stream.size() - used), stream.size() - used);
    ASSERT_EQ(parser.status(), LineParser::Status::Frame);
    EXPECT_EQ(Bytes(parser.frame().begin(), parser.frame().end()), b);
}

TEST(LineParser, ReadingAtMostWantedNeverOverreads)
{
    const Bytes line = tavserial::pack(makeFrame(300));
    const Bytes stream = concat({Bytes{1, 2, 0xA5, 3}, line, Bytes{0xEE}});
    LineParser parser;
    size_t at = 0;
    while (parser.status() != LineParser::Status::Frame) {
        ASSERT_LT(at, stream.size());
        const size_t n = std::min(parser.wanted(), stream.size() - at);
        ASSERT_EQ(parser.feed(stream.data() + at, n), n);
        at += n;
    }
    EXPECT_EQ(at, stream.size() - 1);  // the trailing byte is left on the line
    EXPECT_EQ(parser.skipped(), 4u);
}

TEST(LineParser, SkipsGarbageRepeatedSyncBytesAndFalseSyncs)
{
    const Bytes frame = makeFrame(24);
    // A false sync (version 7) whose header bytes hide the start of a real form.
    const Bytes line = tavserial::pack(frame);
    Bytes falseSync{0xA5, 0x5A, 7};
    falseSync.insert(falseSync.end(), line.begin(), line.begin() + 5);
    const Bytes stream = concat({Bytes{0x00, 0xFF, 0xA5, 0xA5}, falseSync, Bytes(line.begin() + 5, line.end())});
    for (size_t piece : {size_t(1), size_t(2), stream.size()}) {
        LineParser parser;
        const Outcome got = parseAll(parser, stream, piece);
        ASSERT_EQ(got.frames.size(), 1u) << "piece " << piece;
        EXPECT_EQ(got.frames[0], frame);
        EXPECT_EQ(parser.skipped(), 7u);
    }
}

TEST(LineParser, ReportsADamagedCrcAndReadsTheNextForm)
{
    Bytes damaged = tavserial::pack(makeFrame(30));
    damaged[20] ^= 0x01;
    const Bytes good = makeFrame(31);
    LineParser parser;
    const Outcome got = parseAll(parser, concat({damaged, tavserial::pack(good)}), 5);
    EXPECT_EQ(got.badCrc, 1);
    ASSERT_EQ(got.frames.size(), 1u);
    EXPECT_EQ(got.frames[0], good);
}

TEST(LineParser, RefusesBadLengthsDroppingTheAnnouncedBytes)
{
    const Bytes good = makeFrame(16);
    const uint32_t oversize = tavserial::kMaxLine + 1;
    // The dropped bytes carry a sync that must not be taken for a form.
    Bytes oversizeBody = tavserial::pack(makeFrame(oversize - 8 - tavserial::kOverhead));
    ASSERT_EQ(oversizeBody.size(), oversize - 8);
    const Bytes stream = concat({header(oversize), oversizeBody,  // too long
                                 header(27), Bytes(19, 0xA5),     // too short for a frame
                                 header(3),                       // not even a header
                                 tavserial::pack(good)});
    LineParser parser;
    const Outcome got = parseAll(parser, stream, 1000);
    EXPECT_EQ(got.badLength, 3);
    EXPECT_EQ(got.badCrc, 0);
    ASSERT_EQ(got.frames.size(), 1u);
    EXPECT_EQ(got.frames[0], good);
}

TEST(LineParser, ResetForgetsAFormInProgress)
{
    const Bytes line = tavserial::pack(makeFrame(50));
    LineParser parser;
    parser.feed(line.data(), 30);
    EXPECT_TRUE(parser.inForm());
    EXPECT_EQ(parser.wanted(), line.size() - 30);
    parser.reset();
    EXPECT_FALSE(parser.inForm());
    const Outcome got = parseAll(parser, line, line.size());
    EXPECT_EQ(got.frames.size(), 1u);
}
