// The virtual device's own checks, driven by a raw host on the socket.
#include "command_block.h"
#include "sim_usb_device.h"
#include "test_support.h"
#include "unix_socket.h"

#include <sys/stat.h>

#include <atomic>
#include <fstream>

namespace ferrule::test {
namespace {

using Log = SimUsbDevice::Log;

class RawHost {
public:
    explicit RawHost(const std::string &path)
    {
        sockaddr_un addr{};
        socklen_t len = 0;
        if (!makeUnixAddress(path, addr, len))
            return;
        fd_.reset(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
        if (::connect(fd_.get(), reinterpret_cast<sockaddr *>(&addr), len) != 0)
            fd_.reset();
    }
    bool connected() const { return static_cast<bool>(fd_); }
    void send(std::uint8_t endpoint, const std::vector<std::uint8_t> &payload)
    {
        std::vector<std::uint8_t> m{endpoint};
        m.insert(m.end(), payload.begin(), payload.end());
        ASSERT_EQ(::send(fd_.get(), m.data(), m.size(), MSG_NOSIGNAL), static_cast<ssize_t>(m.size()));
    }
    void command(std::uint16_t pipe, std::uint16_t length, std::uint16_t count)
    {
        auto block = encodeCommandBlock({pipe, length, count});
        std::vector<std::uint8_t> packet(block.begin(), block.end());
        packet.resize(64, 0);
        send(FERRULE_SIM_EP_COMMAND, packet);
    }
    void inToken() { send(FERRULE_SIM_EP_READ, {0x00, 0x02}); }
    // The next message from the device; nothing on time-out; empty on hang-up.
    std::optional<std::vector<std::uint8_t>> receive(std::chrono::milliseconds limit = 5s)
    {
        if (pollUntil(fd_.get(), POLLIN, std::chrono::steady_clock::now() + limit) <= 0)
            return std::nullopt;
        std::vector<std::uint8_t> m(1 + 1024);
        ssize_t n = ::recv(fd_.get(), m.data(), m.size(), 0);
        m.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return m;
    }

private:
    UniqueFd fd_;
};

class SimDevice : public SimUsbTest {
protected:
    void SetUp() override
    {
        SimUsbTest::SetUp();
        ASSERT_TRUE(device_->start());
        host_ = std::make_unique<RawHost>(path_);
        ASSERT_TRUE(host_->connected());
    }
    // The log once the device has dealt with `n` messages.
    Log settle(std::size_t n)
    {
        EXPECT_TRUE(device_->waitFor([n](const Log &l) { return l.handled >= n; }));
        return device_->log();
    }
    std::unique_ptr<RawHost> host_;
};

TEST_F(SimDevice, CommandPacketsAreWholeTaggedBlocks)
{
    host_->send(FERRULE_SIM_EP_COMMAND, std::vector<std::uint8_t>(63, 0));
    auto untagged = std::vector<std::uint8_t>(64, 0);
    std::memcpy(untagged.data(), "Xomm", 4);
    host_->send(FERRULE_SIM_EP_COMMAND, untagged);
    auto dirtyTail = encodeCommandBlock({7, 64, 20});
    std::vector<std::uint8_t> packet(dirtyTail.begin(), dirtyTail.end());
    packet.resize(64, 0);
    packet[12] = 1;  // inside the block's zero field
    host_->send(FERRULE_SIM_EP_COMMAND, packet);
    packet[12] = 0;
    packet[40] = 1;  // in the packet's padding
    host_->send(FERRULE_SIM_EP_COMMAND, packet);
    Log log = settle(4);
    ASSERT_EQ(log.violations.size(), 4u);
    EXPECT_EQ(log.violations[0], "command packet of 63 bytes");
    EXPECT_EQ(log.violations[1], "not a command block");
    EXPECT_EQ(log.violations[2], "not a command block");
    EXPECT_EQ(log.violations[3], "command packet padding not zero");
    ASSERT_EQ(log.commands.size(), 1u);  // the last one still announces
    EXPECT_EQ(log.commands[0].count, 20);
}

TEST_F(SimDevice, AnnouncementsMustAgreeWithTheirCount)
{
    std::atomic<bool> asked{false};
    device_->setReadHandler([&](std::uint16_t, std::uint16_t) {
        asked = true;
        return std::optional(std::vector<std::uint8_t>{});
    });
    host_->command(7, 128, 20);      // a write rounds to 64
    host_->command(0x8008, 64, 16);  // a read rounds to 512
    host_->command(7, 0, 0);         // nothing to move
    host_->command(0x8008, 26112, 25601);
    Log log = settle(4);
    EXPECT_EQ(log.violations,
              (std::vector<std::string>{"transfer length 128 for count 20", "transfer length 64 for count 16",
                                        "transfer count 0 out of range", "transfer count 25601 out of range"}));
    EXPECT_FALSE(asked);
}

TEST_F(SimDevice, WritePiecesAreCheckedAndReassembled)
{
    std::vector<SimUsbDevice::Transfer> handed;
    device_->setWriteHandler([&](std::uint16_t pipe, const std::vector<std::uint8_t> &b) {
        handed.push_back({pipe, b});
    });
    host_->send(FERRULE_SIM_EP_WRITE, std::vector<std::uint8_t>(64, 1));  // not announced
    host_->command(7, 640, 600);
    host_->send(FERRULE_SIM_EP_WRITE, std::vector<std::uint8_t>(128, 1));  // the rest may only come last
    host_->command(7, 1024, 1000);
    host_->send(FERRULE_SIM_EP_WRITE, std::vector<std::uint8_t>(100, 1));  // not whole packets
    host_->command(7, 1024, 1000);
    host_->send(FERRULE_SIM_EP_WRITE, std::vector<std::uint8_t>(512, 1));
    host_->command(3, 64, 20);  // cuts the previous write short
    std::vector<std::uint8_t> piece(64, 0);
    std::fill_n(piece.begin(), 20, 0x5A);
    piece[30] = 9;  // padding that is not zero
    host_->send(FERRULE_SIM_EP_WRITE, piece);
    host_->command(7, 576, 520);
    host_->send(FERRULE_SIM_EP_WRITE, std::vector<std::uint8_t>(512, 2));
    auto tail = std::vector<std::uint8_t>(64, 0);
    std::fill_n(tail.begin(), 8, 3);
    host_->send(FERRULE_SIM_EP_WRITE, tail);
    Log log = settle(12);
    EXPECT_EQ(log.violations,
              (std::vector<std::string>{"data piece without an announced write",
                                        "short data piece before the end of the transfer", "data piece of 100 bytes",
                                        "write transfer cut short by a command block", "write padding not zero"}));
    ASSERT_EQ(log.writes.size(), 2u);
    EXPECT_EQ(log.writes[0].pipe, 3);
    EXPECT_EQ(log.writes[0].bytes, std::vector<std::uint8_t>(20, 0x5A));
    std::vector<std::uint8_t> expected(512, 2);
    expected.insert(expected.end(), 8, 3);
    EXPECT_EQ(log.writes[1].bytes, expected);
    ASSERT_EQ(handed.size(), 2u);
    EXPECT_EQ(handed[1].bytes, expected);
}

TEST_F(SimDevice, ReadsAreServedOnePiecePerToken)
{
    std::vector<std::pair<std::uint16_t, std::uint16_t>> asked;
    device_->setReadHandler([&](std::uint16_t pipe, std::uint16_t count) -> std::optional<std::vector<std::uint8_t>> {
        asked.emplace_back(pipe, count);
        if (asked.size() == 1)
            return std::nullopt;  // no data yet
        return pattern(600, 7);   // more than asked: only the count goes out
    });
    host_->command(0x8008, 512, 16);
    host_->inToken();
    host_->command(0x8008, 512, 16);
    host_->inToken();
    auto piece = host_->receive();
    ASSERT_TRUE(piece);
    // The first token got nothing, so this answers the second.
    ASSERT_EQ(piece->size(), 513u);
    EXPECT_EQ((*piece)[0], FERRULE_SIM_EP_READ);
    auto expected = pattern(16, 7);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), piece->begin() + 1));
    EXPECT_EQ(std::vector<std::uint8_t>(piece->begin() + 17, piece->end()), std::vector<std::uint8_t>(496, 0));
    host_->inToken();  // the transfer is complete: nothing more comes
    host_->send(FERRULE_SIM_EP_READ, {0x40, 0x00});
    host_->send(0x05, {1, 2});
    Log log = settle(7);
    EXPECT_EQ(asked, (std::vector<std::pair<std::uint16_t, std::uint16_t>>{{8, 16}, {8, 16}}));
    EXPECT_EQ(log.inTokens, 4u);
    EXPECT_EQ(log.piecesServed, 1u);
    EXPECT_EQ(log.reads.at(0).bytes, expected);
    EXPECT_EQ(log.violations,
              (std::vector<std::string>{"IN token not asking for one piece", "message for unknown endpoint 5"}));
}

