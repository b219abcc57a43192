// Keys and knobs act on the state and the lamps.
#include <gtest/gtest.h>

#include "helpers.h"
#include "vsim/instrument.h"

using namespace vsimtest;
using vsim::Instrument;

namespace {

uint8_t press(Instrument &inst, uint8_t code, uint8_t count = 1)
{
    Parsed r = ask(inst, keyRequest(code, count));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.command, vsim::CmdKey);
    return r.payload.empty() ? 0xFF : r.payload[0];
}

TEST(Keys, ChannelKeysToggleTheirChannelAndLamp)
{
    Instrument inst(70);
    const uint8_t codes[4] = {14, 9, 19, 34};
    for (int ch = 0; ch < 4; ++ch) {
        bool before = inst.state().channels[size_t(ch)].on;
        EXPECT_EQ(press(inst, codes[ch]), 0);
        EXPECT_EQ(inst.state().channels[size_t(ch)].on, !before);
        EXPECT_EQ(inst.lamps()[size_t(3 + ch)], before ? 0 : 1);
        press(inst, codes[ch]);
        EXPECT_EQ(inst.state().channels[size_t(ch)].on, before);
    }
}

TEST(Keys, ChannelsThreeAndFourExistOnlyOnTheFourChannelFamily)
{
    Instrument inst(58);
    EXPECT_EQ(press(inst, 19), 0);  // accepted, as the panel may send it
    EXPECT_FALSE(inst.state().channels[2].on);
    EXPECT_EQ(inst.lamps()[5], 0);
}

TEST(Keys, RunStopSingleAndTheLampsOfMathRefCursor)
{
    Instrument inst(70);
    EXPECT_EQ(inst.lamps()[0], 1);
    press(inst, 40);
    EXPECT_EQ(inst.lamps()[0], 2);
    EXPECT_FALSE(inst.state().running);
    press(inst, 40);
    EXPECT_EQ(inst.lamps()[0], 1);
    press(inst, 35);
    EXPECT_EQ(inst.lamps()[2], 1);
    press(inst, 40);  // RUN/STOP ends a waiting single
    EXPECT_EQ(inst.lamps()[2], 0);
    EXPECT_EQ(inst.lamps()[0], 2);
    const uint8_t toggles[3] = {29, 24, 45};
    for (int i = 0; i < 3; ++i) {
        press(inst, toggles[i]);
        EXPECT_EQ(inst.lamps()[size_t(7 + i)], 1);
        press(inst, toggles[i]);
        EXPECT_EQ(inst.lamps()[size_t(7 + i)], 0);
    }
}

TEST(Keys, ForceCompletesAnArmedSingle)
{
    Instrument inst(70);
    press(inst, 35);
    press(inst, 15);
    EXPECT_FALSE(inst.state().single);
    EXPECT_EQ(inst.lamps()[0], 2);
}

TEST(Keys, MenuKeysAreAcceptedAndUnknownCodesRefused)
{
    Instrument inst(70);
    for (uint8_t code : {16, 28, 50, 10, 39, 25, 36, 38, 26, 13, 23, 43, 46, 21, 17, 27, 37, 47})
        EXPECT_EQ(press(inst, code), 0) << int(code);
    for (uint8_t code : {0, 1, 3, 60, 100, 200, 255})
        EXPECT_EQ(press(inst, code), 1) << int(code);
}

TEST(Knobs, VoltsPerDivisionStepsOneTwoFiveAndStopsAtTheEnds)
{
    Instrument inst(70);
    int start = inst.state().channels[0].voltsIndex;
    press(inst, 92, 2);
    EXPECT_EQ(inst.state().channels[0].voltsIndex, start + 2);
    press(inst, 83, 1);
    EXPECT_EQ(inst.state().channels[0].voltsIndex, start + 1);
    press(inst, 83, 0);  // a zero turn changes nothing
    EXPECT_EQ(inst.state().channels[0].voltsIndex, start + 1);
    press(inst, 83, 200);
    EXPECT_EQ(inst.state().channels[0].voltsIndex, 0);
    press(inst, 92, 200);
    EXPECT_EQ(inst.state().channels[0].voltsIndex, vsim::kVoltsSteps - 1);
    // Each channel has its own knob.
    int ch4 = inst.state().channels[3].voltsIndex;
    press(inst, 188, 1);
    EXPECT_EQ(inst.state().channels[3].voltsIndex, ch4 + 1);
    int ch2 = inst.state().channels[1].voltsIndex;
    press(inst, 95, 1);
    EXPECT_EQ(inst.state().channels[1].voltsIndex, ch2 - 1);
}

