// Tavnet against a loopback server thread that plays the instrument.
#include "tavnet.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <numeric>
#include <thread>
#include <vector>

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

// A TCP socket bound to address (port chosen by the system), listening with
// backlog unless backlog < 0; its port goes to *port.
int bindLoopback(const char *address, int backlog, int *port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    ::inet_pton(AF_INET, address, &addr.sin_addr);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), len) != 0 || (backlog >= 0 && ::listen(fd, backlog) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        ADD_FAILURE() << "cannot listen on " << address;
    *port = ntohs(addr.sin_port);
    return fd;
}

// Listens on a loopback address and runs script on the first connection.
class LoopbackServer {
public:
    explicit LoopbackServer(std::function<void(int)> script, const char *address = "127.0.0.1")
    {
        listener_ = bindLoopback(address, 1, &port_);
        thread_ = std::thread([this, script = std::move(script)] {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 2000) != 1)
                return;
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0)
                return;
            script(fd);
            ::close(fd);
        });
    }
    ~LoopbackServer()
    {
        finish();
        ::close(listener_);
    }
    // Waits until the script has run and the connection is closed.
    void finish()
    {
        if (thread_.joinable())
            thread_.join();
    }
    int port() const { return port_; }

private:
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

void sendAll(int fd, const Bytes &data)
{
    for (size_t done = 0; done < data.size();) {
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += size_t(n);
    }
}

Bytes receiveExactly(int fd, size_t count)
{
    Bytes got(count);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::recv(fd, got.data() + done, count - done, 0);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    got.resize(done);
    return got;
}

Bytes pattern(size_t n)
{
    Bytes b(n);
    std::iota(b.begin(), b.end(), uint8_t(1));
    return b;
}

long msSince(Clock::time_point start)
{
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class NetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(InitSocket(), 1);
        DsoSetTimeouts(2000, 2000);
    }
    void TearDown() override
    {
        DsoCloseSocket();
        DsoSetTimeouts(3000, 3000);
    }
};

}  // namespace

TEST_F(NetTest, SendsARequestAndReceivesTheReply)
{
    const Bytes request = pattern(20), reply = pattern(300);
    Bytes seen;
    {
        LoopbackServer server([&](int fd) {
            seen = receiveExactly(fd, request.size());
            sendAll(fd, reply);
        });
        ASSERT_EQ(DsoConnect(0, "127.0.0.1", server.port()), 1);
        int sent = -1;
        ASSERT_EQ(DsoSendData(request.data(), int(request.size()), &sent, 1), 1);
        EXPECT_EQ(sent, int(request.size()));

        Bytes got(reply.size());
        int total = 0;
        while (total < int(got.size())) {
            int n = 0;
            ASSERT_EQ(DsoRecvData(got.data() + total, int(got.size()) - total, &n, 1), 1);
            ASSERT_GT(n, 0);
            total += n;
        }
        EXPECT_EQ(got, reply);
    }
    EXPECT_EQ(seen, request);
}

TEST_F(NetTest, SendingWaitsForASlowReaderAndDeliversEverything)
{
    // Far more than the socket buffers hold, so sends go out in parts.
    const Bytes big = pattern(8 << 20);
    Bytes seen;
    {
        LoopbackServer server([&](int fd) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            seen = receiveExactly(fd, big.size());
        });
        ASSERT_EQ(DsoConnect(0, "127.0.0.1", server.port()), 1);
        int sent = 0;
        ASSERT_EQ(DsoSendData(big.data(), int(big.size()), &sent, 1), 1);
        EXPECT_EQ(sent, int(big.size()));
    }
    EXPECT_EQ(seen, big);
}

