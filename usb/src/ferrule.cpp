// Ferrule's exports: pipe state, announced transfers, device-change handling.
#include "ferrule.h"
#include "ferrule_testing.h"

#include "command_block.h"
#include "device.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace ferrule {
namespace {

constexpr unsigned kWritePieceMs = 1000;
constexpr unsigned kReadPieceMs = 2000;
constexpr unsigned kMutexMs = 5000;

// {7E16F3C1-63BF-4C39-B844-F35A86BA139B} in its in-memory byte order.
constexpr std::uint8_t kClassGuid[16] = {0xC1, 0xF3, 0x16, 0x7E, 0xBF, 0x63, 0x39, 0x4C,
                                         0xB8, 0x44, 0xF3, 0x5A, 0x86, 0xBA, 0x13, 0x9B};

// The transfer mutex: a flag under a plain mutex with a condition, which
// every thread checker understands (timed pthread locks it may not).
class TransferGate {
public:
    bool tryAcquireFor(std::chrono::milliseconds limit)
    {
        std::unique_lock lock(mutex_);
        if (!freed_.wait_for(lock, limit, [this] { return !busy_; }))
            return false;
        busy_ = true;
        return true;
    }
    void acquire()
    {
        std::unique_lock lock(mutex_);
        freed_.wait(lock, [this] { return !busy_; });
        busy_ = true;
    }
    void release()
    {
        {
            std::lock_guard lock(mutex_);
            busy_ = false;
        }
        freed_.notify_one();
    }

private:
    std::mutex mutex_;
    std::condition_variable freed_;
    bool busy_ = false;
};

struct Library {
    std::mutex state;  // everything below but the transfer mutex
    std::unique_ptr<Backend> backend;
    std::shared_ptr<Device> device;
    std::uint64_t deviceId = 0;
    bool pipeOpen[3] = {false, false, false};
    std::string devicePath;
    std::unique_ptr<Watch> watch;

    TransferGate transfer;
    std::atomic<bool> transferMutexCreated{false};

    std::atomic<unsigned> writePieceMs{kWritePieceMs};
    std::atomic<unsigned> readPieceMs{kReadPieceMs};
    std::atomic<unsigned> mutexMs{kMutexMs};

    bool open(Pipe p) const { return pipeOpen[static_cast<int>(p)]; }
    void setOpen(Pipe p, bool v) { pipeOpen[static_cast<int>(p)] = v; }
};

// Never destroyed: a notice thread may still be winding down at exit.
Library &lib()
{
    static Library *l = new Library;
    return *l;
}

std::unique_ptr<Backend> chooseBackend()
{
    const char *sim = std::getenv(FERRULE_SIM_ENV);
    if (sim != nullptr && *sim != '\0')
        return makeSimBackend(sim);
    return makeLibusbBackend();
}

void dropDevice(Library &L)
{
    L.device.reset();
    for (bool &p : L.pipeOpen)
        p = false;
}

// Caller holds L.state.
int openUsbPipes(Library &L)
{
    // A command pipe left over from a removed device would otherwise leak.
    dropDevice(L);
    if (!L.backend)
        L.backend = chooseBackend();
    std::shared_ptr<Device> dev = L.backend->findInstrument();
    if (!dev) {
        std::fputs("Failed to GetUsbDeviceFileName\n", stderr);
        return 0;
    }
    static std::uint64_t nextId = 0;
    L.device = dev;
    L.deviceId = ++nextId;
    L.devicePath = dev->path();
    L.setOpen(Pipe::Read, dev->openPipe(Pipe::Read));
    L.setOpen(Pipe::Write, dev->openPipe(Pipe::Write));
    L.setOpen(Pipe::Command, dev->openPipe(Pipe::Command));
    return L.open(Pipe::Read) && L.open(Pipe::Write) && L.open(Pipe::Command) ? 1 : 0;
}

bool sameInterfaceName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// Holds the transfer mutex for one call. A mutex that Unload destroyed while
// we waited for it counts as not obtained.
class TransferLock {
public:
    explicit TransferLock(Library &L) : L_(L)
    {
        if (!L.transferMutexCreated)
            return;
        if (!L.transfer.tryAcquireFor(std::chrono::milliseconds(L.mutexMs.load())))
            return;
        if (!L.transferMutexCreated) {
            L.transfer.release();
            return;
        }
        held_ = true;
    }
    ~TransferLock()
    {
        if (held_)
            L_.transfer.release();
    }
    explicit operator bool() const { return held_; }

private:
    Library &L_;
    bool held_ = false;
};

std::shared_ptr<Device> deviceWith(Library &L, Pipe data)
{
    std::lock_guard lock(L.state);
    if (!L.open(data) || !L.open(Pipe::Command))
        return nullptr;
    return L.device;
}

bool sendCommandPackets(Library &L, Device &dev, const std::uint8_t *block, std::size_t size)
{
    if (size == 0 || size > kMaxTransfer)
        return false;
    std::chrono::milliseconds limit(L.writePieceMs.load());
    for (std::size_t off = 0; off < size; off += kPacket) {
        std::uint8_t packet[kPacket] = {};
        std::memcpy(packet, block + off, std::min(kPacket, size - off));
        if (dev.write(Pipe::Command, packet, kPacket, limit) != IoResult::Ok)
            return false;
    }
    return true;
}

bool announce(Library &L, Device &dev, const CommandFields &fields)
{
    dev.dropStale();
    auto block = encodeCommandBlock(fields);
    return sendCommandPackets(L, dev, block.data(), block.size());
}

bool writeData(Library &L, Device &dev, const std::uint8_t *data, std::uint64_t count)
{
    std::chrono::milliseconds limit(L.writePieceMs.load());
    const std::uint64_t rounded = roundUp(count, kPacket);
    for (std::uint64_t off = 0; off < rounded; off += kPiece) {
        std::size_t len = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, rounded - off));
        std::uint8_t piece[kPiece] = {};
        std::memcpy(piece, data + off, static_cast<std::size_t>(std::min<std::uint64_t>(len, count - off)));
        if (dev.write(Pipe::Write, piece, len, limit) != IoResult::Ok)
            return false;
    }
    return true;
}

