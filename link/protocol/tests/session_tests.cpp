// The session layer: framing on every transport, reply checks, the network
// receive loop, stale input, and the bind identity.
#include <dlfcn.h>

#include <cstring>
#include <functional>

#include "ferrule.h"
#include "link_fixture.h"
#include "tavlink_diag.h"
#include "tavnet.h"

using namespace linktest;

namespace {

// Every blocking receive the link asks of the network transport.
struct RecvCall {
    int asked;
    int got;
};
std::vector<RecvCall> g_recvCalls;

}  // namespace

// Sits in front of the real network receive so the tests see how the link
// reads a reply; everything is passed through unchanged.
extern "C" unsigned char DsoRecvData(unsigned char *buffer, int length, int *received, int wait)
{
    using Fn = unsigned char (*)(unsigned char *, int, int *, int);
    static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "DsoRecvData"));
    const unsigned char ok = real(buffer, length, received, wait);
    if (wait)
        g_recvCalls.push_back({length, received ? *received : 0});
    return ok;
}

namespace {

struct Identity {
    char name[20];
    char ident[10];
    char code;
    char family;
    char text[16];
};

Identity ReadIdentity()
{
    Identity id;
    std::memset(&id, 0x5A, sizeof id);
    GetProductType(id.name, id.ident, &id.code, &id.family, id.text);
    return id;
}

const Bytes kStatusOk = {0, 0, 0, 0};

}  // namespace

// ---- framing, on every transport -------------------------------------------

TEST_P(AnyLinkTest, FourBytePayloadRequestIsTwentyBytes)
{
    peer().queueFrame(1, BindPayload(0, 70));
    ASSERT_TRUE(BindDso());
    const auto requests = peer().requests();
    ASSERT_EQ(requests.size(), 1u);
    const Bytes expected = {'D', 'S', 'O', 'P', 'P', 'V', '2', '0', 0, 0, 0, 4, 0, 1, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(requests[0], expected);
    EXPECT_EQ(Waits(), std::vector<unsigned>{600});
}

TEST_P(AnyLinkTest, SettingsWriteCarriesTheWholeBlock)
{
    const Bytes settings = Pattern(2500, 9);
    peer().queueFrame(10, kStatusOk);
    ASSERT_TRUE(SendParameter_SettingData(settings.data()));
    const auto requests = peer().requests();
    ASSERT_EQ(requests.size(), 1u);
    ASSERT_EQ(requests[0].size(), 2516u);
    EXPECT_EQ(Bytes(requests[0].begin() + 8, requests[0].begin() + 16), (Bytes{0x00, 0x00, 0x09, 0xC4, 0, 10, 0, 0}));
    EXPECT_EQ(Bytes(requests[0].begin() + 16, requests[0].end()), settings);
    EXPECT_EQ(Waits(), std::vector<unsigned>{600});
}

TEST_P(AnyLinkTest, EchoedRequestWithZeroDirectionIsRejected)
{
    bindAs(70);
    peer().queue(Send(Frame(1, BindPayload(0, 58, "echo"), 0)));
    EXPECT_FALSE(BindDso());
    EXPECT_EQ(ReadIdentity().family, 3);
    peer().queueFrame(1, BindPayload(0, 58, "after"));
    EXPECT_TRUE(BindDso());
    EXPECT_EQ(ReadIdentity().family, 1);
}

TEST_P(AnyLinkTest, WrongMagicIsRejected)
{
    bindAs(70);
    peer().queue(Send(Frame(1, BindPayload(0, 58), 1, "DSOPPV21")));
    EXPECT_FALSE(BindDso());
    EXPECT_EQ(ReadIdentity().family, 3);
}

TEST_P(AnyLinkTest, CommandCodesOutsideTheTableAreRejected)
{
    for (uint8_t code : {0, 3, 6, 7, 8, 9, 14, 200}) {
        peer().queueFrame(code, kStatusOk);
        EXPECT_EQ(LinkExchange(code, kStatusOk.data(), 4, 10), 1) << int(code);
    }
    EXPECT_EQ(peer().requests().size(), 8u);
}

TEST_P(AnyLinkTest, ReplyToAnotherCommandIsRejected)
{
    peer().queueFrame(4, kStatusOk);
    EXPECT_FALSE(UnBindDso());
    peer().queueFrame(2, kStatusOk);
    ClearWaits();
    EXPECT_TRUE(UnBindDso());
    EXPECT_EQ(Waits(), std::vector<unsigned>{600});
    const auto requests = peer().requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1][13], 2);
    EXPECT_EQ(Bytes(requests[1].begin() + 8, requests[1].end()), (Bytes{0, 0, 0, 4, 0, 2, 0, 0, 0, 0, 0, 0}));
}

