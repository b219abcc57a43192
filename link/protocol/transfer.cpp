// Status, sample records and the settings block: read exchanges, the data
// reply parser and the exports that hand out the stored copies.
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "link_state.h"
#include "tavlink.h"

namespace tavlink {
namespace {

constexpr const char *UnitTable[16] = {"ps", "ns", "us", "ms",  "s",   "uV",  "mV",  "V",
                                       "kV", "?",  "Hz", "KHz", "MHz", "GHz", "THz", "div"};

const char *UnitText(uint8_t index) { return index < std::size(UnitTable) ? UnitTable[index] : ""; }

constexpr size_t kTextBytes = 50;

struct ChannelStatus {
    bool on = false;
    float voltsPerDiv = 0;
    double voltsPerDivValue = 0;
    uint8_t unitIndex = 0;
    const char *unitText = "";
    char text[kTextBytes] = {};
    int32_t offset = 0;
    double offsetValue = 0;
    int32_t second = 0;
};

struct InstrumentStatus {
    uint8_t LampState[TAVLINK_LAMP_COUNT] = {};
    ChannelStatus channel[4];
    float timeBase = 0;
    double timeBaseValue = 0;
    uint8_t timeBaseUnit = 0;
    const char *timeBaseUnitText = "";
    char timeBaseText[kTextBytes] = {};
    bool TimebaseScaled = false;
    float horizontal = 0;
    double horizontalValue = 0;
    const char *horizontalUnitText = "";
    char horizontalText[kTextBytes] = {};
    uint8_t trigger = 0;
};

struct WaveStore {
    uint8_t current[TAVLINK_RECORD_BYTES] = {};
    uint8_t previous[TAVLINK_RECORD_BYTES] = {};
    int32_t count = 0;
    uint8_t WavepntBlock[TAVLINK_WAVEPNT_BYTES] = {};
    uint8_t extraFlag = 0;
};

InstrumentStatus Status;
WaveStore Waves[4];
uint8_t SettingsStore[TAVLINK_SETTINGS_BYTES];

struct StatusLayout {
    uint32_t firstChannel;  // on flag of channel 1; channels are 20 bytes apart
    int channels;
    uint32_t timeBase;
    uint32_t horizontal;
    uint32_t trigger;
};
constexpr StatusLayout kFourChannelLayout{16, 4, 96, 104, 112};
constexpr StatusLayout kTwoChannelLayout{12, 2, 52, 60, 68};
constexpr uint32_t kChannelStride = 20;

struct FamilyRecord {
    int32_t length;
    uint32_t wavepntOffset;
};

// Null when the family has no record for the channel (0-based).
const FamilyRecord *RecordFor(uint8_t family, int channel)
{
    static constexpr FamilyRecord kFamily0{4000, 4008};
    static constexpr FamilyRecord kFamily1{18000, 18008};
    static constexpr FamilyRecord kFamily3{24000, 24008};
    static constexpr FamilyRecord kFamily4{20480, 18008};
    if (channel >= 2)
        return family == 3 ? &kFamily3 : nullptr;
    switch (family) {
    case 0: return &kFamily0;
    case 1: return &kFamily1;
    case 3: return &kFamily3;
    case 4: return &kFamily4;
    default: return nullptr;
    }
}

// Read kinds of the wave replies: channel (0-based), and whether it is the
// whole memory record; channel -1 for the other kinds.
struct WaveKind {
    int channel;
    bool memory;
};

WaveKind WaveKindOf(int kind)
{
    switch (kind) {
    case 1: return {0, false};
    case 2: return {1, false};
    case 5: return {0, true};
    case 6: return {1, true};
    case 7: return {2, false};
    case 8: return {3, false};
    case 9: return {2, true};
    case 10: return {3, true};
    default: return {-1, false};
    }
}

void FormatValue(char text[kTextBytes], double value, const char *unit)
{
    std::snprintf(text, kTextBytes, "%.2f%s", value, unit);
}

int ParseStatus(const uint8_t *p, uint32_t length)
{
    const StatusLayout *layout = nullptr;
    if (ModelFamily == 3)
        layout = &kFourChannelLayout;
    else if (ModelFamily <= 4)
        layout = &kTwoChannelLayout;
    else
        return 0;
    if (length < layout->trigger + 1)
        return Fail(TAVLINK_CAUSE_SHORT_REPLY);

    if (layout == &kFourChannelLayout) {
        std::memcpy(Status.LampState, p + 4, 10);
    } else {
        // The two-channel models have no lamps 5 and 6 (channels 3 and 4).
        std::memcpy(Status.LampState, p + 4, 5);
        std::memcpy(Status.LampState + 7, p + 9, 3);
    }

    for (int n = 0; n < layout->channels; ++n) {
        const uint8_t *c = p + layout->firstChannel + kChannelStride * n;
        ChannelStatus &ch = Status.channel[n];
        ch.on = c[0] != 0;
        if (!ch.on)
            continue;  // a channel reported off keeps its last values
        ch.voltsPerDiv = ReadBEFloat(c + 4);
        ch.voltsPerDivValue = ch.voltsPerDiv;
        ch.unitIndex = c[8];
        ch.unitText = UnitText(ch.unitIndex);
        FormatValue(ch.text, ch.voltsPerDivValue, ch.unitText);
        ch.offset = int32_t(ReadBE32(c + 12));
        ch.offsetValue = ch.offset;
        ch.second = int32_t(ReadBE32(c + 16));
    }

    Status.timeBase = ReadBEFloat(p + layout->timeBase);
    Status.timeBaseValue = Status.timeBase;
    Status.timeBaseUnit = p[layout->timeBase + 4];
    Status.timeBaseUnitText = UnitText(Status.timeBaseUnit);
    FormatValue(Status.timeBaseText, Status.timeBaseValue, Status.timeBaseUnitText);

    Status.horizontal = ReadBEFloat(p + layout->horizontal);
    Status.horizontalValue = Status.horizontal;
    Status.horizontalUnitText = UnitText(p[layout->horizontal + 4]);
    FormatValue(Status.horizontalText, Status.horizontalValue, Status.horizontalUnitText);

    Status.trigger = p[layout->trigger];
    Status.TimebaseScaled = false;
    return 0;
}

int ParseSettings(const uint8_t *p, uint32_t length)
{
    if (length < 4 + TAVLINK_SETTINGS_BYTES)
        return Fail(TAVLINK_CAUSE_SHORT_REPLY);
    std::memcpy(SettingsStore, p + 4, TAVLINK_SETTINGS_BYTES);
    return 0;
}

int ParseWave(WaveKind kind, const uint8_t *p, uint32_t length)
{
    WaveStore &w = Waves[kind.channel];
    // Keeps the last accepted record in place whatever this reply turns out to be.
    std::memcpy(w.current, w.previous, size_t(w.count));

    const FamilyRecord *record = RecordFor(ModelFamily, kind.channel);
    if (record == nullptr)
        return 0;
    if (length < 8)
        return Fail(TAVLINK_CAUSE_SHORT_REPLY);
    const int32_t announced = int32_t(ReadBE32(p + 4));
    if (announced <= 0)
        return Fail(TAVLINK_CAUSE_BAD_REPLY, announced);
    // The stored record never holds more than the family's length.
    const int32_t count = std::min(announced, record->length);
    if (length < 8 + uint32_t(count))
        return Fail(TAVLINK_CAUSE_SHORT_REPLY);
    if (w.extraFlag && length < record->wavepntOffset + TAVLINK_WAVEPNT_BYTES)
        return Fail(TAVLINK_CAUSE_SHORT_REPLY);
    if (announced > count)
        Notice(TAVLINK_CAUSE_RECORD_CUT, announced, count);

    // A full memory record stretches the time base, once per status reply.
    if (kind.memory && count == record->length && !Status.TimebaseScaled) {
        Status.timeBaseValue *= 1.6;
        Status.timeBase = float(Status.timeBaseValue);
        FormatValue(Status.timeBaseText, Status.timeBaseValue, Status.timeBaseUnitText);
        Status.TimebaseScaled = true;
    }

    std::memset(w.current, 0, size_t(record->length));
    std::memcpy(w.current, p + 8, size_t(count));
    w.count = count;
    std::memcpy(w.previous, p + 8, size_t(count));

    std::memset(w.WavepntBlock, 0, sizeof w.WavepntBlock);
    if (w.extraFlag)
        std::memcpy(w.WavepntBlock, p + record->wavepntOffset, TAVLINK_WAVEPNT_BYTES);
    return 0;
}

uint8_t ChannelFlagForRequest(int type)
{
    const WaveKind kind = WaveKindOf(type);
    return kind.channel >= 0 ? Waves[kind.channel].extraFlag : 0;
}

bool StatusExchange(unsigned waitMs)
{
    const uint8_t payload[4] = {0, 0, 0, 0};
    return Exchange(CMD_READ, payload, sizeof payload, waitMs) == 0;
}

constexpr unsigned kWaitStatus = 50;
constexpr unsigned kWaitSettings = 160;
constexpr unsigned kWaitRecord = 100;
constexpr unsigned kWaitRecordWithBlock = 200;

bool ReadExchange(int type)
{
    if (type == 0)
        return StatusExchange(kWaitStatus);
    if (type == 3) {
        const uint8_t payload[4] = {4, 0, 0, 0};
        return Exchange(CMD_READ, payload, sizeof payload, kWaitSettings) == 0;
    }
    if (WaveKindOf(type).channel < 0)
        return true;  // nothing to read for this type
    const uint8_t flag = ChannelFlagForRequest(type);
    const uint8_t payload[4] = {uint8_t(type), flag, 0, 0};
    return Exchange(CMD_READ, payload, sizeof payload, flag ? kWaitRecordWithBlock : kWaitRecord) == 0;
}

// Channel (0-based) read with the given request type, copied out on success.
bool FetchRecord(int channel, int type, unsigned char *samples, int *count, unsigned char *wavepnt)
{
    if (!ReadExchange(type))
        return false;
    const WaveStore &w = Waves[channel];
    if (samples)
        std::memcpy(samples, w.current, TAVLINK_RECORD_BYTES);
    if (count)
        *count = w.count;
    if (wavepnt)
        std::memcpy(wavepnt, w.WavepntBlock, TAVLINK_WAVEPNT_BYTES);
    return true;
}

constexpr int kScreenType[4] = {1, 2, 7, 8};
constexpr int kMemoryType[4] = {5, 6, 9, 10};

int Clamp(int64_t v, int64_t lo, int64_t hi) { return int(std::clamp(v, lo, hi)); }

bool HoriVertTrig(int channel, char horizontal[50], int *vertical, char *trigger, bool cached)
{
    if (horizontal)
        std::memset(horizontal, 0, kTextBytes);
    if (!cached && !StatusExchange(kWaitStatus))
        return false;
    if (horizontal)
        std::memcpy(horizontal, Status.horizontalText, kTextBytes);
    if (vertical)
        *vertical = Clamp(216 - int64_t(Status.channel[channel].offset), INT32_MIN, INT32_MAX);
    if (trigger)
        *trigger = char(Status.trigger);
    return true;
}

void CopyUnit(char out[5], const char *unit)
{
    if (!out)
        return;
    std::memset(out, 0, 5);
    std::strncpy(out, unit, 4);
}

}  // namespace

bool IsStoredReadKind(int kind) { return kind == 0 || kind == 4 || WaveKindOf(kind).channel >= 0; }

int ParseDataReply(const uint8_t *payload, uint32_t length)
{
    if (length < 1)
        return Fail(TAVLINK_CAUSE_SHORT_REPLY);
    if (const int refused = Refuse(payload[0]))
        return refused;
    if (length < 2)
        return Fail(TAVLINK_CAUSE_SHORT_REPLY);
    const int kind = int(int8_t(payload[1]));
    if (kind == 0)
        return ParseStatus(payload, length);
    if (kind == 4)
        return ParseSettings(payload, length);
    const WaveKind wave = WaveKindOf(kind);
    if (wave.channel < 0)
        return 0;  // kinds the library does not keep
    return ParseWave(wave, payload, length);
}

}  // namespace tavlink

