// Tavserial over a pseudo-terminal: the library opens the slave as "COMn",
// the test plays the instrument on the master side.
#include "tavserial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "lineform.h"

using Bytes = std::vector<uint8_t>;

namespace {

constexpr int kPort = 5;

struct Pty {
    int master = -1;
    std::string slave;

    Pty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return;
        slave = ::ptsname(master);
    }
    ~Pty()
    {
        if (master >= 0)
            ::close(master);
    }

    void send(const Bytes &bytes) const
    {
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
            ASSERT_GT(n, 0);
            done += size_t(n);
        }
    }

    // Reads exactly count bytes, waiting at most a second for each piece.
    Bytes receive(size_t count) const
    {
        Bytes got(count);
        for (size_t done = 0; done < count;) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                break;
            const ssize_t n = ::read(master, got.data() + done, count - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        return got;
    }

    // True once nobody holds the slave side open any more.
    bool slaveClosed() const
    {
        pollfd p{master, POLLIN, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
    }
};

Bytes instrumentFrame(size_t payload, uint8_t seed = 0)
{
    Bytes f(16 + payload);
    const char magic[] = "DSOPPV20";
    std::copy(magic, magic + 8, f.begin());
    f[11] = uint8_t(payload);
    f[12] = 1;
    f[13] = 5;
    for (size_t i = 0; i < payload; ++i)
        f[16 + i] = uint8_t(seed + i);
    return f;
}

class SerialTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GE(pty_.master, 0) << "no pseudo-terminal";
        ASSERT_NE(SetUartPortPath(kPort, pty_.slave.c_str()), 0);
        ASSERT_NE(InitUart(kPort, 115200), 0);
        // Generous: a busy machine may be slow to run the writer threads.
        SetUartTimeouts(2000, 1000);
    }
    void TearDown() override
    {
        UnInitUart();
        SetUartPortPath(kPort, nullptr);
        SetUartTimeouts(2000, 500);
    }

    // ReadUart's result and the frame it delivered.
    std::pair<int, Bytes> read()
    {
        Bytes buffer(TAVSERIAL_MAX_FRAME);
        int length = -1;
        const int ok = ReadUart(buffer.data(), &length);
        EXPECT_GE(length, 0);
        buffer.resize(size_t(std::max(length, 0)));
        return {ok, buffer};
    }

    Pty pty_;
};

}  // namespace

TEST_F(SerialTest, RequestAndReplyRoundTrip)
{
    const Bytes request = instrumentFrame(4);
    Bytes line(request.size() + TAVSERIAL_OVERHEAD);
    const int total = PackUart(request.data(), int(request.size()), line.data());
    ASSERT_EQ(total, int(request.size()) + 12);
    EXPECT_EQ(PackUart(request.data(), -3, line.data()), 0);
    EXPECT_EQ(line[4] << 24 | line[5] << 16 | line[6] << 8 | line[7], total);
    ASSERT_NE(WriteUart(line.data(), total), 0);
    EXPECT_EQ(pty_.receive(size_t(total)), line);

    const Bytes reply = instrumentFrame(200, 3);
    pty_.send(tavserial::pack(reply));
    const auto [ok, frame] = read();
    EXPECT_NE(ok, 0);
    EXPECT_EQ(frame, reply);
}

