// The virtual-USB socket with a raw host that speaks the wire by hand.
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "ferrule_sim_wire.h"
#include "helpers.h"
#include "vsim/instrument.h"
#include "vsim/server.h"

using namespace vsimtest;
using vsim::Fault;

namespace {

class Host {
public:
    explicit Host(const std::string &path)
    {
        fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    }
    ~Host() { ::close(fd_); }
    bool connected() const { return connected_; }

    void command(uint16_t pipe, uint16_t transferLength, uint16_t count)
    {
        uint8_t m[1 + FERRULE_SIM_PACKET] = {FERRULE_SIM_EP_COMMAND, 'C', 'o', 'm', 'm'};
        m[5] = uint8_t(pipe);
        m[6] = uint8_t(pipe >> 8);
        m[7] = uint8_t(transferLength);
        m[8] = uint8_t(transferLength >> 8);
        m[9] = uint8_t(count);
        m[10] = uint8_t(count >> 8);
        ::send(fd_, m, sizeof m, MSG_NOSIGNAL);
    }
    // One write transfer on pipe 7, in 512-byte pieces padded to 64.
    void write(const std::vector<uint8_t> &bytes)
    {
        uint16_t padded = uint16_t((bytes.size() + 63) / 64 * 64);
        command(7, padded, uint16_t(bytes.size()));
        std::vector<uint8_t> data = bytes;
        data.resize(padded, 0);
        for (size_t at = 0; at < data.size(); at += FERRULE_SIM_PIECE) {
            size_t n = std::min<size_t>(FERRULE_SIM_PIECE, data.size() - at);
            std::vector<uint8_t> m{FERRULE_SIM_EP_WRITE};
            m.insert(m.end(), data.begin() + long(at), data.begin() + long(at + n));
            ::send(fd_, m.data(), m.size(), MSG_NOSIGNAL);
        }
    }
    // One read transfer on pipe 8; nothing when the device stays silent or
    // ends the transfer short. The size of every piece that came is kept.
    std::optional<std::vector<uint8_t>> read(uint16_t count)
    {
        uint16_t pieces = uint16_t((count + FERRULE_SIM_PIECE - 1) / FERRULE_SIM_PIECE);
        command(0x8000 | 8, uint16_t(pieces * FERRULE_SIM_PIECE), count);
        std::vector<uint8_t> out;
        pieceSizes.clear();
        for (uint16_t i = 0; i < pieces; ++i) {
            uint8_t token[3] = {FERRULE_SIM_EP_READ, 0x00, 0x02};
            ::send(fd_, token, sizeof token, MSG_NOSIGNAL);
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 300) <= 0)
                return std::nullopt;  // a silent pipe
            uint8_t m[1 + FERRULE_SIM_PIECE];
            ssize_t n = ::recv(fd_, m, sizeof m, 0);
            if (n >= 1)
                pieceSizes.push_back(size_t(n - 1));
            if (n <= 1)
                return std::nullopt;
            out.insert(out.end(), m + 1, m + n);
        }
        out.resize(count);
        return out;
    }
    std::vector<size_t> pieceSizes;

private:
    int fd_ = -1;
    bool connected_ = false;
};

class Usb : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server_.usbAvailable())
            GTEST_SKIP() << "built without the virtual-USB device";
        path_ = ::testing::TempDir() + "vsim-usb-" + std::to_string(::getpid()) + ".sock";
        server_.startUsb(path_);
    }
    void TearDown() override { server_.stop(); }
    // The host's way: the header first, then the whole frame from its start.
    Parsed exchange(Host &host, const std::vector<uint8_t> &req)
    {
        host.write(req);
        auto head = host.read(16);
        if (!head)
            return {};
        auto whole = host.read(uint16_t(16 + be32(&(*head)[8])));
        return whole ? parse(*whole) : Parsed{};
    }
    static bool exists(const std::string &path)
    {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0;
    }
    // The device removes its socket right after it hangs up.
    static bool goneSoon(const std::string &path)
    {
        for (int i = 0; i < 100 && exists(path); ++i)
            ::usleep(10000);
        return !exists(path);
    }
    vsim::Instrument inst_{70};
    vsim::Server server_{inst_};
    std::string path_;
};

TEST_F(Usb, HeaderThenTheWholeFrameFromItsStart)
{
    Host host(path_);
    ASSERT_TRUE(host.connected());
    Parsed r = exchange(host, request(vsim::CmdBind));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.payload[1], 70);
    r = exchange(host, readRequest(5, 1));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(be32(&r.payload[4]), 24000u);
    // Consumed once read whole: a further read gets nothing.
    EXPECT_FALSE(host.read(16));
}

TEST_F(Usb, UnplugRemovesTheSocketAndReplugBringsItBack)
{
    EXPECT_TRUE(exists(path_));
    server_.unplugUsb();
    EXPECT_FALSE(exists(path_));
    server_.replugUsb();
    EXPECT_TRUE(exists(path_));
    Host host(path_);
    EXPECT_TRUE(exchange(host, request(vsim::CmdUnbind)).ok);
}

TEST_F(Usb, DisconnectVanishesInTheMiddleOfTheReply)
{
    inst_.inject({Fault::Disconnect, 0, 1000});
    Host host(path_);
    host.write(readRequest(1));
    ASSERT_TRUE(host.read(16));  // the header still comes
    EXPECT_FALSE(host.read(6024));
    EXPECT_TRUE(goneSoon(path_));
    server_.replugUsb();
    Host again(path_);
    EXPECT_TRUE(exchange(again, request(vsim::CmdBind)).ok);
}

TEST_F(Usb, ATruncatedReplyIsAShortTransferNeverPadding)
{
    // Cut inside a piece, and on a piece boundary (an empty piece ends it).
    const std::pair<int, std::vector<size_t>> cases[] = {{700, {512, 188}}, {1024, {512, 512, 0}}};
    for (const auto &[cut, pieces] : cases) {
        inst_.inject({Fault::Truncate, 0, cut});
        Host host(path_);
        host.write(readRequest(1));
        auto head = host.read(16);
        ASSERT_TRUE(head);
        EXPECT_FALSE(host.read(uint16_t(16 + be32(&(*head)[8]))));
        EXPECT_EQ(host.pieceSizes, pieces) << cut;
    }
}

TEST_F(Usb, ATruncatedReplyEndsInSilence)
{
    inst_.inject({Fault::Truncate, 0, 16});
    Host host(path_);
    host.write(request(vsim::CmdBind));
    auto head = host.read(16);
    ASSERT_TRUE(head);
    EXPECT_EQ(be32(&(*head)[8]), 96u);
    EXPECT_FALSE(host.read(16 + 96));
}

}  // namespace
