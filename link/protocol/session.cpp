// The link session: transport selection, framing, one exchange at a time,
// reply dispatch and the bind identity.
#include <algorithm>
#include <chrono>
#include <thread>

#include "ferrule.h"
#include "link_state.h"
#include "tavlink.h"
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

void RealSleep(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

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

// Leftovers of an earlier reply (late, oversize, rejected) must not be taken
// as the answer to the next request.
void DiscardStaleInput()
{
    if (ConnectStyle == TAVLINK_STYLE_SERIAL) {
        DiscardUartInput();
    } else if (ConnectStyle == TAVLINK_STYLE_NET) {
        for (int round = 0; round < kMaxDrainRounds; ++round) {
            int got = 0;
            if (!DsoRecvData(ReplyBuffer, int(kBufferBytes), &got, 0) || got <= 0)
                break;
        }
    }
    // Ferrule drops stale USB messages itself before each transfer.
}

void SendFrame(uint32_t frameLength)
{
    switch (ConnectStyle) {
    case TAVLINK_STYLE_SERIAL: {
        if (PackUart(RequestBuffer, int(frameLength), SerialPackBuffer) <= 0)
            return;
        const uint32_t lineLength = ReadBE32(SerialPackBuffer + 4);
        if (lineLength == 0 || lineLength > sizeof SerialPackBuffer)
            return;
        WriteUart(SerialPackBuffer, int(lineLength));
        return;
    }
    case TAVLINK_STYLE_USB: WriteUSBDevice(kUsbWritePipe, RequestBuffer, frameLength); return;
    case TAVLINK_STYLE_NET: {
        int sent = 0;
        DsoSendData(RequestBuffer, int(frameLength), &sent, 1);
        return;
    }
    default: return;
    }
}

// Reads exactly count bytes in requests of at most piece bytes.
bool NetReceiveExact(uint8_t *dst, uint32_t count, uint32_t piece)
{
    uint32_t done = 0;
    while (done < count) {
        const int want = int(std::min(piece, count - done));
        int got = 0;
        if (!DsoRecvData(dst + done, want, &got, 1))
            return false;
        // A blocking receive that reports nothing, or more than asked, is broken.
        if (got <= 0 || got > want)
            return false;
        done += uint32_t(got);
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

// Each receiver returns the reply frame and its payload length, or null.
const uint8_t *ReceiveSerial(uint32_t *payloadLength)
{
    int length = 0;
    if (!ReadUart(SerialReplyBuffer, &length))
        return nullptr;
    if (length < int(kHeaderBytes) || length > int(sizeof SerialReplyBuffer))
        return nullptr;
    const uint32_t n = ReadBE32(SerialReplyBuffer + 8);
    if (n > kMaxPayload || n + kHeaderBytes > uint32_t(length))
        return nullptr;
    *payloadLength = n;
    return SerialReplyBuffer;
}

const uint8_t *ReceiveUsb(uint32_t *payloadLength)
{
    if (!ReadUSBDevice(kUsbReadPipe, ReplyBuffer, kHeaderBytes))
        return nullptr;
    const uint32_t n = ReadBE32(ReplyBuffer + 8);
    if (n > kMaxPayload)
        return nullptr;
    // The second transfer carries the whole frame again, header included.
    if (!ReadUSBDevice(kUsbReadPipe, ReplyBuffer, n + kHeaderBytes))
        return nullptr;
    if (ReadBE32(ReplyBuffer + 8) != n)
        return nullptr;
    *payloadLength = n;
    return ReplyBuffer;
}

const uint8_t *ReceiveNet(uint32_t *payloadLength)
{
    if (!NetReceiveExact(ReplyBuffer, kHeaderBytes, kHeaderBytes))
        return nullptr;
    const uint32_t n = ReadBE32(ReplyBuffer + 8);
    if (n > kMaxPayload) {
        NetDropPayload(n);
        return nullptr;
    }
    if (!NetReceiveExact(ReplyBuffer + kHeaderBytes, n, kNetPiece))
        return nullptr;
    *payloadLength = n;
    return ReplyBuffer;
}

const uint8_t *ReceiveFrame(uint32_t *payloadLength)
{
    switch (ConnectStyle) {
    case TAVLINK_STYLE_SERIAL: return ReceiveSerial(payloadLength);
    case TAVLINK_STYLE_USB: return ReceiveUsb(payloadLength);
    case TAVLINK_STYLE_NET: return ReceiveNet(payloadLength);
    default: return nullptr;
    }
}

int ParseBindReply(const uint8_t *payload, uint32_t length)
{
    if (length < kBindReplyBytes)
        return 1;
    const int8_t code = int8_t(payload[1]);
    if (code < 0)
        return 1;
    std::memcpy(ProductName, payload + 27, sizeof ProductName);
    std::memcpy(ProductField2, payload + 47, sizeof ProductField2);
    std::memcpy(ProductText, payload + 77, sizeof ProductText);
    ProductCode = code;
    ModelFamily = FamilyForProductCode(code, ModelFamily);
    return StatusByte(payload[0]);
}

int ParseStatusReply(const uint8_t *payload, uint32_t length)
{
    if (length < 1)
        return 1;
    return StatusByte(payload[0]);
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
    default: return 1;
    }
}

}  // namespace

void Sleep(unsigned milliseconds) { SleepFn(milliseconds); }

int Exchange(uint8_t command, const uint8_t *payload, uint32_t length, unsigned waitMs)
{
    if (length > kMaxPayload || (length > 0 && payload == nullptr))
        return 1;
    if (ConnectStyle != TAVLINK_STYLE_SERIAL && ConnectStyle != TAVLINK_STYLE_USB && ConnectStyle != TAVLINK_STYLE_NET)
        return 1;

    std::memset(RequestBuffer, 0, sizeof RequestBuffer);
    std::memcpy(RequestBuffer, kMagic, sizeof kMagic);
    WriteBE32(RequestBuffer + 8, length);
    RequestBuffer[12] = 0;
    RequestBuffer[13] = command;
    if (length > 0)
        std::memcpy(RequestBuffer + kHeaderBytes, payload, length);

    DiscardStaleInput();
    // A lost request shows up as a failed receive.
    SendFrame(length + kHeaderBytes);
    Sleep(waitMs);

    uint32_t payloadLength = 0;
    const uint8_t *frame = ReceiveFrame(&payloadLength);
    if (frame == nullptr)
        return 1;
    if (std::memcmp(frame, kMagic, sizeof kMagic) != 0 || frame[12] == 0)
        return 1;
    // A reply to some other request is not an answer to this one.
    if (frame[13] != command)
        return 1;
    return Dispatch(frame[13], frame + kHeaderBytes, payloadLength);
}

}  // namespace tavlink

using namespace tavlink;

extern "C" {

TAVLINK_API void TavlinkSetSleep(TavlinkSleepFn fn) { SleepFn = fn ? fn : RealSleep; }

TAVLINK_API int LinkExchange(uint8_t command, const uint8_t *payload, uint32_t length, unsigned waitMs)
{
    return Exchange(command, payload, length, waitMs);
}

TAVLINK_API int GetConnectStyle(int style)
{
    ConnectStyle = style;
    return style;
}

TAVLINK_API int Dso_InitUart(int port, int baud) { return InitUart(port, baud); }

TAVLINK_API int Dso_InitSocket(int zero, const char *ip, int port)
{
    if (InitSocket() == 0)
        return 0;
    return DsoConnect(zero, ip, port) != 0 ? 1 : 0;
}

TAVLINK_API int Dso_CloseUart(void) { return UnInitUart(); }

TAVLINK_API int Dso_SetUartPortPath(int port, const char *path) { return SetUartPortPath(port, path); }

TAVLINK_API bool IsHasConnect(void *notify)
{
    if (IsConnected() != 0)
        return true;
    LoadUSBDevice(notify);
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
