// Keys and knobs: the code and count each export puts on the wire, and waits.
#include "link_fixture.h"

using namespace linktest;

namespace {

class KeyTest : public NetLinkTest {
protected:
    // Runs one export against an accepting instrument; returns the payload sent.
    template <typename Fn> Bytes press(Fn fn)
    {
        peer().reset();
        ClearWaits();
        peer().queueFrame(4, {0, 0, 0, 0});
        EXPECT_TRUE(fn());
        return requestPayload(0);
    }
};

struct KeyCase {
    const char *name;
    bool (*fn)();
    uint8_t code;
};

struct KnobCase {
    const char *name;
    bool (*fn)(int);
    uint8_t positive;
    uint8_t other;
};

}  // namespace

TEST_F(KeyTest, EveryKeySendsItsCodeOnce)
{
    const KeyCase keys[] = {
        {"Ch1Button", Ch1Button, 14},
        {"Ch2Button", Ch2Button, 9},
        {"Ch3Button", Ch3Button, 19},
        {"Ch4Button", Ch4Button, 34},
        {"MathButton", MathButton, 29},
        {"RefButton", RefButton, 24},
        {"HorizontalMenuButton", HorizontalMenuButton, 16},
        {"TrigMenuButton", TrigMenuButton, 28},
        {"MeasureButton", MeasureButton, 50},
        {"AcquireButton", AcquireButton, 10},
        {"DisplayButton", DisplayButton, 39},
        {"SaveRecallButton", SaveRecallButton, 25},
        {"UtilityButton", UtilityButton, 36},
        {"CursorsButton", CursorsButton, 45},
        {"DefaultSetupButton", DefaultSetupButton, 30},
        {"Setto50Button", Setto50Button, 46},
        {"ForceButton", ForceButton, 15},
        {"RunStopButton", RunStopButton, 40},
        {"SingleButton", SingleButton, 35},
        {"MenuButton1", MenuButton1, 38},
        {"MenuButton2", MenuButton2, 26},
        {"MenuButton3", MenuButton3, 13},
        {"MenuButton4", MenuButton4, 23},
        {"MenuButton5", MenuButton5, 43},
        {"HorizontalLargeSpinClickDown", HorizontalLargeSpinClickDown, 21},
        {"Ch1VerLargeSpinClickDown", Ch1VerLargeSpinClickDown, 17},
        {"Ch2VerLargeSpinClickDown", Ch2VerLargeSpinClickDown, 27},
        {"Ch3VerLargeSpinClickDown", Ch3VerLargeSpinClickDown, 37},
        {"Ch4VerLargeSpinClickDown", Ch4VerLargeSpinClickDown, 47},
    };
    for (const KeyCase &k : keys) {
        EXPECT_EQ(press(k.fn), (Bytes{k.code, 1, 0, 0})) << k.name;
        EXPECT_EQ(Waits(), std::vector<unsigned>{100}) << k.name;
        EXPECT_EQ(peer().requests().at(0)[13], 4) << k.name;
    }
}

TEST_F(KeyTest, AutoWaitsFiveSecondsBeforeTheReply)
{
    EXPECT_EQ(press(AutoButton), (Bytes{20, 1, 0, 0}));
    EXPECT_EQ(Waits(), std::vector<unsigned>{5000});
}

TEST_F(KeyTest, KnobsPickTheirCodeByDirectionAndSendTheTurnSize)
{
    const KnobCase knobs[] = {
        {"DeltaposHorizontalLargeSpin", DeltaposHorizontalLargeSpin, 144, 135},
        {"DeltaposHorizontalSmallSpin", DeltaposHorizontalSmallSpin, 177, 186},
        {"DeltaposCh1VerLargeSpin", DeltaposCh1VerLargeSpin, 92, 83},
        {"DeltaposCh2VerLargeSpin", DeltaposCh2VerLargeSpin, 104, 95},
        {"DeltaposCh3VerLargeSpin", DeltaposCh3VerLargeSpin, 146, 137},
        {"DeltaposCh4VerLargeSpin", DeltaposCh4VerLargeSpin, 188, 179},
        {"DeltaposCh1VerSmallSpin", DeltaposCh1VerSmallSpin, 62, 71},
        {"DeltaposCh2VerSmallSpin", DeltaposCh2VerSmallSpin, 72, 81},
        {"DeltaposCh3VerSmallSpin", DeltaposCh3VerSmallSpin, 114, 123},
        {"DeltaposCh4VerSmallSpin", DeltaposCh4VerSmallSpin, 156, 165},
        {"DeltaposAllCanSpin", DeltaposAllCanSpin, 219, 228},
        {"DeltaposLevelSpin", DeltaposLevelSpin, 93, 102},
    };
    for (const KnobCase &k : knobs) {
        EXPECT_EQ(press([&] { return k.fn(3); }), (Bytes{k.positive, 3, 0, 0})) << k.name;
        EXPECT_EQ(Waits(), std::vector<unsigned>{100}) << k.name;
        EXPECT_EQ(press([&] { return k.fn(-3); }), (Bytes{k.other, 3, 0, 0})) << k.name;
        EXPECT_EQ(press([&] { return k.fn(0); }), (Bytes{k.other, 0, 0, 0})) << k.name;
    }
}

TEST_F(KeyTest, TurnSizeIsTruncatedToEightBits)
{
    EXPECT_EQ(press([] { return DeltaposLevelSpin(300); }), (Bytes{93, 44, 0, 0}));
    EXPECT_EQ(press([] { return DeltaposLevelSpin(-300); }), (Bytes{102, 44, 0, 0}));
    EXPECT_EQ(press([] { return DeltaposCh1VerLargeSpin(256); }), (Bytes{92, 0, 0, 0}));
    EXPECT_EQ(press([] { return DeltaposCh1VerLargeSpin(INT32_MIN); }), (Bytes{83, 0, 0, 0}));
    EXPECT_EQ(press([] { return DeltaposCh1VerLargeSpin(INT32_MAX); }), (Bytes{92, 255, 0, 0}));
}

TEST_F(KeyTest, RefusedOrUnansweredKeyIsFalse)
{
    peer().queueFrame(4, {1, 0, 0, 0});
    EXPECT_FALSE(RunStopButton());
    peer().queue(Silence());
    EXPECT_FALSE(DeltaposAllCanSpin(1));
    peer().queueFrame(4, {0});
    EXPECT_TRUE(RunStopButton());
}
