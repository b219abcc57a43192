// Screen and memory records: lengths, the block's place, and samples that
// follow the signal, the volts/div and the offset.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "helpers.h"
#include "vsim/instrument.h"

using namespace vsimtest;
using vsim::Instrument;

namespace {

struct Case {
    int code;
    int screen;
    int memory;
    size_t blockAt;
};

class RecordsOfEveryFamily : public ::testing::TestWithParam<Case> {};

TEST_P(RecordsOfEveryFamily, LengthsAndTheBlockOffset)
{
    const Case c = GetParam();
    Instrument inst(c.code);
    Parsed screen = ask(inst, readRequest(1));
    ASSERT_TRUE(screen.ok);
    EXPECT_EQ(screen.payload[0], 0);
    EXPECT_EQ(screen.payload[1], 1);
    EXPECT_EQ(be32(&screen.payload[4]), uint32_t(c.screen));
    EXPECT_EQ(screen.payload.size(), 8u + size_t(c.screen));  // no block unless asked

    Parsed withBlock = ask(inst, readRequest(2, 1));
    ASSERT_TRUE(withBlock.ok);
    EXPECT_EQ(withBlock.payload.size(), c.blockAt + 512);
    EXPECT_LE(8 + be32(&withBlock.payload[4]), c.blockAt);

    Parsed memory = ask(inst, readRequest(6));
    ASSERT_TRUE(memory.ok);
    EXPECT_EQ(be32(&memory.payload[4]), uint32_t(c.memory));
    EXPECT_EQ(vsim::familyRecordLength(inst.family()), c.memory);
    EXPECT_LE(c.screen, c.memory);
}

INSTANTIATE_TEST_SUITE_P(Families, RecordsOfEveryFamily,
                         ::testing::Values(Case{10, 3000, 4000, 4008}, Case{58, 6000, 18000, 18008},
                                           Case{70, 6000, 24000, 24008}, Case{78, 6000, 20480, 18008}));

TEST(Records, AFullMemoryRecordWithItsBlockFitsTheFrame)
{
    Instrument inst(70);
    Parsed r = ask(inst, readRequest(5, 1));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(be32(&r.payload[4]), 24000u);
    EXPECT_EQ(r.payload.size(), 24008u + 512u);
    EXPECT_LE(r.payload.size(), vsim::kMaxPayload);
}

TEST(Records, TheBlockOfTheLongRecordFamilyNeverCoversSamples)
{
    Instrument inst(78);
    Parsed r = ask(inst, readRequest(5, 1));
    ASSERT_TRUE(r.ok);
    uint32_t l = be32(&r.payload[4]);
    EXPECT_EQ(l, 18000u);
    EXPECT_EQ(r.payload.size(), 18008u + 512u);
    // Without the block the whole record comes.
    EXPECT_EQ(be32(&ask(inst, readRequest(5)).payload[4]), 20480u);
}

TEST(Records, ChannelsThatAreOffOrAbsentAreRefused)
{
    Instrument two(58);
    EXPECT_EQ(ask(two, readRequest(7)).payload[0], 1);
    EXPECT_EQ(ask(two, readRequest(10)).payload[0], 1);
    Instrument four(70);
    EXPECT_EQ(ask(four, readRequest(7)).payload[0], 1);  // CH3 starts off
    vsim::State s = four.state();
    s.channels[2].on = true;
    four.setState(s);
    EXPECT_EQ(ask(four, readRequest(7)).payload[0], 0);
    EXPECT_EQ(ask(four, readRequest(3)).payload[0], 1);  // no such read kind
    EXPECT_EQ(ask(four, readRequest(11)).payload[0], 1);
}

std::vector<uint8_t> samples(const Parsed &r)
{
    uint32_t l = be32(&r.payload[4]);
    return {r.payload.begin() + 8, r.payload.begin() + 8 + l};
}

TEST(Samples, ASineSpansItsAmplitudeInDivisionsOfTwentyFiveCodes)
{
    Instrument inst(70);
    vsim::State s = inst.state();
    s.channels[0].signal = {vsim::Wave::Sine, 1000.0, 1.0, 0.0};
    s.channels[0].voltsIndex = 7;  // 500 mV: 1 V is two divisions, 50 codes
    s.channels[0].offset = 129;    // zero code 100
    inst.setState(s);
    std::vector<uint8_t> v = samples(ask(inst, readRequest(1)));
    auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    EXPECT_NEAR(*hi, 150, 3);
    EXPECT_NEAR(*lo, 50, 3);
    double mean = std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
    EXPECT_NEAR(mean, 100, 1.5);

    // Twice the volts/div, half the swing; a lower offset raises the zero code.
    s.channels[0].voltsIndex = 8;
    s.channels[0].offset = 99;
    inst.setState(s);
    v = samples(ask(inst, readRequest(1)));
    std::tie(lo, hi) = std::minmax_element(v.begin(), v.end());
    EXPECT_NEAR(*hi, 155, 3);
    EXPECT_NEAR(*lo, 105, 3);
}

TEST(Samples, ASquareSitsOnTwoLevelsAndTheTimeBaseSetsItsPeriod)
{
    Instrument inst(70);
    vsim::State s = inst.state();
    s.channels[1].signal = {vsim::Wave::Square, 1000.0, 1.0, 0.0};
    s.channels[1].voltsIndex = 8;  // 1 V: 25 codes
    s.channels[1].offset = 129;
    s.timeIndex = 17;  // 500 us/div: 1 us a sample on a 6000-sample screen
    inst.setState(s);
    std::vector<uint8_t> v = samples(ask(inst, readRequest(2)));
    size_t high = std::count_if(v.begin(), v.end(), [](uint8_t c) { return c >= 123 && c <= 127; });
    size_t low = std::count_if(v.begin(), v.end(), [](uint8_t c) { return c >= 73 && c <= 77; });
    EXPECT_GT(high + low, v.size() * 99 / 100);
    EXPECT_NEAR(double(high) / double(v.size()), 0.5, 0.02);
    // Rising edges 1000 samples apart.
    std::vector<size_t> rises;
    for (size_t i = 1; i < v.size(); ++i)
        if (v[i - 1] < 100 && v[i] >= 100)
            rises.push_back(i);
    ASSERT_GE(rises.size(), 3u);
    for (size_t i = 1; i < rises.size(); ++i)
        EXPECT_NEAR(double(rises[i] - rises[i - 1]), 1000, 2);
}

TEST(Samples, SamplesClipAtTheCodeRange)
{
    Instrument inst(70);
    vsim::State s = inst.state();
    s.channels[0].signal = {vsim::Wave::Sine, 1000.0, 10.0, 0.0};
    s.channels[0].voltsIndex = 0;  // 2 mV/div: far off the screen
    inst.setState(s);
    std::vector<uint8_t> v = samples(ask(inst, readRequest(1)));
    EXPECT_EQ(*std::max_element(v.begin(), v.end()), 255);
    EXPECT_EQ(*std::min_element(v.begin(), v.end()), 0);
}

TEST(Acquisition, RunningGivesFreshNoiseAndStoppingFreezesTheRecord)
{
    Instrument inst(70, 7);
    ask(inst, readRequest(0));
    std::vector<uint8_t> a = samples(ask(inst, readRequest(1)));
    // Channels of one acquisition are read one by one; the record holds still.
    EXPECT_EQ(samples(ask(inst, readRequest(1))), a);
    ask(inst, readRequest(0));
    std::vector<uint8_t> b = samples(ask(inst, readRequest(1)));
    EXPECT_NE(a, b);
    ask(inst, keyRequest(40));  // RUN/STOP
    ask(inst, readRequest(0));
    std::vector<uint8_t> c = samples(ask(inst, readRequest(1)));
    ask(inst, readRequest(0));
    EXPECT_EQ(samples(ask(inst, readRequest(1))), c);
}

TEST(Acquisition, SingleStopsAfterOneAcquisition)
{
    Instrument inst(70);
    ask(inst, keyRequest(35));  // SINGLE
    EXPECT_EQ(inst.lamps()[2], 1);
    EXPECT_EQ(inst.triggerState(), 2);  // Ready
    Parsed status = ask(inst, readRequest(0));
    EXPECT_EQ(status.payload[4], 2);    // stopped
    EXPECT_EQ(status.payload[6], 0);    // SINGLE lamp out
    EXPECT_EQ(status.payload[112], 0);  // Stop
    std::vector<uint8_t> held = samples(ask(inst, readRequest(1)));
    ask(inst, readRequest(0));
    EXPECT_EQ(samples(ask(inst, readRequest(1))), held);
}

TEST(Acquisition, TheSeedMakesRunsRepeatable)
{
    Instrument a(70, 42), b(70, 42), c(70, 43);
    ask(a, readRequest(0));
    ask(b, readRequest(0));
    ask(c, readRequest(0));
    EXPECT_EQ(samples(ask(a, readRequest(1))), samples(ask(b, readRequest(1))));
    EXPECT_NE(samples(ask(a, readRequest(1))), samples(ask(c, readRequest(1))));
}

TEST(Acquisition, RecordMatchesWhatAReadSends)
{
    Instrument inst(58);
    EXPECT_EQ(inst.record(1), samples(ask(inst, readRequest(1))));
    EXPECT_EQ(inst.record(6), samples(ask(inst, readRequest(6))));
}

}  // namespace
