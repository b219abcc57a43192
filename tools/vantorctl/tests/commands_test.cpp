// The commands against the virtual instrument in this process, over loopback TCP: what they
// print, what they change on the instrument and how they fail.
#include "commands.h"
#include "format.h"

#include <tavlink_testing.h>
#include <tavnet.h>
#include <vsim/instrument.h>
#include <vsim/server.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

using namespace vantorctl;

namespace {

void noSleep(unsigned) {}

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

class Commands : public ::testing::Test {
protected:
    std::unique_ptr<vsim::Instrument> instrument;
    std::unique_ptr<vsim::Server> server;
    uint16_t port = 0;
    std::string dir;
    std::vector<unsigned> pauses;  // the program's own pauses

    void SetUp() override
    {
        TavlinkSetSleep(noSleep);
        DsoSetTimeouts(1000, 400);  // a dropped reply should not cost the default 3 s
        start(70);
        char pattern[] = "/tmp/vantorctl-cmd-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        server.reset();
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        TavlinkSetSleep(nullptr);
    }
    void start(int productCode)
    {
        server.reset();
        instrument = std::make_unique<vsim::Instrument>(productCode);
        server = std::make_unique<vsim::Server>(*instrument);
        port = server->startTcp();
    }

    Options options(std::vector<std::string> words)
    {
        words.insert(words.begin(), {"--link", "tcp:127.0.0.1:" + std::to_string(port)});
        ParseResult parsed = parseArguments(words);
        EXPECT_TRUE(parsed.options) << parsed.error;
        return parsed.options.value_or(Options{});
    }

