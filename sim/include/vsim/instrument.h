// The virtual oscilloscope: its state and its side of every exchange.
#ifndef VSIM_INSTRUMENT_H
#define VSIM_INSTRUMENT_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace vsim {

struct Fault {
    enum Kind {
        Drop,      // no reply at all
        Delay,     // arg = extra ms before the reply is sent
        Truncate,  // arg = bytes of the reply frame actually sent (then silence)
        WrongMagic,
        ZeroDirection,
        WrongCommand,    // header damage
        OversizeLength,  // announce arg (default 30000) payload bytes and send that many
        PartialWrites,   // stream transports: write the reply in small pieces with pauses
        Disconnect,      // close the connection / vanish (USB) after arg bytes of the reply
        Refuse,          // status byte arg (default 1) instead of 0
        ShortRecord,     // wave reply whose payload is shorter than 8 + L
        OversizeRecord,  // wave reply with L above the family's record length (arg = L)
        BadChunkChecksum,
        WrongChunkIndex,
        ChunkFail,      // bitmap chunk fails (bad flag) arg times before it succeeds
        WrongReadKind,  // data reply carries read kind arg (default: the next one), as another read's would
    };
    Kind kind;
    int command = 0;  // reply command code it applies to; 0 = any
    int arg = 0;
    int times = 1;  // replies it applies to; -1 = until cleared
};

// Command codes of the frame header.
enum Command : uint8_t {
    CmdBind = 1,
    CmdUnbind = 2,
    CmdKey = 4,
    CmdRead = 5,
    CmdWriteSettings = 10,
    CmdBmpBegin = 11,
    CmdBmpChunk = 12,
    CmdBmpEnd = 13,
};

enum class Wave { Sine, Square, Triangle, Pulse, Noise };

// What a probe sees on one channel, in volts and hertz.
struct Signal {
    Wave wave = Wave::Sine;
    double frequency = 1000.0;
    double amplitude = 1.0;  // peak, volts
    double offset = 0.0;     // volts
    double duty = 0.2;       // pulse only: fraction of the period high
    double phase = 0.0;      // degrees at t = 0, the trigger point
};

struct ChannelState {
    bool on = false;
    int voltsIndex = 0;    // into the 1-2-5 ladder, see voltsPerDiv()
    int offset = 129;      // screen position as sent; zero code = 229 - offset
    int triggerLevel = 0;  // the second per-channel value of the status reply
    Signal signal;
};

struct State {
    std::array<ChannelState, 4> channels{};
    int timeIndex = 0;                // into the 1-2-5 ladder, see timePerDiv()
    double horizontalPosition = 0.0;  // seconds, positive = later
    bool running = true;
    bool single = false;  // armed single acquisition
    bool math = false, ref = false, cursor = false;
    int triggerSource = 0;  // channel index 0..3
    // The universal knob's two jobs: the cursor while CURSOR is lit, else
    // the trigger holdoff.
    int cursorPosition = 0;   // from the screen centre, in 1/25 division
    double holdoff = 100e-9;  // seconds
};

// One key command as the instrument received it.
struct KeyPress {
    uint8_t code;
    uint8_t count;
};

// 1-2-5 ladders: value in its unit and the unit index of the link's unit table.
struct Scaled {
    float value;
    uint8_t unit;
};
constexpr int kVoltsSteps = 12;  // 2 mV .. 10 V
constexpr int kTimeSteps = 33;   // 1 ns .. 50 s
Scaled voltsPerDiv(int index);
Scaled timePerDiv(int index);
double voltsPerDivVolts(int index);
double timePerDivSeconds(int index);

// Family of a product code, as the link derives it; -1 keeps the previous one.
int familyOfProductCode(int code);
int familyRecordLength(int family);   // full memory record
int familyScreenLength(int family);   // record of the screen
int familyWavepntOffset(int family);  // payload offset of the measurement block
int familyChannels(int family);

constexpr size_t kFrameHeader = 16;
constexpr size_t kMaxPayload = 25584;
constexpr size_t kSettingsBytes = 2500;
constexpr size_t kWavepntBytes = 512;
constexpr size_t kChunkData = 24000;
constexpr size_t kChunkPayload = 24014;
constexpr int kLampCount = 10;

