#include "helpers.h"

#include <algorithm>
#include <cstring>

namespace vsimtest {

std::vector<uint8_t> request(uint8_t command, std::vector<uint8_t> payload)
{
    std::vector<uint8_t> f(16 + payload.size(), 0);
    std::memcpy(f.data(), "DSOPPV20", 8);
    uint32_t n = uint32_t(payload.size());
    f[8] = uint8_t(n >> 24);
    f[9] = uint8_t(n >> 16);
    f[10] = uint8_t(n >> 8);
    f[11] = uint8_t(n);
    f[13] = command;
    std::copy(payload.begin(), payload.end(), f.begin() + 16);
    return f;
}

std::vector<uint8_t> readRequest(uint8_t kind, uint8_t flag) { return request(vsim::CmdRead, {kind, flag, 0, 0}); }

std::vector<uint8_t> keyRequest(uint8_t code, uint8_t count) { return request(vsim::CmdKey, {code, count, 0, 0}); }

std::vector<uint8_t> chunkRequest(uint32_t index)
{
    return request(vsim::CmdBmpChunk,
                   {0, 0, 0, 0, uint8_t(index >> 24), uint8_t(index >> 16), uint8_t(index >> 8), uint8_t(index)});
}

uint32_t be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

float beFloat(const uint8_t *p)
{
    uint32_t v = be32(p);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

std::string text(const uint8_t *p, size_t n)
{
    std::string s(reinterpret_cast<const char *>(p), n);
    return s.substr(0, s.find('\0'));
}

Parsed parse(const std::vector<uint8_t> &frame)
{
    Parsed r;
    if (frame.size() < 16)
        return r;
    uint32_t n = be32(&frame[8]);
    r.command = frame[13];
    r.ok = std::memcmp(frame.data(), "DSOPPV20", 8) == 0 && frame[12] != 0 && frame.size() == 16 + size_t(n);
    if (frame.size() >= 16)
        r.payload.assign(frame.begin() + 16, frame.end());
    return r;
}

Parsed ask(vsim::Instrument &inst, const std::vector<uint8_t> &req)
{
    vsim::Instrument::Reply reply = inst.handle(req.data(), req.size());
    if (reply.drop)
        return {};
    return parse(reply.bytes);
}

}  // namespace vsimtest
