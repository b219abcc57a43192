// Status, sample records and the settings block as the link stores and hands
// them out.
#include <cstring>

#include "link_fixture.h"

using namespace linktest;

namespace {

constexpr uint8_t kFamily0 = 10, kFamily1 = 58, kFamily3 = 70, kFamily4 = 78;

struct VolLevel {
    double volts = -1, level = -1, timeBase = -1;
    std::string voltsUnit, timeUnit;
    Bytes rawVoltsUnit;
};

VolLevel ReadVolLevel(int channel, bool cached = true)
{
    VolLevel v;
    char vu[5], tu[5];
    std::memset(vu, 0x55, sizeof vu);
    std::memset(tu, 0x55, sizeof tu);
    Get_Vol_Level_TimeBase(channel, &v.volts, &v.level, &v.timeBase, vu, tu, cached);
    v.voltsUnit = std::string(vu, strnlen(vu, 5));
    v.timeUnit = std::string(tu, strnlen(tu, 5));
    v.rawVoltsUnit.assign(vu, vu + 5);
    return v;
}

StatusFields FourChannelStatus()
{
    StatusFields s;
    for (int i = 0; i < 10; ++i)
        s.lamps[i] = uint8_t(i + 1);
    s.channel[0] = {true, 2.0f, 7, 10, 111};
    s.channel[1] = {true, 500.0f, 6, -20, 222};
    s.channel[2] = {true, 0.1f, 7, 30, 333};
    s.channel[3] = {true, 5.0f, 6, 40, 444};
    s.timeBase = 500.0f;
    s.timeBaseUnit = 2;
    s.horizontal = 1.5f;
    s.horizontalUnit = 3;
    s.trigger = 3;
    return s;
}

class StatusTest : public NetLinkTest {
protected:
    void queueStatus(const StatusFields &s, bool four) { peer().queueFrame(5, StatusPayload(s, four)); }
    std::string horizontalText(int channel = 1, int *vertical = nullptr, char *trigger = nullptr)
    {
        char text[50];
        int v = 0;
        char t = 0;
        std::memset(text, 'x', sizeof text);
        using Fn = bool (*)(char *, int *, char *, bool);
        const Fn fns[4] = {Get_CH1_HoriP_VertP_Trig, Get_CH2_HoriP_VertP_Trig, Get_CH3_HoriP_VertP_Trig,
                           Get_CH4_HoriP_VertP_Trig};
        EXPECT_TRUE(fns[channel - 1](text, &v, &t, true));
        if (vertical)
            *vertical = v;
        if (trigger)
            *trigger = t;
        return std::string(text, strnlen(text, 50));
    }
};

}  // namespace

// ---- status ---------------------------------------------------------------------