class Instrument {  // thread-safe: every public member takes the instrument's lock
public:
    explicit Instrument(int productCode = 70, uint32_t seed = 1);
    struct Reply {
        std::vector<uint8_t> bytes;  // the reply frame (may be damaged by a fault)
        int delayMs = 0;
        bool drop = false;
        bool partialWrites = false;
        int disconnectAfter = -1;  // >= 0: send this many bytes, then hang up / vanish
        int truncatedFrom = -1;    // >= 0: the frame was cut from this length
    };
    Reply handle(const uint8_t *request, size_t length);  // one request frame in
    void inject(const Fault &fault);
    void clearFaults();
    std::vector<Fault> faults() const;
    void setProductCode(int code);  // family follows the product-code table of the link
    int productCode() const;
    int family() const;

    // State access for tests and the control input.
    State state() const;
    void setState(const State &state);
    void setSignal(int channel, const Signal &signal);  // channel 1..4
    std::array<uint8_t, kLampCount> lamps() const;
    uint8_t triggerState() const;  // 0 Stop, 1 Auto, 2 Ready, 3 Trig'd, 4 Scan
    void reset();                  // the DEFAULT SETUP key
    std::string productName() const;
    uint32_t requestsHandled() const;
    // Command codes of the last requests handled, oldest first (at most 64).
    std::vector<uint8_t> recentCommands() const;
    // The key commands received, oldest first (the last kKeyLog of them).
    std::vector<KeyPress> keysPressed() const;
    static constexpr size_t kKeyLog = 256;

    // The settings block: an encoding of the state.
    std::vector<uint8_t> encodeSettings() const;
    bool decodeSettings(const uint8_t *block, size_t length);  // false: refused, state kept

    // The screen as a BMP file image.
    std::vector<uint8_t> renderBitmap() const;
    // A picture the screen transfers send instead of the rendered screen
    // (any bytes, as an instrument of another make might); empty renders again.
    void setScreenImage(std::vector<uint8_t> image);

    // Samples a read would send now (kind 1, 2, 5..10), without the block.
    std::vector<uint8_t> record(int readKind) const;

    // For benchmarks: every read is answered with the reply first made for
    // its kind and flag, so the instrument's own work stays out of what they
    // time. Faults still apply.
    void setReplayReads(bool on);

private:
    mutable std::mutex mutex_;
    int productCode_;
    int family_ = 3;
    uint32_t seed_;
    uint64_t acquisition_ = 0;  // advances with every acquisition while running
    State state_;
    std::vector<Fault> faults_;
    std::vector<uint8_t> bitmap_;  // the image of the open transfer
    std::vector<uint8_t> screenImage_;
    uint32_t handled_ = 0;
    std::vector<uint8_t> recent_;
    std::vector<KeyPress> keys_;
    bool replayReads_ = false;
    std::map<uint16_t, std::vector<uint8_t>> replayed_;  // by read kind and flag

    std::vector<uint8_t> dispatch(uint8_t command, const uint8_t *payload, size_t n);
    std::vector<uint8_t> readReply(uint8_t kind, uint8_t flag);
    std::vector<uint8_t> statusPayload() const;
    std::vector<uint8_t> wavePayload(uint8_t kind, bool withBlock);
    std::vector<uint8_t> keyReply(uint8_t code, uint8_t count);
    std::vector<uint8_t> chunkPayload(uint32_t index) const;
    void applyFaults(uint8_t command, uint8_t readKind, Reply &reply);
    void defaultState();
    void autoSet();
    std::array<uint8_t, kLampCount> lampsLocked() const;
    uint8_t triggerStateLocked() const;
    std::vector<uint8_t> recordLocked(int readKind, int length, double timeBase) const;
    std::vector<uint8_t> encodeLocked() const;
    std::vector<uint8_t> renderLocked() const;
};

// Frames of the instrument protocol.
std::vector<uint8_t> makeFrame(uint8_t command, const std::vector<uint8_t> &payload, uint8_t direction = 1);

}  // namespace vsim

#endif
