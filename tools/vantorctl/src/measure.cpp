#include "measure.h"

#include "files.h"

#include <measures.h>
#include <tavlink.h>

#include <chrono>
#include <string>
#include <vector>

namespace vantorctl {
namespace {

using ScreenRead = bool (*)(unsigned char[24000], int *, unsigned char *);
constexpr ScreenRead kScreenRead[4] = {GetParameter_CH1_WaveData_And_wavepnt, GetParameter_CH2_WaveData_And_wavepnt,
                                       GetParameter_CH3_WaveData_And_wavepnt, GetParameter_CH4_WaveData_And_wavepnt};

int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Rows go out as they come; a file is written beside its name and renamed
// over it at the end, so an older log survives a run that measured nothing.
class RowSink {
public:
    RowSink(const std::string &path, std::ostream &out) : path_(path), out_(out) {}
    bool open(std::string &error) { return path_.empty() || file_.open(path_, error); }
    bool write(const std::string &text)
    {
        if (path_.empty()) {
            out_ << text;
            out_.flush();
            return bool(out_);
        }
        std::string ignored;  // the commit reports what went wrong
        return file_.write(text.data(), text.size(), ignored);
    }
    bool commit(std::string &error) { return path_.empty() || file_.commit(error); }

private:
    std::string path_;
    std::ostream &out_;
    SafeFile file_;
};

}  // namespace

int measure(Session &session, const Options &o, Context &c)
{
    if (o.channel > session.channelCount()) {
        c.err << "vantorctl: the instrument has " << session.channelCount() << " channels; there is no channel "
              << o.channel << "\n";
        return kExitRefused;
    }
    RowSink sink(o.output, c.out);
    std::string error;
    if (!sink.open(error)) {
        c.err << "vantorctl: " << error << "\n";
        return kExitFile;
    }
    const bool json = o.format == WaveFormat::Json;
    if (!json && !sink.write(measures::TrendCsvHeader()))
        return kExitFile;
    unsigned char flags[4] = {};
    flags[o.channel - 1] = 1;
    IsNeedParam(flags[0], flags[1], flags[2], flags[3]);
    const auto limits = measures::DefaultLimits();
    std::vector<unsigned char> samples(TAVLINK_RECORD_BYTES);
    std::vector<unsigned char> block(TAVLINK_WAVEPNT_BYTES);
    int code = kExitOk, rows = 0;
    for (int i = 0; i < o.repeat && code == kExitOk; ++i) {
        if (i > 0)
            c.sleep(unsigned(o.intervalMs));
        unsigned char on[4] = {};
        if (!IsCHOpen(&on[0], &on[1], &on[2], &on[3])) {
            code = session.reportFailure("the status request");
            break;
        }
        if (!on[o.channel - 1]) {
            c.err << "vantorctl: channel " << o.channel << " is off; it has no measurements\n";
            code = kExitRefused;
            break;
        }
        int count = 0;
        std::fill(block.begin(), block.end(), 0);
        if (!kScreenRead[o.channel - 1](samples.data(), &count, block.data())) {
            code = session.reportFailure("the screen record of channel " + std::to_string(o.channel));
            break;
        }
        const measures::TrendRow row =
            measures::MakeTrendRow(measures::IsoLocalTime(nowMs()), o.channel, block.data(), on[0] && on[1], limits);
        if (!sink.write(json ? measures::TrendJsonLine(row) : measures::TrendCsvLine(row))) {
            c.err << "vantorctl: cannot write the measurements\n";
            code = kExitFile;
            break;
        }
        ++rows;
    }
    // What was measured before a failure is kept.
    if (rows > 0 && !sink.commit(error)) {
        c.err << "vantorctl: " << error << "\n";
        return kExitFile;
    }
    return code;
}

}  // namespace vantorctl
