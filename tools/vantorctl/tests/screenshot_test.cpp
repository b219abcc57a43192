#include "screenshot.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

using namespace vantorctl;

namespace {

// A scripted instrument: for each chunk call the next planned outcome.
struct FakeBitmap {
    struct Step {
        int status;           // what the chunk call returns
        uint32_t length = 0;  // bytes delivered
    };
    bool beginOk = true;
    uint32_t total = 0;
    bool endOk = true;
    std::deque<Step> steps;
    std::vector<std::string> calls;  // the order of everything the transfer did
    std::vector<uint8_t> written;
    bool sinkOk = true;

    BitmapLink link()
    {
        BitmapLink l;
        l.begin = [this](uint32_t *t) {
            calls.push_back("begin");
            if (beginOk)
                *t = total;
            return beginOk;
        };
        l.chunk = [this](int index, int expected, uint8_t *buffer, uint32_t *length) {
            calls.push_back("chunk " + std::to_string(index) + "/" + std::to_string(expected));
            if (steps.empty())
                return -1;
            Step s = steps.front();
            steps.pop_front();
            if (s.status != -1) {
                for (uint32_t i = 0; i < s.length && i < 25600; ++i)
                    buffer[i] = uint8_t(index + i);
                *length = s.length;
            }
            return s.status;
        };
        l.end = [this] {
            calls.push_back("end");
            return endOk;
        };
        l.sleep = [this](unsigned ms) { calls.push_back("sleep " + std::to_string(ms)); };
        return l;
    }

    BitmapTransfer run()
    {
        return transferBitmap(link(), [this](const uint8_t *d, size_t n) {
            if (!sinkOk)
                return false;
            written.insert(written.end(), d, d + n);
            return true;
        });
    }

    int chunkCalls(int index) const
    {
        int n = 0;
        for (const auto &c : calls)
            if (c == "chunk " + std::to_string(index) + "/" + std::to_string(index))
                ++n;
        return n;
    }
};

}  // namespace

TEST(BitmapTransfer, ChunksInOrderWithAPauseAfterEachCall)
{
    FakeBitmap f;
    f.total = 30000;
    f.steps = {{0, 24000}, {2, 6000}};
    BitmapTransfer t = f.run();
    EXPECT_EQ(t.status, BitmapTransfer::Done);
    EXPECT_EQ(t.received, 30000u);
    EXPECT_EQ(t.chunks, 2);
    std::vector<std::string> expected = {"begin", "chunk 0/0", "sleep 20", "chunk 1/1", "sleep 20", "end"};
    EXPECT_EQ(f.calls, expected);
    ASSERT_EQ(f.written.size(), 30000u);
    EXPECT_EQ(f.written[0], 0);
    EXPECT_EQ(f.written[24000], 1);  // second chunk's first byte
    EXPECT_EQ(f.written[24001], 2);
}

TEST(BitmapTransfer, FirstChunkMayBeTheLast)
{
    FakeBitmap f;
    f.total = 24000;
    f.steps = {{2, 24000}};
    BitmapTransfer t = f.run();
    EXPECT_EQ(t.status, BitmapTransfer::Done);
    EXPECT_EQ(f.written.size(), 24000u);
    EXPECT_EQ(f.calls.back(), "end");
}

TEST(BitmapTransfer, FiveFailuresThenSuccessIsAccepted)
{
    FakeBitmap f;
    f.total = 100;
    f.steps = {{-1}, {-1}, {-1}, {-1}, {-1}, {2, 100}};
    BitmapTransfer t = f.run();
    EXPECT_EQ(t.status, BitmapTransfer::Done);
    EXPECT_EQ(f.chunkCalls(0), 6);
    EXPECT_EQ(t.retries, 5);
    EXPECT_EQ(f.written.size(), 100u);
}

