#include "vsim/control.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <sstream>
#include <vector>

namespace vsim {

namespace {

const char *const kNames[] = {
    "drop",
    "delay",
    "truncate",
    "wrong-magic",
    "zero-direction",
    "wrong-command",
    "oversize-length",
    "partial-writes",
    "disconnect",
    "refuse",
    "short-record",
    "oversize-record",
    "bad-chunk-checksum",
    "wrong-chunk-index",
    "chunk-fail",
    "wrong-read-kind",
};

bool toInt(const std::string &s, int &out)
{
    if (s.empty())
        return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = c == '_' ? '-' : char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::string faultName(Fault::Kind kind)
{
    size_t i = size_t(kind);
    return i < std::size(kNames) ? kNames[i] : "?";
}

std::optional<Fault> parseFault(const std::string &text, std::string *error)
{
    auto fail = [&](const std::string &why) -> std::optional<Fault> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    std::string lowered = lower(text);
    Fault fault{Fault::Drop};
    // The longest kind name that starts the text ("wrong-chunk-index" ends in x).
    size_t kindLength = 0;
    for (size_t i = 0; i < std::size(kNames); ++i) {
        std::string name = kNames[i];
        if (lowered.rfind(name, 0) == 0 && name.size() > kindLength &&
            (lowered.size() == name.size() || std::strchr(":@x", lowered[name.size()]))) {
            kindLength = name.size();
            fault.kind = Fault::Kind(i);
        }
    }
    if (kindLength == 0)
        return fail("unknown fault \"" + text + "\"");
    std::string rest = lowered.substr(kindLength);
    // Takes "<mark>VALUE" off the front of rest.
    auto field = [&](char mark, std::string &value) {
        if (rest.empty() || rest[0] != mark)
            return false;
        size_t end = rest.find_first_of(":@x", 1);
        value = rest.substr(1, end == std::string::npos ? std::string::npos : end - 1);
        rest.erase(0, end == std::string::npos ? rest.size() : end);
        return true;
    };
    std::string value;
    if (field(':', value) && !toInt(value, fault.arg))
        return fail("bad argument in \"" + text + "\"");
    if (field('@', value) && (!toInt(value, fault.command) || fault.command < 0 || fault.command > 255))
        return fail("bad command code in \"" + text + "\"");
    if (field('x', value)) {
        if (value == "*")
            fault.times = -1;
        else if (!toInt(value, fault.times) || fault.times == 0 || fault.times < -1)
            return fail("bad repeat count in \"" + text + "\"");
    }
    if (!rest.empty())
        return fail("unexpected \"" + rest + "\" in \"" + text + "\"");
    return fault;
}

std::string runControl(const std::string &line, Instrument &instrument, Server *server, bool &quit)
{
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    verb = lower(verb);
    std::vector<std::string> args;
    for (std::string a; in >> a;)
        args.push_back(a);
    int n = 0, m = 0;
    if (verb.empty())
        return "";
    if (verb == "quit" || verb == "exit") {
        quit = true;
        return "ok";
    }
    if (verb == "fault" && args.size() == 1) {
        std::string why;
        auto f = parseFault(args[0], &why);
        if (!f)
            return "error " + why;
        instrument.inject(*f);
        return "ok";
    }
    if (verb == "clear") {
        instrument.clearFaults();
        return "ok";
    }
    if ((verb == "unplug" || verb == "replug") && server) {
        if (verb == "unplug")
            server->unplugUsb();
        else
            server->replugUsb();
        return "ok";
    }
    if (verb == "model" && args.size() == 1 && toInt(args[0], n) && n >= 0 && n <= 127) {
        instrument.setProductCode(n);
        return "ok family " + std::to_string(instrument.family());
    }
    if (verb == "key" && !args.empty() && toInt(args[0], n) && n >= 0 && n <= 255) {
        if (args.size() > 1 && (!toInt(args[1], m) || m < 0 || m > 255))
            return "error bad count";
        uint8_t request[20] = {'D', 'S', 'O', 'P', 'P', 'V', '2', '0', 0, 0, 0, 4, 0, CmdKey};
        request[16] = uint8_t(n);
        request[17] = uint8_t(args.size() > 1 ? m : 1);
        Instrument::Reply r = instrument.handle(request, sizeof request);
        bool accepted = r.bytes.size() > 16 && r.bytes[16] == 0;
        return accepted ? "ok" : "error key refused";
    }
    if (verb == "signal" && args.size() >= 4 && toInt(args[0], n) && n >= 1 && n <= 4) {
        static const char *const kWaves[] = {"sine", "square", "triangle", "pulse", "noise"};
        auto w = std::find(std::begin(kWaves), std::end(kWaves), lower(args[1]));
        if (w == std::end(kWaves))
            return "error unknown wave";
        Signal s = instrument.state().channels[size_t(n - 1)].signal;
        try {
            s.wave = Wave(w - std::begin(kWaves));
            s.frequency = std::stod(args[2]);
            s.amplitude = std::stod(args[3]);
            if (args.size() > 4)
                s.offset = std::stod(args[4]);
        } catch (const std::exception &) {
            return "error bad number";
        }
        instrument.setSignal(n, s);
        return "ok";
    }
    if (verb == "commands") {
        std::string codes = "ok commands";
        for (uint8_t c : instrument.recentCommands())
            codes += " " + std::to_string(c);
        return codes;
    }
    if (verb == "reset") {
        instrument.reset();
        return "ok";
    }
    if (verb == "status") {
        auto l = instrument.lamps();
        std::string lamps;
        for (uint8_t v : l)
            lamps += char('0' + v);
        return "ok model " + std::to_string(instrument.productCode()) + " family " +
               std::to_string(instrument.family()) + " lamps " + lamps + " trigger " +
               std::to_string(instrument.triggerState()) + " faults " + std::to_string(instrument.faults().size());
    }
    return "error unknown command \"" + line + "\"";
}

}  // namespace vsim
