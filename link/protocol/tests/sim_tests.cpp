// The link against the virtual instrument on each transport: identities,
// status, records, settings, keys, the screen, and recovery from each fault.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

#include "ferrule.h"
#include "ferrule_sim_wire.h"
#include "link_fixture.h"
#include "tavlink_diag.h"
#include "tavnet.h"
#include "tavserial.h"
#include "vsim/instrument.h"
#include "vsim/server.h"

using namespace linktest;

namespace {

constexpr int kSerialPort = 9;

void IgnoreDeviceChange(void *, uint32_t, const FerruleDeviceBroadcast *) {}
FerruleNotifyTarget g_notify{FERRULE_NOTIFY_MAGIC, IgnoreDeviceChange, nullptr};

struct Bench {
    vsim::Instrument instrument{70, 7};
    vsim::Server server{instrument};
    uint16_t tcpPort = 0;
    std::string ptyPath;
    std::string usbPath;
};
std::unique_ptr<Bench> g_bench;

Bench &TheBench()
{
    if (!g_bench) {
        g_bench = std::make_unique<Bench>();
        g_bench->server.setPieceDelay(1);
        g_bench->tcpPort = g_bench->server.startTcp();
        g_bench->ptyPath = g_bench->server.startPty();
        g_bench->usbPath = "/tmp/tavlink-sim-usb-" + std::to_string(getpid()) + ".sock";
        g_bench->server.startUsb(g_bench->usbPath);
        setenv(FERRULE_SIM_ENV, g_bench->usbPath.c_str(), 1);
    }
    return *g_bench;
}

class SimLinkTest : public ::testing::TestWithParam<Transport> {
protected:
    void SetUp() override
    {
        TheBench();
        sim().clearFaults();
        sim().setProductCode(70);
        sim().reset();
        TavlinkSetSleep(RecordSleep);
        ClearWaits();
        connect();
        ASSERT_TRUE(BindDso());
    }
    void TearDown() override
    {
        sim().clearFaults();
        if (GetParam() == Transport::Serial)
            Dso_CloseUart();
    }
    void connect()
    {
        Bench &b = TheBench();
        switch (GetParam()) {
        case Transport::Serial:
            GetConnectStyle(TAVLINK_STYLE_SERIAL);
            ASSERT_NE(Dso_SetUartPortPath(kSerialPort, b.ptyPath.c_str()), 0);
            SetUartTimeouts(600, 300);
            ASSERT_NE(Dso_InitUart(kSerialPort, 115200), 0);
            break;
        case Transport::Usb:
            GetConnectStyle(TAVLINK_STYLE_USB);
            ASSERT_TRUE(IsHasConnect(&g_notify));
            break;
        case Transport::Net:
            GetConnectStyle(TAVLINK_STYLE_NET);
            DsoSetTimeouts(2000, 600);
            ASSERT_EQ(Dso_InitSocket(0, "127.0.0.1", b.tcpPort), 1);
            break;
        }
    }
    vsim::Instrument &sim() { return TheBench().instrument; }
    void freeze()
    {
        vsim::State s = sim().state();
        s.running = false;
        sim().setState(s);
    }
    int family()
    {
        char name[20], ident[10], code = 0, fam = -1, text[16];
        GetProductType(name, ident, &code, &fam, text);
        return fam;
    }
};

std::string Name(const ::testing::TestParamInfo<Transport> &info) { return TransportName(info); }

}  // namespace

TEST_P(SimLinkTest, BindsEveryModelFamily)
{
    for (int code : {10, 58, 70, 78}) {
        sim().setProductCode(code);
        ASSERT_TRUE(BindDso()) << code;
        char name[20], ident[10], c = 0, fam = -1, text[16];
        GetProductType(name, ident, &c, &fam, text);
        EXPECT_EQ(c, code);
        EXPECT_EQ(fam, sim().family()) << code;
        const std::string expected = sim().productName();
        EXPECT_EQ(std::string(name, strnlen(name, 20)), expected.substr(0, 20));
    }
    EXPECT_TRUE(UnBindDso());
}