TEST_P(AnyLinkTest, StatusByteIsTheResultSignExtended)
{
    peer().queueFrame(2, {0xFE, 0, 0, 0});
    EXPECT_EQ(LinkExchange(2, kStatusOk.data(), 4, 600), -2);
    peer().queueFrame(2, {5});
    EXPECT_FALSE(UnBindDso());
    peer().queueFrame(2, {});
    EXPECT_EQ(LinkExchange(2, kStatusOk.data(), 4, 600), 1) << "no status byte at all";
}

TEST_P(AnyLinkTest, OversizeAnnouncementIsRefusedAndTheLinkStaysInStep)
{
    Bytes big(25585, 0);
    peer().queueFrame(2, big);
    EXPECT_EQ(LinkExchange(2, kStatusOk.data(), 4, 600), 1);
    peer().queueFrame(2, {7});
    EXPECT_EQ(LinkExchange(2, kStatusOk.data(), 4, 600), 7);
}

TEST_P(AnyLinkTest, LargestFrameFitsTheBuffer)
{
    Bytes big(25584, 0);
    big[0] = 3;
    big.back() = 0xEE;
    peer().queueFrame(2, big);
    EXPECT_EQ(LinkExchange(2, kStatusOk.data(), 4, 600), 3);
}

TEST_P(AnyLinkTest, SilentInstrumentFailsAndTheNextExchangeWorks)
{
    peer().queue(Silence());
    EXPECT_FALSE(UnBindDso());
    peer().queueFrame(2, kStatusOk);
    EXPECT_TRUE(UnBindDso());
}

// A read that timed out is answered late, in the slot of the next read: that
// answer is dropped unstored and the real one awaited.
TEST_P(AnyLinkTest, LateAnswersToOtherReadsAreDroppedUnstored)
{
    bindAs(70);
    IsNeedParam(0, 0, 0, 0);
    const Bytes settings = Pattern(2500, 1), newer = Pattern(2500, 2), ch1 = Pattern(600, 3);
    Bytes samples(24000, 0x11), block(2500, 0x11);
    peer().queueFrame(5, SettingsPayload(settings));
    ASSERT_TRUE(GetParameter_SettingData(block.data()));
    peer().queueFrame(5, WavePayload(1, 600, ch1, 0));
    ASSERT_TRUE(GetParameter_CH1_WaveData(samples.data()));
    peer().queue(Silence());  // this read's answer is the late record below
    EXPECT_FALSE(GetParameter_CH1_WaveData(samples.data()));

    const Bytes lateRecord = Frame(5, WavePayload(1, 800, Pattern(800, 4), 0));
    StatusFields status;
    status.channel[0].on = status.channel[2].on = status.channel[3].on = true;
    int count = 0;
    unsigned char on[4] = {9, 9, 9, 9};
    const struct {
        const char *what;
        Bytes late;
        Bytes real;  // empty: the late answer is all that comes
        std::function<bool()> call;
        bool result;
        std::function<void()> check;
    } cases[] = {
        {"settings read", lateRecord, Frame(5, SettingsPayload(newer)),
         [&] { return GetParameter_SettingData(block.data()); }, true, [&] { EXPECT_EQ(block, newer); }},
        {"settings read left unanswered",
         lateRecord,
         {},
         [&] { return GetParameter_SettingData(block.data()); },
         false,
         [&] { EXPECT_EQ(TavlinkLastCause(nullptr), TAVLINK_CAUSE_OTHER_READ_KIND); }},
        {"channel 2 read", lateRecord, Frame(5, WavePayload(2, 700, Pattern(700, 5), 0)),
         [&] { return GetParameter_CH2_WaveData_And_wavepnt(samples.data(), &count, nullptr); }, true,
         [&] {
             EXPECT_EQ(count, 700);
             EXPECT_EQ(Bytes(samples.begin(), samples.begin() + 700), Pattern(700, 5));
         }},
        {"status read", Frame(5, SettingsPayload(Pattern(2500, 6))), Frame(5, StatusPayload(status, true)),
         [&] { return IsCHOpen(&on[0], &on[1], &on[2], &on[3]); }, true,
         [&] {
             EXPECT_EQ(Bytes(on, on + 4), (Bytes{1, 0, 1, 1}));
         }},
    };
    for (const auto &c : cases) {
        Reply r = Send(c.late);
        r.trailing = c.real;
        peer().queue(r);
        EXPECT_EQ(c.call(), c.result) << c.what;
        c.check();
    }
    // Nothing of the late answers was stored: a reply that stores nothing
    // hands out what the library holds.
    peer().queueFrame(5, {0, 3, 0, 0});
    ASSERT_TRUE(GetParameter_CH1_WaveData_And_wavepnt(samples.data(), &count, nullptr));
    EXPECT_EQ(count, 600);
    EXPECT_EQ(Bytes(samples.begin(), samples.begin() + 600), ch1);
    peer().queueFrame(5, {0, 3, 0, 0});
    ASSERT_TRUE(GetParameter_SettingData(block.data()));
    EXPECT_EQ(block, newer);
}

