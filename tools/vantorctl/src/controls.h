// Front-panel keys and knobs by the names the command line uses.
#pragma once

#include <span>
#include <string_view>

namespace vantorctl {

struct KeyControl {
    const char *name;
    const char *label;  // as printed on the instrument
    bool (*press)();
};

struct KnobControl {
    const char *name;
    const char *label;
    bool (*turn)(int detents);
};

std::span<const KeyControl> keyControls();
std::span<const KnobControl> knobControls();
const KeyControl *findKey(std::string_view name);
const KnobControl *findKnob(std::string_view name);

// One knob command carries the detent count in 8 bits.
constexpr int kMaxKnobDetents = 255;

}  // namespace vantorctl