TEST_F(StatusTest, FourChannelLayoutFillsEveryValue)
{
    bindAs(kFamily3);
    queueStatus(FourChannelStatus(), true);
    ASSERT_TRUE(IsGetDataFromInStruct(0));
    EXPECT_EQ(requestPayload(0), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(Waits(), std::vector<unsigned>{50});

    const VolLevel v1 = ReadVolLevel(1);
    EXPECT_DOUBLE_EQ(v1.volts, 2.0);
    EXPECT_DOUBLE_EQ(v1.level, 250);
    EXPECT_DOUBLE_EQ(v1.timeBase, 500);
    EXPECT_EQ(v1.voltsUnit, "V");
    EXPECT_EQ(v1.rawVoltsUnit, (Bytes{'V', 0, 0, 0, 0}));
    EXPECT_EQ(v1.timeUnit, "us");
    EXPECT_EQ(ReadVolLevel(2).voltsUnit, "mV");
    EXPECT_DOUBLE_EQ(ReadVolLevel(2).level, 255);  // 280 clamped
    EXPECT_FLOAT_EQ(float(ReadVolLevel(3).volts), 0.1f);
    EXPECT_DOUBLE_EQ(ReadVolLevel(4).level, 220);

    int vertical = 0;
    char trigger = 0;
    EXPECT_EQ(horizontalText(1, &vertical, &trigger), "1.50ms");
    EXPECT_EQ(vertical, 206);
    EXPECT_EQ(trigger, 3);
    horizontalText(2, &vertical);
    EXPECT_EQ(vertical, 236);
    horizontalText(4, &vertical);
    EXPECT_EQ(vertical, 176);
    EXPECT_TRUE(Waits().size() == 1) << "cached reads send nothing";

    unsigned char *lamps = nullptr;
    queueStatus(FourChannelStatus(), true);
    ASSERT_TRUE(GetTheLedStatus(&lamps));
    ASSERT_NE(lamps, nullptr);
    EXPECT_EQ(Bytes(lamps, lamps + 10), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(StatusTest, TwoChannelLayoutLeavesLamps5And6AndChannels3And4)
{
    bindAs(kFamily3);
    queueStatus(FourChannelStatus(), true);
    ASSERT_TRUE(IsGetDataFromInStruct(0));

    bindAs(kFamily1);
    StatusFields two;
    for (int i = 0; i < 10; ++i)
        two.lamps[i] = uint8_t(0xA0 + i);
    two.channel[0] = {true, 1.0f, 7, 60, 0};
    two.channel[1] = {false, 9.0f, 7, 70, 0};
    two.timeBase = 2.0f;
    two.timeBaseUnit = 3;
    two.horizontal = -4.0f;
    two.horizontalUnit = 2;
    two.trigger = 1;
    queueStatus(two, false);
    unsigned char *lamps = nullptr;
    ASSERT_TRUE(GetTheLedStatus(&lamps));
    EXPECT_EQ(Bytes(lamps, lamps + 10), (Bytes{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 6, 7, 0xA7, 0xA8, 0xA9}));

    EXPECT_DOUBLE_EQ(ReadVolLevel(1).volts, 1.0);
    EXPECT_DOUBLE_EQ(ReadVolLevel(1).timeBase, 2.0);
    EXPECT_EQ(ReadVolLevel(1).timeUnit, "ms");
    EXPECT_FLOAT_EQ(float(ReadVolLevel(3).volts), 0.1f);
    EXPECT_DOUBLE_EQ(ReadVolLevel(4).volts, 5.0);
    int vertical = 0;
    char trigger = 0;
    EXPECT_EQ(horizontalText(3, &vertical, &trigger), "-4.00us");
    EXPECT_EQ(vertical, 186);
    EXPECT_EQ(trigger, 1);

    queueStatus(two, false);
    unsigned char on[4] = {9, 9, 9, 9};
    ASSERT_TRUE(IsCHOpen(&on[0], &on[1], &on[2], &on[3]));
    EXPECT_EQ(Bytes(on, on + 4), (Bytes{1, 0, 1, 1}));
}

TEST_F(StatusTest, ChannelReportedOffKeepsItsValues)
{
    bindAs(kFamily0);
    StatusFields s;
    s.channel[1] = {true, 200.0f, 6, 8, 0};
    queueStatus(s, false);
    ASSERT_TRUE(IsGetDataFromInStruct(0));
    s.channel[1] = {false, 5.0f, 7, 90, 0};
    queueStatus(s, false);
    ASSERT_TRUE(IsGetDataFromInStruct(0));
    const VolLevel v = ReadVolLevel(2);
    EXPECT_DOUBLE_EQ(v.volts, 200.0);
    EXPECT_EQ(v.voltsUnit, "mV");
    EXPECT_DOUBLE_EQ(v.level, 252);
    queueStatus(s, false);
    unsigned char on[4] = {};
    ASSERT_TRUE(IsCHOpen(&on[0], &on[1], &on[2], &on[3]));
    EXPECT_EQ(on[1], 0);
}

TEST_F(StatusTest, UnitIndexOutsideTheTableHasNoText)
{
    bindAs(kFamily0);
    StatusFields s;
    s.channel[0] = {true, 3.0f, 16, 0, 0};
    s.timeBase = 1.0f;
    s.timeBaseUnit = 200;
    s.horizontal = 1.0f;
    s.horizontalUnit = 255;
    queueStatus(s, false);
    ASSERT_TRUE(IsGetDataFromInStruct(0));
    EXPECT_EQ(ReadVolLevel(1).rawVoltsUnit, Bytes(5, 0));
    EXPECT_EQ(ReadVolLevel(1).timeUnit, "");
    EXPECT_EQ(horizontalText(), "1.00");
    s.horizontalUnit = 15;
    queueStatus(s, false);
    ASSERT_TRUE(IsGetDataFromInStruct(0));
    EXPECT_EQ(horizontalText(), "1.00div");
}

TEST_F(StatusTest, ShortStatusReplyIsRefusedAndStoresNothing)
{
    for (const auto &[code, four] : {std::pair{kFamily3, true}, std::pair{kFamily4, false}}) {
        bindAs(code);
        queueStatus(FourChannelStatus(), four);
        ASSERT_TRUE(IsGetDataFromInStruct(0));
        StatusFields other;
        other.channel[0] = {true, 9.0f, 7, 0, 0};
        other.horizontal = 7.0f;
        Bytes cut = StatusPayload(other, four);
        cut.resize(four ? 112 : 68);  // one byte short of the trigger
        peer().queueFrame(5, cut);
        EXPECT_FALSE(IsGetDataFromInStruct(0));
        EXPECT_DOUBLE_EQ(ReadVolLevel(1).volts, 2.0);
        EXPECT_EQ(horizontalText(), "1.50ms");
    }
}

TEST_F(StatusTest, RefusalStatusStoresNothing)
{
    bindAs(kFamily3);
    queueStatus(FourChannelStatus(), true);
    ASSERT_TRUE(IsGetDataFromInStruct(0));
    StatusFields other;
    other.channel[0] = {true, 9.0f, 7, 0, 0};
    Bytes refused = StatusPayload(other, true);
    refused[0] = 1;
    peer().queueFrame(5, refused);
    EXPECT_FALSE(IsGetDataFromInStruct(0));
    EXPECT_DOUBLE_EQ(ReadVolLevel(1).volts, 2.0);
}

TEST_F(StatusTest, ChannelOpenQueryHasItsOwnWait)
{
    bindAs(kFamily3);
    StatusFields s;
    s.channel[1].on = true;
    s.channel[3].on = true;
    queueStatus(s, true);
    unsigned char on[4] = {7, 7, 7, 7};
    ASSERT_TRUE(IsCHOpen(&on[0], &on[1], &on[2], &on[3]));
    EXPECT_EQ(Bytes(on, on + 4), (Bytes{0, 1, 0, 1}));
    EXPECT_EQ(requestPayload(0), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(Waits(), std::vector<unsigned>{600});

    peer().queue(Silence());
    std::fill(on, on + 4, 7);
    EXPECT_FALSE(IsCHOpen(&on[0], &on[1], &on[2], &on[3]));
    EXPECT_EQ(Bytes(on, on + 4), Bytes(4, 7));
}

TEST_F(StatusTest, LampPointerStaysInTheLibraryAndFollowsEachReply)
{
    bindAs(kFamily3);
    StatusFields s = FourChannelStatus();
    queueStatus(s, true);
    unsigned char *first = nullptr;
    ASSERT_TRUE(GetTheLedStatus(&first));
    s.lamps[0] = 2;
    queueStatus(s, true);
    unsigned char *second = nullptr;
    ASSERT_TRUE(GetTheLedStatus(&second));
    EXPECT_EQ(first, second);
    EXPECT_EQ(first[0], 2);
    EXPECT_EQ(Waits(), (std::vector<unsigned>{50, 50}));
    EXPECT_EQ(requestPayload(1), (Bytes{0, 0, 0, 0}));

    peer().queue(Silence());
    unsigned char *untouched = reinterpret_cast<unsigned char *>(&s);
    EXPECT_FALSE(GetTheLedStatus(&untouched));
    EXPECT_EQ(untouched, reinterpret_cast<unsigned char *>(&s));
}

TEST_F(StatusTest, LevelIsClampedAndOddChannelsReportChannel4)
{
    bindAs(kFamily3);
    StatusFields s;
    s.channel[0] = {true, 1.0f, 7, 2, 0};
    s.channel[1] = {true, 1.0f, 7, 300, 0};
    s.channel[2] = {true, 1.0f, 7, 100, 0};
    s.channel[3] = {true, 20.0f, 6, -50, 0};
    queueStatus(s, true);
    ASSERT_TRUE(IsGetDataFromInStruct(0));
    EXPECT_DOUBLE_EQ(ReadVolLevel(1).level, 255);
    EXPECT_DOUBLE_EQ(ReadVolLevel(2).level, 0);
    EXPECT_DOUBLE_EQ(ReadVolLevel(3).level, 160);
    for (int channel : {0, 4, 7, -1}) {
        const VolLevel v = ReadVolLevel(channel);
        EXPECT_DOUBLE_EQ(v.volts, 20.0) << channel;
        EXPECT_EQ(v.voltsUnit, "mV") << channel;
        EXPECT_DOUBLE_EQ(v.level, 255) << channel;
    }
}

TEST_F(StatusTest, UncachedReadsAskTheInstrumentFirst)
{
    bindAs(kFamily3);
    queueStatus(FourChannelStatus(), true);
    ASSERT_TRUE(IsGetDataFromInStruct(0));
    StatusFields s = FourChannelStatus();
    s.channel[0].voltsPerDiv = 50.0f;
    queueStatus(s, true);
    ClearWaits();
    EXPECT_DOUBLE_EQ(ReadVolLevel(1, false).volts, 50.0);
    EXPECT_EQ(Waits(), std::vector<unsigned>{50});

    // A failed status read still reports what is stored.
    peer().queue(Silence());
    EXPECT_DOUBLE_EQ(ReadVolLevel(1, false).volts, 50.0);

    peer().queue(Silence());
    char text[50];
    std::memset(text, 'x', sizeof text);
    int vertical = -7;
    char trigger = 9;
    EXPECT_FALSE(Get_CH2_HoriP_VertP_Trig(text, &vertical, &trigger, false));
    EXPECT_EQ(Bytes(text, text + 50), Bytes(50, 0));
    EXPECT_EQ(vertical, -7);
    EXPECT_EQ(trigger, 9);
}

// ---- records ----------------------------------------------------------------------

namespace {

class RecordTest : public NetLinkTest {
protected:
    void SetUp() override
    {
        NetLinkTest::SetUp();
        IsNeedParam(0, 0, 0, 0);
    }
    void queueStatusWithTimeBase(float tb, bool four)
    {
        StatusFields s;
        s.timeBase = tb;
        s.timeBaseUnit = 2;
        peer().queueFrame(5, StatusPayload(s, four));
        ASSERT_TRUE(IsGetDataFromInStruct(0));
    }
    void queueWave(uint8_t kind, int32_t count, const Bytes &samples, size_t total = 0, size_t offset = 0,
                   const Bytes &wavepnt = {})
    {
        peer().queueFrame(5, WavePayload(kind, count, samples, total, offset, wavepnt));
    }
    double timeBase() { return ReadVolLevel(1).timeBase; }
};

struct Record {
    Bytes samples = Bytes(24000, 0xCC);
    int count = -1;
    Bytes wavepnt = Bytes(512, 0xCC);
};

using RecordFn = bool (*)(unsigned char *, int *, unsigned char *);
const RecordFn kScreen[4] = {GetParameter_CH1_WaveData_And_wavepnt, GetParameter_CH2_WaveData_And_wavepnt,
                             GetParameter_CH3_WaveData_And_wavepnt, GetParameter_CH4_WaveData_And_wavepnt};
const RecordFn kMemory[4] = {GetParameter_CH1_AllWaveData, GetParameter_CH2_AllWaveData, GetParameter_CH3_AllWaveData,
                             GetParameter_CH4_AllWaveData};

bool Fetch(RecordFn fn, Record &r) { return fn(r.samples.data(), &r.count, r.wavepnt.data()); }

// The part of a record the family owns; what lies beyond is left from
// records of other families.
Bytes Head(const Bytes &samples, size_t length) { return Bytes(samples.begin(), samples.begin() + long(length)); }

Bytes Padded(const Bytes &head, size_t total = 24000)
{
    Bytes b(total, 0);
    std::copy(head.begin(), head.begin() + long(std::min(head.size(), total)), b.begin());
    return b;
}

}  // namespace

TEST_F(RecordTest, EachFamilyHasItsRecordLengthAndBlockOffset)
{
    struct Case {
        uint8_t code;
        int length;
        size_t blockOffset;
    };
    for (const Case &c : {Case{kFamily0, 4000, 4008}, Case{kFamily1, 18000, 18008}, Case{kFamily4, 20480, 18008},
                          Case{kFamily3, 24000, 24008}}) {
        bindAs(c.code);
        IsNeedParam(1, 0, 0, 0);
        const Bytes samples = Pattern(size_t(c.length), c.code);
        const Bytes block = Pattern(512, 0x40);
        const Bytes payload = WavePayload(5, c.length, samples, 0, c.blockOffset, block);
        peer().queueFrame(5, payload);
        Record r;
        ASSERT_TRUE(Fetch(kMemory[0], r)) << int(c.code);
        EXPECT_EQ(r.count, c.length);
        // In family 4 the block lies inside the record and is part of it.
        EXPECT_EQ(Head(r.samples, size_t(c.length)), Bytes(payload.begin() + 8, payload.begin() + 8 + c.length))
            << int(c.code);
        EXPECT_EQ(r.wavepnt, block) << int(c.code);
        EXPECT_EQ(requestPayload(0), (Bytes{5, 1, 0, 0}));
        EXPECT_EQ(Waits(), std::vector<unsigned>{200});
    }
}

TEST_F(RecordTest, ShorterRecordClearsTheRestOfTheFamilyLength)
{
    bindAs(kFamily1);
    queueWave(2, 18000, Pattern(18000, 5));
    Record r;
    ASSERT_TRUE(Fetch(kScreen[1], r));
    queueWave(2, 100, Pattern(100, 6));
    ASSERT_TRUE(Fetch(kScreen[1], r));
    EXPECT_EQ(r.count, 100);
    EXPECT_EQ(Head(r.samples, 18000), Padded(Pattern(100, 6), 18000));
    EXPECT_EQ(r.wavepnt, Bytes(512, 0)) << "no block asked for";
}

TEST_F(RecordTest, FullMemoryRecordScalesTheTimeBaseOncePerStatus)
{
    bindAs(kFamily0);
    queueStatusWithTimeBase(500.0f, false);
    Record r;
    queueWave(1, 4000, Pattern(4000));
    ASSERT_TRUE(Fetch(kScreen[0], r));
    EXPECT_DOUBLE_EQ(timeBase(), 500.0) << "a screen record never scales";
    queueWave(5, 4000, Pattern(4000));
    ASSERT_TRUE(Fetch(kMemory[0], r));
    EXPECT_DOUBLE_EQ(timeBase(), 800.0);
    queueWave(6, 4000, Pattern(4000));
    ASSERT_TRUE(Fetch(kMemory[1], r));
    EXPECT_DOUBLE_EQ(timeBase(), 800.0) << "only once, whichever channel comes first";
    queueStatusWithTimeBase(500.0f, false);
    EXPECT_DOUBLE_EQ(timeBase(), 500.0);
    queueWave(5, 3999, Pattern(3999));
    ASSERT_TRUE(Fetch(kMemory[0], r));
    EXPECT_DOUBLE_EQ(timeBase(), 500.0) << "not a full record";
}

TEST_F(RecordTest, Family4ScalesOnlyOnItsFullLength)
{
    bindAs(kFamily4);
    queueStatusWithTimeBase(10.0f, false);
    Record r;
    queueWave(5, 18000, Pattern(18000));
    ASSERT_TRUE(Fetch(kMemory[0], r));
    EXPECT_DOUBLE_EQ(timeBase(), 10.0);
    queueWave(5, 20480, Pattern(20480));
    ASSERT_TRUE(Fetch(kMemory[0], r));
    EXPECT_DOUBLE_EQ(timeBase(), 16.0);
}

TEST_F(RecordTest, Channel3RecordOutsideTheFourChannelFamilyChangesNothing)
{
    bindAs(kFamily3);
    queueWave(7, 1000, Pattern(1000, 1));
    Record before;
    ASSERT_TRUE(Fetch(kScreen[2], before));
    bindAs(kFamily1);
    queueWave(7, 2000, Pattern(2000, 2));
    Record after;
    ASSERT_TRUE(Fetch(kScreen[2], after));
    EXPECT_EQ(after.samples, before.samples);
    EXPECT_EQ(after.count, 1000);
}

TEST_F(RecordTest, NonPositiveCountFailsAndKeepsTheRecord)
{
    bindAs(kFamily0);
    queueWave(1, 3000, Pattern(3000, 3));
    Record good;
    ASSERT_TRUE(Fetch(kScreen[0], good));
    for (int32_t bad : {-5, 0}) {
        queueWave(1, bad, Pattern(3000, 4));
        Record r;
        EXPECT_FALSE(Fetch(kScreen[0], r)) << bad;
        EXPECT_EQ(r.samples, Bytes(24000, 0xCC)) << "the caller's buffer is not touched";
        EXPECT_EQ(r.count, -1);
    }
    // A reply that stores nothing hands out the last accepted record.
    peer().queueFrame(5, {0, 3, 0, 0});
    Record r;
    ASSERT_TRUE(Fetch(kScreen[0], r));
    EXPECT_EQ(r.samples, good.samples);
    EXPECT_EQ(r.count, 3000);
}

TEST_F(RecordTest, CountAboveTheFamilyLengthIsCut)
{
    bindAs(kFamily0);
    queueWave(1, 5000, Pattern(5000, 8));
    Record r;
    ASSERT_TRUE(Fetch(kScreen[0], r));
    EXPECT_EQ(r.count, 4000);
    EXPECT_EQ(Head(r.samples, 4000), Pattern(4000, 8));

    bindAs(kFamily3);
    queueWave(8, 25000, Pattern(25000, 9));
    ASSERT_TRUE(Fetch(kScreen[3], r));
    EXPECT_EQ(r.count, 24000);
    EXPECT_EQ(r.samples, Pattern(24000, 9));
}

TEST_F(RecordTest, PayloadShorterThanItsSamplesIsRefused)
{
    bindAs(kFamily0);
    queueWave(1, 2000, Pattern(2000, 1));
    Record good;
    ASSERT_TRUE(Fetch(kScreen[0], good));

    Bytes cut = WavePayload(1, 4000, Pattern(4000, 2), 0);
    cut.resize(8 + 3999);
    peer().queueFrame(5, cut);
    Record r;
    EXPECT_FALSE(Fetch(kScreen[0], r));
    peer().queueFrame(5, {0, 1, 0, 0, 0, 0});  // too short to hold the count
    EXPECT_FALSE(Fetch(kScreen[0], r));

    peer().queueFrame(5, {0, 3, 0, 0});
    ASSERT_TRUE(Fetch(kScreen[0], r));
    EXPECT_EQ(r.samples, good.samples);
    EXPECT_EQ(r.count, 2000);
}

TEST_F(RecordTest, MissingBlockIsRefusedWhenItWasAskedFor)
{
    bindAs(kFamily0);
    IsNeedParam(1, 0, 0, 0);
    const Bytes block = Pattern(512, 0x70);
    queueWave(5, 4000, Pattern(4000, 1), 0, 4008, block);
    Record good;
    ASSERT_TRUE(Fetch(kMemory[0], good));
    queueWave(5, 4000, Pattern(4000, 2), 4008 + 511);
    Record r;
    EXPECT_FALSE(Fetch(kMemory[0], r));
    peer().queueFrame(5, {0, 3, 0, 0});
    ASSERT_TRUE(Fetch(kMemory[0], r));
    EXPECT_EQ(r.samples, good.samples);
    EXPECT_EQ(r.wavepnt, block);
}

TEST_F(RecordTest, BlockFlagDecidesTheValueTests)
{
    bindAs(kFamily0);
    IsNeedParam(1, 1, 0, 0);
    Bytes block(512, 0);
    block[32] = 1;
    queueWave(1, 100, Pattern(100), 4008 + 512, 4008, block);
    Record r;
    ASSERT_TRUE(Fetch(kScreen[0], r));
    EXPECT_TRUE(Ch1IsValue());
    EXPECT_FALSE(Ch2IsValue());

    // Without the flag the block is cleared, even when bytes follow the samples.
    EXPECT_EQ(IsNeedParam(0, 1, 0, 9), 9);
    queueWave(1, 100, Pattern(100), 4008 + 512, 4008, block);
    ASSERT_TRUE(Fetch(kScreen[0], r));
    EXPECT_EQ(r.wavepnt, Bytes(512, 0));
    EXPECT_FALSE(Ch1IsValue());
}

TEST_F(RecordTest, RequestTypesSendTheirReadKindFlagAndWait)
{
    bindAs(kFamily3);
    IsNeedParam(1, 0, 1, 0);
    struct Case {
        int type;
        uint8_t kind;
        uint8_t flag;
        unsigned wait;
    };
    const Case cases[] = {{0, 0, 0, 50},  {1, 1, 1, 200}, {2, 2, 0, 100}, {3, 4, 0, 160}, {5, 5, 1, 200},
                          {6, 6, 0, 100}, {7, 7, 1, 200}, {8, 8, 0, 100}, {9, 9, 1, 200}, {10, 10, 0, 100}};
    for (const Case &c : cases) {
        peer().reset();
        ClearWaits();
        peer().queueFrame(5, {0, 3, 0, 0});
        EXPECT_TRUE(IsGetDataFromInStruct(c.type)) << c.type;
        EXPECT_EQ(requestPayload(0), (Bytes{c.kind, c.flag, 0, 0})) << c.type;
        EXPECT_EQ(Waits(), std::vector<unsigned>{c.wait}) << c.type;
    }
    peer().reset();
    ClearWaits();
    for (int type : {4, -1, 11, 1000})
        EXPECT_TRUE(IsGetDataFromInStruct(type)) << type;
    EXPECT_TRUE(peer().requests().empty());
    EXPECT_TRUE(Waits().empty());
}

TEST_F(RecordTest, ScreenExportsWithoutCountCopyTheRecord)
{
    bindAs(kFamily3);
    using Fn = bool (*)(unsigned char *);
    const Fn fns[4] = {GetParameter_CH1_WaveData, GetParameter_CH2_WaveData, GetParameter_CH3_WaveData,
                       GetParameter_CH4_WaveData};
    const uint8_t kinds[4] = {1, 2, 7, 8};
    for (int n = 0; n < 4; ++n) {
        queueWave(kinds[n], 500, Pattern(500, uint8_t(n)));
        Bytes out(24000, 0xCC);
        ASSERT_TRUE(fns[n](out.data()));
        EXPECT_EQ(out, Padded(Pattern(500, uint8_t(n)))) << n;  // family 3 owns all 24000
    }
}

// ---- settings -------------------------------------------------------------------

TEST_F(NetLinkTest, SettingsBlockIsReadWhole)
{
    const Bytes settings = Pattern(2500, 0x21);
    peer().queueFrame(5, SettingsPayload(settings));
    Bytes out(2500, 0);
    ASSERT_TRUE(GetParameter_SettingData(out.data()));
    EXPECT_EQ(out, settings);
    EXPECT_EQ(requestPayload(0), (Bytes{4, 0, 0, 0}));
    EXPECT_EQ(Waits(), std::vector<unsigned>{160});

    Bytes cut = SettingsPayload(Pattern(2500, 0x99));
    cut.pop_back();
    peer().queueFrame(5, cut);
    Bytes untouched(2500, 0x11);
    EXPECT_FALSE(GetParameter_SettingData(untouched.data()));
    EXPECT_EQ(untouched, Bytes(2500, 0x11));
    peer().queueFrame(5, {0, 3, 0, 0});
    ASSERT_TRUE(GetParameter_SettingData(out.data()));
    EXPECT_EQ(out, settings) << "the refused block did not replace the stored one";
}

TEST_F(NetLinkTest, RefusedSettingsWriteIsReported)
{
    peer().queueFrame(10, {1, 0, 0, 0});
    EXPECT_FALSE(SendParameter_SettingData(Pattern(2500).data()));
}
