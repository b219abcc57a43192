// Command line of vantorctl: what the user asked for, checked before any link is opened.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantorctl {

// Distinct codes so scripts can tell a typo from a dead cable from a refusal.
enum ExitCode : int {
    kExitOk = 0,
    kExitInternal = 1,
    kExitUsage = 2,
    kExitLink = 3,
    kExitRefused = 4,
    kExitFile = 5,
    kExitInterrupted = 130,  // 128 + SIGINT
};

struct LinkSpec {
    enum Kind { Usb, SerialPort, SerialDevice, Tcp };
    Kind kind = Usb;
    int comPort = 0;     // SerialPort: n of "COMn"
    std::string device;  // SerialDevice: path of the tty
    int baud = 9600;
    std::string host;  // Tcp
    int tcpPort = 0;
};

// "usb", "serial:COM3@115200", "serial:/dev/ttyS0", "tcp:127.0.0.1:8001".
std::optional<LinkSpec> parseLinkSpec(std::string_view text, std::string &error);
std::string describeLink(const LinkSpec &link);

enum class Command {
    Help,
    Version,
    Identify,
    Status,
    Waveform,
    SettingsGet,
    SettingsPut,
    Key,
    Knob,
    Screenshot,
    Measure,
};

enum class WaveFormat { Csv, Raw, Json };

struct Options {
    LinkSpec link;
    Command command = Command::Help;
    bool quiet = false;
    // waveform
    int channel = 0;
    bool memory = false;
    bool measure = false;
    WaveFormat format = WaveFormat::Csv;
    std::string output;  // empty: standard output
    // measure
    int repeat = 1;
    int intervalMs = 1000;
    // settings and screenshot
    std::string file;
    // key and knob
    std::string name;
    int delta = 0;
};

struct ParseResult {
    std::optional<Options> options;
    std::string error;  // set when options is empty
};

// args excludes the program name.
ParseResult parseArguments(const std::vector<std::string> &args);
std::string helpText();

// Strict decimal integer; no trailing garbage, no overflow.
std::optional<long> parseInteger(std::string_view text);

}  // namespace vantorctl
