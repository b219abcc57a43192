#include "cli.h"

#include "controls.h"

#include <cerrno>
#include <charconv>
#include <climits>

namespace vantorctl {

std::optional<long> parseInteger(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    long value = 0;
    const char *first = text.data();
    const char *last = text.data() + text.size();
    if (*first == '+')
        ++first;  // from_chars takes '-' but not '+'
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || first == last)
        return std::nullopt;
    return value;
}

namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool parsePort(std::string_view text, int &port)
{
    auto value = parseInteger(text);
    if (!value || *value < 1 || *value > 65535)
        return false;
    port = static_cast<int>(*value);
    return true;
}

}  // namespace

std::optional<LinkSpec> parseLinkSpec(std::string_view text, std::string &error)
{
    LinkSpec link;
    if (text == "usb") {
        link.kind = LinkSpec::Usb;
        return link;
    }
    if (startsWith(text, "serial:")) {
        std::string_view rest = text.substr(7);
        auto at = rest.rfind('@');
        if (at != std::string_view::npos) {
            auto baud = parseInteger(rest.substr(at + 1));
            if (!baud || *baud <= 0 || *baud > 4000000) {
                error = "invalid baud rate in '" + std::string(text) + "'";
                return std::nullopt;
            }
            link.baud = static_cast<int>(*baud);
            rest = rest.substr(0, at);
        }
        if (rest.empty()) {
            error = "missing serial port in '" + std::string(text) + "'";
            return std::nullopt;
        }
        if (startsWith(rest, "COM") || startsWith(rest, "com")) {
            auto n = parseInteger(rest.substr(3));
            if (!n || *n < 1 || *n > 255) {
                error = "invalid COM port in '" + std::string(text) + "' (COM1 to COM255)";
                return std::nullopt;
            }
            link.kind = LinkSpec::SerialPort;
            link.comPort = static_cast<int>(*n);
            return link;
        }
        link.kind = LinkSpec::SerialDevice;
        link.device = std::string(rest);
        return link;
    }
    if (startsWith(text, "tcp:")) {
        std::string_view rest = text.substr(4);
        auto colon = rest.rfind(':');
        if (colon == std::string_view::npos || colon == 0) {
            error = "expected tcp:HOST:PORT, got '" + std::string(text) + "'";
            return std::nullopt;
        }
        if (!parsePort(rest.substr(colon + 1), link.tcpPort)) {
            error = "invalid TCP port in '" + std::string(text) + "' (1 to 65535)";
            return std::nullopt;
        }
        link.kind = LinkSpec::Tcp;
        link.host = std::string(rest.substr(0, colon));
        return link;
    }
    error = "unknown link '" + std::string(text) +
            "' (expected usb, serial:COMn[@baud], serial:DEVICE[@baud] or tcp:HOST:PORT)";
    return std::nullopt;
}

std::string describeLink(const LinkSpec &link)
{
    switch (link.kind) {
    case LinkSpec::Usb: return "usb";
    case LinkSpec::SerialPort:
        return "serial COM" + std::to_string(link.comPort) + " at " + std::to_string(link.baud) + " baud";
    case LinkSpec::SerialDevice: return "serial " + link.device + " at " + std::to_string(link.baud) + " baud";
    case LinkSpec::Tcp: return "tcp " + link.host + ":" + std::to_string(link.tcpPort);
    }
    return "?";
}

namespace {

struct Parser {
    const std::vector<std::string> &args;
    size_t i = 0;
    std::string error;

    bool fail(std::string text)
    {
        error = std::move(text);
        return false;
    }

    // "--name=value" or "--name value".
    bool takeValue(const std::string &arg, std::string_view name, std::string &value)
    {
        if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 && arg[name.size()] == '=') {
            value = arg.substr(name.size() + 1);
            return true;
        }
        if (i + 1 >= args.size())
            return fail(std::string(name) + " needs a value");
        value = args[++i];
        return true;
    }
};

bool isOptionName(const std::string &arg, std::string_view name)
{
    return arg == name ||
           (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 && arg[name.size()] == '=');
}

bool looksLikeNumber(const std::string &arg) { return parseInteger(arg).has_value(); }

}  // namespace

