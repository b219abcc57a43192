// libFuzzer target over the reply side of the link: the input is what the
// instrument sends back, fed to every kind of exchange through a network
// transport that serves the input instead of a socket.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tavlink.h"
#include "tavlink_testing.h"

namespace {

const uint8_t *g_data = nullptr;
size_t g_left = 0;

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
    std::memcpy(buffer, g_data, n);
    g_data += n;
    g_left -= n;
    *received = int(n);
    return 1;
}
void DsoCloseSocket(void) {}
void DsoSetTimeouts(int, int) {}

// Unused transports of this run.
int InitUart(int, int) { return 0; }
int PackUart(const unsigned char *, int, unsigned char *) { return 0; }
int WriteUart(const unsigned char *, int) { return 0; }
int ReadUart(unsigned char *, int *) { return 0; }
int UnInitUart(void) { return 0; }
int SetUartPortPath(int, const char *) { return 0; }
int DiscardUartInput(void) { return 0; }
int LoadUSBDevice(void *) { return 0; }
int IsConnected(void) { return 0; }
int WriteUSBDevice(int, const unsigned char *, unsigned) { return 0; }
int ReadUSBDevice(int, unsigned char *, unsigned) { return 0; }

void NoSleep(unsigned) {}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    TavlinkSetSleep(NoSleep);
    GetConnectStyle(TAVLINK_STYLE_NET);
    const uint8_t selector = data[0];
    const uint8_t flags = data[1];
    g_data = data + 2;
    g_left = size - 2;
    IsNeedParam(flags & 1, flags & 2, flags & 4, flags & 8);

    static uint8_t samples[TAVLINK_RECORD_BYTES], block[TAVLINK_WAVEPNT_BYTES], settings[TAVLINK_SETTINGS_BYTES],
        chunk[TAVLINK_CHUNK_BYTES];
    int count = 0;
    uint32_t total = 0, length = 0;
    // Several exchanges per input, so one reply's state meets the next parser.
    for (unsigned round = 0; g_left > 0; ++round) {
        switch ((selector + round) % 12) {
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
        default: SendParameter_SettingData(settings); break;
        }
        if (count < 0 || count > TAVLINK_RECORD_BYTES)
            __builtin_trap();
        if (length > 24000)
            __builtin_trap();  // a chunk never holds more
    }
    double volts, level, timeBase;
    char vu[5], tu[5], text[50];
    int vertical;
    char trigger;
    Get_Vol_Level_TimeBase(flags, &volts, &level, &timeBase, vu, tu, true);
    Get_CH1_HoriP_VertP_Trig(text, &vertical, &trigger, true);
    if (vu[4] != 0 || tu[4] != 0 || std::memchr(text, 0, sizeof text) == nullptr)
        __builtin_trap();
    return 0;
}

}  // extern "C"
