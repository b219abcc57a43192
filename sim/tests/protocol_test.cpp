// The instrument's side of bind, unbind and status, in-process.
#include <gtest/gtest.h>

#include <cstring>

#include "helpers.h"
#include "vsim/instrument.h"

using namespace vsimtest;
using vsim::Instrument;

namespace {

struct Model {
    int code;
    int family;
};

class EveryFamily : public ::testing::TestWithParam<Model> {};

TEST_P(EveryFamily, BindReportsTheProductAndItsIdentity)
{
    Instrument inst(GetParam().code);
    EXPECT_EQ(inst.family(), GetParam().family);
    Parsed r = ask(inst, request(vsim::CmdBind));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.command, vsim::CmdBind);
    ASSERT_GE(r.payload.size(), 93u);
    EXPECT_EQ(r.payload[0], 0);
    EXPECT_EQ(r.payload[1], GetParam().code);
    std::string name = text(&r.payload[27], 20);
    EXPECT_EQ(name, inst.productName());
    EXPECT_FALSE(name.empty());
    EXPECT_FALSE(text(&r.payload[47], 10).empty());
    EXPECT_EQ(text(&r.payload[77], 16).size(), 14u);
}

TEST_P(EveryFamily, StatusUsesTheLayoutOfTheFamily)
{
    Instrument inst(GetParam().code);
    vsim::State s = inst.state();
    s.channels[0].on = true;
    s.channels[0].voltsIndex = 7;  // 500 mV
    s.channels[0].offset = 100;
    s.channels[1].on = true;
    s.channels[1].voltsIndex = 9;  // 2 V
    s.channels[1].offset = -20;
    s.channels[1].triggerLevel = 12;
    s.timeIndex = 14;  // 50 us
    s.horizontalPosition = 20e-6;
    s.cursor = true;
    inst.setState(s);
    Parsed r = ask(inst, readRequest(0));
    ASSERT_TRUE(r.ok);
    const uint8_t *p = r.payload.data();
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 0);
    bool four = GetParam().family == 3;
    size_t ch = four ? 16 : 12, tb = four ? 96 : 52;
    ASSERT_GE(r.payload.size(), tb + 17);
    EXPECT_EQ(p[4], 1);  // running
    EXPECT_EQ(p[four ? 13 : 11], 1) << "cursor lamp";
    EXPECT_EQ(p[ch], 1);
    EXPECT_FLOAT_EQ(beFloat(p + ch + 4), 500.0f);
    EXPECT_EQ(p[ch + 8], 6);  // mV
    EXPECT_EQ(int32_t(be32(p + ch + 12)), 100);
    EXPECT_EQ(p[ch + 20], 1);
    EXPECT_FLOAT_EQ(beFloat(p + ch + 24), 2.0f);
    EXPECT_EQ(p[ch + 28], 7);  // V
    EXPECT_EQ(int32_t(be32(p + ch + 32)), -20);
    EXPECT_EQ(int32_t(be32(p + ch + 36)), 12);
    EXPECT_FLOAT_EQ(beFloat(p + tb), 50.0f);
    EXPECT_EQ(p[tb + 4], 2);  // us
    EXPECT_NEAR(beFloat(p + tb + 8), 20.0f, 1e-3);
    EXPECT_EQ(p[tb + 12], 2);
    EXPECT_EQ(p[tb + 16], inst.triggerState());
}

INSTANTIATE_TEST_SUITE_P(Models, EveryFamily,
                         ::testing::Values(Model{10, 0}, Model{58, 1}, Model{70, 3}, Model{78, 4}));

TEST(Status, FourChannelLayoutCarriesEveryLampAndChannelsThreeAndFour)
{
    Instrument inst(70);
    vsim::State s = inst.state();
    s.channels[2].on = true;
    s.channels[2].voltsIndex = 3;  // 20 mV
    s.channels[3].on = false;
    s.math = true;
    inst.setState(s);
    Parsed r = ask(inst, readRequest(0));
    const uint8_t *p = r.payload.data();
    auto lamps = inst.lamps();
    EXPECT_EQ(0, std::memcmp(p + 4, lamps.data(), 10));
    EXPECT_EQ(lamps[5], 1);  // CH3
    EXPECT_EQ(lamps[6], 0);
    EXPECT_EQ(lamps[7], 1);  // MATH
    EXPECT_EQ(p[56], 1);
    EXPECT_FLOAT_EQ(beFloat(p + 60), 20.0f);
    EXPECT_EQ(p[76], 0);
}

TEST(Status, TwoChannelLayoutSkipsTheLampsOfChannelsThreeAndFour)
{
    Instrument inst(58);
    vsim::State s = inst.state();
    s.math = true;
    s.ref = true;
    s.running = false;
    inst.setState(s);
    Parsed r = ask(inst, readRequest(0));
    const uint8_t *p = r.payload.data();
    EXPECT_EQ(p[4], 2);   // stopped
    EXPECT_EQ(p[9], 1);   // MATH
    EXPECT_EQ(p[10], 1);  // REF
    EXPECT_EQ(p[11], 0);  // CURSOR
    EXPECT_EQ(p[68], 0);  // trigger: Stop
}

