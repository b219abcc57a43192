// The settings block encodes the state; a block written back restores it and
// a block that does not decode is refused.
#include <gtest/gtest.h>

#include <cstring>

#include "bytes.h"
#include "helpers.h"
#include "lineform.h"  // the CRC-32 the block is sealed with
#include "vsim/instrument.h"

using namespace vsimtest;
using vsim::Instrument;

namespace {

std::vector<uint8_t> readBlock(Instrument &inst)
{
    Parsed r = ask(inst, readRequest(4));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.payload[0], 0);
    EXPECT_EQ(r.payload[1], 4);
    EXPECT_EQ(r.payload.size(), 4u + 2500u);
    return {r.payload.begin() + 4, r.payload.end()};
}

uint8_t writeBlock(Instrument &inst, const std::vector<uint8_t> &block)
{
    Parsed r = ask(inst, request(vsim::CmdWriteSettings, block));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.command, vsim::CmdWriteSettings);
    return r.payload.empty() ? 0xFF : r.payload[0];
}

void expectSameState(const vsim::State &a, const vsim::State &b)
{
    EXPECT_EQ(a.timeIndex, b.timeIndex);
    EXPECT_DOUBLE_EQ(a.horizontalPosition, b.horizontalPosition);
    EXPECT_EQ(a.running, b.running);
    EXPECT_EQ(a.math, b.math);
    EXPECT_EQ(a.ref, b.ref);
    EXPECT_EQ(a.cursor, b.cursor);
    EXPECT_EQ(a.triggerSource, b.triggerSource);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(a.channels[i].on, b.channels[i].on) << i;
        EXPECT_EQ(a.channels[i].voltsIndex, b.channels[i].voltsIndex) << i;
        EXPECT_EQ(a.channels[i].offset, b.channels[i].offset) << i;
        EXPECT_EQ(a.channels[i].triggerLevel, b.channels[i].triggerLevel) << i;
        EXPECT_EQ(a.channels[i].signal.wave, b.channels[i].signal.wave) << i;
        EXPECT_FLOAT_EQ(float(a.channels[i].signal.frequency), float(b.channels[i].signal.frequency));
        EXPECT_FLOAT_EQ(float(a.channels[i].signal.amplitude), float(b.channels[i].signal.amplitude));
    }
}

TEST(Settings, ABlockWrittenBackRestoresTheState)
{
    Instrument inst(70);
    ask(inst, keyRequest(19));      // CH3 on
    ask(inst, keyRequest(92, 3));   // CH1 coarser
    ask(inst, keyRequest(144, 2));  // slower sweep
    ask(inst, keyRequest(177, 7));  // later
    ask(inst, keyRequest(45));      // cursor
    ask(inst, keyRequest(28));      // trigger on CH2
    vsim::State s = inst.state();
    s.channels[3].signal = {vsim::Wave::Pulse, 12345.0, 0.75, -0.25, 0.1, 30.0};
    inst.setState(s);
    vsim::State saved = inst.state();
    std::vector<uint8_t> block = readBlock(inst);
    EXPECT_EQ(std::memcmp(block.data(), "VSET", 4), 0);

    ask(inst, keyRequest(30));  // DEFAULT SETUP
    EXPECT_NE(inst.state().timeIndex, saved.timeIndex);
    EXPECT_EQ(writeBlock(inst, block), 0);
    expectSameState(inst.state(), saved);
    EXPECT_DOUBLE_EQ(inst.state().channels[3].signal.duty, 0.1f);
    // The same state encodes to the same block.
    EXPECT_EQ(readBlock(inst), block);
}

TEST(Settings, TheBlockOfAnotherModelLeavesAbsentChannelsOff)
{
    Instrument four(70);
    ask(four, keyRequest(34));  // CH4 on
    std::vector<uint8_t> block = readBlock(four);
    Instrument two(10);
    EXPECT_EQ(writeBlock(two, block), 0);
    EXPECT_FALSE(two.state().channels[3].on);
    EXPECT_EQ(two.state().timeIndex, four.state().timeIndex);
}

TEST(Settings, BlocksThatDoNotDecodeAreRefusedAndChangeNothing)
{
    Instrument inst(70);
    std::vector<uint8_t> good = readBlock(inst);
    ask(inst, keyRequest(45));
    vsim::State before = inst.state();

    std::vector<uint8_t> flipped = good;
    flipped[40] ^= 0x01;
    EXPECT_NE(writeBlock(inst, flipped), 0);

    std::vector<uint8_t> zeros(2500, 0);
    EXPECT_NE(writeBlock(inst, zeros), 0);

    std::vector<uint8_t> magic = good;
    magic[0] = 'W';
    EXPECT_NE(writeBlock(inst, magic), 0);

    std::vector<uint8_t> truncated(good.begin(), good.begin() + 2000);
    EXPECT_NE(writeBlock(inst, truncated), 0);

    // Well sealed but out of range: a volts/div step past the ladder.
    std::vector<uint8_t> range = good;
    range[24 + 1] = vsim::kVoltsSteps;
    vsim::putU32(&range[2496], tavserial::crc32(range.data(), 2496));
    EXPECT_NE(writeBlock(inst, range), 0);

    std::vector<uint8_t> version = good;
    version[5] = 9;
    vsim::putU32(&version[2496], tavserial::crc32(version.data(), 2496));
    EXPECT_NE(writeBlock(inst, version), 0);

    expectSameState(inst.state(), before);
    EXPECT_TRUE(inst.state().cursor);
}

TEST(Settings, DecodeSettingsIsTheSameCodec)
{
    Instrument a(70), b(70);
    ask(a, keyRequest(24));
    EXPECT_TRUE(b.decodeSettings(a.encodeSettings().data(), 2500));
    EXPECT_TRUE(b.state().ref);
    EXPECT_FALSE(b.decodeSettings(a.encodeSettings().data(), 100));
}

}  // namespace
