// Front-panel keys, knob pushes and knob turns: one CMD_KEY exchange each.
#include "link_state.h"
#include "tavlink.h"

namespace tavlink {
namespace {

constexpr uint8_t kKeyAuto = 20;
constexpr unsigned kWaitKey = 100;
// AUTO makes the instrument search the signals before it answers.
constexpr unsigned kWaitAuto = 5000;

bool PressKey(uint8_t code, uint8_t count)
{
    const uint8_t payload[4] = {code, count, 0, 0};
    return Exchange(CMD_KEY, payload, sizeof payload, code == kKeyAuto ? kWaitAuto : kWaitKey) == 0;
}

// The count byte carries the size of the turn; larger turns wrap.
bool TurnKnob(uint8_t positiveCode, uint8_t otherCode, int detents)
{
    const uint32_t magnitude = detents < 0 ? 0u - uint32_t(detents) : uint32_t(detents);
    return PressKey(detents > 0 ? positiveCode : otherCode, uint8_t(magnitude & 0xFFu));
}

}  // namespace
}  // namespace tavlink

using tavlink::PressKey;
using tavlink::TurnKnob;

#define TAVLINK_KEY(name, code)                                                                                        \
    TAVLINK_API bool name(void) { return PressKey(code, 1); }
#define TAVLINK_KNOB(name, positive, other)                                                                            \
    TAVLINK_API bool name(int detents) { return TurnKnob(positive, other, detents); }

extern "C" {

TAVLINK_KEY(Ch1Button, 14)
TAVLINK_KEY(Ch2Button, 9)
TAVLINK_KEY(Ch3Button, 19)
TAVLINK_KEY(Ch4Button, 34)
TAVLINK_KEY(MathButton, 29)
TAVLINK_KEY(RefButton, 24)
TAVLINK_KEY(HorizontalMenuButton, 16)
TAVLINK_KEY(TrigMenuButton, 28)
TAVLINK_KEY(MeasureButton, 50)
TAVLINK_KEY(AcquireButton, 10)
TAVLINK_KEY(DisplayButton, 39)
TAVLINK_KEY(SaveRecallButton, 25)
TAVLINK_KEY(UtilityButton, 36)
TAVLINK_KEY(CursorsButton, 45)
TAVLINK_KEY(DefaultSetupButton, 30)
TAVLINK_KEY(AutoButton, 20)
TAVLINK_KEY(Setto50Button, 46)
TAVLINK_KEY(ForceButton, 15)
TAVLINK_KEY(RunStopButton, 40)
TAVLINK_KEY(SingleButton, 35)
TAVLINK_KEY(MenuButton1, 38)
TAVLINK_KEY(MenuButton2, 26)
TAVLINK_KEY(MenuButton3, 13)
TAVLINK_KEY(MenuButton4, 23)
TAVLINK_KEY(MenuButton5, 43)
TAVLINK_KEY(HorizontalLargeSpinClickDown, 21)
TAVLINK_KEY(Ch1VerLargeSpinClickDown, 17)
TAVLINK_KEY(Ch2VerLargeSpinClickDown, 27)
TAVLINK_KEY(Ch3VerLargeSpinClickDown, 37)
TAVLINK_KEY(Ch4VerLargeSpinClickDown, 47)

TAVLINK_KNOB(DeltaposHorizontalLargeSpin, 144, 135)
TAVLINK_KNOB(DeltaposHorizontalSmallSpin, 177, 186)
TAVLINK_KNOB(DeltaposCh1VerLargeSpin, 92, 83)
TAVLINK_KNOB(DeltaposCh2VerLargeSpin, 104, 95)
TAVLINK_KNOB(DeltaposCh3VerLargeSpin, 146, 137)
TAVLINK_KNOB(DeltaposCh4VerLargeSpin, 188, 179)
TAVLINK_KNOB(DeltaposCh1VerSmallSpin, 62, 71)
TAVLINK_KNOB(DeltaposCh2VerSmallSpin, 72, 81)
TAVLINK_KNOB(DeltaposCh3VerSmallSpin, 114, 123)
TAVLINK_KNOB(DeltaposCh4VerSmallSpin, 156, 165)
TAVLINK_KNOB(DeltaposAllCanSpin, 219, 228)
TAVLINK_KNOB(DeltaposLevelSpin, 93, 102)

}  // extern "C"