TEST(Status, TriggerStateFollowsRunAndTimeBase)
{
    Instrument inst(70);
    EXPECT_EQ(inst.triggerState(), 3);  // a clean sine on the source
    vsim::State s = inst.state();
    s.timeIndex = 24;  // 100 ms/div: the slow sweep
    inst.setState(s);
    EXPECT_EQ(inst.triggerState(), 4);
    s.timeIndex = 17;
    s.channels[0].on = false;
    inst.setState(s);
    EXPECT_EQ(inst.triggerState(), 1);  // the source is off
    s.running = false;
    inst.setState(s);
    EXPECT_EQ(inst.triggerState(), 0);
}

TEST(Requests, UnbindIsAcceptedAndUnknownCommandsRefused)
{
    Instrument inst;
    Parsed r = ask(inst, request(vsim::CmdUnbind));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.payload[0], 0);
    r = ask(inst, request(3));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.command, 3);
    EXPECT_EQ(r.payload[0], 1);
}

TEST(Requests, MalformedFramesGetNoAnswer)
{
    Instrument inst;
    std::vector<uint8_t> bad = request(vsim::CmdBind);
    bad[2] = 'X';
    EXPECT_TRUE(inst.handle(bad.data(), bad.size()).drop);
    std::vector<uint8_t> echo = request(vsim::CmdBind);
    echo[12] = 1;  // a reply, not a request
    EXPECT_TRUE(inst.handle(echo.data(), echo.size()).drop);
    std::vector<uint8_t> shortFrame = request(vsim::CmdBind);
    EXPECT_TRUE(inst.handle(shortFrame.data(), shortFrame.size() - 1).drop);
    EXPECT_TRUE(inst.handle(shortFrame.data(), 10).drop);
    EXPECT_TRUE(inst.handle(nullptr, 0).drop);
    EXPECT_EQ(inst.requestsHandled(), 0u);
}

TEST(Models, ProductCodesMapToFamiliesAsTheLinkDerivesThem)
{
    EXPECT_EQ(vsim::familyOfProductCode(0), 0);
    EXPECT_EQ(vsim::familyOfProductCode(21), 0);
    EXPECT_EQ(vsim::familyOfProductCode(30), -1);
    EXPECT_EQ(vsim::familyOfProductCode(55), 0);
    EXPECT_EQ(vsim::familyOfProductCode(58), 1);
    EXPECT_EQ(vsim::familyOfProductCode(63), 0);
    EXPECT_EQ(vsim::familyOfProductCode(66), 1);
    EXPECT_EQ(vsim::familyOfProductCode(68), 0);
    EXPECT_EQ(vsim::familyOfProductCode(69), 3);
    EXPECT_EQ(vsim::familyOfProductCode(82), 4);
    EXPECT_EQ(vsim::familyOfProductCode(100), -1);
    EXPECT_EQ(vsim::familyOfProductCode(-1), -1);
}

TEST(Models, ChangingTheProductKeepsTheFamilyForCodesWithoutOne)
{
    Instrument inst(70);
    inst.setProductCode(30);
    EXPECT_EQ(inst.family(), 3);
    inst.setProductCode(58);
    EXPECT_EQ(inst.family(), 1);
    EXPECT_FALSE(inst.state().channels[2].on);
    Parsed r = ask(inst, request(vsim::CmdBind));
    EXPECT_EQ(r.payload[1], 58);
}

TEST(Ladders, VoltsAndTimeStepOneTwoFive)
{
    EXPECT_FLOAT_EQ(vsim::voltsPerDiv(0).value, 2.0f);
    EXPECT_EQ(vsim::voltsPerDiv(0).unit, 6);
    EXPECT_FLOAT_EQ(vsim::voltsPerDiv(1).value, 5.0f);
    EXPECT_FLOAT_EQ(vsim::voltsPerDiv(8).value, 1.0f);
    EXPECT_EQ(vsim::voltsPerDiv(8).unit, 7);
    EXPECT_FLOAT_EQ(vsim::voltsPerDiv(vsim::kVoltsSteps - 1).value, 10.0f);
    EXPECT_FLOAT_EQ(vsim::timePerDiv(0).value, 1.0f);
    EXPECT_EQ(vsim::timePerDiv(0).unit, 1);
    EXPECT_FLOAT_EQ(vsim::timePerDiv(9).value, 1.0f);
    EXPECT_EQ(vsim::timePerDiv(9).unit, 2);  // 1 us
    EXPECT_FLOAT_EQ(vsim::timePerDiv(20).value, 5.0f);
    EXPECT_EQ(vsim::timePerDiv(20).unit, 3);  // 5 ms
    EXPECT_FLOAT_EQ(vsim::timePerDiv(vsim::kTimeSteps - 1).value, 50.0f);
    EXPECT_EQ(vsim::timePerDiv(vsim::kTimeSteps - 1).unit, 4);
    EXPECT_DOUBLE_EQ(vsim::timePerDivSeconds(17), 500e-6);
    EXPECT_DOUBLE_EQ(vsim::voltsPerDivVolts(3), 0.02);
}

}  // namespace
