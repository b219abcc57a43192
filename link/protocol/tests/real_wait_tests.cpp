// The protocol waits really pass on each transport (the other tests record them).
#include <chrono>

#include "link_fixture.h"

using namespace linktest;

namespace {

double MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

class RealWaitTest : public AnyLinkTest {
protected:
    void SetUp() override
    {
        AnyLinkTest::SetUp();
        TavlinkSetSleep(nullptr);
    }
};

}  // namespace

TEST_P(RealWaitTest, BindWaitsBeforeReadingTheReply)
{
    peer().queueFrame(1, BindPayload(0, 70));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(BindDso());
    EXPECT_GE(MillisecondsSince(start), 600.0);
    EXPECT_TRUE(Waits().empty()) << "the recorder is out of the way";
}

TEST(RealSleep, NeverEndsBeforeItIsDue)
{
    for (unsigned ms : {0u, 1u, 3u, 20u}) {
        const auto start = std::chrono::steady_clock::now();
        TavlinkRealSleep(ms);
        EXPECT_GE(MillisecondsSince(start), double(ms)) << ms << " ms";
    }
}

INSTANTIATE_TEST_SUITE_P(Transports, RealWaitTest, ::testing::Values(Transport::Serial, Transport::Usb, Transport::Net),
                         TransportName);

TEST_F(NetLinkTest, AutoKeyBlocksForFiveSeconds)
{
    TavlinkSetSleep(nullptr);
    peer().queueFrame(4, {0, 0, 0, 0});
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(AutoButton());
    EXPECT_GE(MillisecondsSince(start), 5000.0);
}
