// Each transport once, with a raw client of its own.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

#include "helpers.h"
#include "line.h"
#include "lineform.h"  // Tavserial's codec
#include "vsim/instrument.h"
#include "vsim/server.h"

using namespace vsimtest;
using vsim::Fault;

namespace {

// Reads up to length bytes; stops early at end of stream or after 2 s of silence.
std::vector<uint8_t> readSome(int fd, size_t length)
{
    std::vector<uint8_t> out;
    uint8_t buf[4096];
    while (out.size() < length) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0)
            break;
        ssize_t n = ::read(fd, buf, std::min(sizeof buf, length - out.size()));
        if (n <= 0)
            break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

bool atEnd(int fd)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) <= 0)
        return false;
    uint8_t b;
    return ::read(fd, &b, 1) == 0;
}

class Tcp : public ::testing::Test {
protected:
    void SetUp() override
    {
        port_ = server_.startTcp("127.0.0.1", 0);
        ASSERT_NE(port_, 0);
        fd_ = connectClient();
    }
    void TearDown() override
    {
        if (fd_ >= 0)
            ::close(fd_);
        server_.stop();
    }
    int connectClient()
    {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port_);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
        return fd;
    }
    void send(const std::vector<uint8_t> &req) { ASSERT_EQ(::write(fd_, req.data(), req.size()), ssize_t(req.size())); }
    Parsed receive()
    {
        std::vector<uint8_t> head = readSome(fd_, 16);
        if (head.size() < 16)
            return {};
        std::vector<uint8_t> rest = readSome(fd_, be32(&head[8]));
        head.insert(head.end(), rest.begin(), rest.end());
        return parse(head);
    }
    vsim::Instrument inst_{70};
    vsim::Server server_{inst_};
    uint16_t port_ = 0;
    int fd_ = -1;
};

TEST_F(Tcp, BindThenStatusOnOneConnection)
{
    send(request(vsim::CmdBind));
    Parsed r = receive();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.payload[1], 70);
    send(readRequest(0));
    r = receive();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.command, vsim::CmdRead);
    EXPECT_EQ(r.payload.size(), 116u);
}

TEST_F(Tcp, ALargeReplyArrivesWhole)
{
    send(readRequest(5, 1));  // channel 1 memory record with the block
    Parsed r = receive();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(be32(&r.payload[4]), 24000u);
}

TEST_F(Tcp, PartialWritesStillMakeOneFrame)
{
    server_.setPieceDelay(0);
    inst_.inject({Fault::PartialWrites});
    send(readRequest(1));
    Parsed r = receive();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(be32(&r.payload[4]), 6000u);
}

TEST_F(Tcp, ADroppedReplyIsNeverSent)
{
    inst_.inject({Fault::Drop, vsim::CmdBind});
    send(request(vsim::CmdBind));
    send(request(vsim::CmdUnbind));
    Parsed r = receive();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.command, vsim::CmdUnbind);  // the first answer is the second request's
}

TEST_F(Tcp, DisconnectHangsUpAfterTheGivenBytes)
{
    inst_.inject({Fault::Disconnect, 0, 10});
    send(request(vsim::CmdBind));
    EXPECT_EQ(readSome(fd_, 16).size(), 10u);
    EXPECT_TRUE(atEnd(fd_));
    // The instrument still takes new connections.
    ::close(fd_);
    fd_ = connectClient();
    send(request(vsim::CmdBind));
    EXPECT_TRUE(receive().ok);
}

TEST_F(Tcp, ATruncatedReplyLeavesTheConnectionOpen)
{
    inst_.inject({Fault::Truncate, 0, 12});
    send(request(vsim::CmdBind));
    std::vector<uint8_t> cut = readSome(fd_, 12);
    EXPECT_EQ(cut.size(), 12u);
    EXPECT_EQ(std::string(cut.begin(), cut.begin() + 8), "DSOPPV20");
    // The host gives up on it; the line is still good for the next request,
    // whose answer starts right behind the cut bytes.
    send(request(vsim::CmdUnbind));
    Parsed r = receive();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.command, vsim::CmdUnbind);
}

TEST_F(Tcp, AStreamThatLosesItsFramingIsClosed)
{
    std::vector<uint8_t> junk(16, 0x55);
    send(junk);
    EXPECT_TRUE(atEnd(fd_));
}

TEST(Pty, ALineFormRequestGetsALineFormReply)
{
    vsim::Instrument inst(58);
    vsim::Server server(inst);
    std::string path = server.startPty();
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    // Noise on the line before the frame is skipped.
    std::vector<uint8_t> line = {0x00, 0xA5, 0x13};
    std::vector<uint8_t> packed = vsim::packLine(request(vsim::CmdBind));
    line.insert(line.end(), packed.begin(), packed.end());
    ASSERT_EQ(::write(fd, line.data(), line.size()), ssize_t(line.size()));
    std::vector<uint8_t> head = readSome(fd, 8);
    ASSERT_EQ(head.size(), 8u);
    EXPECT_EQ(head[0], 0xA5);
    EXPECT_EQ(head[1], 0x5A);
    std::vector<uint8_t> rest = readSome(fd, be32(&head[4]) - 8);
    head.insert(head.end(), rest.begin(), rest.end());
    tavserial::LineParser parser;
    EXPECT_EQ(parser.feed(head.data(), head.size()), head.size());
    ASSERT_EQ(parser.status(), tavserial::LineParser::Status::Frame);
    Parsed r = parse({parser.frame().begin(), parser.frame().end()});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.payload[1], 58);

    // A cut reply: the header promises the whole frame, then the line goes quiet.
    inst.inject({Fault::Truncate, 0, 10});
    packed = vsim::packLine(request(vsim::CmdUnbind));
    ASSERT_EQ(::write(fd, packed.data(), packed.size()), ssize_t(packed.size()));
    std::vector<uint8_t> cut = readSome(fd, 8 + 10);
    ASSERT_EQ(cut.size(), 8u + 10u);
    EXPECT_EQ(be32(&cut[4]), 12u + 20u);  // unbind: a 4-byte payload, a 20-byte frame
    EXPECT_EQ(std::string(cut.begin() + 8, cut.begin() + 16), "DSOPPV20");
    ::close(fd);
    server.stop();
}

TEST(LineForm, ACutReplyPromisesTheWholeFrameAndCarriesNoCrc)
{
    std::vector<uint8_t> frame(20, 7);
    std::vector<uint8_t> cut = vsim::packLine(frame, 116);
    EXPECT_EQ(be32(&cut[4]), 128u);
    EXPECT_EQ(cut.size(), 28u);
    std::vector<uint8_t> whole = vsim::packLine(frame);
    EXPECT_EQ(whole.size(), 32u);
    EXPECT_EQ(be32(&whole[4]), 32u);
    tavserial::LineParser parser;
    parser.feed(whole.data(), whole.size());
    EXPECT_EQ(parser.status(), tavserial::LineParser::Status::Frame);
}

TEST(LineForm, AnOversizeFrameIsStillWrappedWhole)
{
    std::vector<uint8_t> frame(30016, 1);
    std::vector<uint8_t> line = vsim::packLine(frame);
    EXPECT_EQ(line.size(), 30028u);
    EXPECT_EQ(be32(&line[4]), 30028u);
    EXPECT_EQ(be32(&line[30024]), tavserial::crc32(line.data(), 30024));
}

}  // namespace
