// The screen bitmap: begin, chunks with their index and checksum, end.
#include "link_fixture.h"

using namespace linktest;

namespace {

class BitmapTest : public NetLinkTest {
protected:
    bool begin(uint32_t total)
    {
        peer().queueFrame(11, BeginPayload(0, total, 0));
        uint32_t got = 0;
        const bool ok = Send_Bmp_Begin_Invoke(&got);
        EXPECT_EQ(got, ok ? total : 0u);
        return ok;
    }
    // Asks chunk `index`, answered by `payload`.
    int chunk(int index, const Bytes &payload)
    {
        peer().queueFrame(12, payload);
        return ask(index);
    }
    int ask(int index, Bytes *out = nullptr, uint32_t *length = nullptr)
    {
        Bytes buffer(TAVLINK_CHUNK_BYTES, 0xCC);
        uint32_t len = 0xDEADBEEF;
        const int r = Send_Bmp_Trans_Invoke(index, index, buffer.data(), &len);
        if (out)
            *out = buffer;
        if (length)
            *length = len;
        return r;
    }
};

Bytes Data(size_t n, uint8_t seed) { return Pattern(n, seed); }

}  // namespace

TEST_F(BitmapTest, BeginReportsTheTotalAndWaits)
{
    ASSERT_TRUE(begin(153654));
    EXPECT_EQ(requestPayload(0), Bytes(4, 0));
    EXPECT_EQ(peer().requests().at(0)[13], 11);
    EXPECT_EQ(Waits(), std::vector<unsigned>{2000});
}

TEST_F(BitmapTest, RefusedOrShortBeginIsFalse)
{
    uint32_t total = 77;
    peer().queueFrame(11, BeginPayload(1, 5000, 0));
    EXPECT_FALSE(Send_Bmp_Begin_Invoke(&total));
    peer().queueFrame(11, BeginPayload(0, 5000, -1));
    EXPECT_FALSE(Send_Bmp_Begin_Invoke(&total));
    peer().queueFrame(11, Bytes{0, 0, 0, 0, 0, 0, 0x13, 0x88});
    EXPECT_FALSE(Send_Bmp_Begin_Invoke(&total));
    EXPECT_EQ(total, 77u);
}

TEST_F(BitmapTest, ChunkRequestCarriesItsIndexAndWait)
{
    ASSERT_TRUE(begin(100000));
    ClearWaits();
    peer().reset();
    peer().queueFrame(12, ChunkPayload(0x01020304, Data(10, 1)));
    Bytes buffer(TAVLINK_CHUNK_BYTES);
    uint32_t length = 0;
    EXPECT_EQ(Send_Bmp_Trans_Invoke(0x01020304, 0x01020304, buffer.data(), &length), 0);
    EXPECT_EQ(requestPayload(0), (Bytes{0, 0, 0, 0, 1, 2, 3, 4}));
    EXPECT_EQ(Waits(), std::vector<unsigned>{50});
}

TEST_F(BitmapTest, ChecksumIsTheTwosComplementOfTheSum)
{
    // Bytes whose sum is 0x1234.
    Bytes data(0x1234 / 0xFF, 0xFF);
    data.push_back(uint8_t(0x1234 - data.size() * 0xFF));
    ASSERT_TRUE(begin(100000));
    EXPECT_EQ(chunk(0, ChunkPayload(0, data, 0xFFFFEDCCu)), 0);
    EXPECT_EQ(chunk(1, ChunkPayload(1, data, 0xFFFFEDCDu)), -1);
    EXPECT_EQ(chunk(1, ChunkPayload(1, data, 0x00001234u)), -1);
    EXPECT_EQ(chunk(1, ChunkPayload(1, data, 0xFFFFEDCCu)), 0);
}

TEST_F(BitmapTest, DeliveredChunkFillsTheWholeBuffer)
{
    ASSERT_TRUE(begin(100000));
    Bytes out;
    uint32_t length = 0;
    peer().queueFrame(12, ChunkPayload(0, Data(3000, 4)));
    ASSERT_EQ(ask(0, &out, &length), 0);
    EXPECT_EQ(length, 3000u);
    Bytes expected(TAVLINK_CHUNK_BYTES, 0);
    const Bytes data = Data(3000, 4);
    std::copy(data.begin(), data.end(), expected.begin());
    EXPECT_EQ(out, expected);
}

