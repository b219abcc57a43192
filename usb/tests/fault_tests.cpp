// A device that stalls, answers short or late, or goes away; transfers from
// several threads; unloading under a transfer.
#include "test_support.h"

#include <atomic>
#include <thread>

namespace ferrule::test {
namespace {

using Log = SimUsbDevice::Log;

class Faults : public SimUsbTest {
protected:
    void SetUp() override
    {
        SimUsbTest::SetUp();
        // Every read gets fresh bytes, so data from an earlier read is told apart.
        device_->setReadHandler([this](std::uint16_t, std::uint16_t count) {
            return std::optional(pattern(count, static_cast<std::uint8_t>(reads_++)));
        });
        plugAndLoad();
    }
    std::atomic<int> reads_{0};
};

TEST_F(Faults, StalledReadTimesOutAndTheNextReadWorks)
{
    FerruleSetTimeoutsForTesting(0, 100, 0);
    device_->setStall(true);
    std::vector<std::uint8_t> buffer(16);
    EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 16), 0);
    ASSERT_TRUE(device_->waitFor([](const Log &l) { return l.handled == 2; }));
    Log log = device_->log();
    EXPECT_EQ(log.commands.size(), 1u);
    EXPECT_EQ(log.inTokens, 1u);
    EXPECT_EQ(log.piecesServed, 0u);
    device_->setStall(false);
    EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 16), 1);
    auto expected = pattern(16, 1);
    EXPECT_EQ(buffer, expected);
}

TEST_F(Faults, RealReadTimeOutIsTwoSecondsPerPiece)
{
    device_->setStall(true);
    std::vector<std::uint8_t> buffer(16);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 16), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2000ms);
}

TEST_F(Faults, WriteTimesOutWhenTheDeviceTakesNothing)
{
    FerruleSetTimeoutsForTesting(50, 0, 0);
    device_->setReceivePaused(true);
    auto data = pattern(25600, 8);
    int failedAt = -1;
    for (int i = 0; i < 1000 && failedAt < 0; ++i)
        if (WriteUSBDevice(7, data.data(), 25600) != 1)
            failedAt = i;
    ASSERT_GE(failedAt, 0) << "the socket never backed up";
    device_->setReceivePaused(false);
    ASSERT_EQ(WriteUSBDevice(7, data.data(), 25600), 1);
    auto writes = static_cast<std::size_t>(failedAt) + 1;
    ASSERT_TRUE(device_->waitFor([writes](const Log &l) { return l.writes.size() == writes; }));
    Log log = device_->log();
    // The cut-off transfer never reached the handler; the one after it is whole.
    EXPECT_EQ(log.writes.back().bytes, data);
    // Unless it stopped right at its command packet, the device saw it cut short.
    ASSERT_LE(log.violations.size(), 1u);
    if (!log.violations.empty()) {
        EXPECT_EQ(log.violations[0], "write transfer cut short by a command block");
    }
}

TEST_F(Faults, ShortPieceFailsTheRead)
{
    device_->serveShortPieceOnce(100);
    std::vector<std::uint8_t> buffer(1024);
    EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 1024), 0);
    EXPECT_EQ(device_->log().piecesServed, 1u);  // nothing asked after the short one
    EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 1024), 1);
    EXPECT_EQ(buffer, pattern(1024, 1));
}

TEST_F(Faults, LatePieceOfATimedOutReadIsNotTakenAsData)
{
    FerruleSetTimeoutsForTesting(0, 100, 0);
    device_->setReplyDelay(400ms);
    std::vector<std::uint8_t> buffer(16);
    EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 16), 0);
    // The late piece has reached the host's socket before the next read starts.
    ASSERT_TRUE(device_->waitFor([](const Log &l) { return l.piecesSent == 1; }));
    device_->setReplyDelay(0ms);
    ASSERT_EQ(ReadUSBDevice(8, buffer.data(), 16), 1);
    EXPECT_EQ(buffer, pattern(16, 1));
    EXPECT_NE(buffer, pattern(16, 0));
}