bool readData(Library &L, Device &dev, std::uint8_t *data, std::uint64_t count)
{
    std::chrono::milliseconds limit(L.readPieceMs.load());
    for (std::uint64_t off = 0; off < count; off += kPiece) {
        std::uint8_t piece[kPiece];
        std::size_t got = 0;
        if (dev.read(piece, kPiece, got, limit) != IoResult::Ok || got != kPiece)
            return false;
        std::memcpy(data + off, piece, static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, count - off)));
    }
    return true;
}

// One announced transfer under the mutex. The count limit is enforced only
// after the announcement, as the command packets go out regardless of it.
template <class Move>
int transfer(Pipe dataPipe, bool argumentsOk, const CommandFields &fields, unsigned count, Move move)
{
    Library &L = lib();
    if (!deviceWith(L, dataPipe) || !argumentsOk)
        return 0;
    TransferLock held(L);
    if (!held)
        return 0;
    // The pipes may have closed while we waited for the mutex.
    std::shared_ptr<Device> dev = deviceWith(L, dataPipe);
    if (!dev || !announce(L, *dev, fields) || !transferCountAllowed(count))
        return 0;
    return move(L, *dev) ? 1 : 0;
}

}  // namespace

FerruleDeviceBroadcast makeBroadcast(const std::string &name)
{
    FerruleDeviceBroadcast b{};
    std::size_t n = std::min(name.size(), sizeof b.name - 1);
    b.size = static_cast<std::uint32_t>(offsetof(FerruleDeviceBroadcast, name) + n + 1);
    b.deviceType = FERRULE_DEVTYP_DEVICEINTERFACE;
    std::memcpy(b.classGuid, kClassGuid, sizeof b.classGuid);
    std::memcpy(b.name, name.data(), n);
    return b;
}

}  // namespace ferrule

using namespace ferrule;

static_assert(offsetof(FerruleDeviceBroadcast, deviceType) == 4);
static_assert(offsetof(FerruleDeviceBroadcast, name) == 28);

