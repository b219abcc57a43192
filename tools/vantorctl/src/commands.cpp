#include "commands.h"

#include "controls.h"
#include "files.h"
#include "format.h"
#include "measure.h"
#include "screenshot.h"
#include "session.h"

#include <tavlink.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace vantorctl {
namespace {

std::string systemError() { return std::strerror(errno); }

std::string printf2(double value, const char *unit)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f%s", value, unit);
    return text;
}

using HoriVertTrig = bool (*)(char[50], int *, char *, bool);
constexpr HoriVertTrig kHoriVertTrig[4] = {Get_CH1_HoriP_VertP_Trig, Get_CH2_HoriP_VertP_Trig, Get_CH3_HoriP_VertP_Trig,
                                           Get_CH4_HoriP_VertP_Trig};

using WaveRead = bool (*)(unsigned char[24000], int *, unsigned char *);
constexpr WaveRead kScreenRecord[4] = {GetParameter_CH1_WaveData_And_wavepnt, GetParameter_CH2_WaveData_And_wavepnt,
                                       GetParameter_CH3_WaveData_And_wavepnt, GetParameter_CH4_WaveData_And_wavepnt};
constexpr WaveRead kMemoryRecord[4] = {GetParameter_CH1_AllWaveData, GetParameter_CH2_AllWaveData,
                                       GetParameter_CH3_AllWaveData, GetParameter_CH4_AllWaveData};

constexpr const char *kLampNames[TAVLINK_LAMP_COUNT] = {"run/stop", "lamp1", "single", "ch1", "ch2",
                                                        "ch3",      "ch4",   "math",   "ref", "cursor"};

int identify(Session &session, Context &c)
{
    char name[20], ident[10], text[16], code = 0, family = 0;
    GetProductType(name, ident, &code, &family, text);
    int fam = static_cast<unsigned char>(family);
    c.out << "link: " << describeLink(session.link()) << "\n"
          << "product name: " << fieldText(name, sizeof name) << "\n"
          << "identification: " << fieldText(ident, sizeof ident) << "\n"
          << "product text: " << fieldText(text, sizeof text) << "\n"
          << "product code: " << int(static_cast<signed char>(code)) << "\n"
          << "family: " << fam << " (" << (fam == 3 ? "four" : "two") << " channels)\n";
    return kExitOk;
}

int status(Session &session, Context &c)
{
    unsigned char on[4] = {};
    if (!IsCHOpen(&on[0], &on[1], &on[2], &on[3]))
        return session.reportFailure("the status request");
    // Everything below reads the status IsCHOpen just stored.
    char horizontal[50] = {};
    int vertical = 0;
    char trigger = 0;
    kHoriVertTrig[0](horizontal, &vertical, &trigger, true);
    double volts = 0, level = 0, timeBase = 0;
    char voltsUnit[5] = {}, timeUnit[5] = {};
    Get_Vol_Level_TimeBase(1, &volts, &level, &timeBase, voltsUnit, timeUnit, true);
    c.out << "time base: " << printf2(timeBase, fieldText(timeUnit, 5).c_str()) << "/div\n"
          << "horizontal position: " << fieldText(horizontal, sizeof horizontal) << "\n"
          << "trigger: " << int(static_cast<unsigned char>(trigger)) << "\n";
    for (int ch = 1; ch <= session.channelCount(); ++ch) {
        kHoriVertTrig[ch - 1](horizontal, &vertical, &trigger, true);
        Get_Vol_Level_TimeBase(ch, &volts, &level, &timeBase, voltsUnit, timeUnit, true);
        std::string unit = fieldText(voltsUnit, 5);
        c.out << "CH" << ch << ": " << (on[ch - 1] ? "on" : "off");
        // A channel never reported on has no values of its own yet.
        if (on[ch - 1] || !unit.empty())
            c.out << ", " << printf2(volts, unit.c_str()) << "/div, vertical position " << vertical << ", level "
                  << int(level);
        c.out << "\n";
    }
    unsigned char *lamps = nullptr;
    if (!GetTheLedStatus(&lamps) || !lamps)
        return session.reportFailure("the lamp request");
    c.out << "lamps:";
    for (int k = 0; k < TAVLINK_LAMP_COUNT; ++k)
        c.out << " " << kLampNames[k] << "=" << int(lamps[k]);
    c.out << "\n";
    return kExitOk;
}

