#include "cli.h"
#include "controls.h"

#include <gtest/gtest.h>

#include <set>

using namespace vantorctl;

namespace {

ParseResult parse(std::vector<std::string> args) { return parseArguments(args); }

Options parseOk(std::vector<std::string> args)
{
    ParseResult r = parseArguments(args);
    EXPECT_TRUE(r.options.has_value()) << r.error;
    return r.options.value_or(Options{});
}

std::string parseError(std::vector<std::string> args)
{
    ParseResult r = parseArguments(args);
    EXPECT_FALSE(r.options.has_value());
    return r.error;
}

}  // namespace

TEST(LinkSpec, AcceptsEveryTransportForm)
{
    std::string error;
    auto usb = parseLinkSpec("usb", error);
    ASSERT_TRUE(usb);
    EXPECT_EQ(usb->kind, LinkSpec::Usb);

    auto com = parseLinkSpec("serial:COM3", error);
    ASSERT_TRUE(com);
    EXPECT_EQ(com->kind, LinkSpec::SerialPort);
    EXPECT_EQ(com->comPort, 3);
    EXPECT_EQ(com->baud, 9600);

    auto comBaud = parseLinkSpec("serial:COM12@115200", error);
    ASSERT_TRUE(comBaud);
    EXPECT_EQ(comBaud->comPort, 12);
    EXPECT_EQ(comBaud->baud, 115200);

    auto device = parseLinkSpec("serial:/dev/pts/7@38400", error);
    ASSERT_TRUE(device);
    EXPECT_EQ(device->kind, LinkSpec::SerialDevice);
    EXPECT_EQ(device->device, "/dev/pts/7");
    EXPECT_EQ(device->baud, 38400);

    auto tcp = parseLinkSpec("tcp:192.168.1.20:8001", error);
    ASSERT_TRUE(tcp);
    EXPECT_EQ(tcp->kind, LinkSpec::Tcp);
    EXPECT_EQ(tcp->host, "192.168.1.20");
    EXPECT_EQ(tcp->tcpPort, 8001);
}

