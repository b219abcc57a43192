#include "measure.h"

#include <measures.h>
#include <tavlink.h>

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
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
    ~RowSink()
    {
        if (file_) {
            std::fclose(file_);
            std::remove(part().c_str());
        }
    }
    bool open(std::string &error)
    {
        if (path_.empty())
            return true;
        file_ = std::fopen(part().c_str(), "wb");
        if (!file_)
            error = "cannot create " + path_ + ": " + std::strerror(errno);
        return file_ != nullptr;
    }
    bool write(const std::string &text)
    {
        if (!file_) {
            out_ << text;
            out_.flush();
            return bool(out_);
        }
        return std::fwrite(text.data(), 1, text.size(), file_) == text.size() && std::fflush(file_) == 0;
    }
    bool commit(std::string &error)
    {
        if (!file_)
            return true;
        const bool ok = ::fsync(::fileno(file_)) == 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!ok || !closed || std::rename(part().c_str(), path_.c_str()) != 0) {
            error = "cannot write " + path_ + ": " + std::strerror(errno);
            std::remove(part().c_str());
            return false;
        }
        return true;
    }

private:
    std::string part() const { return path_ + ".part"; }
    std::string path_;
    std::ostream &out_;
    std::FILE *file_ = nullptr;
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