TEST_P(SimLinkTest, StatusMirrorsTheInstrument)
{
    unsigned char on[4] = {9, 9, 9, 9};
    ASSERT_TRUE(IsCHOpen(&on[0], &on[1], &on[2], &on[3]));
    const vsim::State s = sim().state();
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(on[n], s.channels[n].on ? 1 : 0) << n;

    unsigned char *lamps = nullptr;
    ASSERT_TRUE(GetTheLedStatus(&lamps));
    const auto expected = sim().lamps();
    EXPECT_EQ(Bytes(lamps, lamps + 10), Bytes(expected.begin(), expected.end()));

    double volts = 0, level = 0, timeBase = 0;
    char vu[5], tu[5];
    Get_Vol_Level_TimeBase(1, &volts, &level, &timeBase, vu, tu, true);
    const vsim::Scaled v = vsim::voltsPerDiv(s.channels[0].voltsIndex);
    const vsim::Scaled t = vsim::timePerDiv(s.timeIndex);
    EXPECT_FLOAT_EQ(float(volts), v.value);
    EXPECT_FLOAT_EQ(float(timeBase), t.value);
    EXPECT_DOUBLE_EQ(level, std::clamp(260 - s.channels[0].offset, 0, 255));
    int vertical = 0;
    char trigger = 0;
    char text[50];
    ASSERT_TRUE(Get_CH1_HoriP_VertP_Trig(text, &vertical, &trigger, true));
    EXPECT_EQ(vertical, 216 - s.channels[0].offset);
    EXPECT_EQ(uint8_t(trigger), sim().triggerState());
}

TEST_P(SimLinkTest, RecordsHaveTheFamilyLengths)
{
    for (int code : {10, 58, 70, 78}) {
        sim().setProductCode(code);
        ASSERT_TRUE(BindDso());
        freeze();
        const int fam = family();
        IsNeedParam(0, 1, 0, 0);
        Bytes samples(24000), block(512);
        int count = 0;
        ASSERT_TRUE(GetParameter_CH1_AllWaveData(samples.data(), &count, block.data())) << code;
        EXPECT_EQ(count, vsim::familyRecordLength(fam)) << code;
        const auto expected = sim().record(5);
        ASSERT_EQ(expected.size(), size_t(count));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), samples.begin())) << code;
        EXPECT_EQ(block, Bytes(512, 0)) << "no block asked for";
        ASSERT_TRUE(GetParameter_CH2_WaveData_And_wavepnt(samples.data(), &count, block.data()));
        EXPECT_EQ(count, vsim::familyScreenLength(fam)) << code;
        EXPECT_TRUE(std::any_of(block.begin(), block.end(), [](uint8_t b) { return b != 0; }))
            << "the measurement block came along";
        if (fam == 3) {
            IsNeedParam(0, 0, 0, 0);
            EXPECT_FALSE(GetParameter_CH4_AllWaveData(samples.data(), &count, nullptr))
                << "the instrument refuses a channel that is off";
            vsim::State s = sim().state();
            s.channels[3].on = true;
            sim().setState(s);
            ASSERT_TRUE(GetParameter_CH4_AllWaveData(samples.data(), &count, nullptr));
            EXPECT_EQ(count, 24000);
        }
    }
}

TEST_P(SimLinkTest, SettingsRoundTripRestoresTheInstrument)
{
    Bytes saved(2500);
    ASSERT_TRUE(GetParameter_SettingData(saved.data()));
    EXPECT_EQ(saved, sim().encodeSettings());
    const bool ch2 = sim().state().channels[1].on;
    ASSERT_TRUE(Ch2Button());
    ASSERT_NE(sim().state().channels[1].on, ch2);
    ASSERT_TRUE(SendParameter_SettingData(saved.data()));
    EXPECT_EQ(sim().state().channels[1].on, ch2);
    Bytes garbage(2500, 0x5A);
    EXPECT_FALSE(SendParameter_SettingData(garbage.data()));
}

TEST_P(SimLinkTest, KeysAndKnobsChangeTheInstrument)
{
    const vsim::State before = sim().state();
    ASSERT_TRUE(Ch1Button());
    unsigned char on[4] = {};
    ASSERT_TRUE(IsCHOpen(&on[0], &on[1], &on[2], &on[3]));
    EXPECT_EQ(on[0], before.channels[0].on ? 0 : 1);
    ASSERT_TRUE(Ch1Button());
    ASSERT_TRUE(DeltaposCh1VerLargeSpin(1));
    EXPECT_NE(sim().state().channels[0].voltsIndex, before.channels[0].voltsIndex);
    ClearWaits();
    ASSERT_TRUE(AutoButton());
    EXPECT_EQ(Waits(), std::vector<unsigned>{5000});
}

TEST_P(SimLinkTest, ScreenBitmapArrivesWhole)
{
    uint32_t total = 0;
    ASSERT_TRUE(Send_Bmp_Begin_Invoke(&total));
    ASSERT_GT(total, 54u);
    Bytes image, buffer(TAVLINK_CHUNK_BYTES);
    int result = 0;
    for (int index = 0; result != 2 && index < 64; ++index) {
        uint32_t length = 0;
        result = Send_Bmp_Trans_Invoke(index, index, buffer.data(), &length);
        ASSERT_NE(result, -1) << index;
        image.insert(image.end(), buffer.begin(), buffer.begin() + length);
    }
    EXPECT_EQ(result, 2);
    EXPECT_TRUE(Send_Bmp_End_Invoke());
    ASSERT_EQ(image.size(), total);
    EXPECT_EQ(image[0], 'B');
    EXPECT_EQ(image[1], 'M');
    EXPECT_EQ(image, sim().renderBitmap());
}