TEST(Knobs, TimeBasePositionOffsetAndLevel)
{
    Instrument inst(70);
    vsim::State s0 = inst.state();
    press(inst, 144, 3);
    EXPECT_EQ(inst.state().timeIndex, s0.timeIndex + 3);
    press(inst, 135, 1);
    EXPECT_EQ(inst.state().timeIndex, s0.timeIndex + 2);
    double tb = vsim::timePerDivSeconds(inst.state().timeIndex);
    press(inst, 177, 25);  // 25 detents: one division later
    EXPECT_NEAR(inst.state().horizontalPosition, tb, tb * 1e-9);
    press(inst, 186, 50);
    EXPECT_NEAR(inst.state().horizontalPosition, -tb, tb * 1e-9);
    press(inst, 21);  // pushing the knob centres the picture
    EXPECT_EQ(inst.state().horizontalPosition, 0);

    press(inst, 62, 10);  // CH1 up: the zero code grows, the offset shrinks
    EXPECT_EQ(inst.state().channels[0].offset, s0.channels[0].offset - 10);
    press(inst, 81, 5);  // CH2 down
    EXPECT_EQ(inst.state().channels[1].offset, s0.channels[1].offset + 5);
    press(inst, 17);  // pushing the V/div knob recentres
    EXPECT_EQ(inst.state().channels[0].offset, 129);

    press(inst, 93, 4);
    EXPECT_EQ(inst.state().channels[0].triggerLevel, 4);
    press(inst, 102, 6);
    EXPECT_EQ(inst.state().channels[0].triggerLevel, -2);

    // The universal knob: the trigger holdoff, or the cursor while CURSOR is lit.
    const double step = vsim::timePerDivSeconds(inst.state().timeIndex) / 25.0;
    EXPECT_EQ(press(inst, 219, 3), 0);
    EXPECT_NEAR(inst.state().holdoff, 100e-9 + 3 * step, step * 1e-9);
    press(inst, 228, 200);
    EXPECT_DOUBLE_EQ(inst.state().holdoff, 100e-9);
    press(inst, 45);
    press(inst, 228, 7);
    EXPECT_EQ(inst.state().cursorPosition, -7);
    press(inst, 219, 255);
    EXPECT_EQ(inst.state().cursorPosition, 150);
    EXPECT_DOUBLE_EQ(inst.state().holdoff, 100e-9);

    // What arrived, in order, code and count.
    const std::vector<vsim::KeyPress> keys = inst.keysPressed();
    ASSERT_GE(keys.size(), 2u);
    EXPECT_EQ(keys[keys.size() - 2].code, 228);
    EXPECT_EQ(keys[keys.size() - 2].count, 7);
    EXPECT_EQ(keys.back().code, 219);
    EXPECT_EQ(keys.back().count, 255);
}

TEST(Knobs, TheStatusReportsWhatTheKnobsSet)
{
    Instrument inst(10);
    press(inst, 92, 1);   // 500 mV -> 1 V
    press(inst, 135, 2);  // 500 us -> 100 us
    Parsed r = ask(inst, readRequest(0));
    EXPECT_FLOAT_EQ(beFloat(&r.payload[16]), 1.0f);
    EXPECT_EQ(r.payload[20], 7);
    EXPECT_FLOAT_EQ(beFloat(&r.payload[52]), 100.0f);
    EXPECT_EQ(r.payload[56], 2);
}

TEST(Keys, AutoFitsTheSignalsAndDefaultSetupRestores)
{
    Instrument inst(70);
    vsim::State s = inst.state();
    s.channels[0].signal = {vsim::Wave::Sine, 40.0, 4.0, 0.0};
    s.channels[0].voltsIndex = 0;
    s.timeIndex = 0;
    s.running = false;
    inst.setState(s);
    press(inst, 20);
    vsim::State a = inst.state();
    double vdiv = vsim::voltsPerDivVolts(a.channels[0].voltsIndex);
    EXPECT_LE(4.0, 3 * vdiv);        // the peak within three divisions
    EXPECT_GT(4.0, 3 * vdiv / 2.5);  // and not a step coarser than needed
    double screen = 12 * vsim::timePerDivSeconds(a.timeIndex);
    EXPECT_GE(screen, 3 / 40.0);
    EXPECT_LT(screen, 3 * 2.5 / 40.0);
    EXPECT_TRUE(a.running);

    press(inst, 30);
    vsim::State d = inst.state();
    EXPECT_EQ(d.timeIndex, 17);
    EXPECT_TRUE(d.channels[0].on);
    EXPECT_TRUE(d.channels[1].on);
    EXPECT_FALSE(d.channels[2].on);
    EXPECT_EQ(d.channels[0].signal.wave, vsim::Wave::Sine);
    EXPECT_DOUBLE_EQ(d.channels[0].signal.frequency, 1000.0);
}

TEST(Keys, TrigMenuCyclesTheSourceThroughOpenChannels)
{
    Instrument inst(70);
    EXPECT_EQ(inst.state().triggerSource, 0);
    press(inst, 28);
    EXPECT_EQ(inst.state().triggerSource, 1);
    press(inst, 28);
    EXPECT_EQ(inst.state().triggerSource, 0);  // CH3 and CH4 are off
}

}  // namespace
