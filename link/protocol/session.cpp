// The link session: one table of operations per connection style, framing,
// one exchange at a time, matching replies to their requests, dispatch and
// the bind identity.
#include <algorithm>
#include <chrono>
#include <iterator>
#include <thread>

#include "ferrule.h"
#include "link_state.h"
#include "tavlink.h"
#include "tavlink_diag.h"
#include "tavlink_testing.h"
#include "tavnet.h"
#include "tavserial.h"

namespace tavlink {

uint8_t ModelFamily = 0;

namespace {

constexpr char kMagic[8] = {'D', 'S', 'O', 'P', 'P', 'V', '2', '0'};
constexpr int kUsbWritePipe = 7;
constexpr int kUsbReadPipe = 8;
constexpr uint32_t kNetPiece = 1024;
// Enough to empty any sane backlog; a peer that never stops talking cannot
// keep us here forever.
constexpr int kMaxDrainRounds = 64;

int ConnectStyle = TAVLINK_STYLE_SERIAL;

uint8_t RequestBuffer[kBufferBytes];
uint8_t ReplyBuffer[kBufferBytes];
uint8_t SerialReplyBuffer[TAVSERIAL_MAX_FRAME];
// The line form adds its own overhead to a full-size frame.
uint8_t SerialPackBuffer[TAVSERIAL_MAX_FRAME + TAVSERIAL_OVERHEAD];

// Bind identity, kept until the next accepted bind reply.
char ProductName[20];
char ProductField2[10];
char ProductText[16];
int8_t ProductCode = 0;

constexpr uint32_t kBindReplyBytes = 77 + sizeof ProductText;

// A protocol wait is time the user waits: it ends when it is due, not when
// the scheduler next wakes the thread (about 0.1 ms late, nine times a
// refresh). The last fifth of a millisecond is spent awake.
void RealSleep(unsigned milliseconds)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point due = Clock::now() + std::chrono::milliseconds(milliseconds);
    std::this_thread::sleep_until(due - std::chrono::microseconds(200));
    while (Clock::now() < due)
        std::this_thread::yield();
}

TavlinkSleepFn SleepFn = RealSleep;

uint8_t FamilyForProductCode(int code, uint8_t current)
{
    if (code <= 21)
        return 0;
    if (code <= 51)
        return current;
    if (code <= 57)
        return 0;
    if (code <= 61)
        return 1;
    if (code <= 63)
        return 0;
    if (code <= 67)
        return 1;
    if (code == 68)
        return 0;
    if (code <= 76)
        return 3;
    if (code <= 82)
        return 4;
    return current;
}

// ---- the three transports ------------------------------------------------

// What an exchange got from a transport: the reply frame and its payload
// length, or why there is none.
struct Received {
    const uint8_t *frame = nullptr;
    uint32_t payloadLength = 0;
    int cause = TAVLINK_CAUSE_NONE;
};

Received Nothing(int cause) { return {nullptr, 0, cause}; }

// What each transport was opened with through this library, so that a style
// switch can release it and a switch back can open it again as it was.
struct OpenedWith {
    bool serialOpen = false;
    int serialPort = 0;
    int serialBaud = 0;
    char netAddress[256] = {};
    int netPort = 0;
    bool usbLoaded = false;
    void *usbNotify = nullptr;
};
OpenedWith Opened;

// One connection style's operations; the first three run every exchange.
struct Transport {
    void (*discardStale)();  // leftovers of an earlier reply must not answer this request
    void (*send)(uint32_t frameLength);
    Received (*receive)();
    bool (*holdsOpen)();  // opened through this library and not released
    void (*release)();
    void (*reopen)();
};

void SerialDiscard() { DiscardUartInput(); }

void SerialSend(uint32_t frameLength)
{
    if (PackUart(RequestBuffer, int(frameLength), SerialPackBuffer) <= 0)
        return;
    const uint32_t lineLength = ReadBE32(SerialPackBuffer + 4);
    if (lineLength == 0 || lineLength > sizeof SerialPackBuffer)
        return;
    WriteUart(SerialPackBuffer, int(lineLength));
}

int SerialCause(int status)
{
    switch (status) {
    case TAVSERIAL_READ_SILENT: return TAVLINK_CAUSE_TIMEOUT;
    case TAVSERIAL_READ_CUT: return TAVLINK_CAUSE_SHORT_REPLY;
    case TAVSERIAL_READ_BAD_LENGTH: return TAVLINK_CAUSE_OVERSIZE;
    case TAVSERIAL_READ_BROKEN: return TAVLINK_CAUSE_CLOSED;
    case TAVSERIAL_READ_NOT_OPEN: return TAVLINK_CAUSE_NOT_OPEN;
    default: return TAVLINK_CAUSE_BAD_FRAME;  // a bad checksum, or noise
    }
}

Received SerialReceive()
{
    int length = 0;
    if (!ReadUart(SerialReplyBuffer, &length))
        return Nothing(SerialCause(GetUartReadStatus()));
    if (length < int(kHeaderBytes) || length > int(sizeof SerialReplyBuffer))
        return Nothing(TAVLINK_CAUSE_SHORT_REPLY);
    const uint32_t n = ReadBE32(SerialReplyBuffer + 8);
    if (n > kMaxPayload)
        return Nothing(TAVLINK_CAUSE_OVERSIZE);
    if (n + kHeaderBytes > uint32_t(length))
        return Nothing(TAVLINK_CAUSE_SHORT_REPLY);
    return {SerialReplyBuffer, n};
}

bool SerialHoldsOpen() { return Opened.serialOpen; }

void SerialRelease()
{
    UnInitUart();
    Opened.serialOpen = false;
}

void SerialReopen() { Opened.serialOpen = InitUart(Opened.serialPort, Opened.serialBaud) != 0; }

// Ferrule drops stale USB messages itself before each transfer.
void UsbDiscard() {}

void UsbSend(uint32_t frameLength) { WriteUSBDevice(kUsbWritePipe, RequestBuffer, frameLength); }

// Closed pipes mean the device went away (or was never opened).
int UsbCause(int cause) { return IsConnected() ? cause : TAVLINK_CAUSE_NOT_OPEN; }

Received UsbReceive()
{
    if (!ReadUSBDevice(kUsbReadPipe, ReplyBuffer, kHeaderBytes))
        return Nothing(UsbCause(TAVLINK_CAUSE_TIMEOUT));
    const uint32_t n = ReadBE32(ReplyBuffer + 8);
    if (n > kMaxPayload)
        return Nothing(TAVLINK_CAUSE_OVERSIZE);
    // The second transfer carries the whole frame again, header included.
    if (!ReadUSBDevice(kUsbReadPipe, ReplyBuffer, n + kHeaderBytes))
        return Nothing(UsbCause(TAVLINK_CAUSE_SHORT_REPLY));
    if (ReadBE32(ReplyBuffer + 8) != n)
        return Nothing(TAVLINK_CAUSE_BAD_FRAME);
    return {ReplyBuffer, n};
}

bool UsbHoldsOpen() { return Opened.usbLoaded; }

void UsbRelease()
{
    // The pipes, the claimed device and the notices all go.
    UnloadUSBDevice();
    Opened.usbLoaded = false;
}

void UsbReopen()
{
    LoadUSBDevice(Opened.usbNotify);
    Opened.usbLoaded = true;
}

void NetDiscard()
{
    for (int round = 0; round < kMaxDrainRounds; ++round) {
        int got = 0;
        if (!DsoRecvData(ReplyBuffer, int(kBufferBytes), &got, 0) || got <= 0)
            break;
    }
}

void NetSend(uint32_t frameLength)
{
    int sent = 0;
    DsoSendData(RequestBuffer, int(frameLength), &sent, 1);
}

// Reads exactly count bytes in requests of at most piece bytes; *got counts
// what arrived.
bool NetReceiveExact(uint8_t *dst, uint32_t count, uint32_t piece, uint32_t *got)
{
    *got = 0;
    while (*got < count) {
        const int want = int(std::min(piece, count - *got));
        int n = 0;
        if (!DsoRecvData(dst + *got, want, &n, 1))
            return false;
        // A blocking receive that reports nothing, or more than asked, is broken.
        if (n <= 0 || n > want)
            return false;
        *got += uint32_t(n);
    }
    return true;
}

// Reads and forgets an announced payload that cannot be stored, so the next
// frame starts where the stream expects it.
void NetDropPayload(uint32_t count)
{
    uint8_t *scratch = ReplyBuffer + kHeaderBytes;
    while (count > 0) {
        const uint32_t want = std::min(kNetPiece, count);
        int got = 0;
        if (!DsoRecvData(scratch, int(want), &got, 1) || got <= 0 || uint32_t(got) > want)
            return;
        count -= uint32_t(got);
    }
}

int NetCause(uint32_t got)
{
    switch (DsoConnectionState()) {
    case TAVNET_LOST: return TAVLINK_CAUSE_CLOSED;
    case TAVNET_CLOSED: return TAVLINK_CAUSE_NOT_OPEN;
    default: return got > 0 ? TAVLINK_CAUSE_SHORT_REPLY : TAVLINK_CAUSE_TIMEOUT;
    }
}

Received NetReceive()
{
    uint32_t got = 0;
    if (!NetReceiveExact(ReplyBuffer, kHeaderBytes, kHeaderBytes, &got))
        return Nothing(NetCause(got));
    const uint32_t n = ReadBE32(ReplyBuffer + 8);
    if (n > kMaxPayload) {
        NetDropPayload(n);
        return Nothing(TAVLINK_CAUSE_OVERSIZE);
    }
    if (!NetReceiveExact(ReplyBuffer + kHeaderBytes, n, kNetPiece, &got))
        return Nothing(NetCause(kHeaderBytes + got));
    return {ReplyBuffer, n};
}

bool NetHoldsOpen() { return Opened.netPort != 0 && DsoConnectionState() == TAVNET_OPEN; }

void NetRelease() { DsoCloseSocket(); }

void NetReopen() { DsoConnect(0, Opened.netAddress, Opened.netPort); }

static_assert(TAVLINK_STYLE_SERIAL == 0 && TAVLINK_STYLE_USB == 1 && TAVLINK_STYLE_NET == 2);
constexpr Transport kTransports[] = {
    {SerialDiscard, SerialSend, SerialReceive, SerialHoldsOpen, SerialRelease, SerialReopen},
    {UsbDiscard, UsbSend, UsbReceive, UsbHoldsOpen, UsbRelease, UsbReopen},
    {NetDiscard, NetSend, NetReceive, NetHoldsOpen, NetRelease, NetReopen},
};
constexpr int kStyles = int(std::size(kTransports));

// Transports released by a style switch, opened again at their next use.
bool Released[kStyles] = {};

const Transport *TransportFor(int style) { return style >= 0 && style < kStyles ? &kTransports[style] : nullptr; }

// ---- replies --------------------------------------------------------------

int ParseBindReply(const uint8_t *payload, uint32_t length)
{
    if (length < kBindReplyBytes)
        return Fail(TAVLINK_CAUSE_SHORT_REPLY);
    const int8_t code = int8_t(payload[1]);
    if (code < 0)
        return Fail(TAVLINK_CAUSE_BAD_REPLY, code);
    std::memcpy(ProductName, payload + 27, sizeof ProductName);
    std::memcpy(ProductField2, payload + 47, sizeof ProductField2);
    std::memcpy(ProductText, payload + 77, sizeof ProductText);
    ProductCode = code;
    ModelFamily = FamilyForProductCode(code, ModelFamily);
    return Refuse(payload[0]);
}

int ParseStatusReply(const uint8_t *payload, uint32_t length)
{
    if (length < 1)
        return Fail(TAVLINK_CAUSE_SHORT_REPLY);
    return Refuse(payload[0]);
}

int Dispatch(uint8_t command, const uint8_t *payload, uint32_t length)
{
    switch (command) {
    case CMD_BIND: return ParseBindReply(payload, length);
    case CMD_UNBIND:
    case CMD_KEY:
    case CMD_WRITE_SETTINGS: return ParseStatusReply(payload, length);
    case CMD_READ: return ParseDataReply(payload, length);
    case CMD_BMP_BEGIN: return ParseBmpBeginReply(payload, length);
    case CMD_BMP_CHUNK: return ParseBmpChunkReply(payload, length);
    case CMD_BMP_END: return ParseBmpEndReply(payload, length);
    default: return Fail(TAVLINK_CAUSE_OTHER_COMMAND, command);
    }
}

// A reply answers the request only with the request's command code and, for
// a read, with its read kind or a kind the library stores nothing of.
// Anything else is some other request's answer, arriving late.
int Mismatch(uint8_t command, int readKind, const uint8_t *frame, uint32_t payloadLength, int *value)
{
    if (frame[13] != command) {
        *value = frame[13];
        return TAVLINK_CAUSE_OTHER_COMMAND;
    }
    const uint8_t *payload = frame + kHeaderBytes;
    // A refusal is taken as the answer whatever its kind byte: it stores nothing.
    if (command != CMD_READ || payloadLength < 2 || payload[0] != 0)
        return TAVLINK_CAUSE_NONE;
    const int kind = int(int8_t(payload[1]));
    if (kind == readKind || !IsStoredReadKind(kind))
        return TAVLINK_CAUSE_NONE;
    *value = kind;
    return TAVLINK_CAUSE_OTHER_READ_KIND;
}

// A peer that keeps sending other requests' answers cannot hold an exchange.
constexpr int kMaxRepliesPerExchange = 4;

int RunExchange(uint8_t command, const uint8_t *payload, uint32_t length, unsigned waitMs, int readKind)
{
    if (length > kMaxPayload || (length > 0 && payload == nullptr))
        return Fail(TAVLINK_CAUSE_OVERSIZE);
    const Transport *transport = TransportFor(ConnectStyle);
    if (transport == nullptr)
        return Fail(TAVLINK_CAUSE_NOT_OPEN);
    if (Released[ConnectStyle]) {
        Released[ConnectStyle] = false;
        transport->reopen();
    }

    std::memset(RequestBuffer, 0, sizeof RequestBuffer);
    std::memcpy(RequestBuffer, kMagic, sizeof kMagic);
    WriteBE32(RequestBuffer + 8, length);
    RequestBuffer[12] = 0;
    RequestBuffer[13] = command;
    if (length > 0)
        std::memcpy(RequestBuffer + kHeaderBytes, payload, length);

    transport->discardStale();
    // A lost request shows up as a failed receive.
    transport->send(length + kHeaderBytes);
    Sleep(waitMs);

    int dropped = TAVLINK_CAUSE_NONE;
    int droppedValue = 0;
    for (int reply = 0; reply < kMaxRepliesPerExchange; ++reply) {
        const Received r = transport->receive();
        if (r.frame == nullptr) {
            // Silence after a late answer: that answer is why there is none.
            if (dropped != TAVLINK_CAUSE_NONE && r.cause == TAVLINK_CAUSE_TIMEOUT)
                return Fail(dropped, droppedValue);
            return Fail(r.cause);
        }
        if (std::memcmp(r.frame, kMagic, sizeof kMagic) != 0 || r.frame[12] == 0)
            return Fail(TAVLINK_CAUSE_BAD_FRAME);
        int value = 0;
        const int other = Mismatch(command, readKind, r.frame, r.payloadLength, &value);
        if (other == TAVLINK_CAUSE_NONE)
            return Dispatch(command, r.frame + kHeaderBytes, r.payloadLength);
        // Dropped whole, nothing stored; the real answer may still come.
        Notice(other, value);
        dropped = other;
        droppedValue = value;
    }
    return Fail(dropped, droppedValue);
}

}  // namespace