int waveform(Session &session, const Options &o, Context &c)
{
    if (o.channel > session.channelCount()) {
        c.err << "vantorctl: the instrument has " << session.channelCount() << " channels; there is no channel "
              << o.channel << "\n";
        return kExitRefused;
    }
    unsigned char flags[4] = {};
    if (o.measure)
        flags[o.channel - 1] = 1;
    IsNeedParam(flags[0], flags[1], flags[2], flags[3]);
    std::vector<unsigned char> samples(TAVLINK_RECORD_BYTES);
    std::vector<unsigned char> wavepnt(TAVLINK_WAVEPNT_BYTES);
    int count = 0;
    WaveRead read = (o.memory ? kMemoryRecord : kScreenRecord)[o.channel - 1];
    if (!read(samples.data(), &count, o.measure ? wavepnt.data() : nullptr))
        return session.reportFailure(std::string("the ") + (o.memory ? "memory" : "screen") + " record of channel " +
                                     std::to_string(o.channel));
    if (count < 0 || count > TAVLINK_RECORD_BYTES) {
        c.err << "vantorctl: the instrument reported " << count << " samples, outside 0 to " << TAVLINK_RECORD_BYTES
              << "\n";
        return kExitLink;
    }
    MeasureBlock measures{};
    if (o.measure)
        measures = decodeMeasureBlock(wavepnt.data());

    std::ostringstream data;
    switch (o.format) {
    case WaveFormat::Csv: writeCsv(data, samples.data(), count); break;
    case WaveFormat::Raw: data.write(reinterpret_cast<const char *>(samples.data()), count); break;
    case WaveFormat::Json:
        writeJson(data, o.channel, o.memory, samples.data(), count, o.measure ? &measures : nullptr);
        break;
    }
    const std::string bytes = data.str();
    if (c.stopRequested())
        return kExitInterrupted;
    if (o.output.empty()) {
        c.out << bytes;
    } else {
        std::string error;
        if (!writeFileSafely(o.output, bytes.data(), bytes.size(), error)) {
            c.err << "vantorctl: " << error << "\n";
            return kExitFile;
        }
    }
    if (o.measure && o.format != WaveFormat::Json)
        writeMeasureTable(o.output.empty() ? c.err : c.out, measures);
    return kExitOk;
}

int settingsGet(Session &session, const Options &o, Context &c)
{
    unsigned char block[TAVLINK_SETTINGS_BYTES] = {};
    if (!GetParameter_SettingData(block))
        return session.reportFailure("the settings request");
    if (c.stopRequested())
        return kExitInterrupted;
    std::string error;
    if (!writeFileSafely(o.file, block, sizeof block, error)) {
        c.err << "vantorctl: " << error << "\n";
        return kExitFile;
    }
    c.out << o.file << ": " << sizeof block << " bytes of settings saved\n";
    return kExitOk;
}

int settingsPut(Session &session, const Options &o, Context &c, const unsigned char (&block)[TAVLINK_SETTINGS_BYTES])
{
    if (!SendParameter_SettingData(block))
        return session.reportFailure("the settings block");
    c.out << o.file << ": settings sent\n";
    return kExitOk;
}

int key(Session &session, const Options &o, Context &c)
{
    const KeyControl *control = findKey(o.name);
    if (!control->press())
        return session.reportFailure(std::string("the key ") + control->label);
    c.out << control->label << " pressed\n";
    return kExitOk;
}

int knob(Session &session, const Options &o, Context &c)
{
    const KnobControl *control = findKnob(o.name);
    if (!control->turn(o.delta))
        return session.reportFailure(std::string("the ") + control->label);
    c.out << control->label << " turned by " << o.delta << "\n";
    return kExitOk;
}