TEST(LinkSpec, RefusesMalformedLinksWithAReason)
{
    const char *bad[] = {"",
                         "usb2",
                         "serial:",
                         "serial:COM0",
                         "serial:COM256",
                         "serial:COMx",
                         "serial:COM1@",
                         "serial:COM1@-5",
                         "serial:/dev/ttyS0@fast",
                         "tcp:",
                         "tcp:host",
                         "tcp::8001",
                         "tcp:host:0",
                         "tcp:host:65536",
                         "tcp:host:80x",
                         "udp:host:1"};
    for (const char *text : bad) {
        std::string error;
        EXPECT_FALSE(parseLinkSpec(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(LinkSpec, DescriptionNamesTheEndpoint)
{
    std::string error;
    EXPECT_EQ(describeLink(*parseLinkSpec("tcp:localhost:9000", error)), "tcp localhost:9000");
    EXPECT_EQ(describeLink(*parseLinkSpec("serial:COM2@19200", error)), "serial COM2 at 19200 baud");
}

TEST(Arguments, CommandsAndTheirOperands)
{
    EXPECT_EQ(parseOk({"identify"}).command, Command::Identify);
    EXPECT_EQ(parseOk({"status"}).command, Command::Status);
    EXPECT_EQ(parseOk({"--link", "usb", "identify"}).link.kind, LinkSpec::Usb);

    Options get = parseOk({"settings", "get", "a.ssf"});
    EXPECT_EQ(get.command, Command::SettingsGet);
    EXPECT_EQ(get.file, "a.ssf");
    EXPECT_EQ(parseOk({"settings", "put", "b.ssf"}).command, Command::SettingsPut);

    Options key = parseOk({"key", "runstop"});
    EXPECT_EQ(key.command, Command::Key);
    EXPECT_EQ(key.name, "runstop");

    Options shot = parseOk({"screenshot", "screen.bmp"});
    EXPECT_EQ(shot.command, Command::Screenshot);
    EXPECT_EQ(shot.file, "screen.bmp");
}

TEST(Arguments, LinkOptionWorksInBothSpellingsAndPlaces)
{
    Options before = parseOk({"--link", "tcp:127.0.0.1:8001", "status"});
    EXPECT_EQ(before.link.kind, LinkSpec::Tcp);
    EXPECT_EQ(before.link.tcpPort, 8001);
    Options after = parseOk({"status", "--link=serial:COM4@4800"});
    EXPECT_EQ(after.link.kind, LinkSpec::SerialPort);
    EXPECT_EQ(after.link.baud, 4800);
    EXPECT_NE(parseError({"status", "--link"}).find("needs a value"), std::string::npos);
    EXPECT_NE(parseError({"--link", "bogus", "status"}).find("unknown link"), std::string::npos);
}

TEST(Arguments, WaveformOptions)
{
    Options w = parseOk({"waveform", "--channel", "2", "--memory", "--measure", "--format", "json", "-o", "out.json"});
    EXPECT_EQ(w.command, Command::Waveform);
    EXPECT_EQ(w.channel, 2);
    EXPECT_TRUE(w.memory);
    EXPECT_TRUE(w.measure);
    EXPECT_EQ(w.format, WaveFormat::Json);
    EXPECT_EQ(w.output, "out.json");

    Options defaults = parseOk({"waveform", "--channel=4"});
    EXPECT_EQ(defaults.channel, 4);
    EXPECT_FALSE(defaults.memory);
    EXPECT_FALSE(defaults.measure);
    EXPECT_EQ(defaults.format, WaveFormat::Csv);
    EXPECT_TRUE(defaults.output.empty());
    EXPECT_EQ(parseOk({"waveform", "--channel", "1", "--format=raw"}).format, WaveFormat::Raw);

    EXPECT_NE(parseError({"waveform"}).find("--channel"), std::string::npos);
    EXPECT_FALSE(parse({"waveform", "--channel", "0"}).options);
    EXPECT_FALSE(parse({"waveform", "--channel", "5"}).options);
    EXPECT_FALSE(parse({"waveform", "--channel", "one"}).options);
    EXPECT_FALSE(parse({"waveform", "--channel", "1", "--format", "xml"}).options);
    EXPECT_FALSE(parse({"waveform", "--channel", "1", "-o"}).options);
    EXPECT_FALSE(parse({"waveform", "--channel", "1", "-o", ""}).options);
}

TEST(Arguments, WaveformOptionsBelongToTheWaveformCommandOnly)
{
    EXPECT_NE(parseError({"status", "--memory"}).find("waveform"), std::string::npos);
    EXPECT_FALSE(parse({"identify", "--channel", "1"}).options);
    EXPECT_FALSE(parse({"screenshot", "a.bmp", "-o", "b"}).options);
}

TEST(Arguments, MeasureOptions)
{
    Options o = parseOk({"measure", "--channel", "2", "--repeat", "5", "--interval=250", "--format", "json"});
    EXPECT_EQ(o.command, Command::Measure);
    EXPECT_EQ(o.channel, 2);
    EXPECT_EQ(o.repeat, 5);
    EXPECT_EQ(o.intervalMs, 250);
    EXPECT_EQ(o.format, WaveFormat::Json);
    EXPECT_EQ(parseOk({"measure", "--channel", "1"}).repeat, 1);
    EXPECT_NE(parseError({"measure"}).find("--channel"), std::string::npos);
    EXPECT_NE(parseError({"measure", "--channel", "1", "--repeat", "0"}).find("1 to"), std::string::npos);
    EXPECT_FALSE(parse({"measure", "--channel", "1", "--interval", "-1"}).options);
    EXPECT_FALSE(parse({"measure", "--channel", "1", "--format", "raw"}).options);
    EXPECT_FALSE(parse({"measure", "--channel", "1", "--memory"}).options);
    EXPECT_NE(parseError({"waveform", "--channel", "1", "--repeat", "2"}).find("measure"), std::string::npos);
}

TEST(Arguments, KnobDeltaIsSignedAndFitsOneCommand)
{
    Options left = parseOk({"knob", "ch1", "-3"});
    EXPECT_EQ(left.command, Command::Knob);
    EXPECT_EQ(left.name, "ch1");
    EXPECT_EQ(left.delta, -3);
    EXPECT_EQ(parseOk({"knob", "level", "+7"}).delta, 7);
    EXPECT_EQ(parseOk({"knob", "universal", "255"}).delta, 255);
    EXPECT_EQ(parseOk({"knob", "universal", "-255"}).delta, -255);
    // The count of a knob command is 8 bits; 300 would arrive as 44.
    EXPECT_NE(parseError({"knob", "level", "300"}).find("-255"), std::string::npos);
    EXPECT_FALSE(parse({"knob", "level", "-256"}).options);
    EXPECT_FALSE(parse({"knob", "level", "2.5"}).options);
    EXPECT_FALSE(parse({"knob", "level"}).options);
}

TEST(Arguments, UnknownNamesAndStrayWordsAreUsageErrors)
{
    EXPECT_NE(parseError({"key", "ch5"}).find("unknown key"), std::string::npos);
    EXPECT_NE(parseError({"knob", "volume", "1"}).find("unknown knob"), std::string::npos);
    EXPECT_NE(parseError({"frobnicate"}).find("unknown command"), std::string::npos);
    EXPECT_NE(parseError({}).find("no command"), std::string::npos);
    EXPECT_NE(parseError({"status", "extra"}).find("too many"), std::string::npos);
    EXPECT_NE(parseError({"settings", "get"}).find("missing"), std::string::npos);
    EXPECT_FALSE(parse({"settings", "copy", "a.ssf"}).options);
    EXPECT_FALSE(parse({"key"}).options);
    EXPECT_NE(parseError({"status", "--no-wait"}).find("unknown option"), std::string::npos);
}

TEST(Arguments, HelpAndVersionNeedNoCommand)
{
    EXPECT_EQ(parseOk({"--help"}).command, Command::Help);
    EXPECT_EQ(parseOk({"-h"}).command, Command::Help);
    EXPECT_EQ(parseOk({"status", "--help"}).command, Command::Help);
    EXPECT_EQ(parseOk({"--version"}).command, Command::Version);
    EXPECT_TRUE(parseOk({"-q", "status"}).quiet);
}

TEST(Arguments, DoubleDashEndsOptions)
{
    Options o = parseOk({"settings", "get", "--", "--odd-name.ssf"});
    EXPECT_EQ(o.file, "--odd-name.ssf");
}

TEST(Controls, EveryKeyAndKnobIsListedInTheHelpAndFoundByName)
{
    std::string help = helpText();
    std::set<std::string> names;
    for (const KeyControl &key : keyControls()) {
        EXPECT_TRUE(names.insert(key.name).second) << "duplicate key " << key.name;
        EXPECT_EQ(findKey(key.name), &key);
        EXPECT_NE(help.find(std::string(" ") + key.name), std::string::npos) << key.name;
        EXPECT_TRUE(parse({"key", key.name}).options) << key.name;
    }
    names.clear();
    for (const KnobControl &knob : knobControls()) {
        EXPECT_TRUE(names.insert(knob.name).second) << "duplicate knob " << knob.name;
        EXPECT_EQ(findKnob(knob.name), &knob);
        EXPECT_NE(help.find(std::string(" ") + knob.name), std::string::npos) << knob.name;
    }
    // Every front-panel key and every knob push has a name.
    EXPECT_EQ(keyControls().size(), 30u);
    EXPECT_EQ(knobControls().size(), 12u);
    // Names in any case, as printed on the panel or as listed.
    EXPECT_EQ(findKey("CH1"), findKey("ch1"));
    EXPECT_EQ(findKnob("Level"), findKnob("level"));
    EXPECT_EQ(findKey("ch1x"), nullptr);
}

TEST(Controls, DistinctExportsBehindDistinctNames)
{
    std::set<bool (*)()> presses;
    for (const KeyControl &key : keyControls())
        presses.insert(key.press);
    EXPECT_EQ(presses.size(), keyControls().size());
    std::set<bool (*)(int)> turns;
    for (const KnobControl &knob : knobControls())
        turns.insert(knob.turn);
    EXPECT_EQ(turns.size(), knobControls().size());
}

TEST(Integers, StrictDecimal)
{
    EXPECT_EQ(parseInteger("42"), 42);
    EXPECT_EQ(parseInteger("-42"), -42);
    EXPECT_EQ(parseInteger("+42"), 42);
    EXPECT_FALSE(parseInteger(""));
    EXPECT_FALSE(parseInteger("+"));
    EXPECT_FALSE(parseInteger("4 2"));
    EXPECT_FALSE(parseInteger("0x10"));
    EXPECT_FALSE(parseInteger("99999999999999999999999"));
}