extern "C" {

FERRULE_API int LoadUSBDevice(void *notifyTarget)
{
    auto *target = static_cast<FerruleNotifyTarget *>(notifyTarget);
    if (target == nullptr || target->magic != FERRULE_NOTIFY_MAGIC)
        return 0;

    Library &L = lib();
    NoticeSink sink = [target](const DeviceNotice &notice) {
        FerruleDeviceBroadcast header = makeBroadcast(notice.name);
        if (target->deviceChange != nullptr)
            target->deviceChange(target->context, notice.event, &header);
    };
    HangupProbe probe = [&L](bool &hungUp) -> std::uint64_t {
        std::lock_guard lock(L.state);
        if (!L.device)
            return 0;
        hungUp = L.device->hungUp();
        return L.deviceId;
    };

    // A watch is stopped outside the state lock: its thread takes that lock.
    std::unique_ptr<Watch> previous;
    {
        std::lock_guard lock(L.state);
        previous = std::move(L.watch);
    }
    previous.reset();

    int opened = 0;
    {
        std::lock_guard lock(L.state);
        L.backend = chooseBackend();
        L.watch = L.backend->watch(std::move(sink), std::move(probe));
        if (!L.watch)
            return 0;
        opened = openUsbPipes(L);
        if (!opened) {
            L.setOpen(Pipe::Write, false);
            L.setOpen(Pipe::Read, false);
            L.devicePath.clear();
        }
    }
    L.transferMutexCreated = true;
    return opened;
}

FERRULE_API void UnloadUSBDevice(void)
{
    Library &L = lib();
    if (L.transferMutexCreated) {
        L.transfer.acquire();
        L.transferMutexCreated = false;
        L.transfer.release();
    }
    std::unique_ptr<Watch> watch;
    {
        std::lock_guard lock(L.state);
        watch = std::move(L.watch);
    }
    watch.reset();
    std::lock_guard lock(L.state);
    // The command pipe goes too, so the instrument is released for others.
    dropDevice(L);
}

FERRULE_API int IsConnected(void)
{
    Library &L = lib();
    std::lock_guard lock(L.state);
    return L.open(Pipe::Read) && L.open(Pipe::Write) && L.open(Pipe::Command) ? 1 : 0;
}

FERRULE_API int WriteUSBDevice(int pipe, const unsigned char *data, unsigned count)
{
    return transfer(Pipe::Write, data != nullptr && count != 0, writeCommand(pipe, count), count,
                    [&](Library &L, Device &dev) { return writeData(L, dev, data, count); });
}

FERRULE_API int ReadUSBDevice(int pipe, unsigned char *data, unsigned count)
{
    return transfer(Pipe::Read, data != nullptr, readCommand(pipe, count), count,
                    [&](Library &L, Device &dev) { return readData(L, dev, data, count); });
}

FERRULE_API int ChangeUSBDevice(uint32_t event, const void *header)
{
    if (header == nullptr)
        return 0;
    const auto *bytes = static_cast<const unsigned char *>(header);
    std::uint32_t deviceType = 0;
    std::memcpy(&deviceType, bytes + offsetof(FerruleDeviceBroadcast, deviceType), sizeof deviceType);
    if (deviceType != FERRULE_DEVTYP_DEVICEINTERFACE)
        return 0;
    // A record that says it is shorter than ours bounds the name by its size.
    std::uint32_t recordSize = 0;
    std::memcpy(&recordSize, bytes, sizeof recordSize);
    std::size_t nameRoom = sizeof(FerruleDeviceBroadcast::name);
    constexpr std::size_t nameAt = offsetof(FerruleDeviceBroadcast, name);
    if (recordSize > nameAt && recordSize - nameAt < nameRoom)
        nameRoom = recordSize - nameAt;
    const char *nameField = reinterpret_cast<const char *>(bytes + nameAt);
    std::string name(nameField, strnlen(nameField, nameRoom));

    Library &L = lib();
    std::lock_guard lock(L.state);
    if (event == FERRULE_DEVICE_ARRIVAL) {
        if (L.open(Pipe::Write))
            return 0;
        // The path kept is the one actually opened (openUsbPipes stores it),
        // so the later removal of this instrument matches even when the
        // notice named another device.
        return openUsbPipes(L);
    }
    if (event == FERRULE_DEVICE_REMOVE_COMPLETE) {
        if (!sameInterfaceName(name, L.devicePath))
            return 0;
        if (L.open(Pipe::Read) && L.open(Pipe::Write)) {
            L.setOpen(Pipe::Read, false);
            L.setOpen(Pipe::Write, false);
        }
        return 1;
    }
    return 0;
}

FERRULE_API uint16_t GetDllVersion(void) { return 0x0100; }

FERRULE_API void FerruleSetTimeoutsForTesting(unsigned writePieceMs, unsigned readPieceMs, unsigned mutexMs)
{
    Library &L = lib();
    L.writePieceMs = writePieceMs ? writePieceMs : kWritePieceMs;
    L.readPieceMs = readPieceMs ? readPieceMs : kReadPieceMs;
    L.mutexMs = mutexMs ? mutexMs : kMutexMs;
}

}  // extern "C"
