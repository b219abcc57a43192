// Tavserial: the C exports over one open serial line.
#include "tavserial.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "lineform.h"
#include "serial_line.h"

namespace {

using tavserial::LineParser;

static_assert(TAVSERIAL_OVERHEAD == tavserial::kOverhead);
static_assert(TAVSERIAL_MAX_FRAME == tavserial::kMaxFrame);

// A write may take as long as the bytes need at the line's speed, plus this.
constexpr long long kWriteSlackMs = 1000;

struct UartState {
    std::unique_ptr<tavserial::SerialLine> line;
    int baud = 0;
    std::map<int, std::string> paths;
    int firstByteMs = 2000;
    int interByteMs = 500;
    LineParser parser;
    int readStatus = TAVSERIAL_READ_NOT_OPEN;
};

UartState &state()
{
    static UartState s;
    return s;
}

std::string devicePath(int port)
{
    const auto &paths = state().paths;
    if (auto it = paths.find(port); it != paths.end())
        return it->second;
    return "/dev/ttyUSB" + std::to_string(port - 1);
}

int writeTimeoutMs(int length, int baud)
{
    // Ten bit times per byte (8N1).
    const long long ms = kWriteSlackMs + (long long)length * 10 * 1000 / baud;
    return ms > 0x7FFFFFFF ? 0x7FFFFFFF : int(ms);
}

// One reply frame off the line; the status says what became of it.
int readFrame(UartState &s, unsigned char *buffer, int *length)
{
    LineParser &parser = s.parser;
    parser.reset();
    unsigned char chunk[4096];
    bool heardAnything = false;
    for (;;) {
        // Never take bytes of a following form off the line.
        const size_t want = std::min(parser.wanted(), sizeof chunk);
        const long n = s.line->readSome(chunk, want, heardAnything ? s.interByteMs : s.firstByteMs);
        if (n < 0)
            return TAVSERIAL_READ_BROKEN;
        if (n == 0) {
            if (parser.dropping())
                return TAVSERIAL_READ_BAD_LENGTH;
            return parser.inForm() ? TAVSERIAL_READ_CUT : heardAnything ? TAVSERIAL_READ_NOISE : TAVSERIAL_READ_SILENT;
        }
        heardAnything = true;
        parser.feed(chunk, size_t(n));
        switch (parser.status()) {
        case LineParser::Status::Frame: {
            const auto frame = parser.frame();
            std::memcpy(buffer, frame.data(), frame.size());
            *length = int(frame.size());
            return TAVSERIAL_READ_OK;
        }
        case LineParser::Status::BadCrc: return TAVSERIAL_READ_BAD_CRC;
        case LineParser::Status::BadLength: return TAVSERIAL_READ_BAD_LENGTH;
        case LineParser::Status::Pending: break;
        }
        // A line that only ever carries noise must not hold the caller.
        if (parser.skipped() > tavserial::kMaxLine)
            return TAVSERIAL_READ_NOISE;
    }
}

}  // namespace

extern "C" {

TAVSERIAL_API int InitUart(int port, int baud)
{
    UartState &s = state();
    s.line.reset();
    if (port < 1 || baud <= 0)
        return 0;
    s.line = tavserial::openSerialLine(devicePath(port), baud);
    if (!s.line)
        return 0;
    s.baud = baud;
    return 1;
}

TAVSERIAL_API int PackUart(const unsigned char *frame, int length, unsigned char *out)
{
    if (length <= 0)
        return 0;
    return int(tavserial::pack(frame, size_t(length), out));
}

TAVSERIAL_API int WriteUart(const unsigned char *buffer, int length)
{
    UartState &s = state();
    if (!s.line || buffer == nullptr || length <= 0)
        return 0;
    return s.line->writeAll(buffer, size_t(length), writeTimeoutMs(length, s.baud)) ? 1 : 0;
}

TAVSERIAL_API int ReadUart(unsigned char *buffer, int *length)
{
    UartState &s = state();
    if (length)
        *length = 0;
    if (!s.line || buffer == nullptr || length == nullptr) {
        s.readStatus = TAVSERIAL_READ_NOT_OPEN;
        return 0;
    }
    s.readStatus = readFrame(s, buffer, length);
    return s.readStatus == TAVSERIAL_READ_OK ? 1 : 0;
}

TAVSERIAL_API int GetUartReadStatus(void) { return state().readStatus; }

TAVSERIAL_API int UnInitUart(void)
{
    UartState &s = state();
    const bool wasOpen = s.line != nullptr;
    s.line.reset();
    return wasOpen ? 1 : 0;
}

TAVSERIAL_API int SetUartPortPath(int port, const char *path)
{
    if (port < 1)
        return 0;
    auto &paths = state().paths;
    if (path == nullptr || *path == '\0')
        paths.erase(port);
    else
        paths[port] = path;
    return 1;
}

TAVSERIAL_API void SetUartTimeouts(int firstByteMs, int interByteMs)
{
    UartState &s = state();
    if (firstByteMs > 0)
        s.firstByteMs = firstByteMs;
    if (interByteMs > 0)
        s.interByteMs = interByteMs;
}

TAVSERIAL_API int DiscardUartInput(void)
{
    UartState &s = state();
    if (!s.line)
        return 0;
    s.line->discardInput();
    return 1;
}

}  // extern "C"