void Sleep(unsigned milliseconds) { SleepFn(milliseconds); }

int Exchange(uint8_t command, const uint8_t *payload, uint32_t length, unsigned waitMs)
{
    const int readKind = command == CMD_READ && length > 0 && payload ? int(int8_t(payload[0])) : -1;
    BeginExchange(command, readKind);
    return EndExchange(RunExchange(command, payload, length, waitMs, readKind));
}

}  // namespace tavlink

using namespace tavlink;

extern "C" {

TAVLINK_API void TavlinkSetSleep(TavlinkSleepFn fn) { SleepFn = fn ? fn : RealSleep; }

TAVLINK_API void TavlinkRealSleep(unsigned milliseconds) { RealSleep(milliseconds); }

TAVLINK_API int LinkExchange(uint8_t command, const uint8_t *payload, uint32_t length, unsigned waitMs)
{
    return Exchange(command, payload, length, waitMs);
}

TAVLINK_API int GetConnectStyle(int style)
{
    const Transport *old = TransportFor(ConnectStyle);
    // The style taken up must not find the device, port or socket still held.
    if (style != ConnectStyle && old != nullptr && old->holdsOpen()) {
        old->release();
        Released[ConnectStyle] = true;
    }
    ConnectStyle = style;
    return style;
}

TAVLINK_API int Dso_InitUart(int port, int baud)
{
    const int opened = InitUart(port, baud);
    Released[TAVLINK_STYLE_SERIAL] = false;
    Opened.serialOpen = opened != 0;
    Opened.serialPort = port;
    Opened.serialBaud = baud;
    return opened;
}

TAVLINK_API int Dso_InitSocket(int zero, const char *ip, int port)
{
    Released[TAVLINK_STYLE_NET] = false;
    Opened.netPort = 0;
    if (InitSocket() == 0)
        return 0;
    if (DsoConnect(zero, ip, port) == 0)
        return 0;
    // An address too long to keep cannot be opened again after a switch.
    if (std::strlen(ip) < sizeof Opened.netAddress) {
        std::strcpy(Opened.netAddress, ip);
        Opened.netPort = port;
    }
    return 1;
}

TAVLINK_API int Dso_CloseUart(void)
{
    Released[TAVLINK_STYLE_SERIAL] = false;
    Opened.serialOpen = false;
    return UnInitUart();
}

TAVLINK_API int Dso_SetUartPortPath(int port, const char *path) { return SetUartPortPath(port, path); }

TAVLINK_API bool IsHasConnect(void *notify)
{
    if (IsConnected() != 0)
        return true;
    LoadUSBDevice(notify);
    // Kept so that a style switch can release the device and take it up again.
    if (notify != nullptr) {
        Released[TAVLINK_STYLE_USB] = false;
        Opened.usbLoaded = true;
        Opened.usbNotify = notify;
    }
    return IsConnected() != 0;
}

TAVLINK_API bool BindDso(void)
{
    const uint8_t payload[4] = {};
    return Exchange(CMD_BIND, payload, sizeof payload, kWaitSession) == 0;
}

TAVLINK_API bool UnBindDso(void)
{
    const uint8_t payload[4] = {};
    return Exchange(CMD_UNBIND, payload, sizeof payload, kWaitSession) == 0;
}

TAVLINK_API void GetProductType(char name[20], char ident[10], char *code, char *family, char text[16])
{
    if (name)
        std::memcpy(name, ProductName, sizeof ProductName);
    if (ident)
        std::memcpy(ident, ProductField2, sizeof ProductField2);
    if (text)
        std::memcpy(text, ProductText, sizeof ProductText);
    if (code)
        *code = char(ProductCode);
    if (family)
        *family = char(ModelFamily);
}

}  // extern "C"
