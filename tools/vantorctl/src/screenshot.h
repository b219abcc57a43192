// The screen bitmap transfer as the application runs it: begin, chunks with retries, end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vantorctl {

// The link calls of the transfer, replaceable so the retry rule can be checked alone.
struct BitmapLink {
    std::function<bool(uint32_t *total)> begin;
    std::function<int(int index, int expected, uint8_t *buffer, uint32_t *length)> chunk;
    std::function<bool()> end;
    std::function<void(unsigned ms)> sleep;
    // Asked before each chunk: true ends the transfer there.
    std::function<bool()> stopRequested = [] { return false; };
};

BitmapLink tavlinkBitmapLink(std::function<void(unsigned)> sleep, std::function<bool()> stopRequested = {});

struct BitmapTransfer {
    enum Status {
        Done,
        BeginFailed,
        TooLarge,     // the announced size is not a plausible screen
        ChunkFailed,  // one chunk failed kMaxChunkFailures times in a row
        BadChunk,     // the link handed over a length its buffer cannot hold
        WriteFailed,  // the sink refused the bytes
        EndFailed,    // every byte arrived but the end was not acknowledged
        Stopped,      // the user asked to stop; the end was sent
    };
    Status status = BeginFailed;
    uint32_t total = 0;
    uint64_t received = 0;
    int chunks = 0;        // chunks delivered
    int failedChunk = -1;  // index of the chunk given up on
    int retries = 0;       // failed chunk calls over the whole transfer
};

constexpr int kMaxChunkFailures = 6;
constexpr unsigned kChunkPauseMs = 20;
constexpr uint32_t kMaxBitmapBytes = 64u << 20;
constexpr size_t kChunkBufferBytes = 25600;

using BitmapSink = std::function<bool(const uint8_t *data, size_t size)>;
using BitmapProgress = std::function<void(uint64_t received, uint32_t total)>;

// The end is sent whatever happens after the begin was tried.
BitmapTransfer transferBitmap(const BitmapLink &link, const BitmapSink &sink, const BitmapProgress &progress = {});

}  // namespace vantorctl
