#include "screenshot.h"

#include <tavlink.h>

#include <vector>

namespace vantorctl {

BitmapLink tavlinkBitmapLink(std::function<void(unsigned)> sleep, std::function<bool()> stopRequested)
{
    BitmapLink link;
    link.begin = [](uint32_t *total) { return Send_Bmp_Begin_Invoke(total); };
    link.chunk = [](int index, int expected, uint8_t *buffer, uint32_t *length) {
        return Send_Bmp_Trans_Invoke(index, expected, buffer, length);
    };
    link.end = [] { return Send_Bmp_End_Invoke(); };
    link.sleep = std::move(sleep);
    if (stopRequested)
        link.stopRequested = std::move(stopRequested);
    return link;
}

BitmapTransfer transferBitmap(const BitmapLink &link, const BitmapSink &sink, const BitmapProgress &progress)
{
    BitmapTransfer result;
    auto finish = [&](BitmapTransfer::Status status) {
        bool ended = link.end();
        result.status = status == BitmapTransfer::Done && !ended ? BitmapTransfer::EndFailed : status;
        return result;
    };

    uint32_t total = 0;
    if (!link.begin(&total))
        return finish(BitmapTransfer::BeginFailed);
    result.total = total;
    if (total > kMaxBitmapBytes)
        return finish(BitmapTransfer::TooLarge);

    // The link copies a whole chunk buffer, not just the chunk's bytes.
    std::vector<uint8_t> buffer(kChunkBufferBytes);
    int index = 0;
    int failures = 0;
    for (;;) {
        if (link.stopRequested())
            return finish(BitmapTransfer::Stopped);
        std::fill(buffer.begin(), buffer.end(), 0);
        uint32_t length = 0;
        int status = link.chunk(index, index, buffer.data(), &length);
        link.sleep(kChunkPauseMs);
        if (status != 0 && status != 2) {
            ++result.retries;
            if (++failures >= kMaxChunkFailures) {
                result.failedChunk = index;
                return finish(BitmapTransfer::ChunkFailed);
            }
            continue;
        }
        // A delivered chunk that claims nothing would never finish the transfer.
        if (length > buffer.size() || (length == 0 && status == 0)) {
            result.failedChunk = index;
            return finish(BitmapTransfer::BadChunk);
        }
        if (!sink(buffer.data(), length))
            return finish(BitmapTransfer::WriteFailed);
        result.received += length;
        ++result.chunks;
        failures = 0;
        if (progress)
            progress(result.received, total);
        if (status == 2)
            return finish(BitmapTransfer::Done);
        // More than announced without the link calling it complete: its count is broken.
        if (result.received > total)
            return finish(BitmapTransfer::TooLarge);
        ++index;
    }
}

}  // namespace vantorctl
