// libFuzzer target over the reply side of the link: the input is what the
// instrument sends back, fed to every kind of exchange through the transport
// of each connection style, each stubbed here to serve the input.
//
// Input: selector byte (first exchange, connection style), flags byte, then
// the reply stream. The serial line delivers frames as a big-endian 16-bit
// length and that many bytes; USB reads the header, then the whole frame
// again from its start; the network hands out odd-sized pieces.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tavlink.h"
#include "tavlink_diag.h"
#include "tavlink_testing.h"
#include "tavnet.h"
#include "tavserial.h"

namespace {

const uint8_t *g_data = nullptr;
size_t g_left = 0;
int g_serialStatus = TAVSERIAL_READ_NOT_OPEN;

size_t take(uint8_t *to, size_t want)
{
    const size_t n = std::min(want, g_left);
    std::memcpy(to, g_data, n);
    g_data += n;
    g_left -= n;
    return n;
}

}  // namespace

extern "C" {

unsigned char InitSocket(void) { return 1; }
unsigned char DsoConnect(int, const char *, int) { return 1; }
unsigned char DsoSendData(const unsigned char *, int length, int *sent, int)
{
    if (sent)
        *sent = length;
    return 1;
}
unsigned char DsoRecvData(unsigned char *buffer, int length, int *received, int wait)
{
    *received = 0;
    if (!wait)
        return 1;  // nothing stale: the whole input is the reply stream
    if (g_left == 0 || length <= 0)
        return 0;
    // Hand out odd-sized pieces so the reassembly is exercised too.
    size_t n = std::min<size_t>(size_t(length), g_left);
    if (n > 1 && (g_data[0] & 1))
        n = n / 2 + 1;
    *received = int(take(buffer, n));
    return 1;
}
void DsoCloseSocket(void) {}
void DsoSetTimeouts(int, int) {}
int DsoConnectionState(void) { return g_left > 0 ? TAVNET_OPEN : TAVNET_LOST; }

int InitUart(int, int) { return 1; }
int PackUart(const unsigned char *, int length, unsigned char *out)
{
    const uint32_t total = uint32_t(length) + TAVSERIAL_OVERHEAD;
    out[4] = uint8_t(total >> 24);
    out[5] = uint8_t(total >> 16);
    out[6] = uint8_t(total >> 8);
    out[7] = uint8_t(total);
    return int(total);
}
int WriteUart(const unsigned char *, int) { return 1; }
int ReadUart(unsigned char *buffer, int *length)
{
    *length = 0;
    uint8_t size[2];
    if (take(size, 2) < 2) {
        g_serialStatus = TAVSERIAL_READ_SILENT;
        return 0;
    }
    const size_t want = std::min<size_t>(size_t(size[0]) << 8 | size[1], TAVSERIAL_MAX_FRAME);
    *length = int(take(buffer, want));
    g_serialStatus = TAVSERIAL_READ_OK;
    return 1;
}
int UnInitUart(void) { return 1; }
int SetUartPortPath(int, const char *) { return 1; }
int DiscardUartInput(void) { return 1; }
int GetUartReadStatus(void) { return g_serialStatus; }

int LoadUSBDevice(void *) { return 1; }
void UnloadUSBDevice(void) {}
int IsConnected(void) { return 1; }
int WriteUSBDevice(int, const unsigned char *, unsigned) { return 1; }
int ReadUSBDevice(int, unsigned char *data, unsigned count)
{
    // The header is read first, then again with the whole frame.
    static bool headerRead = false;
    if (count > TAVLINK_CHUNK_BYTES || g_left < count) {
        headerRead = false;
        g_left = 0;  // a pipe that fails has nothing more to give
        return 0;
    }
    std::memcpy(data, g_data, count);
    headerRead = !headerRead;
    if (!headerRead) {
        g_data += count;
        g_left -= count;
    }
    return 1;
}

void NoSleep(unsigned) {}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    TavlinkSetSleep(NoSleep);
    static int notify = 0;
    Dso_InitUart(1, 9600);
    Dso_InitSocket(0, "127.0.0.1", 8001);
    IsHasConnect(&notify);
    const uint8_t selector = data[0];
    const uint8_t flags = data[1];
    GetConnectStyle(selector % 3);
    g_data = data + 2;
    g_left = size - 2;
    IsNeedParam(flags & 1, flags & 2, flags & 4, flags & 8);

    static uint8_t samples[TAVLINK_RECORD_BYTES], block[TAVLINK_WAVEPNT_BYTES], settings[TAVLINK_SETTINGS_BYTES],
        chunk[TAVLINK_CHUNK_BYTES];
    int count = 0;
    uint32_t total = 0, length = 0;
    unsigned char on[4], *lamps = nullptr;
    char text[50];
    int vertical = 0;
    char trigger = 0;
    // Several exchanges per input, so one reply's state meets the next parser.
    for (unsigned round = 0; g_left > 0; ++round) {
        switch ((selector / 3 + round) % 16) {
        case 0: BindDso(); break;
        case 1: IsGetDataFromInStruct(0); break;
        case 2: GetParameter_CH1_AllWaveData(samples, &count, block); break;
        case 3: GetParameter_CH2_WaveData_And_wavepnt(samples, &count, block); break;
        case 4: GetParameter_CH3_AllWaveData(samples, &count, block); break;
        case 5: GetParameter_CH4_WaveData_And_wavepnt(samples, &count, nullptr); break;
        case 6: GetParameter_SettingData(settings); break;
        case 7: Send_Bmp_Begin_Invoke(&total); break;
        case 8: Send_Bmp_Trans_Invoke(flags, flags, chunk, &length); break;
        case 9: Send_Bmp_End_Invoke(); break;
        case 10: DeltaposLevelSpin(int(int8_t(flags))); break;
        case 11: IsCHOpen(&on[0], &on[1], &on[2], &on[3]); break;
        case 12:
            if (GetTheLedStatus(&lamps) && lamps == nullptr)
                __builtin_trap();
            break;
        case 13: Get_CH2_HoriP_VertP_Trig(text, &vertical, &trigger, false); break;
        case 14: GetConnectStyle((selector + round) % 3); break;
        default: SendParameter_SettingData(settings); break;
        }
        if (count < 0 || count > TAVLINK_RECORD_BYTES)
            __builtin_trap();
        if (length > 24000)
            __builtin_trap();  // a chunk never holds more
        const int cause = TavlinkLastCause(nullptr);
        if (cause < TAVLINK_CAUSE_NONE || cause > TAVLINK_CAUSE_NOT_OPEN || !TavlinkCauseText(cause))
            __builtin_trap();
    }
    double volts, level, timeBase;
    char vu[5], tu[5];
    Get_Vol_Level_TimeBase(flags, &volts, &level, &timeBase, vu, tu, true);
    Get_CH1_HoriP_VertP_Trig(text, &vertical, &trigger, true);
    if (vu[4] != 0 || tu[4] != 0 || std::memchr(text, 0, sizeof text) == nullptr)
        __builtin_trap();
    return 0;
}

}  // extern "C"