INSTANTIATE_TEST_SUITE_P(Transports, AnyLinkTest, ::testing::Values(Transport::Serial, Transport::Usb, Transport::Net),
                         TransportName);

// ---- the stream transports ------------------------------------------------------

class StreamLinkTest : public AnyLinkTest {};

TEST_P(StreamLinkTest, StaleReplyIsDiscardedBeforeTheNextRequest)
{
    Reply first = Send(Frame(1, BindPayload(0, 78)));
    first.trailing = Frame(1, BindPayload(0, 58, "stale"));
    peer().queue(first);
    ASSERT_TRUE(BindDso());
    ASSERT_TRUE(peer().waitHandled(1));
    peer().queueFrame(1, BindPayload(0, 70, "fresh"));
    ASSERT_TRUE(BindDso());
    const Identity id = ReadIdentity();
    EXPECT_EQ(id.family, 3);
    EXPECT_STREQ(std::string(id.name, 5).c_str(), "fresh");
}

TEST_P(StreamLinkTest, FrameShorterThanItsLengthIsRefused)
{
    Bytes cut = Frame(2, Bytes(100, 0));
    cut.resize(16 + 50);
    // On the serial line the line form is intact; the frame inside claims
    // more than it holds.
    peer().queue(Send(cut));
    EXPECT_EQ(LinkExchange(2, kStatusOk.data(), 4, 600), 1);
    peer().queueFrame(2, kStatusOk);
    EXPECT_EQ(LinkExchange(2, kStatusOk.data(), 4, 600), 0);
}

INSTANTIATE_TEST_SUITE_P(Transports, StreamLinkTest, ::testing::Values(Transport::Serial, Transport::Net),
                         TransportName);

// ---- the network receive loop -------------------------------------------------

class NetReceiveTest : public NetLinkTest {
protected:
    void SetUp() override
    {
        NetLinkTest::SetUp();
        g_recvCalls.clear();
    }
    std::vector<int> asked() const
    {
        std::vector<int> v;
        for (const auto &c : g_recvCalls)
            v.push_back(c.asked);
        return v;
    }
    // The link never asks for more than the rest of the frame.
    void expectNoOverreach(size_t frameBytes) const
    {
        size_t done = 0;
        for (const auto &c : g_recvCalls) {
            const size_t headerLeft = done < 16 ? 16 - done : 0;
            const size_t left = headerLeft ? headerLeft : frameBytes - done;
            EXPECT_LE(size_t(c.asked), left);
            done += size_t(c.got);
        }
        EXPECT_EQ(done, frameBytes);
    }
};

TEST_F(NetReceiveTest, PayloadOf1024BytesIsOneRequest)
{
    peer().queueFrame(2, Bytes(1024, 0));
    EXPECT_EQ(LinkExchange(2, kStatusOk.data(), 4, 600), 0);
    EXPECT_EQ(asked(), (std::vector<int>{16, 1024}));
}

TEST_F(NetReceiveTest, PayloadOf1025BytesTakesTwoRequests)
{
    peer().queueFrame(2, Bytes(1025, 0));
    EXPECT_EQ(LinkExchange(2, kStatusOk.data(), 4, 600), 0);
    EXPECT_EQ(asked(), (std::vector<int>{16, 1024, 1}));
}

TEST_F(NetReceiveTest, ReplyArrivingInSmallPiecesIsReadWhole)
{
    const Bytes settings = Pattern(2500, 3);
    Reply r = Send(Frame(5, SettingsPayload(settings)));
    r.piece = 7;  // splits the header too
    r.pauseMs = 1;
    peer().queue(r);
    Bytes got(2500, 0);
    ASSERT_TRUE(GetParameter_SettingData(got.data()));
    EXPECT_EQ(got, settings);
    expectNoOverreach(16 + 2504);
}