// The screen arrives in pieces; an older file of the same name survives a failed transfer.
int screenshot(Session &session, const Options &o, Context &c, SafeFile &file)
{
    int lastPercent = -1;
    auto progress = [&](uint64_t received, uint32_t total) {
        if (o.quiet || total <= 24000)
            return;
        int percent = total ? static_cast<int>(received * 100 / total) : 100;
        if (percent == lastPercent)
            return;
        lastPercent = percent;
        c.err << (c.progressIsTerminal ? "\r" : "") << "screenshot: " << received << " of " << total << " bytes ("
              << percent << "%)" << (c.progressIsTerminal ? "" : "\n");
        if (c.progressIsTerminal && received >= total)
            c.err << "\n";
        c.err.flush();
    };
    std::string writeError;
    auto sink = [&](const uint8_t *data, size_t size) { return file.write(data, size, writeError); };
    BitmapTransfer t = transferBitmap(tavlinkBitmapLink(c.sleep, c.stopRequested), sink, progress);
    if (t.status == BitmapTransfer::Done && !file.commit(writeError))
        t.status = BitmapTransfer::WriteFailed;
    if (t.status != BitmapTransfer::Done)
        file.abandon();
    switch (t.status) {
    case BitmapTransfer::Done: c.out << o.file << ": " << t.received << " bytes of screen saved\n"; return kExitOk;
    case BitmapTransfer::BeginFailed: return session.reportFailure("the screen transfer");
    case BitmapTransfer::TooLarge:
        c.err << "vantorctl: the instrument announced a screen of " << t.total << " bytes and sent " << t.received
              << "; transfer abandoned\n";
        return kExitLink;
    case BitmapTransfer::ChunkFailed:
        c.err << "vantorctl: screen chunk " << t.failedChunk << " failed " << kMaxChunkFailures
              << " times in a row; transfer abandoned\n";
        return kExitLink;
    case BitmapTransfer::BadChunk:
        c.err << "vantorctl: screen chunk " << t.failedChunk
              << " arrived with an impossible length; transfer abandoned\n";
        return kExitLink;
    case BitmapTransfer::WriteFailed: c.err << "vantorctl: " << writeError << "\n"; return kExitFile;
    case BitmapTransfer::EndFailed:
        c.err << "vantorctl: the instrument did not acknowledge the end of the screen transfer\n";
        return kExitLink;
    case BitmapTransfer::Stopped: return kExitInterrupted;
    }
    return kExitInternal;
}

// The command itself, once the instrument is bound.
int runBound(const Options &o, Context &c, Session &session, const unsigned char (&settings)[TAVLINK_SETTINGS_BYTES],
             SafeFile &bitmapFile)
{
    switch (o.command) {
    case Command::Identify: return identify(session, c);
    case Command::Status: return status(session, c);
    case Command::Waveform: return waveform(session, o, c);
    case Command::SettingsGet: return settingsGet(session, o, c);
    case Command::SettingsPut: return settingsPut(session, o, c, settings);
    case Command::Key: return key(session, o, c);
    case Command::Knob: return knob(session, o, c);
    case Command::Screenshot: return screenshot(session, o, c, bitmapFile);
    case Command::Measure: return measure(session, o, c);
    case Command::Help:
    case Command::Version: break;
    }
    return kExitOk;
}

}  // namespace

bool readSettingsFile(const std::string &path, unsigned char (&block)[2500], std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path + ": " + systemError();
        return false;
    }
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size != TAVLINK_SETTINGS_BYTES) {
        error = path + " is " + std::to_string(size < 0 ? 0 : size) + " bytes long; a settings file holds exactly " +
                std::to_string(TAVLINK_SETTINGS_BYTES) + " bytes";
        return false;
    }
    in.seekg(0);
    if (!in.read(reinterpret_cast<char *>(block), TAVLINK_SETTINGS_BYTES)) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

int runCommand(const Options &o, Context &c)
{
    if (o.command == Command::Help) {
        c.out << helpText();
        return kExitOk;
    }
    if (o.command == Command::Version) {
        c.out << "vantorctl " << VANTORCTL_VERSION << "\n";
        return kExitOk;
    }

    // Local problems first, so a bad file costs no traffic.
    unsigned char settings[TAVLINK_SETTINGS_BYTES] = {};
    SafeFile bitmapFile;
    std::string error;
    if (o.command == Command::SettingsPut && !readSettingsFile(o.file, settings, error)) {
        c.err << "vantorctl: " << error << "\n";
        return kExitFile;
    }
    if (o.command == Command::Screenshot && !bitmapFile.open(o.file, error)) {
        c.err << "vantorctl: " << error << "\n";
        return kExitFile;
    }

    Session session(o.link, c.err);
    int code = session.open();
    if (code == kExitOk && !c.stopRequested())
        code = session.bind();
    if (code != kExitOk)
        return code;

    code = c.stopRequested() ? kExitInterrupted : runBound(o, c, session, settings, bitmapFile);
    // After a failure the unbind is still sent, but the first failure is the one worth reporting.
    int unbound = session.unbind(code == kExitOk);
    if (code == kExitOk)
        code = unbound;
    session.close();
    if (c.stopRequested()) {
        c.err << "vantorctl: interrupted\n";
        return kExitInterrupted;
    }
    return code;
}

}  // namespace vantorctl