ParseResult parseArguments(const std::vector<std::string> &args)
{
    ParseResult result;
    Options options;
    Parser p{args, 0, {}};
    std::vector<std::string> words;
    bool sawChannel = false, sawFormat = false, sawOutput = false, sawRepeat = false;
    bool endOfOptions = false;
    bool help = false, version = false;

    auto failed = [&](std::string text) {
        result.error = std::move(text);
        return result;
    };

    for (; p.i < args.size(); ++p.i) {
        const std::string &arg = args[p.i];
        if (endOfOptions || arg.empty() || arg[0] != '-' || arg == "-" || looksLikeNumber(arg)) {
            words.push_back(arg);
            continue;
        }
        std::string value;
        if (arg == "--") {
            endOfOptions = true;
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (isOptionName(arg, "--link")) {
            if (!p.takeValue(arg, "--link", value))
                return failed(p.error);
            auto link = parseLinkSpec(value, result.error);
            if (!link)
                return result;
            options.link = *link;
        } else if (isOptionName(arg, "--channel")) {
            if (!p.takeValue(arg, "--channel", value))
                return failed(p.error);
            auto n = parseInteger(value);
            if (!n || *n < 1 || *n > 4)
                return failed("--channel must be 1, 2, 3 or 4");
            options.channel = static_cast<int>(*n);
            sawChannel = true;
        } else if (isOptionName(arg, "--repeat") || isOptionName(arg, "--interval")) {
            const bool repeat = isOptionName(arg, "--repeat");
            if (!p.takeValue(arg, repeat ? "--repeat" : "--interval", value))
                return failed(p.error);
            auto n = parseInteger(value);
            if (!n || *n < (repeat ? 1 : 0) || *n > (repeat ? 1000000 : 3600000))
                return failed(repeat ? "--repeat must be a whole number from 1 to 1000000"
                                     : "--interval must be a whole number of milliseconds from 0 to 3600000");
            (repeat ? options.repeat : options.intervalMs) = static_cast<int>(*n);
            sawRepeat = true;
        } else if (arg == "--memory") {
            options.memory = true;
        } else if (arg == "--measure") {
            options.measure = true;
        } else if (isOptionName(arg, "--format")) {
            if (!p.takeValue(arg, "--format", value))
                return failed(p.error);
            if (value == "csv")
                options.format = WaveFormat::Csv;
            else if (value == "raw")
                options.format = WaveFormat::Raw;
            else if (value == "json")
                options.format = WaveFormat::Json;
            else
                return failed("--format must be csv, raw or json");
            sawFormat = true;
        } else if (arg == "-o" || isOptionName(arg, "--output")) {
            if (!p.takeValue(arg, arg == "-o" ? "-o" : "--output", value))
                return failed(p.error);
            if (value.empty())
                return failed("the output file name is empty");
            options.output = value;
            sawOutput = true;
        } else {
            return failed("unknown option '" + arg + "'");
        }
    }

    if (help) {
        options.command = Command::Help;
        result.options = options;
        return result;
    }
    if (version) {
        options.command = Command::Version;
        result.options = options;
        return result;
    }
    if (words.empty())
        return failed("no command given");

    const std::string &command = words[0];
    auto expectWords = [&](size_t n, const char *synopsis) -> bool {
        if (words.size() == n)
            return true;
        result.error = std::string(words.size() < n ? "missing argument" : "too many arguments") +
                       "; usage: vantorctl " + synopsis;
        return false;
    };

    if (command == "identify") {
        if (!expectWords(1, "identify"))
            return result;
        options.command = Command::Identify;
    } else if (command == "status") {
        if (!expectWords(1, "status"))
            return result;
        options.command = Command::Status;
    } else if (command == "waveform") {
        if (!expectWords(1, "waveform --channel N [--memory] [--measure] [--format F] [-o FILE]"))
            return result;
        if (!sawChannel)
            return failed("waveform needs --channel N");
        options.command = Command::Waveform;
    } else if (command == "settings") {
        if (words.size() < 2 || (words[1] != "get" && words[1] != "put"))
            return failed("usage: vantorctl settings get|put FILE.ssf");
        if (!expectWords(3, "settings get|put FILE.ssf"))
            return result;
        if (words[2].empty())
            return failed("the settings file name is empty");
        options.command = words[1] == "get" ? Command::SettingsGet : Command::SettingsPut;
        options.file = words[2];
    } else if (command == "key") {
        if (!expectWords(2, "key NAME"))
            return result;
        if (!findKey(words[1]))
            return failed("unknown key '" + words[1] + "' (see vantorctl --help for the names)");
        options.command = Command::Key;
        options.name = words[1];
    } else if (command == "knob") {
        if (!expectWords(3, "knob NAME DELTA"))
            return result;
        if (!findKnob(words[1]))
            return failed("unknown knob '" + words[1] + "' (see vantorctl --help for the names)");
        auto delta = parseInteger(words[2]);
        if (!delta || *delta < -kMaxKnobDetents || *delta > kMaxKnobDetents)
            return failed("DELTA must be a whole number from -" + std::to_string(kMaxKnobDetents) + " to " +
                          std::to_string(kMaxKnobDetents));
        options.command = Command::Knob;
        options.name = words[1];
        options.delta = static_cast<int>(*delta);
    } else if (command == "screenshot") {
        if (!expectWords(2, "screenshot FILE.bmp"))
            return result;
        if (words[1].empty())
            return failed("the bitmap file name is empty");
        options.command = Command::Screenshot;
        options.file = words[1];
    } else if (command == "measure") {
        if (!expectWords(1, "measure --channel N [--repeat K] [--interval MS] [--format csv|json] [-o FILE]"))
            return result;
        if (!sawChannel)
            return failed("measure needs --channel N");
        if (options.format == WaveFormat::Raw)
            return failed("measure writes csv or json");
        options.command = Command::Measure;
    } else {
        return failed("unknown command '" + command + "'");
    }

    const bool measure = options.command == Command::Measure;
    if (sawRepeat && !measure)
        return failed("--repeat and --interval belong to the measure command");
    if (measure && (options.memory || options.measure))
        return failed("--memory and --measure belong to the waveform command");
    if (options.command != Command::Waveform && !measure &&
        (sawChannel || sawFormat || sawOutput || options.memory || options.measure))
        return failed("--channel, --memory, --measure, --format and -o belong to the waveform "
                      "command");

    result.options = options;
    return result;
}

namespace {

// Wraps the names of a control table under a heading at about 90 columns.
template <typename Table> void appendNames(std::string &text, const Table &table)
{
    size_t column = 6;
    for (const auto &control : table) {
        std::string_view name = control.name;
        if (column + name.size() + 1 > 90) {
            text += "\n     ";
            column = 6;
        }
        text += ' ';
        text += name;
        column += name.size() + 1;
    }
}

}  // namespace

std::string helpText()
{
    std::string text = "Usage: vantorctl [--link LINK] [--quiet] COMMAND [ARGUMENTS]\n"
                       "\n"
                       "Talks to the oscilloscope through Tavlink. Every command binds the instrument first\n"
                       "and unbinds it at the end.\n"
                       "\n"
                       "Links (--link, default usb):\n"
                       "  usb                      the instrument on USB (FERRULE_SIM_SOCKET=PATH selects the\n"
                       "                           virtual instrument's socket instead)\n"
                       "  serial:COMn[@baud]       serial port n (default 9600 baud)\n"
                       "  serial:DEVICE[@baud]     a serial device such as /dev/ttyS0 or a pty\n"
                       "  tcp:HOST:PORT            the network (the instrument listens on port 8001)\n"
                       "\n"
                       "Commands:\n"
                       "  identify                 product name, identification fields, product code, family\n"
                       "  status                   volts/div, time base, positions, trigger, lamps, channels on\n"
                       "  waveform --channel N [--memory] [--measure] [--format csv|raw|json] [-o FILE]\n"
                       "                           the channel's screen record (--memory: the whole memory\n"
                       "                           record); csv has a header line, then index,sample per line;\n"
                       "                           raw is the sample bytes; --measure adds the instrument's 32\n"
                       "                           measurements (inside the json; for csv and raw on standard\n"
                       "                           output when -o is given, else on standard error)\n"
                       "  settings get FILE.ssf    save the 2500-byte settings block\n"
                       "  settings put FILE.ssf    send a 2500-byte settings block to the instrument\n"
                       "  key NAME                 press a front-panel key or push a knob (names in any case)\n"
                       "  knob NAME DELTA          turn a knob by DELTA detents (-255 to 255)\n"
                       "  screenshot FILE.bmp      save the instrument's screen\n"
                       "  measure --channel N [--repeat K] [--interval MS] [--format csv|json] [-o FILE]\n"
                       "                           the channel's 32 measurements K times (default 1), MS apart\n"
                       "                           (default 1000): local time, the values in V, s, Hz, % and\n"
                       "                           degrees, the verdicts against the default limits; csv has a\n"
                       "                           header line, json is one object per line\n"
                       "\n"
                       "Keys:";
    appendNames(text, keyControls());
    text += "\nKnobs:";
    appendNames(text, knobControls());
    text += "\n\n"
            "Options:\n"
            "  --link LINK              the transport (above)\n"
            "  -q, --quiet              no progress on standard error\n"
            "  -h, --help               this text\n"
            "  --version                the program's version\n"
            "\n"
            "Exit codes: 0 done, 2 usage error, 3 link failure (nothing answers, transfer broken),\n"
            "4 the instrument refused the command, 5 file error, 1 internal error, 130 interrupted\n"
            "(Ctrl-C: what was started is ended and the instrument unbound first).\n"
            "Files are replaced only once written whole.\n";
    return text;
}

}  // namespace vantorctl
