// Puts the link on one of the three transports, facing a scripted peer, with
// every protocol wait recorded instead of slept.
#ifndef TAVLINK_TESTS_LINK_FIXTURE_H
#define TAVLINK_TESTS_LINK_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "peers.h"
#include "tavlink.h"
#include "tavlink_testing.h"

namespace linktest {

enum class Transport { Serial, Usb, Net };
std::string TransportName(const ::testing::TestParamInfo<Transport> &info);

// Waits asked for since the last ClearWaits().
std::vector<unsigned> Waits();
void ClearWaits();
void RecordSleep(unsigned ms);

Peer &PeerFor(Transport t);
// The virtual-USB device goes and comes back (a new socket at the same path).
void ReplugUsbPeer();
// The receiver of USB arrival and removal notices handed to the link.
void *UsbNotifyTarget();

// Short transport time-outs keep the failure cases quick.
constexpr int kReceiveTimeoutMs = 400;

class LinkTest : public ::testing::Test {
protected:
    void TearDown() override;
    void open(Transport t);
    Peer &peer() { return PeerFor(transport_); }
    // Binds a product code so the family is known; forgets that exchange.
    void bindAs(uint8_t productCode);
    // The payload of the k-th request seen by the peer.
    Bytes requestPayload(size_t k);
    Transport transport_ = Transport::Net;
};

class NetLinkTest : public LinkTest {
protected:
    void SetUp() override { open(Transport::Net); }
};

class UsbLinkTest : public LinkTest {
protected:
    void SetUp() override { open(Transport::Usb); }
};

class AnyLinkTest : public LinkTest, public ::testing::WithParamInterface<Transport> {
protected:
    void SetUp() override { open(GetParam()); }
};

}  // namespace linktest

#endif
