// Throughput and per-exchange cost of Tavlink with the protocol waits taken out.
//
//   build-bench/bench/link_bench --benchmark_counters_tabular=true
//
// Record and screen transfers run against the virtual instrument in-process (TCP and the
// virtual USB socket). The library's own cost is measured against a peer that answers every
// request at once with a prepared frame, next to a bare socket client doing the same round trip.
#include <benchmark/benchmark.h>

#include <ferrule.h>
#include <tavlink.h>
#include <tavlink_testing.h>
#include <vsim/instrument.h>
#include <vsim/server.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

void noSleep(unsigned) {}

constexpr int kFourChannelProduct = 70;
constexpr uint8_t kReadMemoryCh1 = 5;
constexpr uint8_t kReadStatus = 0;

std::vector<uint8_t> readRequest(uint8_t kind)
{
    std::vector<uint8_t> frame(20, 0);
    std::memcpy(frame.data(), "DSOPPV20", 8);
    frame[11] = 4;
    frame[13] = vsim::CmdRead;
    frame[16] = kind;
    return frame;
}

bool sendAll(int fd, const uint8_t *data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool recvAll(int fd, uint8_t *data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::recv(fd, data, size, 0);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

uint32_t frameLength(const uint8_t *header)
{
    return (uint32_t(header[8]) << 24) | (uint32_t(header[9]) << 16) | (uint32_t(header[10]) << 8) | header[11];
}

int connectLoopback(uint16_t port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// Answers each request frame at once with the reply the instrument gave once for it, so the
// measured time is the transport and the client, nothing of the instrument's work.
class InstantPeer {
public:
    explicit InstantPeer(vsim::Instrument &instrument) : instrument_(instrument)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(listener_, 4);
        socklen_t size = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~InstantPeer()
    {
        stop_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        for (std::thread &t : connections_)
            t.join();
        ::close(listener_);
    }
    uint16_t port() const { return port_; }

private:
    void run()
    {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0)
                continue;
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            // Tavlink keeps its connection open while the bare client makes its own.
            connections_.emplace_back([this, fd] {
                serve(fd);
                ::close(fd);
            });
        }
    }
    void serve(int fd)
    {
        std::vector<uint8_t> request(25600);
        std::vector<std::vector<uint8_t>> replies(256);  // by command and read kind
        while (!stop_) {
            pollfd p{fd, POLLIN, 0};
            int ready = ::poll(&p, 1, 100);
            if (ready == 0)
                continue;
            if (ready < 0 || !recvAll(fd, request.data(), 16))
                return;
            uint32_t n = frameLength(request.data());
            if (n > request.size() - 16 || !recvAll(fd, request.data() + 16, n))
                return;
            size_t key = (size_t(request[13]) << 4 | (n ? request[16] & 0x0F : 0)) & 0xFF;
            std::vector<uint8_t> &reply = replies[key];
            if (reply.empty())
                reply = instrument_.handle(request.data(), 16 + n).bytes;
            if (!sendAll(fd, reply.data(), reply.size()))
                return;
        }
    }

    vsim::Instrument &instrument_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<std::thread> connections_;
};

struct Rig {
    vsim::Instrument instrument{kFourChannelProduct};
    vsim::Server server{instrument};
    uint16_t tcpPort = 0;
    std::string usbSocket;
    Rig()
    {
        TavlinkSetSleep(noSleep);
        tcpPort = server.startTcp();
        char dir[] = "/tmp/vantor-bench-XXXXXX";
        if (::mkdtemp(dir)) {
            usbSocket = std::string(dir) + "/usb.sock";
            server.startUsb(usbSocket);
        }
    }
    ~Rig()
    {
        server.stop();
        if (!usbSocket.empty()) {
            ::unlink(usbSocket.c_str());
            ::rmdir(usbSocket.substr(0, usbSocket.rfind('/')).c_str());
        }
    }
};

Rig &rig()
{
    static Rig instance;
    return instance;
}

bool bindTcp(uint16_t port)
{
    GetConnectStyle(TAVLINK_STYLE_NET);
    return Dso_InitSocket(0, "127.0.0.1", port) && BindDso();
}

void memoryRecord(benchmark::State &state, bool ok)
{
    if (!ok) {
        state.SkipWithError("the instrument did not bind");
        return;
    }
    IsNeedParam(0, 0, 0, 0);
    std::vector<unsigned char> samples(TAVLINK_RECORD_BYTES);
    int count = 0;
    for (auto _ : state) {
        if (!GetParameter_CH1_AllWaveData(samples.data(), &count, nullptr)) {
            state.SkipWithError("memory record failed");
            return;
        }
    }
    state.counters["samples"] = count;
    state.counters["exchanges/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(int64_t(state.iterations()) * (count + 8 + 16));
}

void BM_MemoryRecordTcp(benchmark::State &state) { memoryRecord(state, bindTcp(rig().tcpPort)); }
BENCHMARK(BM_MemoryRecordTcp)->Unit(benchmark::kMicrosecond)->UseRealTime();

FerruleNotifyTarget g_target{FERRULE_NOTIFY_MAGIC, nullptr, nullptr};

void BM_MemoryRecordUsb(benchmark::State &state)
{
    Rig &r = rig();
    if (r.usbSocket.empty()) {
        state.SkipWithError("no folder for the virtual USB socket");
        return;
    }
    ::setenv("FERRULE_SIM_SOCKET", r.usbSocket.c_str(), 1);
    GetConnectStyle(TAVLINK_STYLE_USB);
    memoryRecord(state, IsHasConnect(&g_target) && BindDso());
    UnloadUSBDevice();
}
BENCHMARK(BM_MemoryRecordUsb)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ScreenTransferTcp(benchmark::State &state)
{
    if (!bindTcp(rig().tcpPort)) {
        state.SkipWithError("the instrument did not bind");
        return;
    }
    std::vector<uint8_t> chunk(TAVLINK_CHUNK_BYTES);
    uint64_t bytes = 0;
    int chunks = 0;
    for (auto _ : state) {
        uint32_t total = 0;
        if (!Send_Bmp_Begin_Invoke(&total)) {
            state.SkipWithError("begin refused");
            return;
        }
        int status = 0;
        for (int index = 0; status != 2; ++index) {
            uint32_t length = 0;
            status = Send_Bmp_Trans_Invoke(index, index, chunk.data(), &length);
            if (status < 0) {
                state.SkipWithError("chunk failed");
                return;
            }
            bytes += length;
            ++chunks;
        }
        Send_Bmp_End_Invoke();
    }
    state.SetBytesProcessed(int64_t(bytes));
    state.counters["chunks"] = double(chunks) / double(state.iterations());
}
BENCHMARK(BM_ScreenTransferTcp)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same round trips against the instant peer: through Tavlink, and by a bare client.
InstantPeer &peer()
{
    static InstantPeer instance(rig().instrument);
    return instance;
}

void tavlinkExchange(benchmark::State &state, int requestType)
{
    if (!bindTcp(peer().port())) {
        state.SkipWithError("the instant peer did not bind");
        return;
    }
    IsNeedParam(0, 0, 0, 0);
    for (auto _ : state) {
        if (!IsGetDataFromInStruct(requestType)) {
            state.SkipWithError("exchange failed");
            return;
        }
    }
    state.counters["exchanges/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void rawExchange(benchmark::State &state, uint8_t kind)
{
    int fd = connectLoopback(peer().port());
    if (fd < 0) {
        state.SkipWithError("cannot connect to the instant peer");
        return;
    }
    std::vector<uint8_t> request = readRequest(kind);
    std::vector<uint8_t> reply(25600);
    for (auto _ : state) {
        if (!sendAll(fd, request.data(), request.size()) || !recvAll(fd, reply.data(), 16) ||
            !recvAll(fd, reply.data() + 16, frameLength(reply.data()))) {
            state.SkipWithError("raw exchange failed");
            break;
        }
    }
    ::close(fd);
    state.counters["exchanges/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_TavlinkStatusInstant(benchmark::State &s) { tavlinkExchange(s, 0); }
void BM_RawStatusInstant(benchmark::State &s) { rawExchange(s, kReadStatus); }
void BM_TavlinkMemoryRecordInstant(benchmark::State &s) { tavlinkExchange(s, 5); }
void BM_RawMemoryRecordInstant(benchmark::State &s) { rawExchange(s, kReadMemoryCh1); }
BENCHMARK(BM_TavlinkStatusInstant)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_RawStatusInstant)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_TavlinkMemoryRecordInstant)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_RawMemoryRecordInstant)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