TEST(BitmapTransfer, SixthFailureInARowGivesUpAndStillEnds)
{
    FakeBitmap f;
    f.total = 50000;
    f.steps = {{0, 24000}, {-1}, {-1}, {-1}, {-1}, {-1}, {-1}, {2, 26000}};
    BitmapTransfer t = f.run();
    EXPECT_EQ(t.status, BitmapTransfer::ChunkFailed);
    EXPECT_EQ(t.failedChunk, 1);
    EXPECT_EQ(f.chunkCalls(1), 6);
    EXPECT_EQ(f.steps.size(), 1u);  // the seventh call was never made
    EXPECT_EQ(f.calls.back(), "end");
}

TEST(BitmapTransfer, FailureCountRestartsAfterEveryGoodChunk)
{
    FakeBitmap f;
    f.total = 3;
    f.steps = {{-1}, {-1}, {-1},   {-1}, {-1}, {0, 1}, {-1}, {-1}, {-1},
               {-1}, {-1}, {0, 1}, {-1}, {-1}, {-1},   {-1}, {-1}, {2, 1}};
    BitmapTransfer t = f.run();
    EXPECT_EQ(t.status, BitmapTransfer::Done);
    EXPECT_EQ(t.retries, 15);
    EXPECT_EQ(f.chunkCalls(0), 6);
    EXPECT_EQ(f.chunkCalls(1), 6);
    EXPECT_EQ(f.chunkCalls(2), 6);
    EXPECT_EQ(f.written.size(), 3u);
}

TEST(BitmapTransfer, RefusedBeginSendsTheEndAndNoChunk)
{
    FakeBitmap f;
    f.beginOk = false;
    BitmapTransfer t = f.run();
    EXPECT_EQ(t.status, BitmapTransfer::BeginFailed);
    std::vector<std::string> expected = {"begin", "end"};
    EXPECT_EQ(f.calls, expected);
}

TEST(BitmapTransfer, ImplausibleSizeIsRefusedBeforeAnyChunk)
{
    FakeBitmap f;
    f.total = kMaxBitmapBytes + 1;
    BitmapTransfer t = f.run();
    EXPECT_EQ(t.status, BitmapTransfer::TooLarge);
    EXPECT_EQ(f.chunkCalls(0), 0);
    EXPECT_EQ(f.calls.back(), "end");
}

TEST(BitmapTransfer, UnacknowledgedEndIsReported)
{
    FakeBitmap f;
    f.total = 10;
    f.endOk = false;
    f.steps = {{2, 10}};
    EXPECT_EQ(f.run().status, BitmapTransfer::EndFailed);
    EXPECT_EQ(f.written.size(), 10u);
}

TEST(BitmapTransfer, WriteFailureStopsAndEnds)
{
    FakeBitmap f;
    f.total = 48000;
    f.sinkOk = false;
    f.steps = {{0, 24000}, {2, 24000}};
    BitmapTransfer t = f.run();
    EXPECT_EQ(t.status, BitmapTransfer::WriteFailed);
    EXPECT_EQ(f.chunkCalls(1), 0);
    EXPECT_EQ(f.calls.back(), "end");
}

TEST(BitmapTransfer, BrokenLengthsCannotOverrunOrLoopForever)
{
    FakeBitmap oversize;
    oversize.total = 100000;
    oversize.steps = {{0, 25601}};
    EXPECT_EQ(oversize.run().status, BitmapTransfer::BadChunk);
    EXPECT_TRUE(oversize.written.empty());

    FakeBitmap empty;
    empty.total = 100;
    empty.steps = {{0, 0}};
    EXPECT_EQ(empty.run().status, BitmapTransfer::BadChunk);

    FakeBitmap overrun;  // more than announced, never complete
    overrun.total = 10;
    overrun.steps = {{0, 8}, {0, 8}, {0, 8}};
    BitmapTransfer t = overrun.run();
    EXPECT_EQ(t.status, BitmapTransfer::TooLarge);
    EXPECT_EQ(overrun.chunkCalls(2), 0);
}
