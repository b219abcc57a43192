#include "controls.h"

#include <tavlink.h>

#include <algorithm>
#include <cctype>
#include <iterator>

namespace vantorctl {
namespace {

constexpr KeyControl kKeys[] = {
    {"ch1", "CH1", Ch1Button},
    {"ch2", "CH2", Ch2Button},
    {"ch3", "CH3", Ch3Button},
    {"ch4", "CH4", Ch4Button},
    {"math", "MATH", MathButton},
    {"ref", "REF", RefButton},
    {"hmenu", "H_MENU", HorizontalMenuButton},
    {"trig", "T_MENU", TrigMenuButton},
    {"measure", "MEASURE", MeasureButton},
    {"acquire", "ACQUIRE", AcquireButton},
    {"display", "DISPLAY", DisplayButton},
    {"saverecall", "SAVE", SaveRecallButton},
    {"utility", "UTILITY", UtilityButton},
    {"cursors", "CURSOR", CursorsButton},
    {"default", "DEF/SET", DefaultSetupButton},
    {"auto", "AUTO", AutoButton},
    {"set50", "SET 50%", Setto50Button},
    {"force", "FORCE", ForceButton},
    {"runstop", "RUN/STOP", RunStopButton},
    {"single", "SINGLE", SingleButton},
    {"mb1", "MB_1", MenuButton1},
    {"mb2", "MB_2", MenuButton2},
    {"mb3", "MB_3", MenuButton3},
    {"mb4", "MB_4", MenuButton4},
    {"mb5", "MB_5", MenuButton5},
    {"horizontal-push", "S/div knob", HorizontalLargeSpinClickDown},
    {"ch1-push", "CH1 V/div knob", Ch1VerLargeSpinClickDown},
    {"ch2-push", "CH2 V/div knob", Ch2VerLargeSpinClickDown},
    {"ch3-push", "CH3 V/div knob", Ch3VerLargeSpinClickDown},
    {"ch4-push", "CH4 V/div knob", Ch4VerLargeSpinClickDown},
};

constexpr KnobControl kKnobs[] = {
    {"horizontal", "S/div knob", DeltaposHorizontalLargeSpin},
    {"horizontal-fine", "horizontal position knob", DeltaposHorizontalSmallSpin},
    {"ch1", "CH1 V/div knob", DeltaposCh1VerLargeSpin},
    {"ch2", "CH2 V/div knob", DeltaposCh2VerLargeSpin},
    {"ch3", "CH3 V/div knob", DeltaposCh3VerLargeSpin},
    {"ch4", "CH4 V/div knob", DeltaposCh4VerLargeSpin},
    {"ch1-fine", "CH1 position knob", DeltaposCh1VerSmallSpin},
    {"ch2-fine", "CH2 position knob", DeltaposCh2VerSmallSpin},
    {"ch3-fine", "CH3 position knob", DeltaposCh3VerSmallSpin},
    {"ch4-fine", "CH4 position knob", DeltaposCh4VerSmallSpin},
    {"universal", "universal knob", DeltaposAllCanSpin},
    {"level", "trigger level knob", DeltaposLevelSpin},
};

// Names are taken in any case: "CH1" as printed on the panel, or "ch1".
template <typename T, size_t N> const T *findByName(const T (&table)[N], std::string_view name)
{
    auto same = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
               });
    };
    for (const T &entry : table)
        if (same(name, entry.name))
            return &entry;
    return nullptr;
}

}  // namespace

std::span<const KeyControl> keyControls() { return kKeys; }
std::span<const KnobControl> knobControls() { return kKnobs; }
const KeyControl *findKey(std::string_view name) { return findByName(kKeys, name); }
const KnobControl *findKnob(std::string_view name) { return findByName(kKnobs, name); }

}  // namespace vantorctl
