// The bytes of announced transfers, as the device receives them.
#include "test_support.h"

#include <atomic>
#include <cstring>

namespace ferrule::test {
namespace {

using Log = SimUsbDevice::Log;

std::vector<std::uint8_t> expectedBlock(std::uint16_t pipe, std::uint16_t length, std::uint16_t count)
{
    std::vector<std::uint8_t> b(64, 0);
    std::memcpy(b.data(), "Comm", 4);
    b[4] = pipe & 0xFF;
    b[5] = pipe >> 8;
    b[6] = length & 0xFF;
    b[7] = length >> 8;
    b[8] = count & 0xFF;
    b[9] = count >> 8;
    return b;
}

class Transfers : public SimUsbTest {
protected:
    void SetUp() override
    {
        SimUsbTest::SetUp();
        device_->setReadHandler([this](std::uint16_t pipe, std::uint16_t count) {
            askedPipe_ = pipe;
            return std::optional(pattern(count, 42));
        });
        plugAndLoad();
    }
    bool waitWrites(std::size_t n)
    {
        return device_->waitFor([n](const Log &l) { return l.writes.size() >= n; });
    }
    bool waitMessages(std::size_t n)
    {
        return device_->waitFor([n](const Log &l) { return l.received.size() >= n; });
    }
    std::atomic<int> askedPipe_{-1};
};

TEST_F(Transfers, TwentyByteWriteIsOneCommandPacketAndOnePaddedDataPacket)
{
    auto data = pattern(20, 1);
    ASSERT_EQ(WriteUSBDevice(7, data.data(), 20), 1);
    ASSERT_TRUE(waitWrites(1));
    Log log = device_->log();
    ASSERT_EQ(log.received.size(), 2u);
    EXPECT_EQ(log.received[0].endpoint, FERRULE_SIM_EP_COMMAND);
    EXPECT_EQ(log.received[0].payload, expectedBlock(7, 64, 20));
    EXPECT_EQ(log.received[1].endpoint, FERRULE_SIM_EP_WRITE);
    ASSERT_EQ(log.received[1].payload.size(), 64u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), log.received[1].payload.begin()));
    EXPECT_EQ(std::vector<std::uint8_t>(log.received[1].payload.begin() + 20, log.received[1].payload.end()),
              std::vector<std::uint8_t>(44, 0));
    ASSERT_EQ(log.writes.size(), 1u);
    EXPECT_EQ(log.writes[0].pipe, 7);
    EXPECT_EQ(log.writes[0].bytes, data);
    EXPECT_TRUE(log.violations.empty());
}

TEST_F(Transfers, WritesAreCutIntoWholePiecesWithTheRestLast)
{
    struct Case {
        unsigned count;
        std::vector<std::size_t> pieces;
    };
    const Case cases[] = {{64, {64}},        {512, {512}},       {513, {512, 64}},
                          {600, {512, 128}}, {1000, {512, 512}}, {25600, std::vector<std::size_t>(50, 512)}};
    std::size_t done = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.count);
        device_->clearLog();
        auto data = pattern(c.count, static_cast<std::uint8_t>(c.count));
        ASSERT_EQ(WriteUSBDevice(7, data.data(), c.count), 1);
        ASSERT_TRUE(waitWrites(1));
        Log log = device_->log();
        ASSERT_EQ(log.received.size(), 1 + c.pieces.size());
        EXPECT_EQ(log.received[0].payload, expectedBlock(7, static_cast<std::uint16_t>((c.count + 63) / 64 * 64),
                                                         static_cast<std::uint16_t>(c.count)));
        for (std::size_t i = 0; i < c.pieces.size(); ++i)
            EXPECT_EQ(log.received[1 + i].payload.size(), c.pieces[i]);
        EXPECT_EQ(log.writes.at(0).bytes, data);
        EXPECT_TRUE(log.violations.empty());
        ++done;
    }
    EXPECT_EQ(done, std::size(cases));
}

TEST_F(Transfers, SixteenByteReadAsksOnePieceAndCopiesSixteenBytes)
{
    std::vector<std::uint8_t> buffer(64, 0xEE);
    ASSERT_EQ(ReadUSBDevice(8, buffer.data(), 16), 1);
    Log log = device_->log();
    ASSERT_EQ(log.received.size(), 2u);
    EXPECT_EQ(log.received[0].payload, expectedBlock(0x8008, 512, 16));
    EXPECT_EQ(log.received[1].endpoint, FERRULE_SIM_EP_READ);
    EXPECT_EQ(log.received[1].payload, (std::vector<std::uint8_t>{0x00, 0x02}));
    EXPECT_EQ(askedPipe_, 8);
    auto expected = pattern(16, 42);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin()));
    // Nothing past the count is touched although a whole piece arrived.
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin() + 16, buffer.end()), std::vector<std::uint8_t>(48, 0xEE));
}