TEST_F(BitmapTest, WrongIndexFailsWithoutCountingTheBytes)
{
    ASSERT_TRUE(begin(24000));
    EXPECT_EQ(chunk(0, ChunkPayload(0, Data(12000, 1))), 0);
    Bytes out;
    peer().queueFrame(12, ChunkPayload(3, Data(12000, 2)));
    EXPECT_EQ(ask(2, &out), -1);
    EXPECT_EQ(out, Bytes(TAVLINK_CHUNK_BYTES, 0xCC)) << "nothing handed out";
    // The same chunk asked again still completes the 24000 bytes exactly.
    EXPECT_EQ(chunk(1, ChunkPayload(1, Data(12000, 2))), 2);
}

TEST_F(BitmapTest, OneFullChunkCompletesItsTotal)
{
    ASSERT_TRUE(begin(24000));
    EXPECT_EQ(chunk(0, ChunkPayload(0, Data(24000, 3))), 2);
}

TEST_F(BitmapTest, TwoChunksCompleteThirtyThousand)
{
    ASSERT_TRUE(begin(30000));
    EXPECT_EQ(chunk(0, ChunkPayload(0, Data(24000, 5))), 0);
    Bytes out;
    uint32_t length = 0;
    peer().queueFrame(12, ChunkPayload(1, Data(6000, 6)));
    EXPECT_EQ(ask(1, &out, &length), 2);
    EXPECT_EQ(length, 6000u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 6000), Data(6000, 6));
    EXPECT_EQ(Bytes(out.begin() + 6000, out.end()), Bytes(TAVLINK_CHUNK_BYTES - 6000, 0));
}

TEST_F(BitmapTest, TransportFailureAfterCompletionIsAFailure)
{
    ASSERT_TRUE(begin(1000));
    EXPECT_EQ(chunk(0, ChunkPayload(0, Data(1000, 7))), 2);
    peer().queue(Silence());
    EXPECT_EQ(ask(1), -1);
}

TEST_F(BitmapTest, BadChunksFail)
{
    ASSERT_TRUE(begin(200));
    EXPECT_EQ(chunk(0, ChunkPayload(0, Data(100, 1), {}, 1, 0)), -1) << "first error flag";
    EXPECT_EQ(chunk(0, ChunkPayload(0, Data(100, 1), {}, 0, 1)), -1) << "second error flag";
    EXPECT_EQ(chunk(0, ChunkPayload(0, {})), -1) << "empty chunk";
    Bytes cut = ChunkPayload(0, Data(100, 1));
    cut.resize(24013);
    EXPECT_EQ(chunk(0, cut), -1) << "too short for the error flags";
    Bytes over = ChunkPayload(0, Data(100, 1));
    over.resize(25000);
    PutBE32(over, 4, 24001);
    EXPECT_EQ(chunk(0, over), -1) << "data running into the error flags";
    peer().queueFrame(12, ChunkPayload(0, Data(100, 1)));
    Bytes buffer(TAVLINK_CHUNK_BYTES);
    uint32_t length = 0;
    EXPECT_EQ(Send_Bmp_Trans_Invoke(0, 1, buffer.data(), &length), -1) << "expected differs";
    // None of them advanced the count: 100 of 200 bytes are still short.
    EXPECT_EQ(chunk(0, ChunkPayload(0, Data(100, 1))), 0);
}

TEST_F(BitmapTest, EndClosesTheTransfer)
{
    peer().queueFrame(13, {0, 0});
    EXPECT_TRUE(Send_Bmp_End_Invoke());
    EXPECT_EQ(Waits(), std::vector<unsigned>{2500});
    EXPECT_EQ(requestPayload(0), Bytes(4, 0));
    peer().queueFrame(13, {1, 0});
    EXPECT_FALSE(Send_Bmp_End_Invoke());
    peer().queueFrame(13, {0, 0xFF});
    EXPECT_FALSE(Send_Bmp_End_Invoke());
    peer().queueFrame(13, {0});
    EXPECT_FALSE(Send_Bmp_End_Invoke());
}