TEST_F(NetReceiveTest, OversizePayloadIsDroppedInPieces)
{
    peer().queueFrame(2, Bytes(30000, 0));
    EXPECT_EQ(LinkExchange(2, kStatusOk.data(), 4, 600), 1);
    size_t dropped = 0;
    for (size_t i = 1; i < g_recvCalls.size(); ++i) {
        EXPECT_LE(g_recvCalls[i].asked, 1024);
        dropped += size_t(g_recvCalls[i].got);
    }
    EXPECT_EQ(dropped, 30000u);
    peer().queueFrame(2, {4});
    EXPECT_EQ(LinkExchange(2, kStatusOk.data(), 4, 600), 4);
}

TEST_F(NetReceiveTest, HangUpInTheMiddleOfAReplyFails)
{
    Reply r = Send(Frame(5, SettingsPayload(Pattern(2500))));
    r.bytes.resize(300);
    r.hangUp = true;
    peer().queue(r);
    Bytes got(2500, 0x11);
    EXPECT_FALSE(GetParameter_SettingData(got.data()));
    EXPECT_EQ(got, Bytes(2500, 0x11));
    // A fresh connection works again.
    open(Transport::Net);
    peer().queueFrame(2, kStatusOk);
    EXPECT_TRUE(UnBindDso());
}

// ---- connection exports ----------------------------------------------------------

TEST_F(NetLinkTest, ConnectStyleSwitchesTheTransportAtOnce)
{
    EXPECT_EQ(GetConnectStyle(5), 5);
    EXPECT_EQ(LinkExchange(2, kStatusOk.data(), 4, 600), 1);
    EXPECT_EQ(GetConnectStyle(TAVLINK_STYLE_NET), TAVLINK_STYLE_NET);
    peer().queueFrame(2, kStatusOk);
    EXPECT_TRUE(UnBindDso());
    EXPECT_EQ(peer().requests().size(), 1u) << "nothing is sent on an unknown style";
}

TEST_F(NetLinkTest, PayloadTooLongForTheRequestBufferIsNotSent)
{
    Bytes big(25585, 0);
    EXPECT_EQ(LinkExchange(10, big.data(), uint32_t(big.size()), 600), 1);
    Bytes largest(25584, 0);
    peer().queueFrame(10, kStatusOk);
    EXPECT_EQ(LinkExchange(10, largest.data(), uint32_t(largest.size()), 600), 0);
    ASSERT_EQ(peer().requests().size(), 1u);
    EXPECT_EQ(peer().requests()[0].size(), 25600u);
}

TEST_F(NetLinkTest, InitSocketFailsWhenNothingListens)
{
    DsoSetTimeouts(500, kReceiveTimeoutMs);
    EXPECT_EQ(Dso_InitSocket(0, "127.0.0.1", 1), 0);
}

TEST_F(UsbLinkTest, DeviceIsLoadedOnlyWhenNotConnected)
{
    ASSERT_EQ(IsConnected(), 1);
    // A null receiver would make a load fail; a connected device needs none.
    EXPECT_TRUE(IsHasConnect(nullptr));
    UnloadUSBDevice();
    EXPECT_EQ(IsConnected(), 0);
    EXPECT_FALSE(UnBindDso());
    EXPECT_FALSE(IsHasConnect(nullptr));
    EXPECT_TRUE(IsHasConnect(UsbNotifyTarget()));
    peer().queueFrame(2, kStatusOk);
    EXPECT_TRUE(UnBindDso());
}

// The instrument restarts while another style is selected, its USB notices
// unheard: selected again, USB works at once, as the other styles left go.
TEST_F(UsbLinkTest, SwitchingStyleLetsTheOldTransportGo)
{
    peer().queueFrame(1, BindPayload(0, 70));
    ASSERT_TRUE(BindDso());
    open(Transport::Serial);
    EXPECT_EQ(IsConnected(), 0) << "the device and its pipes were let go";
    open(Transport::Net);
    EXPECT_EQ(Dso_CloseUart(), 0) << "the serial port was let go";
    peer().queueFrame(1, BindPayload(0, 58));
    ASSERT_TRUE(BindDso());

    ReplugUsbPeer();
    GetConnectStyle(TAVLINK_STYLE_USB);
    EXPECT_EQ(DsoConnectionState(), TAVNET_CLOSED) << "the socket was let go";
    transport_ = Transport::Usb;
    peer().queueFrame(1, BindPayload(0, 70));
    EXPECT_TRUE(BindDso());
    EXPECT_EQ(IsConnected(), 1);
}