TEST_F(Transfers, ReadOfFiveHundredThirteenTakesTwoPieces)
{
    std::vector<std::uint8_t> buffer(600, 0xEE);
    ASSERT_EQ(ReadUSBDevice(8, buffer.data(), 513), 1);
    Log log = device_->log();
    EXPECT_EQ(log.received.at(0).payload, expectedBlock(0x8008, 1024, 513));
    EXPECT_EQ(log.inTokens, 2u);
    EXPECT_EQ(log.piecesServed, 2u);
    auto expected = pattern(513, 42);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin()));
    EXPECT_EQ(buffer[513], 0xEE);
}

TEST_F(Transfers, LargestReadComesWhole)
{
    std::vector<std::uint8_t> buffer(25600);
    ASSERT_EQ(ReadUSBDevice(8, buffer.data(), 25600), 1);
    EXPECT_EQ(buffer, pattern(25600, 42));
    Log log = device_->log();
    EXPECT_EQ(log.received.at(0).payload, expectedBlock(0x8008, 25600, 25600));
    EXPECT_EQ(log.inTokens, 50u);
}

TEST_F(Transfers, OversizedTransfersFailAfterTheCommandBlock)
{
    std::vector<std::uint8_t> big = pattern(25601, 3);
    EXPECT_EQ(WriteUSBDevice(7, big.data(), 25601), 0);
    EXPECT_EQ(ReadUSBDevice(8, big.data(), 25601), 0);
    // A good transfer afterwards shows nothing else went out in between.
    auto small = pattern(20, 4);
    ASSERT_EQ(WriteUSBDevice(7, small.data(), 20), 1);
    ASSERT_TRUE(waitWrites(1));
    Log log = device_->log();
    ASSERT_EQ(log.received.size(), 4u);
    EXPECT_EQ(log.received[0].payload, expectedBlock(7, 25664, 25601));
    EXPECT_EQ(log.received[1].payload, expectedBlock(0x8008, 26112, 25601));
    EXPECT_EQ(log.received[2].payload, expectedBlock(7, 64, 20));
    EXPECT_EQ(log.received[3].endpoint, FERRULE_SIM_EP_WRITE);
    EXPECT_EQ(log.writes.at(0).bytes, small);
}

TEST_F(Transfers, EmptyOrMissingBuffersAreRefused)
{
    auto data = pattern(16, 5);
    EXPECT_EQ(WriteUSBDevice(7, data.data(), 0), 0);
    EXPECT_EQ(WriteUSBDevice(7, nullptr, 16), 0);
    EXPECT_EQ(ReadUSBDevice(8, nullptr, 16), 0);
    // A read of nothing is still announced, then refused.
    EXPECT_EQ(ReadUSBDevice(8, data.data(), 0), 0);
    ASSERT_EQ(WriteUSBDevice(7, data.data(), 16), 1);
    ASSERT_TRUE(waitWrites(1));
    Log log = device_->log();
    ASSERT_EQ(log.received.size(), 3u);
    EXPECT_EQ(log.received[0].payload, expectedBlock(0x8008, 0, 0));
    EXPECT_EQ(log.received[1].payload, expectedBlock(7, 64, 16));
}

TEST_F(Transfers, RequestAndReplyRoundTrip)
{
    std::vector<std::uint8_t> lastWrite;
    device_->setWriteHandler([&](std::uint16_t, const std::vector<std::uint8_t> &bytes) { lastWrite = bytes; });
    device_->setReadHandler([&](std::uint16_t, std::uint16_t count) {
        // Echo what was written, then short of data: the rest is zero.
        std::vector<std::uint8_t> reply(lastWrite.begin(), lastWrite.end());
        reply.resize(std::min<std::size_t>(reply.size(), count));
        return std::optional(reply);
    });
    auto request = pattern(700, 6);
    ASSERT_EQ(WriteUSBDevice(7, request.data(), 700), 1);
    std::vector<std::uint8_t> reply(1100, 0xEE);
    ASSERT_EQ(ReadUSBDevice(8, reply.data(), 1100), 1);
    EXPECT_TRUE(std::equal(request.begin(), request.end(), reply.begin()));
    EXPECT_EQ(std::vector<std::uint8_t>(reply.begin() + 700, reply.end()), std::vector<std::uint8_t>(400, 0));
}

}  // namespace
}  // namespace ferrule::test
