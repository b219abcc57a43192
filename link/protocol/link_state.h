// State and helpers shared by the session, transfer, key and bitmap sources.
// Everything here is internal to the library (hidden visibility).
#ifndef TAVLINK_LINK_STATE_H
#define TAVLINK_LINK_STATE_H

#include <cstdint>
#include <cstring>

#include "tavlink_diag.h"

namespace tavlink {

// One frame always fits one of the library's 25600-byte buffers.
constexpr uint32_t kBufferBytes = 25600;
constexpr uint32_t kHeaderBytes = 16;
constexpr uint32_t kMaxPayload = kBufferBytes - kHeaderBytes;

enum : uint8_t {
    CMD_BIND = 1,
    CMD_UNBIND = 2,
    CMD_KEY = 4,
    CMD_READ = 5,
    CMD_WRITE_SETTINGS = 10,
    CMD_BMP_BEGIN = 11,
    CMD_BMP_CHUNK = 12,
    CMD_BMP_END = 13,
};

constexpr unsigned kWaitSession = 600;  // bind, unbind, settings write, IsCHOpen

// Family of the last accepted bind reply; selects record lengths and layouts.
extern uint8_t ModelFamily;

// The one place every protocol wait goes through (replaceable for tests).
void Sleep(unsigned milliseconds);

// One framed request and reply (the body of LinkExchange).
int Exchange(uint8_t command, const uint8_t *payload, uint32_t length, unsigned waitMs);

// The outcome of the exchange in progress (diagnostics.cpp). A parser that
// refuses a reply says why through Fail or Refuse and returns their result.
void BeginExchange(uint8_t command, int readKind);
int EndExchange(int result);
// Records why the exchange fails; returns 1, the result of a failed exchange.
int Fail(int cause, int value = 0);
// The instrument's status byte: 0 passes, anything else is its refusal and
// the exchange's result.
int Refuse(uint8_t statusByte);
// Something worth knowing that did not fail the exchange.
void Notice(int cause, int value, int limit = 0);

// Read kinds whose replies the library stores (status, settings, records).
bool IsStoredReadKind(int kind);

// Reply parsers owned by the other sources; payload and its length as received.
int ParseDataReply(const uint8_t *payload, uint32_t length);
int ParseBmpBeginReply(const uint8_t *payload, uint32_t length);
int ParseBmpChunkReply(const uint8_t *payload, uint32_t length);
int ParseBmpEndReply(const uint8_t *payload, uint32_t length);

inline uint32_t ReadBE32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline void WriteBE32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

inline float ReadBEFloat(const uint8_t *p)
{
    const uint32_t bits = ReadBE32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Status bytes are signed on the wire; the result carries the sign.
inline int StatusByte(uint8_t b) { return int(int8_t(b)); }

}  // namespace tavlink

#endif