TEST(SerialPortTest, PortsFollowTheirMappedPaths)
{
    EXPECT_NE(Dso_SetUartPortPath(12, "/nonexistent/tty-for-tavlink"), 0);
    EXPECT_EQ(Dso_InitUart(12, 9600), 0);
    EXPECT_NE(Dso_SetUartPortPath(12, ""), 0);
}

// ---- bind identity ------------------------------------------------------------------

TEST_F(NetLinkTest, BindStoresTheIdentityFields)
{
    peer().queueFrame(1, BindPayload(0, 70, "ABCDEFGHIJKLMNOPQRST", "0123456789", "text-field"));
    ASSERT_TRUE(BindDso());
    const Identity id = ReadIdentity();
    EXPECT_EQ(std::string(id.name, 20), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(std::string(id.ident, 10), "0123456789");
    EXPECT_EQ(std::string(id.text, 16), std::string("text-field") + std::string(6, '\0'));
    EXPECT_EQ(id.code, 70);
    EXPECT_EQ(id.family, 3);
}

TEST_F(NetLinkTest, NegativeProductCodeKeepsFamilyAndIdentity)
{
    bindAs(78);
    for (uint8_t code : {0x80, 0xC0, 0xFF}) {
        peer().queueFrame(1, BindPayload(0, code, "intruder"));
        EXPECT_FALSE(BindDso()) << int(code);
        const Identity id = ReadIdentity();
        EXPECT_EQ(id.family, 4);
        EXPECT_EQ(id.code, 78);
        EXPECT_EQ(std::string(id.name, 8), "scripted");
    }
}

TEST_F(NetLinkTest, CodesWithoutAFamilyKeepTheFamily)
{
    bindAs(58);
    peer().queueFrame(1, BindPayload(0, 30));
    ASSERT_TRUE(BindDso());
    EXPECT_EQ(ReadIdentity().family, 1);
    EXPECT_EQ(ReadIdentity().code, 30);
    bindAs(78);
    peer().queueFrame(1, BindPayload(0, 100));
    ASSERT_TRUE(BindDso());
    EXPECT_EQ(ReadIdentity().family, 4);
    EXPECT_EQ(ReadIdentity().code, 100);
}

TEST_F(NetLinkTest, ProductCodesMapToTheirFamilies)
{
    struct Case {
        uint8_t code;
        int family;  // -1: unchanged
    };
    const Case cases[] = {{0, 0},  {21, 0}, {22, -1}, {51, -1}, {52, 0}, {57, 0}, {58, 1}, {61, 1},  {62, 0},  {63, 0},
                          {64, 1}, {67, 1}, {68, 0},  {69, 3},  {76, 3}, {77, 4}, {82, 4}, {83, -1}, {127, -1}};
    for (const Case &c : cases) {
        bindAs(78);  // a known family that no "unchanged" code produces by accident
        peer().queueFrame(1, BindPayload(0, c.code));
        ASSERT_TRUE(BindDso());
        EXPECT_EQ(ReadIdentity().family, c.family < 0 ? 4 : c.family) << int(c.code);
    }
}

TEST_F(NetLinkTest, RefusedBindStillStoresTheIdentity)
{
    bindAs(70);
    peer().queueFrame(1, BindPayload(2, 10, "busy"));
    EXPECT_FALSE(BindDso());
    EXPECT_EQ(ReadIdentity().family, 0);
    EXPECT_EQ(std::string(ReadIdentity().name, 4), "busy");
}

TEST_F(NetLinkTest, BindReplyShorterThanItsFieldsIsRefused)
{
    bindAs(70);
    Bytes shortReply = BindPayload(0, 58, "short");
    shortReply.resize(92);
    peer().queueFrame(1, shortReply);
    EXPECT_FALSE(BindDso());
    EXPECT_EQ(ReadIdentity().family, 3);
    EXPECT_EQ(std::string(ReadIdentity().name, 8), "scripted");
}

TEST_F(NetLinkTest, ProductTypeClearsTheCallersArrays)
{
    peer().queueFrame(1, BindPayload(0, 10, "ab", "c", "d"));
    ASSERT_TRUE(BindDso());
    const Identity id = ReadIdentity();
    EXPECT_EQ(std::string(id.name, 20), std::string("ab") + std::string(18, '\0'));
    EXPECT_EQ(std::string(id.ident, 10), std::string("c") + std::string(9, '\0'));
    EXPECT_EQ(std::string(id.text, 16), std::string("d") + std::string(15, '\0'));
    EXPECT_EQ(Waits(), std::vector<unsigned>{600});
}
