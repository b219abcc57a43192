// Requests and replies as a host would build and read them.
#ifndef VSIM_TEST_HELPERS_H
#define VSIM_TEST_HELPERS_H

#include <cstdint>
#include <string>
#include <vector>

#include "vsim/instrument.h"

namespace vsimtest {

std::vector<uint8_t> request(uint8_t command, std::vector<uint8_t> payload = {0, 0, 0, 0});
std::vector<uint8_t> readRequest(uint8_t kind, uint8_t flag = 0);
std::vector<uint8_t> keyRequest(uint8_t code, uint8_t count = 1);
std::vector<uint8_t> chunkRequest(uint32_t index);

struct Parsed {
    bool ok = false;  // magic, direction and length agree
    uint8_t command = 0;
    std::vector<uint8_t> payload;
};
Parsed parse(const std::vector<uint8_t> &frame);

// One exchange in-process; the payload of a well-formed reply.
Parsed ask(vsim::Instrument &inst, const std::vector<uint8_t> &req);

uint32_t be32(const uint8_t *p);
float beFloat(const uint8_t *p);
std::string text(const uint8_t *p, size_t n);

}  // namespace vsimtest

#endif