using namespace tavlink;

extern "C" {

TAVLINK_API bool IsGetDataFromInStruct(int requestType) { return ReadExchange(requestType); }

TAVLINK_API unsigned char IsNeedParam(unsigned char ch1, unsigned char ch2, unsigned char ch3, unsigned char ch4)
{
    Waves[0].extraFlag = ch1;
    Waves[1].extraFlag = ch2;
    Waves[2].extraFlag = ch3;
    Waves[3].extraFlag = ch4;
    return ch4;
}

TAVLINK_API bool IsCHOpen(unsigned char *ch1, unsigned char *ch2, unsigned char *ch3, unsigned char *ch4)
{
    if (!StatusExchange(kWaitSession))
        return false;
    unsigned char *out[4] = {ch1, ch2, ch3, ch4};
    for (int n = 0; n < 4; ++n)
        if (out[n])
            *out[n] = Status.channel[n].on ? 1 : 0;
    return true;
}

TAVLINK_API bool GetTheLedStatus(unsigned char **lamps)
{
    if (!StatusExchange(kWaitStatus))
        return false;
    if (lamps)
        *lamps = Status.LampState;
    return true;
}

TAVLINK_API void Get_Vol_Level_TimeBase(int channel, double *voltsPerDiv, double *level, double *timeBase,
                                        char voltsUnit[5], char timeUnit[5], bool cached)
{
    if (!cached)
        StatusExchange(kWaitStatus);  // stale values are still reported
    const int n = (channel >= 1 && channel <= 3) ? channel - 1 : 3;
    const ChannelStatus &ch = Status.channel[n];
    if (voltsPerDiv)
        *voltsPerDiv = ch.voltsPerDivValue;
    if (level)
        *level = Clamp(260 - int64_t(ch.offset), 0, 255);
    if (timeBase)
        *timeBase = Status.timeBaseValue;
    CopyUnit(voltsUnit, ch.unitText);
    CopyUnit(timeUnit, Status.timeBaseUnitText);
}

// Channel n's status copy, screen record and memory record.
#define TAVLINK_CHANNEL_EXPORTS(n)                                                                                     \
    TAVLINK_API bool Get_CH##n##_HoriP_VertP_Trig(char horizontal[50], int *vertical, char *trigger, bool cached)      \
    {                                                                                                                  \
        return HoriVertTrig(n - 1, horizontal, vertical, trigger, cached);                                             \
    }                                                                                                                  \
    TAVLINK_API bool GetParameter_CH##n##_WaveData(unsigned char samples[24000])                                       \
    {                                                                                                                  \
        return FetchRecord(n - 1, kScreenType[n - 1], samples, nullptr, nullptr);                                      \
    }                                                                                                                  \
    TAVLINK_API bool GetParameter_CH##n##_WaveData_And_wavepnt(unsigned char samples[24000], int *count,               \
                                                               unsigned char *wavepnt)                                 \
    {                                                                                                                  \
        return FetchRecord(n - 1, kScreenType[n - 1], samples, count, wavepnt);                                        \
    }                                                                                                                  \
    TAVLINK_API bool GetParameter_CH##n##_AllWaveData(unsigned char samples[24000], int *count,                        \
                                                      unsigned char *wavepnt)                                          \
    {                                                                                                                  \
        return FetchRecord(n - 1, kMemoryType[n - 1], samples, count, wavepnt);                                        \
    }

TAVLINK_CHANNEL_EXPORTS(1)
TAVLINK_CHANNEL_EXPORTS(2)
TAVLINK_CHANNEL_EXPORTS(3)
TAVLINK_CHANNEL_EXPORTS(4)

TAVLINK_API bool GetParameter_SettingData(unsigned char settings[2500])
{
    if (!ReadExchange(3))
        return false;
    if (settings)
        std::memcpy(settings, SettingsStore, TAVLINK_SETTINGS_BYTES);
    return true;
}

TAVLINK_API bool SendParameter_SettingData(const unsigned char settings[2500])
{
    if (settings == nullptr)
        return false;
    return Exchange(CMD_WRITE_SETTINGS, settings, TAVLINK_SETTINGS_BYTES, kWaitSession) == 0;
}

TAVLINK_API bool Ch1IsValue(void) { return Waves[0].WavepntBlock[32] != 0; }

TAVLINK_API bool Ch2IsValue(void) { return Waves[1].WavepntBlock[32] != 0; }

}  // extern "C"
