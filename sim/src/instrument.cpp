#include "vsim/instrument.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "bytes.h"
#include "internal.h"

namespace vsim {

namespace {

constexpr char kMagic[8] = {'D', 'S', 'O', 'P', 'P', 'V', '2', '0'};
constexpr int kMantissa[3] = {1, 2, 5};

// Unit indices of the link's unit table.
constexpr uint8_t kUnitNs = 1, kUnitMv = 6, kUnitV = 7;

// Key codes of the front panel.
enum Key : uint8_t {
    KeyCh1 = 14,
    KeyCh2 = 9,
    KeyCh3 = 19,
    KeyCh4 = 34,
    KeyMath = 29,
    KeyRef = 24,
    KeyCursor = 45,
    KeyHorizontalMenu = 16,
    KeyTrigMenu = 28,
    KeyMeasure = 50,
    KeyAcquire = 10,
    KeyDisplay = 39,
    KeySaveRecall = 25,
    KeyUtility = 36,
    KeyDefaultSetup = 30,
    KeyAuto = 20,
    KeySetTo50 = 46,
    KeyForce = 15,
    KeyRunStop = 40,
    KeySingle = 35,
    KeyMenu1 = 38,
    KeyMenu2 = 26,
    KeyMenu3 = 13,
    KeyMenu4 = 23,
    KeyMenu5 = 43,
    KeyHorizontalPush = 21,
    KeyCh1Push = 17,
    KeyCh2Push = 27,
    KeyCh3Push = 37,
    KeyCh4Push = 47,
};

// Knobs: the code for a positive turn and the one for zero or a negative turn.
struct Knob {
    uint8_t up, down;
    enum What { TimeBase, Position, Volts, Offset, Universal, Level } what;
    int channel;
};
constexpr Knob kKnobs[] = {
    {144, 135, Knob::TimeBase, 0}, {177, 186, Knob::Position, 0},  {92, 83, Knob::Volts, 0},
    {104, 95, Knob::Volts, 1},     {146, 137, Knob::Volts, 2},     {188, 179, Knob::Volts, 3},
    {62, 71, Knob::Offset, 0},     {72, 81, Knob::Offset, 1},      {114, 123, Knob::Offset, 2},
    {156, 165, Knob::Offset, 3},   {219, 228, Knob::Universal, 0}, {93, 102, Knob::Level, 0},
};

bool isWaveKind(int kind) { return kind == 1 || kind == 2 || (kind >= 5 && kind <= 10); }
bool isMemoryKind(int kind) { return kind == 5 || kind == 6 || kind == 9 || kind == 10; }
int channelOfKind(int kind)
{
    switch (kind) {
    case 1:
    case 5: return 0;
    case 2:
    case 6: return 1;
    case 7:
    case 9: return 2;
    case 8:
    case 10: return 3;
    default: return -1;
    }
}

std::vector<uint8_t> statusOnly(uint8_t status) { return std::vector<uint8_t>{status, 0, 0, 0}; }

const char *modelName(int family)
{
    switch (family) {
    case 0: return "VDS-2102A";
    case 1: return "VDS-2202B";
    case 4: return "VDS-2302X";
    default: return "VDS-4104M";
    }
}

}  // namespace

uint64_t mixSeed(uint64_t a, uint64_t b)
{
    uint64_t z = a * 0x9E3779B97F4A7C15ull + b + 0x632BE59BD9B4E019ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

Scaled voltsPerDiv(int index)
{
    index = std::clamp(index, 0, kVoltsSteps - 1) + 1;  // 2 mV first
    int decade = index / 3;
    float m = float(kMantissa[index % 3]);
    if (decade < 3)
        return {m * float(std::pow(10.0, decade)), kUnitMv};
    return {m * float(std::pow(10.0, decade - 3)), kUnitV};
}

Scaled timePerDiv(int index)
{
    index = std::clamp(index, 0, kTimeSteps - 1);  // 1 ns first
    int decade = index / 3;
    int unitStep = std::min(decade / 3, 3);
    float m = float(kMantissa[index % 3]);
    return {m * float(std::pow(10.0, decade - 3 * unitStep)), uint8_t(kUnitNs + unitStep)};
}

double voltsPerDivVolts(int index)
{
    Scaled s = voltsPerDiv(index);
    return s.unit == kUnitMv ? s.value * 1e-3 : s.value;
}

double timePerDivSeconds(int index)
{
    Scaled s = timePerDiv(index);
    return s.value * std::pow(10.0, 3 * (s.unit - kUnitNs) - 9);
}

int familyOfProductCode(int code)
{
    if (code < 0 || code > 127)
        return -1;
    if (code <= 21)
        return 0;
    if (code <= 51)
        return -1;
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
    return -1;
}

int familyRecordLength(int family)
{
    switch (family) {
    case 0: return 4000;
    case 1: return 18000;
    case 4: return 20480;
    default: return 24000;
    }
}

int familyScreenLength(int family) { return family == 0 ? 3000 : 6000; }

int familyWavepntOffset(int family)
{
    switch (family) {
    case 0: return 4008;
    case 1:
    case 4: return 18008;
    default: return 24008;
    }
}

int familyChannels(int family) { return family == 3 ? 4 : 2; }

const char *unitText(uint8_t index)
{
    static const char *const kUnits[16] = {"ps", "ns", "us", "ms",  "s",   "uV",  "mV",  "V",
                                           "kV", "?",  "Hz", "KHz", "MHz", "GHz", "THz", "div"};
    return index < 16 ? kUnits[index] : "";
}

std::vector<uint8_t> makeFrame(uint8_t command, const std::vector<uint8_t> &payload, uint8_t direction)
{
    std::vector<uint8_t> frame(kFrameHeader + payload.size(), 0);
    std::memcpy(frame.data(), kMagic, 8);
    putU32(&frame[8], uint32_t(payload.size()));
    frame[12] = direction;
    frame[13] = command;
    if (!payload.empty())
        std::memcpy(&frame[kFrameHeader], payload.data(), payload.size());
    return frame;
}

Instrument::Instrument(int productCode, uint32_t seed) : productCode_(productCode), seed_(seed)
{
    int f = familyOfProductCode(productCode);
    family_ = f < 0 ? 3 : f;
    defaultState();
}

void Instrument::defaultState()
{
    state_ = State{};
    state_.timeIndex = 17;  // 500 us/div
    const Signal signals[4] = {
        {Wave::Sine, 1000.0, 1.0, 0.0, 0.2, 0.0},
        {Wave::Square, 1000.0, 1.5, 0.0, 0.5, 90.0},
        {Wave::Triangle, 500.0, 0.4, 0.1, 0.2, 0.0},
        {Wave::Pulse, 2000.0, 2.0, 0.0, 0.2, 0.0},
    };
    const int volts[4] = {7, 8, 6, 8};  // 500 mV, 1 V, 200 mV, 1 V
    const int offsets[4] = {129, 129, 154, 104};
    for (int i = 0; i < 4; ++i) {
        ChannelState &c = state_.channels[size_t(i)];
        c.on = i < 2;
        c.voltsIndex = volts[i];
        c.offset = offsets[i];
        c.triggerLevel = 0;
        c.signal = signals[i];
    }
}

void Instrument::reset()
{
    std::lock_guard lock(mutex_);
    defaultState();
}

void Instrument::inject(const Fault &fault)
{
    std::lock_guard lock(mutex_);
    Fault f = fault;
    if (f.kind == Fault::ChunkFail && f.arg > 0)
        f.times = f.arg;
    if (f.times != 0)
        faults_.push_back(f);
}

void Instrument::clearFaults()
{
    std::lock_guard lock(mutex_);
    faults_.clear();
}

std::vector<Fault> Instrument::faults() const
{
    std::lock_guard lock(mutex_);
    return faults_;
}

void Instrument::setProductCode(int code)
{
    std::lock_guard lock(mutex_);
    productCode_ = code;
    int f = familyOfProductCode(code);
    if (f >= 0)
        family_ = f;
    if (familyChannels(family_) == 2) {
        state_.channels[2].on = state_.channels[3].on = false;
        if (state_.triggerSource > 1)
            state_.triggerSource = 0;
    }
}

int Instrument::productCode() const
{
    std::lock_guard lock(mutex_);
    return productCode_;
}

int Instrument::family() const
{
    std::lock_guard lock(mutex_);
    return family_;
}

State Instrument::state() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

void Instrument::setState(const State &state)
{
    std::lock_guard lock(mutex_);
    state_ = state;
}

void Instrument::setSignal(int channel, const Signal &signal)
{
    std::lock_guard lock(mutex_);
    if (channel >= 1 && channel <= 4)
        state_.channels[size_t(channel - 1)].signal = signal;
}

std::array<uint8_t, kLampCount> Instrument::lamps() const
{
    std::lock_guard lock(mutex_);
    return lampsLocked();
}

uint8_t Instrument::triggerState() const
{
    std::lock_guard lock(mutex_);
    return triggerStateLocked();
}

std::string Instrument::productName() const
{
    std::lock_guard lock(mutex_);
    return modelName(family_);
}

uint32_t Instrument::requestsHandled() const
{
    std::lock_guard lock(mutex_);
    return handled_;
}

std::vector<uint8_t> Instrument::recentCommands() const
{
    std::lock_guard lock(mutex_);
    return recent_;
}

std::vector<KeyPress> Instrument::keysPressed() const
{
    std::lock_guard lock(mutex_);
    return keys_;
}

std::array<uint8_t, kLampCount> Instrument::lampsLocked() const
{
    std::array<uint8_t, kLampCount> l{};
    l[0] = state_.running ? 1 : 2;
    l[1] = triggerStateLocked() == 3 ? 1 : 0;
    l[2] = state_.single ? 1 : 0;
    int channels = familyChannels(family_);
    for (int i = 0; i < channels; ++i)
        l[size_t(3 + i)] = state_.channels[size_t(i)].on ? 1 : 0;
    l[7] = state_.math;
    l[8] = state_.ref;
    l[9] = state_.cursor;
    return l;
}

uint8_t Instrument::triggerStateLocked() const
{
    if (!state_.running)
        return 0;
    if (state_.single)
        return 2;
    if (timePerDivSeconds(state_.timeIndex) >= 0.1)
        return 4;
    const ChannelState &src = state_.channels[size_t(state_.triggerSource)];
    // A source that swings less than half a division cannot hold the trigger.
    double swing = src.signal.amplitude / voltsPerDivVolts(src.voltsIndex);
    if (src.on && src.signal.wave != Wave::Noise && swing >= 0.5)
        return 3;
    return 1;
}

Instrument::Reply Instrument::handle(const uint8_t *request, size_t length)
{
    std::lock_guard lock(mutex_);
    Reply reply;
    // Garbage on the line gets no answer, as the firmware would ignore it.
    if (!request || length < kFrameHeader || std::memcmp(request, kMagic, 8) != 0 || request[12] != 0) {
        reply.drop = true;
        return reply;
    }
    uint32_t n = getU32(request + 8);
    if (n > kMaxPayload || n > length - kFrameHeader) {
        reply.drop = true;
        return reply;
    }
    ++handled_;
    uint8_t command = request[13];
    constexpr size_t kRecent = 64;
    if (recent_.size() == kRecent)
        recent_.erase(recent_.begin());
    recent_.push_back(command);
    const uint8_t *payload = request + kFrameHeader;
    uint8_t readKind = command == CmdRead && n >= 1 ? payload[0] : 0;
    if (replayReads_ && command == CmdRead && n >= 2) {
        std::vector<uint8_t> &kept = replayed_[uint16_t(payload[0] << 8 | payload[1])];
        if (kept.empty())
            kept = makeFrame(command, dispatch(command, payload, n));
        reply.bytes = kept;
    } else {
        reply.bytes = makeFrame(command, dispatch(command, payload, n));
    }
    applyFaults(command, readKind, reply);
    return reply;
}

void Instrument::setReplayReads(bool on)
{
    std::lock_guard lock(mutex_);
    replayReads_ = on;
    replayed_.clear();
}

std::vector<uint8_t> Instrument::dispatch(uint8_t command, const uint8_t *payload, size_t n)
{
    switch (command) {
    case CmdBind: {
        std::vector<uint8_t> p(96, 0);
        p[0] = 0;
        p[1] = uint8_t(productCode_);
        std::string name = modelName(family_);
        std::memcpy(&p[27], name.data(), std::min<size_t>(name.size(), 20));
        const char field2[] = "FW3.07.2";
        std::memcpy(&p[47], field2, sizeof field2 - 1);
        char text[17];
        std::snprintf(text, sizeof text, "SN%02d%010u", productCode_ % 100, seed_ % 1000000000u);
        std::memcpy(&p[77], text, 16);
        return p;
    }
    case CmdUnbind: return statusOnly(0);
    case CmdKey:
        if (n < 2)
            return statusOnly(1);
        if (keys_.size() == kKeyLog)
            keys_.erase(keys_.begin());
        keys_.push_back({payload[0], payload[1]});
        return keyReply(payload[0], payload[1]);
    case CmdRead:
        if (n < 2)
            return statusOnly(1);
        return readReply(payload[0], payload[1]);
    case CmdWriteSettings:
        if (n < kSettingsBytes)
            return statusOnly(1);
        {
            State decoded = state_;
            if (!decodeState(payload, kSettingsBytes, decoded))
                return statusOnly(2);
            if (familyChannels(family_) == 2)
                decoded.channels[2].on = decoded.channels[3].on = false;
            state_ = decoded;
        }
        return statusOnly(0);
    case CmdBmpBegin: {
        bitmap_ = screenImage_.empty() ? renderLocked() : screenImage_;
        std::vector<uint8_t> p(12, 0);
        putU32(&p[4], uint32_t(bitmap_.size()));
        return p;
    }
    case CmdBmpChunk: {
        uint32_t index = n >= 8 ? getU32(payload + 4) : 0;
        return chunkPayload(index);
    }
    case CmdBmpEnd: bitmap_.clear(); return std::vector<uint8_t>{0, 0, 0, 0};
    default: return statusOnly(1);
    }
}

std::vector<uint8_t> Instrument::chunkPayload(uint32_t index) const
{
    std::vector<uint8_t> p(kChunkPayload, 0);
    putU32(&p[0], index);
    // Chunks outside the image (or without a begin) come back flagged bad.
    uint64_t start = uint64_t(index) * kChunkData;
    if (bitmap_.empty() || start >= bitmap_.size()) {
        p[24012] = 1;
        return p;
    }
    uint32_t len = uint32_t(std::min<uint64_t>(kChunkData, bitmap_.size() - start));
    uint32_t sum = 0;
    for (uint32_t i = 0; i < len; ++i)
        sum += bitmap_[start + i];
    putU32(&p[4], len);
    putU32(&p[8], uint32_t(0) - sum);
    std::memcpy(&p[12], &bitmap_[start], len);
    return p;
}

std::vector<uint8_t> Instrument::readReply(uint8_t kind, uint8_t flag)
{
    if (kind == 0) {
        // Each status read starts a new acquisition while the instrument runs.
        if (state_.running) {
            ++acquisition_;
            if (state_.single) {
                state_.single = false;
                state_.running = false;
            }
        }
        return statusPayload();
    }
    if (kind == 4) {
        std::vector<uint8_t> p(4 + kSettingsBytes, 0);
        p[1] = 4;
        std::vector<uint8_t> block = encodeLocked();
        std::memcpy(&p[4], block.data(), kSettingsBytes);
        return p;
    }
    if (isWaveKind(kind)) {
        int ch = channelOfKind(kind);
        if (ch >= familyChannels(family_) || !state_.channels[size_t(ch)].on) {
            std::vector<uint8_t> p = statusOnly(1);
            p[1] = kind;
            return p;
        }
        return wavePayload(kind, flag != 0);
    }
    std::vector<uint8_t> p = statusOnly(1);
    p[1] = kind;
    return p;
}

std::vector<uint8_t> Instrument::statusPayload() const
{
    bool four = family_ == 3;
    std::vector<uint8_t> p(four ? 116 : 72, 0);
    p[1] = 0;
    auto lamps = lampsLocked();
    if (four) {
        std::memcpy(&p[4], lamps.data(), 10);
    } else {
        std::memcpy(&p[4], lamps.data(), 5);
        std::memcpy(&p[9], &lamps[7], 3);
    }
    int base = four ? 16 : 12;
    for (int i = 0; i < familyChannels(family_); ++i) {
        const ChannelState &c = state_.channels[size_t(i)];
        uint8_t *q = &p[size_t(base + 20 * i)];
        Scaled v = voltsPerDiv(c.voltsIndex);
        q[0] = c.on ? 1 : 0;
        putF32(q + 4, v.value);
        q[8] = v.unit;
        putI32(q + 12, c.offset);
        putI32(q + 16, c.triggerLevel);
    }
    size_t t = four ? 96 : 52;
    Scaled tb = timePerDiv(state_.timeIndex);
    putF32(&p[t], tb.value);
    p[t + 4] = tb.unit;
    // The position in the time base's unit.
    double unitSeconds = std::pow(10.0, 3 * (tb.unit - kUnitNs) - 9);
    putF32(&p[t + 8], float(state_.horizontalPosition / unitSeconds));
    p[t + 12] = tb.unit;
    p[t + 16] = triggerStateLocked();
    return p;
}

std::vector<uint8_t> Instrument::keyReply(uint8_t code, uint8_t count)
{
    int channels = familyChannels(family_);
    auto toggleChannel = [&](int ch) {
        if (ch < channels)
            state_.channels[size_t(ch)].on = !state_.channels[size_t(ch)].on;
    };
    switch (code) {
    case KeyCh1: toggleChannel(0); return statusOnly(0);
    case KeyCh2: toggleChannel(1); return statusOnly(0);
    case KeyCh3: toggleChannel(2); return statusOnly(0);
    case KeyCh4: toggleChannel(3); return statusOnly(0);
    case KeyMath: state_.math = !state_.math; return statusOnly(0);
    case KeyRef: state_.ref = !state_.ref; return statusOnly(0);
    case KeyCursor: state_.cursor = !state_.cursor; return statusOnly(0);
    case KeyRunStop:
        state_.running = !state_.running;
        state_.single = false;
        return statusOnly(0);
    case KeySingle:
        state_.single = true;
        state_.running = true;
        return statusOnly(0);
    case KeyForce:
        if (state_.single) {  // completes the armed acquisition at once
            ++acquisition_;
            state_.single = false;
            state_.running = false;
        }
        return statusOnly(0);
    case KeyDefaultSetup: defaultState(); return statusOnly(0);
    case KeyAuto: autoSet(); return statusOnly(0);
    case KeySetTo50: {
        const ChannelState &src = state_.channels[size_t(state_.triggerSource)];
        state_.channels[size_t(state_.triggerSource)].triggerLevel =
            int(std::lround(src.signal.offset / (voltsPerDivVolts(src.voltsIndex) * 0.04)));
        return statusOnly(0);
    }
    case KeyTrigMenu:
        // Cycles the trigger source through the channels that are on.
        for (int i = 1; i <= channels; ++i) {
            int next = (state_.triggerSource + i) % channels;
            if (state_.channels[size_t(next)].on) {
                state_.triggerSource = next;
                break;
            }
        }
        return statusOnly(0);
    case KeyHorizontalPush: state_.horizontalPosition = 0; return statusOnly(0);
    case KeyCh1Push:
    case KeyCh2Push:
    case KeyCh3Push:
    case KeyCh4Push: {
        int ch = code == KeyCh1Push ? 0 : code == KeyCh2Push ? 1 : code == KeyCh3Push ? 2 : 3;
        if (ch < channels)
            state_.channels[size_t(ch)].offset = 129;  // back to the centre
        return statusOnly(0);
    }
    case KeyHorizontalMenu:
    case KeyMeasure:
    case KeyAcquire:
    case KeyDisplay:
    case KeySaveRecall:
    case KeyUtility:
    case KeyMenu1:
    case KeyMenu2:
    case KeyMenu3:
    case KeyMenu4:
    case KeyMenu5: return statusOnly(0);
    default: break;
    }
    for (const Knob &k : kKnobs) {
        if (code != k.up && code != k.down)
            continue;
        int steps = code == k.up ? count : -int(count);
        switch (k.what) {
        case Knob::TimeBase: state_.timeIndex = std::clamp(state_.timeIndex + steps, 0, kTimeSteps - 1); break;
        case Knob::Position:
            // One detent moves the picture by a twenty-fifth of a division.
            state_.horizontalPosition += steps * timePerDivSeconds(state_.timeIndex) / 25.0;
            break;
        case Knob::Volts:
            if (k.channel < channels) {
                int &v = state_.channels[size_t(k.channel)].voltsIndex;
                v = std::clamp(v + steps, 0, kVoltsSteps - 1);
            }
            break;
        case Knob::Offset:
            if (k.channel < channels) {
                // Turning up raises the trace, so the zero code grows.
                int &o = state_.channels[size_t(k.channel)].offset;
                o = std::clamp(o - steps, zeroCode(255), zeroCode(0));
            }
            break;
        case Knob::Level: {
            int &l = state_.channels[size_t(state_.triggerSource)].triggerLevel;
            l = std::clamp(l + steps, -128, 127);
            break;
        }
        case Knob::Universal:
            if (state_.cursor) {
                // Six divisions either side of the centre.
                state_.cursorPosition = std::clamp(state_.cursorPosition + steps, -150, 150);
            } else {
                // A twenty-fifth of a division per detent, 100 ns to 10 s.
                state_.holdoff =
                    std::clamp(state_.holdoff + steps * timePerDivSeconds(state_.timeIndex) / 25.0, 100e-9, 10.0);
            }
            break;
        }
        return statusOnly(0);
    }
    return statusOnly(1);
}

void Instrument::autoSet()
{
    int channels = familyChannels(family_);
    double slowest = 0;
    for (int i = 0; i < channels; ++i) {
        ChannelState &c = state_.channels[size_t(i)];
        double peak = std::fabs(c.signal.offset) + std::fabs(c.signal.amplitude);
        if (peak <= 0)
            continue;
        c.on = true;
        // Smallest V/div that keeps the signal within three divisions of its zero.
        int v = 0;
        while (v < kVoltsSteps - 1 && peak > 3.0 * voltsPerDivVolts(v))
            ++v;
        c.voltsIndex = v;
        c.offset = 129;
        if (c.signal.wave != Wave::Noise && c.signal.frequency > 0 && (i == state_.triggerSource || slowest == 0))
            slowest = std::max(slowest, 1.0 / c.signal.frequency);
    }
    if (slowest > 0) {
        // About three periods across the twelve divisions of the screen.
        int t = 0;
        while (t < kTimeSteps - 1 && 12.0 * timePerDivSeconds(t) < 3.0 * slowest)
            ++t;
        state_.timeIndex = t;
    }
    state_.horizontalPosition = 0;
    state_.running = true;
    state_.single = false;
}

std::vector<uint8_t> Instrument::record(int readKind) const
{
    std::lock_guard lock(mutex_);
    int ch = channelOfKind(readKind);
    if (ch < 0)
        return {};
    bool memory = isMemoryKind(readKind);
    int length = memory ? familyRecordLength(family_) : familyScreenLength(family_);
    double tb = timePerDivSeconds(state_.timeIndex) * (memory ? 1.6 : 1.0);
    return recordLocked(readKind, length, tb);
}

std::vector<uint8_t> Instrument::recordLocked(int readKind, int length, double timeBase) const
{
    int ch = channelOfKind(readKind);
    double dt = sampleInterval(timeBase, length);
    // The trigger point sits in the middle of the record.
    double t0 = state_.horizontalPosition - dt * (length / 2);
    uint64_t seed = mixSeed(mixSeed(seed_, acquisition_), uint64_t(readKind) * 131 + length);
    if (triggerStateLocked() == 1) {
        // Untriggered: every acquisition lands at another phase.
        t0 += double(mixSeed(seed_, acquisition_) % 1000003) * 1e-6 * 10.0 * timePerDivSeconds(state_.timeIndex);
    }
    return synthesize(state_.channels[size_t(ch)], length, dt, t0, seed);
}

std::vector<uint8_t> Instrument::wavePayload(uint8_t kind, bool withBlock)
{
    bool memory = isMemoryKind(kind);
    int full = familyRecordLength(family_);
    int length = memory ? full : familyScreenLength(family_);
    int blockAt = familyWavepntOffset(family_);
    // The block's place lies inside a full record of the 20480-sample family;
    // the record then stops short of it rather than lose samples under it.
    if (withBlock && 8 + length > blockAt)
        length = blockAt - 8;
    // The link stretches its time base by 1.6 for a full memory record; the
    // samples follow the time base it will show.
    double tb = timePerDivSeconds(state_.timeIndex) * (memory && length == full ? 1.6 : 1.0);
    std::vector<uint8_t> samples = recordLocked(kind, length, tb);
    size_t size = 8 + samples.size();
    if (withBlock)
        size = std::max(size, size_t(blockAt) + kWavepntBytes);
    std::vector<uint8_t> p(size, 0);
    p[1] = kind;
    putI32(&p[4], int32_t(samples.size()));
    std::memcpy(&p[8], samples.data(), samples.size());
    if (withBlock) {
        int ch = channelOfKind(kind);
        Scaled tbs = timePerDiv(state_.timeIndex);
        if (memory && length == full)
            tbs.value *= 1.6f;
        auto input = [&](int c, const std::vector<uint8_t> &s) {
            MeasureInput in;
            in.samples = s.data();
            in.count = int(s.size());
            in.zero = zeroCode(state_.channels[size_t(c)].offset);
            in.volts = voltsPerDiv(state_.channels[size_t(c)].voltsIndex);
            in.time = tbs;
            in.recordLength = int(s.size());
            return in;
        };
        MeasureInput self = input(ch, samples);
        // Phase and delays relate channel 1 to channel 2 of the same acquisition.
        std::vector<uint8_t> r1, r2;
        MeasureInput i1, i2;
        bool both = state_.channels[0].on && state_.channels[1].on;
        if (both) {
            int k1 = memory ? 5 : 1, k2 = memory ? 6 : 2;
            r1 = ch == 0 ? samples : recordLocked(k1, length, tb);
            r2 = ch == 1 ? samples : recordLocked(k2, length, tb);
            i1 = input(0, r1);
            i2 = input(1, r2);
        }
        fillWavepnt(&p[size_t(blockAt)], ch + 1, self, both ? &i1 : nullptr, both ? &i2 : nullptr);
    }
    return p;
}

void Instrument::applyFaults(uint8_t command, uint8_t readKind, Reply &reply)
{
    std::vector<uint8_t> &f = reply.bytes;
    bool wave = command == CmdRead && isWaveKind(readKind) && f.size() > kFrameHeader + 8 && f[kFrameHeader] == 0;
    // Faults may resize the frame: every access looks its byte up afresh, and a
    // truncation comes last so that the others still find their bytes.
    auto at = [&f](size_t offset) -> uint8_t * { return offset < f.size() ? &f[offset] : nullptr; };
    auto setByte = [&](size_t offset, uint8_t value) {
        if (uint8_t *p = at(offset))
            *p = value;
    };
    auto addU32 = [&](size_t offset, uint32_t delta) {
        if (offset + 4 <= f.size())
            putU32(&f[offset], getU32(&f[offset]) + delta);
    };
    int truncateTo = -1;
    for (auto it = faults_.begin(); it != faults_.end();) {
        Fault &fault = *it;
        bool applies = fault.command == 0 || fault.command == command;
        switch (fault.kind) {
        case Fault::ShortRecord:
        case Fault::OversizeRecord: applies = applies && wave; break;
        case Fault::BadChunkChecksum:
        case Fault::WrongChunkIndex:
        case Fault::ChunkFail: applies = applies && command == CmdBmpChunk; break;
        case Fault::WrongReadKind: applies = applies && command == CmdRead; break;
        default: break;
        }
        if (!applies) {
            ++it;
            continue;
        }
        const size_t p = kFrameHeader;
        switch (fault.kind) {
        case Fault::Drop: reply.drop = true; break;
        case Fault::Delay: reply.delayMs += std::max(fault.arg, 0); break;
        case Fault::Truncate: truncateTo = std::max(fault.arg, 0); break;
        case Fault::WrongMagic:
            setByte(0, 'X');
            setByte(3, 'Q');
            break;
        case Fault::ZeroDirection: setByte(12, 0); break;
        case Fault::WrongCommand: setByte(13, uint8_t(fault.arg > 0 ? fault.arg : 3)); break;
        case Fault::OversizeLength: {
            uint32_t n = uint32_t(fault.arg > 0 ? fault.arg : 30000);
            f.resize(kFrameHeader + n, 0);
            putU32(&f[8], n);
            break;
        }
        case Fault::PartialWrites: reply.partialWrites = true; break;
        case Fault::Disconnect: reply.disconnectAfter = std::max(fault.arg, 0); break;
        case Fault::Refuse:
            setByte(command == CmdBmpChunk ? p + 24012 : p, uint8_t(fault.arg > 0 ? fault.arg : 1));
            break;
        case Fault::ShortRecord: {
            uint32_t n = 8 + getU32(&f[p + 4]) / 2;
            f.resize(kFrameHeader + n);
            putU32(&f[8], n);
            break;
        }
        case Fault::OversizeRecord: {
            int32_t l = fault.arg > 0 ? fault.arg : familyRecordLength(family_) + 1000;
            l = std::min<int32_t>(l, int32_t(kMaxPayload - 8));
            size_t n = std::max(f.size() - kFrameHeader, size_t(8 + l));
            f.resize(kFrameHeader + n, 0);
            putU32(&f[8], uint32_t(n));
            putI32(&f[p + 4], l);
            break;
        }
        case Fault::BadChunkChecksum: addU32(p + 8, 1); break;
        case Fault::WrongChunkIndex: addU32(p, 1); break;
        case Fault::ChunkFail: setByte(p + 24013, 1); break;
        case Fault::WrongReadKind: setByte(p + 1, uint8_t(fault.arg > 0 ? fault.arg : readKind + 1)); break;
        }
        if (fault.times > 0 && --fault.times == 0)
            it = faults_.erase(it);
        else
            ++it;
    }
    if (truncateTo >= 0 && size_t(truncateTo) < f.size()) {
        reply.truncatedFrom = int(f.size());
        f.resize(size_t(truncateTo));
    }
}

std::vector<uint8_t> Instrument::encodeSettings() const
{
    std::lock_guard lock(mutex_);
    return encodeLocked();
}

std::vector<uint8_t> Instrument::encodeLocked() const { return encodeState(state_, productCode_); }

bool Instrument::decodeSettings(const uint8_t *block, size_t length)
{
    std::lock_guard lock(mutex_);
    State decoded = state_;
    if (!decodeState(block, length, decoded))
        return false;
    state_ = decoded;
    return true;
}

std::vector<uint8_t> Instrument::renderBitmap() const
{
    std::lock_guard lock(mutex_);
    return renderLocked();
}

void Instrument::setScreenImage(std::vector<uint8_t> image)
{
    std::lock_guard lock(mutex_);
    screenImage_ = std::move(image);
}

std::vector<uint8_t> Instrument::renderLocked() const
{
    std::vector<ScreenTrace> traces;
    int length = familyScreenLength(family_);
    double tb = timePerDivSeconds(state_.timeIndex);
    const int kinds[4] = {1, 2, 7, 8};
    for (int i = 0; i < familyChannels(family_); ++i)
        if (state_.channels[size_t(i)].on)
            traces.push_back({i, recordLocked(kinds[i], length, tb)});
    Scaled t = timePerDiv(state_.timeIndex);
    char status[64];
    static const char *const kTrig[5] = {"Stop", "Auto", "Ready", "Trig'd", "Scan"};
    std::snprintf(status, sizeof status, "%s %g%s", kTrig[triggerStateLocked()], double(t.value), unitText(t.unit));
    return renderScreen(state_, traces, status);
}

}  // namespace vsim
