// The channel files a user opens: the binary .wdf/.wmf layout and the .csv
// text. Whatever decodes, encodes to a file that decodes to the same record.
#include "views/channel_files.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    ChannelFileContent channel;
    if (DecodeChannelFile(bytes, channel)) {
        ChannelFileContent again;
        if (!DecodeChannelFile(EncodeChannelFile(channel), again) || again.samples != channel.samples ||
            again.kind != channel.kind || again.measured != channel.measured || again.lamps != channel.lamps)
            __builtin_trap();
    }

    GraphFileContent graph;
    if (DecodeGraphFile(bytes, graph) == GraphFileResult::Ok) {
        GraphFileContent again;
        if (DecodeGraphFile(EncodeGraphFile(graph), again) != GraphFileResult::Ok ||
            again.cells.size() != graph.cells.size() || again.measured != graph.measured)
            __builtin_trap();
    }
    return 0;
}
