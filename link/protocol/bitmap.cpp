// The instrument's screen bitmap, moved in numbered, checksummed chunks.
#include "link_state.h"
#include "tavlink.h"

namespace tavlink {
namespace {

constexpr unsigned kWaitBegin = 2000;
constexpr unsigned kWaitChunk = 50;
constexpr unsigned kWaitEnd = 2500;

constexpr uint32_t kChunkDataOffset = 12;
constexpr uint32_t kChunkMaxData = 24000;
constexpr uint32_t kChunkFlagOffset = 24012;
constexpr uint32_t kChunkReplyBytes = kChunkFlagOffset + 2;

// A refused chunk is kChunkBad, which is what Fail() returns.
enum ChunkStatus : int { kChunkMore = 0, kChunkBad = 1, kChunkLast = 2 };

uint32_t TotalSize = 0;
uint32_t BytesReceived = 0;
uint32_t ExpectedIndex = 0;
uint32_t LastLength = 0;
int LastChunkStatus = kChunkBad;
uint8_t ChunkBuffer[TAVLINK_CHUNK_BYTES];

}  // namespace

int ParseBmpBeginReply(const uint8_t *payload, uint32_t length)
{
    if (length < 9)
        return Fail(TAVLINK_CAUSE_SHORT_REPLY);
    TotalSize = ReadBE32(payload + 4);
    if (payload[0] != 0)
        return Fail(TAVLINK_CAUSE_REFUSED, StatusByte(payload[0]));
    return Refuse(payload[8]);
}

namespace {

int CheckChunk(const uint8_t *payload, uint32_t length)
{
    // Every field sits at a fixed place: a shorter reply, or data that would
    // run into the error flags, is not a chunk.
    if (length < kChunkReplyBytes)
        return Fail(TAVLINK_CAUSE_SHORT_REPLY);
    const uint32_t dataLength = ReadBE32(payload + 4);
    if (dataLength > kChunkMaxData)
        return Fail(TAVLINK_CAUSE_BAD_REPLY);

    if (payload[kChunkFlagOffset] != 0 || payload[kChunkFlagOffset + 1] != 0)
        return Fail(TAVLINK_CAUSE_REFUSED,
                    payload[kChunkFlagOffset] ? payload[kChunkFlagOffset] : payload[kChunkFlagOffset + 1]);
    if (ReadBE32(payload) != ExpectedIndex)
        return Fail(TAVLINK_CAUSE_BAD_REPLY);
    LastLength = dataLength;
    if (dataLength == 0)
        return Fail(TAVLINK_CAUSE_BAD_REPLY);
    std::memset(ChunkBuffer, 0, sizeof ChunkBuffer);
    std::memcpy(ChunkBuffer, payload + kChunkDataOffset, dataLength);

    uint32_t sum = ReadBE32(payload + 8);
    for (uint32_t i = 0; i < dataLength; ++i)
        sum += ChunkBuffer[i];
    if (sum != 0)
        return Fail(TAVLINK_CAUSE_BAD_REPLY);

    BytesReceived += dataLength;
    return BytesReceived < TotalSize ? kChunkMore : kChunkLast;
}

}  // namespace

int ParseBmpChunkReply(const uint8_t *payload, uint32_t length)
{
    LastChunkStatus = CheckChunk(payload, length);
    return LastChunkStatus;
}

int ParseBmpEndReply(const uint8_t *payload, uint32_t length)
{
    if (length < 2)
        return Fail(TAVLINK_CAUSE_SHORT_REPLY);
    if (payload[0] != 0)
        return Fail(TAVLINK_CAUSE_REFUSED, StatusByte(payload[0]));
    return Refuse(payload[1]);
}

}  // namespace tavlink

using namespace tavlink;

extern "C" {

TAVLINK_API bool Send_Bmp_Begin_Invoke(uint32_t *total)
{
    TotalSize = 0;
    BytesReceived = 0;
    ExpectedIndex = 0;
    LastLength = 0;
    const uint8_t payload[4] = {};
    if (Exchange(CMD_BMP_BEGIN, payload, sizeof payload, kWaitBegin) != 0)
        return false;
    if (total)
        *total = TotalSize;
    return true;
}

TAVLINK_API int Send_Bmp_Trans_Invoke(int index, int expected, uint8_t *buffer, uint32_t *length)
{
    ExpectedIndex = uint32_t(expected);
    LastChunkStatus = kChunkBad;
    uint8_t payload[8] = {};
    WriteBE32(payload + 4, uint32_t(index));
    const int result = Exchange(CMD_BMP_CHUNK, payload, sizeof payload, kWaitChunk);
    if (result != 0 && LastChunkStatus != kChunkLast)
        return -1;
    if (buffer)
        std::memcpy(buffer, ChunkBuffer, sizeof ChunkBuffer);
    if (length)
        *length = LastLength;
    return LastChunkStatus;
}

TAVLINK_API bool Send_Bmp_End_Invoke(void)
{
    const uint8_t payload[4] = {};
    return Exchange(CMD_BMP_END, payload, sizeof payload, kWaitEnd) == 0;
}

}  // extern "C"