    Outcome run(std::vector<std::string> words) { return runOptions(options(std::move(words))); }
    Outcome runOptions(const Options &o)
    {
        std::ostringstream out, err;
        Context context{out, err, [this](unsigned ms) { pauses.push_back(ms); }, false};
        Outcome r;
        r.code = runCommand(o, context);
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    std::string path(const char *name) const { return dir + "/" + name; }
};

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool exists(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

TEST_F(Commands, IdentifyNamesTheModelOfEachFamily)
{
    const std::pair<int, int> models[] = {{10, 0}, {58, 1}, {70, 3}, {78, 4}};
    for (auto [code, family] : models) {
        start(code);
        Outcome r = run({"identify"});
        ASSERT_EQ(r.code, kExitOk) << r.err;
        EXPECT_NE(r.out.find("product code: " + std::to_string(code) + "\n"), std::string::npos) << r.out;
        EXPECT_NE(
            r.out.find("family: " + std::to_string(family) + (family == 3 ? " (four channels)" : " (two channels)")),
            std::string::npos)
            << r.out;
        std::string name = instrument->productName();
        EXPECT_NE(r.out.find("product name: " + name.substr(0, name.find('\0'))), std::string::npos) << r.out;
    }
}

TEST_F(Commands, StatusShowsTheInstrumentsChannelsAndLamps)
{
    vsim::State s = instrument->state();
    s.channels[0].on = true;
    s.channels[1].on = false;
    s.channels[2].on = true;
    s.channels[3].on = false;
    instrument->setState(s);
    Outcome r = run({"status"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("CH1: on"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("CH2: off"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("CH3: on"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("CH4: off"), std::string::npos) << r.out;
    vsim::Scaled tb = vsim::timePerDiv(s.timeIndex);
    char text[64];
    std::snprintf(text, sizeof text, "time base: %.2f%s/div", double(tb.value), unitText(tb.unit));
    EXPECT_NE(r.out.find(text), std::string::npos) << r.out;
    auto lamps = instrument->lamps();
    std::string expected = "lamps: run/stop=" + std::to_string(lamps[0]);
    EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;
}

TEST_F(Commands, StatusOfATwoChannelModelStopsAtChannelTwo)
{
    start(58);
    Outcome r = run({"status"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("CH2: "), std::string::npos);
    EXPECT_EQ(r.out.find("CH3: "), std::string::npos);
}

TEST_F(Commands, MemoryRecordHasTheFamilysLengthAndTheInstrumentsSamples)
{
    vsim::State s = instrument->state();
    s.running = false;  // a stopped instrument sends the same record twice
    s.channels[0].on = true;
    instrument->setState(s);
    Options o = options({"waveform", "--channel", "1", "--memory", "-o", path("ch1.csv")});
    Outcome r = runOptions(o);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::istringstream csv(slurp(path("ch1.csv")));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "index,sample");
    std::vector<uint8_t> expected = instrument->record(5);
    ASSERT_EQ(int(expected.size()), vsim::familyRecordLength(3));
    size_t n = 0;
    while (std::getline(csv, line)) {
        ASSERT_LT(n, expected.size());
        EXPECT_EQ(line, std::to_string(n) + "," + std::to_string(expected[n])) << n;
        ++n;
    }
    EXPECT_EQ(n, expected.size());
}

TEST_F(Commands, RawAndJsonCarryTheSameRecord)
{
    vsim::State s = instrument->state();
    s.running = false;
    s.channels[1].on = true;
    instrument->setState(s);
    ASSERT_EQ(run({"waveform", "--channel", "2", "--format", "raw", "-o", path("ch2.raw")}).code, kExitOk);
    std::string raw = slurp(path("ch2.raw"));
    std::vector<uint8_t> expected = instrument->record(2);
    ASSERT_EQ(raw.size(), expected.size());
    EXPECT_TRUE(
        std::equal(raw.begin(), raw.end(), expected.begin(), [](char a, uint8_t b) { return uint8_t(a) == b; }));
    Outcome json = run({"waveform", "--channel", "2", "--format", "json"});
    ASSERT_EQ(json.code, kExitOk) << json.err;
    EXPECT_NE(json.out.find("\"count\":" + std::to_string(expected.size())), std::string::npos);
    EXPECT_NE(json.out.find("\"samples\":[" + std::to_string(expected[0]) + ","), std::string::npos);
}

TEST_F(Commands, MeasureAddsTheInstrumentsThirtyTwoItems)
{
    vsim::State s = instrument->state();
    s.running = false;
    s.channels[0].on = true;
    instrument->setState(s);
    Outcome r = run({"waveform", "--channel", "1", "--measure", "-o", path("m.csv")});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    int lines = 0;
    std::istringstream table(r.out);
    std::string line;
    while (std::getline(table, line)) {
        EXPECT_EQ(line.rfind(kMeasureItems[lines], 0), 0u) << line;
        ++lines;
    }
    EXPECT_EQ(lines, kMeasureCount);
    // A sine has a peak-to-peak value.
    EXPECT_EQ(r.out.find("Vpp             ****"), std::string::npos) << r.out;
}

TEST_F(Commands, MeasureRepeatsGiveOneRowEach)
{
    // CSV on standard output: the header, then a row per repeat, the pauses between them.
    Outcome r = run({"measure", "--channel", "1", "--repeat", "5", "--interval", "40"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::istringstream csv(r.out);
    std::vector<std::string> lines;
    for (std::string line; std::getline(csv, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 6u) << r.out;
    EXPECT_EQ(lines[0].rfind("time,channel,Vpp (V),", 0), 0u);
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), ','), 65) << lines[i];
        EXPECT_NE(lines[i].find("T"), std::string::npos);
        EXPECT_NE(lines[i].find(",1,"), std::string::npos);
    }
    EXPECT_EQ(pauses, (std::vector<unsigned>{40, 40, 40, 40}));

    // JSON into a file: one object per line; a channel that is off keeps an older file.
    r = run({"measure", "--channel", "2", "--repeat", "3", "--format", "json", "-o", path("m.json")});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const std::string json = slurp(path("m.json"));
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 3);
    EXPECT_EQ(json.rfind("{\"time\":\"", 0), 0u) << json;
    EXPECT_NE(json.find("\"channel\":2,\"Vpp (V)\":"), std::string::npos);
    vsim::State s = instrument->state();
    s.channels[1].on = false;
    instrument->setState(s);
    r = run({"measure", "--channel", "2", "-o", path("m.json")});
    EXPECT_EQ(r.code, kExitRefused);
    EXPECT_NE(r.err.find("channel 2 is off"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(path("m.json")), json);
    EXPECT_FALSE(exists(path("m.json.part")));
}

TEST_F(Commands, ChannelsBeyondTheModelAreRefusedWithoutTraffic)
{
    start(10);
    uint32_t before = instrument->requestsHandled();
    Outcome r = run({"waveform", "--channel", "3"});
    EXPECT_EQ(r.code, kExitRefused);
    EXPECT_NE(r.err.find("2 channels"), std::string::npos) << r.err;
    EXPECT_EQ(instrument->requestsHandled() - before, 2u);  // bind and unbind only
}

TEST_F(Commands, SettingsRoundTripRestoresTheInstrument)
{
    ASSERT_EQ(run({"settings", "get", path("saved.ssf")}).code, kExitOk);
    std::string block = slurp(path("saved.ssf"));
    ASSERT_EQ(block.size(), 2500u);
    std::vector<uint8_t> expected = instrument->encodeSettings();
    EXPECT_TRUE(
        std::equal(block.begin(), block.end(), expected.begin(), [](char a, uint8_t b) { return uint8_t(a) == b; }));
    vsim::State before = instrument->state();
    Outcome statusBefore = run({"status"});

    ASSERT_EQ(run({"knob", "horizontal", "3"}).code, kExitOk);
    ASSERT_EQ(run({"knob", "ch1", "-2"}).code, kExitOk);
    EXPECT_NE(instrument->state().timeIndex, before.timeIndex);
    EXPECT_NE(run({"status"}).out, statusBefore.out);

    Outcome put = run({"settings", "put", path("saved.ssf")});
    ASSERT_EQ(put.code, kExitOk) << put.err;
    EXPECT_EQ(instrument->state().timeIndex, before.timeIndex);
    EXPECT_EQ(instrument->state().channels[0].voltsIndex, before.channels[0].voltsIndex);
    EXPECT_EQ(run({"status"}).out, statusBefore.out);
}

TEST_F(Commands, SettingsFileOfTheWrongSizeIsRefusedBeforeBinding)
{
    std::ofstream(path("short.ssf"), std::ios::binary) << std::string(2499, 'x');
    uint32_t before = instrument->requestsHandled();
    Outcome r = run({"settings", "put", path("short.ssf")});
    EXPECT_EQ(r.code, kExitFile);
    EXPECT_NE(r.err.find("exactly 2500"), std::string::npos) << r.err;
    EXPECT_EQ(instrument->requestsHandled(), before);
}

TEST_F(Commands, KeysActOnTheInstrument)
{
    vsim::State s = instrument->state();
    bool ch2 = s.channels[1].on;
    bool running = s.running;
    Outcome r = run({"key", "ch2"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "CH2 pressed\n");
    EXPECT_NE(instrument->state().channels[1].on, ch2);
    ASSERT_EQ(run({"key", "runstop"}).code, kExitOk);
    EXPECT_NE(instrument->state().running, running);
}

TEST_F(Commands, KnobsTurnByTheirDelta)
{
    int volts = instrument->state().channels[1].voltsIndex;
    Outcome r = run({"knob", "ch2", "1"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "CH2 V/div knob turned by 1\n");
    int after = instrument->state().channels[1].voltsIndex;
    EXPECT_NE(after, volts);
    ASSERT_EQ(run({"knob", "ch2", "-1"}).code, kExitOk);
    EXPECT_EQ(instrument->state().channels[1].voltsIndex, volts);
}

TEST_F(Commands, ScreenshotIsTheInstrumentsBitmap)
{
    Outcome r = run({"screenshot", path("screen.bmp")});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::string bmp = slurp(path("screen.bmp"));
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(bmp.size(), instrument->renderBitmap().size());
    // The 20 ms pause after every chunk call is the program's own.
    ASSERT_FALSE(pauses.empty());
    for (unsigned ms : pauses)
        EXPECT_EQ(ms, 20u);
    EXPECT_EQ(pauses.size(), (bmp.size() + 23999) / 24000);
}

TEST_F(Commands, ScreenshotRetriesAFailingChunkFiveTimes)
{
    instrument->inject({vsim::Fault::ChunkFail, vsim::CmdBmpChunk, 5, 1});
    Outcome r = run({"screenshot", path("retried.bmp")});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(slurp(path("retried.bmp")).size(), instrument->renderBitmap().size());
}

TEST_F(Commands, ScreenshotGivesUpOnTheSixthFailureAndLeavesNoFile)
{
    instrument->inject({vsim::Fault::ChunkFail, vsim::CmdBmpChunk, 6, 1});
    Outcome r = run({"screenshot", path("failed.bmp")});
    EXPECT_EQ(r.code, kExitLink);
    EXPECT_NE(r.err.find("chunk 0 failed 6 times in a row"), std::string::npos) << r.err;
    EXPECT_FALSE(exists(path("failed.bmp")));
    EXPECT_FALSE(exists(path("failed.bmp.part")));
}

TEST_F(Commands, FailedScreenshotKeepsAnOlderFile)
{
    std::ofstream(path("old.bmp"), std::ios::binary) << "old picture";
    instrument->inject({vsim::Fault::ChunkFail, vsim::CmdBmpChunk, 6, 1});
    EXPECT_EQ(run({"screenshot", path("old.bmp")}).code, kExitLink);
    EXPECT_EQ(slurp(path("old.bmp")), "old picture");
}

TEST_F(Commands, RefusalAndSilenceAreToldApart)
{
    instrument->inject({vsim::Fault::Refuse, vsim::CmdKey, 1, 1});
    Outcome refused = run({"key", "force"});
    EXPECT_EQ(refused.code, kExitRefused);
    EXPECT_NE(refused.err.find("refused the key FORCE"), std::string::npos) << refused.err;

    instrument->inject({vsim::Fault::Drop, vsim::CmdKey, 0, -1});
    instrument->inject({vsim::Fault::Drop, vsim::CmdRead, 0, -1});
    Outcome silent = run({"key", "force"});
    EXPECT_EQ(silent.code, kExitLink);
    EXPECT_NE(silent.err.find("no valid answer"), std::string::npos) << silent.err;
}

TEST_F(Commands, UnreachableAddressIsALinkFailure)
{
    server.reset();  // nothing listens on the port any more
    Outcome r = run({"identify"});
    EXPECT_EQ(r.code, kExitLink);
    EXPECT_NE(r.err.find("cannot connect"), std::string::npos) << r.err;
}

TEST_F(Commands, FileErrorsHaveTheirOwnCode)
{
    Outcome r = run({"settings", "get", dir + "/no/such/folder/a.ssf"});
    EXPECT_EQ(r.code, kExitFile);
    EXPECT_NE(r.err.find("cannot create"), std::string::npos) << r.err;
    Outcome shot = run({"screenshot", dir + "/no/such/folder/a.bmp"});
    EXPECT_EQ(shot.code, kExitFile);
}