TEST_P(SimLinkTest, ChunkFaultsFailAndTheRetrySucceeds)
{
    uint32_t total = 0;
    ASSERT_TRUE(Send_Bmp_Begin_Invoke(&total));
    Bytes buffer(TAVLINK_CHUNK_BYTES);
    uint32_t length = 0;
    for (auto kind : {vsim::Fault::BadChunkChecksum, vsim::Fault::WrongChunkIndex, vsim::Fault::ChunkFail}) {
        sim().inject({kind, 12, 1, 1});
        EXPECT_EQ(Send_Bmp_Trans_Invoke(0, 0, buffer.data(), &length), -1) << kind;
    }
    const int first = Send_Bmp_Trans_Invoke(0, 0, buffer.data(), &length);
    EXPECT_EQ(first, total > length ? 0 : 2);
    EXPECT_TRUE(Send_Bmp_End_Invoke());
}

TEST_P(SimLinkTest, DamagedRepliesFailAndTheNextExchangeWorks)
{
    using K = vsim::Fault;
    const std::pair<K::Kind, int> faults[] = {
        {K::Drop, 0},         {K::WrongMagic, 0},         {K::ZeroDirection, 0},      {K::WrongCommand, 0},
        {K::WrongCommand, 5}, {K::OversizeLength, 30000}, {K::OversizeLength, 25585}, {K::Truncate, 10},
        {K::Refuse, 3},
    };
    for (const auto &[kind, arg] : faults) {
        sim().inject({kind, 1, arg, 1});
        EXPECT_FALSE(BindDso()) << kind << " " << arg;
        EXPECT_TRUE(BindDso()) << "after " << kind << " " << arg;
    }
}

TEST_P(SimLinkTest, SlowOrPiecemealRepliesStillArrive)
{
    sim().inject({vsim::Fault::Delay, 5, 150, 1});
    Bytes settings(2500);
    EXPECT_TRUE(GetParameter_SettingData(settings.data()));
    sim().inject({vsim::Fault::PartialWrites, 5, 0, 1});
    Bytes again(2500);
    EXPECT_TRUE(GetParameter_SettingData(again.data()));
    EXPECT_EQ(again, settings);
}

TEST_P(SimLinkTest, DamagedRecordsKeepTheLastGoodOne)
{
    freeze();
    Bytes good(24000), out(24000);
    int count = 0;
    ASSERT_TRUE(GetParameter_CH1_WaveData_And_wavepnt(good.data(), &count, nullptr));
    const int goodCount = count;
    sim().inject({vsim::Fault::ShortRecord, 5, 0, 1});
    EXPECT_FALSE(GetParameter_CH1_WaveData_And_wavepnt(out.data(), &count, nullptr));
    sim().inject({vsim::Fault::OversizeRecord, 5, 25000, 1});
    ASSERT_TRUE(GetParameter_CH1_AllWaveData(out.data(), &count, nullptr));
    EXPECT_EQ(count, 24000) << "cut to the record length";
    ASSERT_TRUE(GetParameter_CH1_WaveData_And_wavepnt(out.data(), &count, nullptr));
    EXPECT_EQ(count, goodCount);
    EXPECT_EQ(out, good);
}

TEST_P(SimLinkTest, HangUpInTheMiddleOfAReply)
{
    if (GetParam() == Transport::Serial)
        GTEST_SKIP() << "a serial line does not hang up";
    sim().inject({vsim::Fault::Disconnect, 5, 40, 1});
    Bytes settings(2500, 0x11);
    EXPECT_FALSE(GetParameter_SettingData(settings.data()));
    EXPECT_EQ(settings, Bytes(2500, 0x11));
    if (GetParam() == Transport::Usb) {
        // The device vanished; it comes back and is opened again.
        TheBench().server.replugUsb();
        UnloadUSBDevice();
        for (int i = 0; i < 100 && !IsHasConnect(&g_notify); ++i)
            usleep(20000);
    }
    connect();
    EXPECT_TRUE(GetParameter_SettingData(settings.data()));
    EXPECT_EQ(settings, sim().encodeSettings());
}

INSTANTIATE_TEST_SUITE_P(Transports, SimLinkTest, ::testing::Values(Transport::Serial, Transport::Usb, Transport::Net),
                         Name);

// ---- why an exchange failed ---------------------------------------------------------

namespace {

std::vector<TavlinkTraceEvent> g_events;
void Hear(void *, const TavlinkTraceEvent *event) { g_events.push_back(*event); }

class CauseTest : public SimLinkTest {
protected:
    void SetUp() override
    {
        SimLinkTest::SetUp();
        g_events.clear();
        TavlinkSetTrace(Hear, nullptr);
    }
    void TearDown() override
    {
        TavlinkSetTrace(nullptr, nullptr);
        SimLinkTest::TearDown();
    }
};

}  // namespace