TEST_F(SimDevice, LogKeepsTheNewestEntriesWithinItsLimit)
{
    device_->setLogLimit(3);
    for (std::uint16_t count = 1; count <= 10; ++count)
        host_->command(7, 0, count);  // each one a bad length
    Log log = settle(10);
    ASSERT_GE(log.violations.size(), 3u);
    EXPECT_LE(log.violations.size(), 6u);
    EXPECT_EQ(log.violations.back(), "transfer length 0 for count 10");
    EXPECT_EQ(log.commands.back().count, 10);
    EXPECT_LE(log.received.size(), 6u);
    EXPECT_EQ(log.handled, 10u);  // counters are not trimmed
}

TEST_F(SimDevice, PlugStateIsTheSocketFile)
{
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_TRUE(device_->waitFor([](const Log &l) { return l.connections == 1; }));
    device_->unplug();
    EXPECT_NE(::stat(path_.c_str(), &st), 0);
    auto hangup = host_->receive();
    ASSERT_TRUE(hangup);
    EXPECT_TRUE(hangup->empty());
    EXPECT_FALSE(RawHost(path_).connected());

    // A leftover file at the path does not stop a replug.
    {
        std::ofstream(path_) << "stale";
    }
    ASSERT_TRUE(device_->replug());
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    RawHost again(path_);
    EXPECT_TRUE(again.connected());
    EXPECT_TRUE(device_->waitFor([](const Log &l) { return l.connections == 2; }));
}

TEST_F(SimDevice, ServesOneHostAtATime)
{
    device_->setReadHandler([](std::uint16_t, std::uint16_t n) { return std::optional(pattern(n, 1)); });
    RawHost second(path_);
    ASSERT_TRUE(second.connected());  // queued, not yet served
    second.command(0x8008, 512, 16);
    second.inToken();
    host_->command(0x8008, 512, 16);
    host_->inToken();
    ASSERT_TRUE(host_->receive());
    host_.reset();  // the first host leaves; the second is taken on
    auto piece = second.receive();
    ASSERT_TRUE(piece);
    EXPECT_EQ(piece->size(), 513u);
    Log log = device_->log();
    EXPECT_EQ(log.connections, 2u);
    EXPECT_EQ(log.hangups, 1u);
}

}  // namespace
}  // namespace ferrule::test