TEST_F(Faults, RemovalInTheMiddleOfAReadFailsItAndIsNoticed)
{
    recorder_.setForwardToChange(true);
    device_->vanishAfterPieces(2);
    std::vector<std::uint8_t> buffer(2048);
    EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 2048), 0);
    EXPECT_EQ(device_->log().piecesServed, 2u);
    ASSERT_TRUE(recorder_.waitForCount(1));
    EXPECT_EQ(recorder_.notices()[0].event, FERRULE_DEVICE_REMOVE_COMPLETE);
    EXPECT_EQ(recorder_.changeResults()[0], 1);
    EXPECT_EQ(IsConnected(), 0);
    EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 2048), 0);

    ASSERT_TRUE(device_->replug());
    ASSERT_TRUE(recorder_.waitForCount(2));
    EXPECT_EQ(recorder_.notices()[1].event, FERRULE_DEVICE_ARRIVAL);
    EXPECT_EQ(IsConnected(), 1);
    ASSERT_EQ(ReadUSBDevice(8, buffer.data(), 2048), 1);
    EXPECT_EQ(buffer, pattern(2048, 1));
    EXPECT_EQ(recorder_.notices().size(), 2u);
}

TEST_F(Faults, TransfersFromTwoThreadsDoNotInterleave)
{
    constexpr int kRounds = 30;
    auto worker = [](std::uint8_t seed, std::atomic<int> &failures) {
        for (int i = 0; i < kRounds; ++i) {
            auto data = pattern(1500, seed);
            if (WriteUSBDevice(7, data.data(), 1500) != 1)
                ++failures;
            std::vector<std::uint8_t> reply(700);
            if (ReadUSBDevice(8, reply.data(), 700) != 1)
                ++failures;
        }
    };
    std::atomic<int> failures{0};
    std::thread a(worker, 10, std::ref(failures));
    std::thread b(worker, 20, std::ref(failures));
    a.join();
    b.join();
    EXPECT_EQ(failures, 0);
    ASSERT_TRUE(device_->waitFor([](const Log &l) { return l.writes.size() == 2 * kRounds; }));
    Log log = device_->log();
    EXPECT_TRUE(log.violations.empty()) << log.violations.front();
    for (const auto &w : log.writes)
        EXPECT_TRUE(w.bytes == pattern(1500, 10) || w.bytes == pattern(1500, 20));
    EXPECT_EQ(log.reads.size(), 2u * kRounds);
}

TEST_F(Faults, MutexNotObtainedInTimeFailsWithoutTouchingThePipes)
{
    FerruleSetTimeoutsForTesting(0, 1500, 100);
    device_->setStall(true);
    std::atomic<int> heldResult{-1};
    std::thread holder([&] {
        std::vector<std::uint8_t> buffer(16);
        heldResult = ReadUSBDevice(8, buffer.data(), 16);
    });
    ASSERT_TRUE(device_->waitFor([](const Log &l) { return l.inTokens >= 1; }));
    auto data = pattern(20, 5);
    EXPECT_EQ(WriteUSBDevice(7, data.data(), 20), 0);
    holder.join();
    EXPECT_EQ(heldResult, 0);

    device_->setStall(false);
    ASSERT_EQ(WriteUSBDevice(7, data.data(), 20), 1);
    ASSERT_TRUE(device_->waitFor([](const Log &l) { return l.writes.size() == 1; }));
    Log log = device_->log();
    ASSERT_EQ(log.commands.size(), 2u);  // the stalled read, then the later write only
    EXPECT_EQ(log.commands[0].pipe, 0x8008);
    EXPECT_EQ(log.commands[1].pipe, 7);
}

TEST_F(Faults, UnloadWaitsForTheTransferInProgress)
{
    device_->setReplyDelay(300ms);
    std::atomic<int> result{-1};
    std::thread reader([&] {
        std::vector<std::uint8_t> buffer(16);
        result = ReadUSBDevice(8, buffer.data(), 16);
    });
    ASSERT_TRUE(device_->waitFor([](const Log &l) { return l.inTokens >= 1; }));
    UnloadUSBDevice();
    // The read could only end after the late piece was served.
    EXPECT_EQ(device_->log().piecesServed, 1u);
    reader.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(IsConnected(), 0);
    std::vector<std::uint8_t> buffer(16);
    EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 16), 0);
}

}  // namespace
}  // namespace ferrule::test
