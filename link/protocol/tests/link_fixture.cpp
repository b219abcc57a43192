#include "link_fixture.h"

#include <csignal>
#include <unistd.h>

#include <memory>

#include "ferrule.h"
#include "ferrule_sim_wire.h"
#include "tavnet.h"
#include "tavserial.h"

namespace linktest {

namespace {

std::vector<unsigned> g_waits;

constexpr int kSerialPort = 7;

std::string UsbSocketPath()
{
    static const std::string path = "/tmp/tavlink-test-usb-" + std::to_string(getpid()) + ".sock";
    return path;
}

void IgnoreDeviceChange(void *, uint32_t, const FerruleDeviceBroadcast *) {}
FerruleNotifyTarget g_notify{FERRULE_NOTIFY_MAGIC, IgnoreDeviceChange, nullptr};

std::unique_ptr<TcpPeer> g_tcp;
std::unique_ptr<UsbPeer> g_usb;
std::unique_ptr<PtyPeer> g_pty;

}  // namespace

std::string TransportName(const ::testing::TestParamInfo<Transport> &info)
{
    switch (info.param) {
    case Transport::Serial: return "Serial";
    case Transport::Usb: return "Usb";
    case Transport::Net: return "Net";
    }
    return "Unknown";
}

void *UsbNotifyTarget() { return &g_notify; }

std::vector<unsigned> Waits() { return g_waits; }
void ClearWaits() { g_waits.clear(); }
void RecordSleep(unsigned ms) { g_waits.push_back(ms); }

Peer &PeerFor(Transport t)
{
    // A peer writing to a link that just hung up must not end the run.
    std::signal(SIGPIPE, SIG_IGN);
    switch (t) {
    case Transport::Serial:
        if (!g_pty)
            g_pty = std::make_unique<PtyPeer>();
        return *g_pty;
    case Transport::Usb:
        if (!g_usb)
            g_usb = std::make_unique<UsbPeer>(UsbSocketPath());
        return *g_usb;
    case Transport::Net:
    default:
        if (!g_tcp)
            g_tcp = std::make_unique<TcpPeer>();
        return *g_tcp;
    }
}

void ReplugUsbPeer()
{
    g_usb.reset();
    g_usb = std::make_unique<UsbPeer>(UsbSocketPath());
}

void LinkTest::open(Transport t)
{
    transport_ = t;
    Peer &p = PeerFor(t);
    p.reset();
    TavlinkSetSleep(RecordSleep);
    switch (t) {
    case Transport::Serial:
        GetConnectStyle(TAVLINK_STYLE_SERIAL);
        ASSERT_NE(Dso_SetUartPortPath(kSerialPort, g_pty->slavePath().c_str()), 0);
        SetUartTimeouts(kReceiveTimeoutMs, kReceiveTimeoutMs / 2);
        ASSERT_NE(Dso_InitUart(kSerialPort, 115200), 0);
        break;
    case Transport::Usb:
        GetConnectStyle(TAVLINK_STYLE_USB);
        setenv(FERRULE_SIM_ENV, g_usb->path().c_str(), 1);
        ASSERT_TRUE(IsHasConnect(&g_notify));
        break;
    case Transport::Net:
        GetConnectStyle(TAVLINK_STYLE_NET);
        DsoSetTimeouts(2000, kReceiveTimeoutMs);
        ASSERT_EQ(Dso_InitSocket(0, "127.0.0.1", g_tcp->port()), 1);
        break;
    }
    ClearWaits();
}

void LinkTest::TearDown()
{
    TavlinkSetSleep(RecordSleep);
    if (transport_ == Transport::Serial)
        Dso_CloseUart();
}

void LinkTest::bindAs(uint8_t productCode)
{
    peer().queueFrame(1, BindPayload(0, productCode, "scripted"));
    ASSERT_TRUE(BindDso());
    peer().reset();
    ClearWaits();
}

Bytes LinkTest::requestPayload(size_t k)
{
    const auto all = peer().requests();
    if (k >= all.size())
        return {};
    return Bytes(all[k].begin() + 16, all[k].end());
}

}  // namespace linktest
