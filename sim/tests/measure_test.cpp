// The measurement block is computed from the samples that are sent.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "helpers.h"
#include "internal.h"
#include "vsim/instrument.h"

using namespace vsimtest;
using vsim::Instrument;

namespace {

struct Entry {
    bool present;
    float value;
    std::string unit;
    int digits;
};

Entry entry(const Parsed &r, size_t blockAt, int item)
{
    const uint8_t *e = &r.payload[blockAt + 16 * size_t(item)];
    return {e[0] != 0, beFloat(e + 4), vsim::unitText(e[8]), e[12]};
}

// Value of an entry in the base unit of its ladder.
double base(const Entry &e)
{
    static const struct {
        const char *unit;
        double factor;
    } kUnits[] = {{"ps", 1e-12}, {"ns", 1e-9}, {"us", 1e-6}, {"ms", 1e-3}, {"s", 1},     {"uV", 1e-6}, {"mV", 1e-3},
                  {"V", 1},      {"kV", 1e3},  {"Hz", 1},    {"KHz", 1e3}, {"MHz", 1e6}, {"?", 1}};
    for (auto &u : kUnits)
        if (e.unit == u.unit)
            return e.value * u.factor;
    ADD_FAILURE() << "unit " << e.unit;
    return NAN;
}

TEST(Block, ASineOnChannelOneMeasuresAsItWasMade)
{
    Instrument inst(70);
    vsim::State s = inst.state();
    s.channels[0].signal = {vsim::Wave::Sine, 1000.0, 1.0, 0.0};
    s.channels[0].voltsIndex = 7;
    s.timeIndex = 17;
    inst.setState(s);
    ask(inst, readRequest(0));
    Parsed r = ask(inst, readRequest(1, 1));
    ASSERT_TRUE(r.ok);
    const size_t at = 24008;
    EXPECT_NEAR(base(entry(r, at, 0)), 2.0, 0.12);                   // Vpp
    EXPECT_NEAR(base(entry(r, at, 1)), 1.0, 0.06);                   // Vmax
    EXPECT_NEAR(base(entry(r, at, 2)), -1.0, 0.06);                  // Vmin
    EXPECT_NEAR(base(entry(r, at, 6)), 0.0, 0.05);                   // Vmean
    EXPECT_NEAR(base(entry(r, at, 8)), 1.0 / std::sqrt(2.0), 0.04);  // Vrms
    EXPECT_NEAR(base(entry(r, at, 14)), 1e-3, 2e-5);                 // Period
    Entry f = entry(r, at, 15);
    EXPECT_EQ(f.unit, "KHz");
    EXPECT_NEAR(f.value, 1.0, 0.02);
    EXPECT_NEAR(base(entry(r, at, 16)), 0.5e-3, 2e-5);  // positive width
    EXPECT_NEAR(base(entry(r, at, 21)), 50.0, 2.0);     // PDut, percent
    EXPECT_EQ(entry(r, at, 21).unit, "?");
    for (int item : {0, 1, 2, 3, 4, 5, 6, 8, 14, 15, 16, 17, 18, 19, 21, 22})
        EXPECT_TRUE(entry(r, at, item).present) << item;
    EXPECT_EQ(entry(r, at, 0).digits, 2);
}

TEST(Block, PhaseAndDelaysRelateChannelOneToChannelTwo)
{
    Instrument inst(70);
    vsim::State s = inst.state();
    // The record starts 3 ms before the trigger; channel 2 lags a quarter period.
    s.channels[0].signal = {vsim::Wave::Square, 1000.0, 1.0, 0.0, 0.5, -45.0};
    s.channels[1].signal = {vsim::Wave::Square, 1000.0, 1.0, 0.0, 0.5, -135.0};
    s.channels[0].voltsIndex = s.channels[1].voltsIndex = 8;
    s.timeIndex = 17;
    inst.setState(s);
    ask(inst, readRequest(0));
    Parsed r1 = ask(inst, readRequest(1, 1));
    Parsed r2 = ask(inst, readRequest(2, 1));
    const size_t at = 24008;
    Entry phase = entry(r1, at, 23);
    ASSERT_TRUE(phase.present);
    EXPECT_NEAR(phase.value, 90.0, 2.0);
    Entry frr = entry(r1, at, 24);
    ASSERT_TRUE(frr.present);
    EXPECT_NEAR(base(frr), 0.25e-3, 1e-5);
    // Both channels' blocks carry the same pair items.
    for (int item = 23; item < 32; ++item) {
        EXPECT_EQ(entry(r1, at, item).present, entry(r2, at, item).present) << item;
        EXPECT_FLOAT_EQ(entry(r1, at, item).value, entry(r2, at, item).value) << item;
    }
}

TEST(Block, NothingFoundMeansNotPresent)
{
    Instrument inst(10);
    vsim::State s = inst.state();
    s.channels[0].signal = {vsim::Wave::Sine, 1000.0, 0.0, 0.5};  // flat
    s.channels[1].on = false;
    inst.setState(s);
    ask(inst, readRequest(0));
    Parsed r = ask(inst, readRequest(1, 1));
    const size_t at = 4008;
    EXPECT_TRUE(entry(r, at, 1).present);  // a level is still a level
    EXPECT_NEAR(base(entry(r, at, 6)), 0.5, 0.03);
    EXPECT_FALSE(entry(r, at, 14).present);  // no period
    EXPECT_FALSE(entry(r, at, 15).present);
    for (int item = 23; item < 32; ++item)
        EXPECT_FALSE(entry(r, at, item).present) << item;
}

TEST(Block, TheMemoryRecordUsesTheStretchedTimeBase)
{
    Instrument inst(10);
    vsim::State s = inst.state();
    s.channels[0].signal = {vsim::Wave::Square, 400.0, 1.0, 0.0};
    s.timeIndex = 17;
    inst.setState(s);
    ask(inst, readRequest(0));
    Parsed r = ask(inst, readRequest(5, 1));
    ASSERT_EQ(be32(&r.payload[4]), 4000u);
    EXPECT_NEAR(base(entry(r, 4008, 14)), 2.5e-3, 5e-5);
}

TEST(BlockFlag, WithoutTheFlagNoBlockIsSent)
{
    Instrument inst(70);
    Parsed r = ask(inst, readRequest(1, 0));
    EXPECT_EQ(r.payload.size(), 8u + 6000u);
}

}  // namespace