TEST_P(CauseTest, EachFailureNamesItsCauseOnce)
{
    using K = vsim::Fault;
    Bytes settings(2500), chunk(TAVLINK_CHUNK_BYTES);
    uint32_t total = 0, length = 0;
    auto readSettings = [&] { return GetParameter_SettingData(settings.data()); };
    auto readChunk = [&] { return Send_Bmp_Trans_Invoke(0, 0, chunk.data(), &length) != -1; };
    const struct {
        K::Kind fault;
        int command;
        int arg;
        std::function<bool()> call;
        int cause;
        int value;
    } cases[] = {
        {K::Drop, 1, 0, BindDso, TAVLINK_CAUSE_TIMEOUT, 0},
        {K::Truncate, 5, 30, readSettings, TAVLINK_CAUSE_SHORT_REPLY, 0},
        {K::ShortRecord, 5, 0, [] { return GetParameter_CH1_WaveData(nullptr); }, TAVLINK_CAUSE_SHORT_REPLY, 0},
        {K::WrongMagic, 1, 0, BindDso, TAVLINK_CAUSE_BAD_FRAME, 0},
        {K::ZeroDirection, 1, 0, BindDso, TAVLINK_CAUSE_BAD_FRAME, 0},
        {K::WrongCommand, 1, 2, BindDso, TAVLINK_CAUSE_OTHER_COMMAND, 2},
        {K::WrongReadKind, 5, 1, readSettings, TAVLINK_CAUSE_OTHER_READ_KIND, 1},
        {K::OversizeLength, 1, 30000, BindDso, TAVLINK_CAUSE_OVERSIZE, 0},
        {K::Refuse, 4, 3, ForceButton, TAVLINK_CAUSE_REFUSED, 3},
        {K::BadChunkChecksum, 12, 0, readChunk, TAVLINK_CAUSE_BAD_REPLY, 0},
        {K::Disconnect, 5, 40, readSettings, TAVLINK_CAUSE_CLOSED, 0},
    };
    for (const auto &c : cases) {
        if (c.fault == K::BadChunkChecksum) {
            ASSERT_TRUE(Send_Bmp_Begin_Invoke(&total));
        }
        sim().inject({c.fault, c.command, c.arg, 1});
        g_events.clear();
        EXPECT_FALSE(c.call()) << c.fault;
        int command = -1;
        EXPECT_EQ(TavlinkLastCause(&command), c.cause) << c.fault;
        EXPECT_EQ(command, c.command) << c.fault;
        // Dropped answers are notices; the failure itself is heard once.
        const auto failures = std::count_if(g_events.begin(), g_events.end(), [](auto &e) { return !e.notice; });
        ASSERT_EQ(failures, 1) << c.fault;
        const TavlinkTraceEvent &failure = g_events.back();
        EXPECT_EQ(failure.cause, c.cause) << c.fault;
        EXPECT_EQ(failure.command, c.command) << c.fault;
        EXPECT_EQ(failure.value, c.value) << c.fault;
        connect();
    }
    // With nothing open there is nothing to ask.
    DsoCloseSocket();
    EXPECT_FALSE(BindDso());
    EXPECT_EQ(TavlinkLastCause(nullptr), TAVLINK_CAUSE_NOT_OPEN);
    connect();
    EXPECT_TRUE(BindDso());
    EXPECT_EQ(TavlinkLastCause(nullptr), TAVLINK_CAUSE_NONE);
    EXPECT_STREQ(TavlinkCauseText(TAVLINK_CAUSE_TIMEOUT), "nothing answered");
}

TEST_P(CauseTest, ARecordCutToItsFamilysLengthIsANotice)
{
    sim().inject({vsim::Fault::OversizeRecord, 5, 25000, 1});
    Bytes samples(24000);
    int count = 0;
    ASSERT_TRUE(GetParameter_CH1_AllWaveData(samples.data(), &count, nullptr));
    EXPECT_EQ(TavlinkLastCause(nullptr), TAVLINK_CAUSE_NONE);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].cause, TAVLINK_CAUSE_RECORD_CUT);
    EXPECT_EQ(g_events[0].notice, 1);
    EXPECT_EQ(g_events[0].readKind, 5);
    EXPECT_EQ(g_events[0].value, 25000);
    EXPECT_EQ(g_events[0].limit, 24000);
    EXPECT_EQ(count, 24000);
}

// The network can express every cause; the other transports share the code above it.
INSTANTIATE_TEST_SUITE_P(Net, CauseTest, ::testing::Values(Transport::Net), Name);