TEST_F(NetTest, PiecesWithPausesArriveAsTheyComeAndTheCallerLoops)
{
    const Bytes frame = pattern(100);
    LoopbackServer server([&](int fd) {
        for (size_t at = 0; at < frame.size(); at += 10) {
            sendAll(fd, Bytes(frame.begin() + at, frame.begin() + at + 10));
            receiveExactly(fd, 1);  // the client has taken this piece
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    ASSERT_EQ(DsoConnect(0, "127.0.0.1", server.port()), 1);
    Bytes got(frame.size());
    for (int total = 0; total < int(frame.size());) {
        int n = 0;
        // Asks for the whole rest, gets what has come and does not wait for more.
        ASSERT_EQ(DsoRecvData(got.data() + total, int(frame.size()) - total, &n, 1), 1);
        ASSERT_EQ(n, 10);
        total += n;
        const uint8_t ack = 1;
        ASSERT_EQ(DsoSendData(&ack, 1, &n, 1), 1);
    }
    EXPECT_EQ(got, frame);
}

TEST_F(NetTest, ReceiveTimesOutAndTheConnectionStaysUsable)
{
    LoopbackServer server([&](int fd) {
        uint8_t go;
        ::recv(fd, &go, 1, 0);  // the client says when
        sendAll(fd, {0x42});
    });
    ASSERT_EQ(DsoConnect(0, "127.0.0.1", server.port()), 1);
    DsoSetTimeouts(0, 100);  // 0 keeps the connect time-out
    uint8_t b = 0;
    int n = -1;
    EXPECT_EQ(DsoRecvData(&b, 1, &n, 1), 0);
    EXPECT_EQ(n, 0);

    const uint8_t go = 1;
    ASSERT_EQ(DsoSendData(&go, 1, &n, 1), 1);
    EXPECT_EQ(DsoRecvData(&b, 1, &n, 1), 1);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(b, 0x42);
}

TEST_F(NetTest, WithoutWaitingReceiveReturnsWhatIsThereEvenNothing)
{
    LoopbackServer server([&](int fd) {
        receiveExactly(fd, 1);
        sendAll(fd, {1, 2, 3});  // one segment: all three arrive together
        receiveExactly(fd, 1);
    });
    ASSERT_EQ(DsoConnect(0, "127.0.0.1", server.port()), 1);
    uint8_t buf[8] = {};
    int n = -1;
    EXPECT_EQ(DsoRecvData(buf, 8, &n, 0), 1);
    EXPECT_EQ(n, 0);

    const uint8_t go = 1;
    ASSERT_EQ(DsoSendData(&go, 1, &n, 1), 1);
    ASSERT_EQ(DsoRecvData(buf, 1, &n, 1), 1);  // waits for the first byte only
    ASSERT_EQ(n, 1);
    EXPECT_EQ(DsoRecvData(buf + 1, 8, &n, 0), 1);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(Bytes(buf, buf + 3), (Bytes{1, 2, 3}));
    ASSERT_EQ(DsoSendData(&go, 1, &n, 1), 1);
}

TEST_F(NetTest, APeerThatClosesFailsBothReceivesAndClosesTheSocket)
{
    for (int wait : {1, 0}) {
        LoopbackServer server([](int fd) { ::shutdown(fd, SHUT_RDWR); });
        ASSERT_EQ(DsoConnect(0, "127.0.0.1", server.port()), 1);
        uint8_t b;
        int n = -1;
        if (wait == 0) {
            // Let the end of stream arrive first.
            for (int i = 0; i < 200 && DsoRecvData(&b, 1, &n, 0) == 1; ++i)
                ::poll(nullptr, 0, 5);
        } else {
            EXPECT_EQ(DsoRecvData(&b, 1, &n, wait), 0);
        }
        EXPECT_EQ(n, 0);
        // Closed now: even sending refuses.
        EXPECT_EQ(DsoSendData(&b, 1, &n, 1), 0);
        EXPECT_EQ(DsoRecvData(&b, 1, &n, 0), 0);
    }
}

TEST_F(NetTest, SendingToAResetPeerFailsWithoutASignal)
{
    // A reset that beats the client's look at its non-blocking connect fails
    // the connect itself, so the server resets only once a first byte came;
    // the chunks go out once it has, so every one of them meets a reset peer.
    LoopbackServer server([](int fd) {
        EXPECT_EQ(receiveExactly(fd, 1), Bytes{7});
        linger off{1, 0};  // reset instead of an orderly close
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    });
    ASSERT_EQ(DsoConnect(0, "127.0.0.1", server.port()), 1);
    const uint8_t first = 7;
    ASSERT_EQ(DsoSendData(&first, 1, nullptr, 1), 1);
    server.finish();
    const Bytes chunk = pattern(64 << 10);
    int n = 0;
    unsigned char ok = 1;
    for (int i = 0; i < 100 && ok; ++i)
        ok = DsoSendData(chunk.data(), int(chunk.size()), &n, 1);
    EXPECT_EQ(ok, 0);
}

TEST_F(NetTest, WithoutAConnectionEveryCallFails)
{
    bool closed = false;
    {
        // InitSocket closes the connection left open; the peer sees it go.
        LoopbackServer server([&](int fd) {
            uint8_t b;
            pollfd p{fd, POLLIN, 0};
            closed = ::poll(&p, 1, 2000) == 1 && ::recv(fd, &b, 1, 0) == 0;
        });
        ASSERT_EQ(DsoConnect(0, "127.0.0.1", server.port()), 1);
        EXPECT_EQ(InitSocket(), 1);
    }
    EXPECT_TRUE(closed);

    uint8_t b = 0;
    int n = -1;
    EXPECT_EQ(DsoSendData(&b, 1, &n, 1), 0);
    EXPECT_EQ(n, 0);
    n = -1;
    EXPECT_EQ(DsoRecvData(&b, 1, &n, 1), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(DsoRecvData(&b, 1, &n, 0), 0);
    EXPECT_EQ(DsoConnect(0, nullptr, 8001), 0);
    EXPECT_EQ(DsoConnect(0, "", 8001), 0);
    EXPECT_EQ(DsoConnect(0, "127.0.0.1", 0), 0);
    EXPECT_EQ(DsoConnect(0, "127.0.0.1", 65536), 0);
    EXPECT_EQ(DsoConnect(0, "no.such.host.invalid", 8001), 0);
}

TEST_F(NetTest, HostNamesAndZeroPaddedAddressesConnect)
{
    // "010" is ten here, not octal eight.
    const std::pair<const char *, const char *> cases[] = {{"localhost", "127.0.0.1"},
                                                           {"127.000.000.010", "127.0.0.10"}};
    for (const auto &[host, listenOn] : cases) {
        LoopbackServer server([](int fd) { sendAll(fd, {7}); }, listenOn);
        ASSERT_EQ(DsoConnect(0, host, server.port()), 1) << host;
        uint8_t b = 0;
        int n = 0;
        EXPECT_EQ(DsoRecvData(&b, 1, &n, 1), 1) << host;
        EXPECT_EQ(b, 7);
    }
}

TEST_F(NetTest, ConnectFailsAtOnceWhenRefusedAndWithinTheTimeOutWhenUnanswered)
{
    int port;
    ::close(bindLoopback("127.0.0.1", -1, &port));  // just free
    DsoSetTimeouts(10000, 0);
    auto start = Clock::now();
    EXPECT_EQ(DsoConnect(0, "127.0.0.1", port), 0);
    EXPECT_LT(msSince(start), 2000);

    // A listener whose queue is full drops further handshakes unanswered, as
    // an unroutable address does, without leaving the machine.
    const int listener = bindLoopback("127.0.0.1", 0, &port);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(uint16_t(port));
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        ::connect(fillers.back(), reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    }
    DsoSetTimeouts(300, 0);
    start = Clock::now();
    EXPECT_EQ(DsoConnect(0, "127.0.0.1", port), 0);
    const long took = msSince(start);
    EXPECT_GE(took, 250);  // it did wait for an answer
    EXPECT_LT(took, 300 + 700);
    for (int fd : fillers)
        ::close(fd);
    ::close(listener);
}