TEST_F(SerialTest, TheLargestReplyArrivesWhileTheInstrumentIsStillWriting)
{
    const Bytes reply = instrumentFrame(TAVSERIAL_MAX_FRAME - 16, 9);
    const Bytes line = tavserial::pack(reply);
    // Far more than the pty holds, in pieces with pauses shorter than the
    // between-bytes time-out.
    std::thread writer([&] {
        for (size_t at = 0; at < line.size(); at += 4000) {
            pty_.send(Bytes(line.begin() + at, line.begin() + std::min(line.size(), at + 4000)));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const auto [ok, frame] = read();
    writer.join();
    EXPECT_NE(ok, 0);
    EXPECT_EQ(frame, reply);
}

TEST_F(SerialTest, GarbageBeforeTheSyncIsSkipped)
{
    const Bytes reply = instrumentFrame(10);
    Bytes stream{0x00, 0xA5, 0x13, 0xA5, 0xA5, 0xFF};
    const Bytes line = tavserial::pack(reply);
    stream.insert(stream.end(), line.begin(), line.end());
    pty_.send(stream);
    const auto [ok, frame] = read();
    EXPECT_NE(ok, 0);
    EXPECT_EQ(frame, reply);
}

TEST_F(SerialTest, DamagedRepliesAreRefusedAndTheLineStaysInStep)
{
    Bytes damaged = tavserial::pack(instrumentFrame(40));
    damaged[30] ^= 0x80;
    const Bytes good = instrumentFrame(41, 7);
    pty_.send(damaged);
    pty_.send(tavserial::pack(good));
    EXPECT_EQ(read().first, 0);
    const auto [ok, frame] = read();
    EXPECT_NE(ok, 0);
    EXPECT_EQ(frame, good);
}

TEST_F(SerialTest, AnOversizeAnnouncementIsDroppedAndTheNextFrameRead)
{
    const uint32_t total = TAVSERIAL_MAX_FRAME + TAVSERIAL_OVERHEAD + 100;
    Bytes oversize{0xA5, 0x5A, 1, 0, uint8_t(total >> 24), uint8_t(total >> 16), uint8_t(total >> 8), uint8_t(total)};
    oversize.resize(total, 0xA5);  // sync bytes inside must not be taken for a form
    const Bytes good = instrumentFrame(16, 1);
    std::thread writer([&] {
        pty_.send(oversize);
        pty_.send(tavserial::pack(good));
    });
    int length = -1;
    Bytes buffer(TAVSERIAL_MAX_FRAME);
    EXPECT_EQ(ReadUart(buffer.data(), &length), 0);
    EXPECT_EQ(length, 0);
    const auto [ok, frame] = read();
    writer.join();
    EXPECT_NE(ok, 0);
    EXPECT_EQ(frame, good);
}

TEST_F(SerialTest, SilenceFailsBeforeTheFirstByteAndBetweenBytes)
{
    SetUartTimeouts(150, 100);
    EXPECT_EQ(read().first, 0);

    const Bytes line = tavserial::pack(instrumentFrame(64));
    pty_.send(Bytes(line.begin(), line.begin() + 30));  // a reply cut short
    EXPECT_EQ(read().first, 0);

    // The cut form is forgotten: the next whole reply reads normally.
    const Bytes good = instrumentFrame(8, 4);
    pty_.send(tavserial::pack(good));
    const auto [ok, frame] = read();
    EXPECT_NE(ok, 0);
    EXPECT_EQ(frame, good);
}

TEST_F(SerialTest, ALineOfNoiseDoesNotHoldTheReader)
{
    const Bytes noise(tavserial::kMaxLine + 100, 0x33);
    const Bytes good = instrumentFrame(12, 5);
    std::thread writer([&] {
        pty_.send(noise);
        pty_.send(tavserial::pack(good));
    });
    EXPECT_EQ(read().first, 0);
    // The rest of the noise is skipped by the next read, which finds the frame.
    const auto [ok, frame] = read();
    writer.join();
    EXPECT_NE(ok, 0);
    EXPECT_EQ(frame, good);
}

TEST_F(SerialTest, DiscardDropsStaleInput)
{
    pty_.send(tavserial::pack(instrumentFrame(20, 1)));
    pty_.send({0xA5, 0x5A, 1});
    // The pty hands bytes to the slave side asynchronously: wait until all of
    // them are queued there (a second descriptor sees the same queue).
    const int watcher = ::open(pty_.slave.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watcher, 0);
    int queued = 0;
    for (int i = 0; i < 2000 && queued < 20 + 16 + 12 + 3; ++i) {
        ::ioctl(watcher, FIONREAD, &queued);
        if (queued < 20 + 16 + 12 + 3)
            ::poll(nullptr, 0, 1);
    }
    EXPECT_EQ(queued, 20 + 16 + 12 + 3);
    EXPECT_NE(DiscardUartInput(), 0);
    ::ioctl(watcher, FIONREAD, &queued);
    EXPECT_EQ(queued, 0);
    ::close(watcher);
    const Bytes fresh = instrumentFrame(20, 2);
    pty_.send(tavserial::pack(fresh));
    const auto [ok, frame] = read();
    EXPECT_NE(ok, 0);
    EXPECT_EQ(frame, fresh);
}

TEST_F(SerialTest, EveryReadTellsWhatBecameOfIt)
{
    SetUartTimeouts(150, 100);
    const Bytes line = tavserial::pack(instrumentFrame(64));
    Bytes badCrc = line;
    badCrc[40] ^= 1;
    const uint32_t total = TAVSERIAL_MAX_FRAME + TAVSERIAL_OVERHEAD + 1;
    Bytes oversize{0xA5, 0x5A, 1, 0, uint8_t(total >> 24), uint8_t(total >> 16), uint8_t(total >> 8), uint8_t(total)};
    oversize.resize(total, 0);
    const struct {
        const char *what;
        Bytes sent;
        int status;
    } cases[] = {
        {"a whole reply", line, TAVSERIAL_READ_OK},
        {"nothing", {}, TAVSERIAL_READ_SILENT},
        {"a reply cut short", Bytes(line.begin(), line.begin() + 30), TAVSERIAL_READ_CUT},
        {"a damaged reply", badCrc, TAVSERIAL_READ_BAD_CRC},
        {"an oversize announcement", oversize, TAVSERIAL_READ_BAD_LENGTH},
        {"noise", Bytes(40, 0x33), TAVSERIAL_READ_NOISE},
    };
    for (const auto &c : cases) {
        std::thread writer([&] { pty_.send(c.sent); });
        read();
        writer.join();
        EXPECT_EQ(GetUartReadStatus(), c.status) << c.what;
    }
    ::close(pty_.master);  // the far end goes away
    pty_.master = -1;
    read();
    EXPECT_EQ(GetUartReadStatus(), TAVSERIAL_READ_BROKEN);
    UnInitUart();
    read();
    EXPECT_EQ(GetUartReadStatus(), TAVSERIAL_READ_NOT_OPEN);
}

TEST_F(SerialTest, ReopeningClosesThePortLeftOpen)
{
    Pty other;
    ASSERT_GE(other.master, 0);
    ASSERT_NE(SetUartPortPath(kPort + 1, other.slave.c_str()), 0);
    EXPECT_FALSE(pty_.slaveClosed());
    ASSERT_NE(InitUart(kPort + 1, 9600), 0);
    EXPECT_TRUE(pty_.slaveClosed());

    const Bytes line = tavserial::pack(instrumentFrame(4));
    ASSERT_NE(WriteUart(line.data(), int(line.size())), 0);
    EXPECT_EQ(other.receive(line.size()), line);
    SetUartPortPath(kPort + 1, "");
}

TEST_F(SerialTest, ClosedPortRefusesEveryCall)
{
    EXPECT_EQ(UnInitUart(), 1);
    EXPECT_TRUE(pty_.slaveClosed());
    EXPECT_EQ(UnInitUart(), 0);
    const Bytes line = tavserial::pack(instrumentFrame(4));
    EXPECT_EQ(WriteUart(line.data(), int(line.size())), 0);
    EXPECT_EQ(DiscardUartInput(), 0);
    pty_.send(line);
    EXPECT_EQ(read().first, 0);
}

TEST(SerialPorts, PathsThatAreNoSerialDeviceAreRefused)
{
    UnInitUart();
    char file[] = "/tmp/tavserial-plainXXXXXX";
    const int fd = ::mkstemp(file);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_NE(SetUartPortPath(3, file), 0);
    EXPECT_EQ(InitUart(3, 9600), 0);
    ::unlink(file);
    ASSERT_NE(SetUartPortPath(3, "/nonexistent/ttyX"), 0);
    EXPECT_EQ(InitUart(3, 9600), 0);
    SetUartPortPath(3, nullptr);

    EXPECT_EQ(SetUartPortPath(0, "/dev/null"), 0);
    EXPECT_EQ(InitUart(0, 9600), 0);
    EXPECT_EQ(InitUart(-1, 9600), 0);
}

TEST(SerialPorts, WithoutAMappingPortNIsTtyUsbNMinusOne)
{
    Pty pty;
    ASSERT_GE(pty.master, 0);
    // An unused high number, so that no real adapter is touched.
    const int port = 200 + int(::getpid() % 50);
    const std::string fallback = "/dev/ttyUSB" + std::to_string(port - 1);
    struct stat st {};
    if (::stat(fallback.c_str(), &st) == 0 || ::symlink(pty.slave.c_str(), fallback.c_str()) != 0)
        GTEST_SKIP() << "cannot place " << fallback;
    struct Remove {
        std::string path;
        ~Remove() { ::unlink(path.c_str()); }
    } remove{fallback};

    Pty mapped;
    const Bytes line = tavserial::pack(instrumentFrame(4));
    ASSERT_NE(SetUartPortPath(port, mapped.slave.c_str()), 0);
    ASSERT_NE(InitUart(port, 9600), 0);  // the mapping wins
    ASSERT_NE(WriteUart(line.data(), int(line.size())), 0);
    EXPECT_EQ(mapped.receive(line.size()), line);

    ASSERT_NE(SetUartPortPath(port, ""), 0);
    ASSERT_NE(InitUart(port, 9600), 0);
    EXPECT_TRUE(mapped.slaveClosed());
    ASSERT_NE(WriteUart(line.data(), int(line.size())), 0);
    EXPECT_EQ(pty.receive(line.size()), line);
    UnInitUart();
}
