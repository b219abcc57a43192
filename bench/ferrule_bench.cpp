// Cost of Ferrule per transfer over the virtual-USB socket. The "Bare"
// cases move the same messages on a socket of their own to the same kind of
// device, so the difference is what Ferrule adds (mutex, stale drain,
// command block building, piece copies).
#include "command_block.h"
#include "ferrule.h"
#include "sim_usb_device.h"
#include "unix_socket.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::optional<std::vector<std::uint8_t>> anyBytes(std::uint16_t, std::uint16_t count)
{
    return std::vector<std::uint8_t>(count, 0x5A);
}

struct Device {
    explicit Device(const std::string &path) : sim(path)
    {
        sim.setRecording(false);
        sim.setLogLimit(64);
        sim.setReadHandler(anyBytes);
        sim.start();
    }
    ~Device() { sim.stop(); }
    ferrule::SimUsbDevice sim;
};

std::string socketPath(const char *what)
{
    return "/tmp/ferrule-bench-" + std::to_string(::getpid()) + "-" + what + ".sock";
}

bool load(Device &device, benchmark::State &state)
{
    ::setenv(FERRULE_SIM_ENV, device.sim.socketPath().c_str(), 1);
    static FerruleNotifyTarget target{FERRULE_NOTIFY_MAGIC, nullptr, nullptr};
    if (LoadUSBDevice(&target) == 1)
        return true;
    state.SkipWithError("no virtual device");
    return false;
}

void ferruleWrite(benchmark::State &state)
{
    Device device(socketPath("w"));
    if (!load(device, state))
        return;
    std::vector<unsigned char> data(static_cast<std::size_t>(state.range(0)), 0xA5);
    for (auto _ : state)
        if (WriteUSBDevice(7, data.data(), static_cast<unsigned>(data.size())) != 1)
            state.SkipWithError("write failed");
    state.SetBytesProcessed(state.iterations() * state.range(0));
    UnloadUSBDevice();
}

void ferruleRead(benchmark::State &state)
{
    Device device(socketPath("r"));
    if (!load(device, state))
        return;
    std::vector<unsigned char> data(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        if (ReadUSBDevice(8, data.data(), static_cast<unsigned>(data.size())) != 1)
            state.SkipWithError("read failed");
    state.SetBytesProcessed(state.iterations() * state.range(0));
    UnloadUSBDevice();
}

ferrule::UniqueFd connectBare(const std::string &path)
{
    sockaddr_un addr{};
    socklen_t len = 0;
    ferrule::makeUnixAddress(path, addr, len);
    ferrule::UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (::connect(fd.get(), reinterpret_cast<sockaddr *>(&addr), len) != 0)
        fd.reset();
    return fd;
}

void sendCommand(int fd, const ferrule::CommandFields &fields)
{
    std::uint8_t packet[1 + 64] = {FERRULE_SIM_EP_COMMAND};
    auto block = ferrule::encodeCommandBlock(fields);
    std::memcpy(packet + 1, block.data(), block.size());
    ::send(fd, packet, sizeof packet, MSG_NOSIGNAL);
}

void bareWrite(benchmark::State &state)
{
    Device device(socketPath("bw"));
    ferrule::UniqueFd fd = connectBare(device.sim.socketPath());
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::size_t rounded = ferrule::roundUp(count, 64);
    std::vector<std::uint8_t> piece(1 + 512, 0xA5);
    piece[0] = FERRULE_SIM_EP_WRITE;
    for (auto _ : state) {
        sendCommand(fd.get(), ferrule::writeCommand(7, count));
        for (std::size_t off = 0; off < rounded; off += 512)
            ::send(fd.get(), piece.data(), 1 + std::min<std::size_t>(512, rounded - off), MSG_NOSIGNAL);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void bareRead(benchmark::State &state)
{
    Device device(socketPath("br"));
    ferrule::UniqueFd fd = connectBare(device.sim.socketPath());
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::uint8_t token[3] = {FERRULE_SIM_EP_READ, 0x00, 0x02};
    std::vector<std::uint8_t> piece(1 + 512);
    for (auto _ : state) {
        sendCommand(fd.get(), ferrule::readCommand(8, count));
        for (std::size_t off = 0; off < count; off += 512) {
            ::send(fd.get(), token, sizeof token, MSG_NOSIGNAL);
            ::recv(fd.get(), piece.data(), piece.size(), 0);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(ferruleWrite)->Arg(20)->Arg(512)->Arg(4096)->Arg(25600);
BENCHMARK(bareWrite)->Arg(20)->Arg(512)->Arg(4096)->Arg(25600);
BENCHMARK(ferruleRead)->Arg(16)->Arg(512)->Arg(4096)->Arg(25600);
BENCHMARK(bareRead)->Arg(16)->Arg(512)->Arg(4096)->Arg(25600);

BENCHMARK_MAIN();
