// The channel files: the binary wave data layout shared by .wdf and .wmf,
// and the wave graph's .csv text. Pure encoders and decoders; the pages
// gather the cells and spread a decoded file over their tables.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>

#pragma pack(push, 1)
struct ChannelFileHeader {
    int32_t nCount;
    int32_t nTextLength;
    uint8_t bMeasured;
    uint8_t nKind;
    uint8_t reserved[2];
};
struct ChannelInfoRecord {
    uint8_t lamps[10];
    char szSecDiv[10];
    char szHoriPos[10];
    char szVoltsDiv[10];
    char szVertPos[5];
    char szTrigLevel[7];
};
struct MeasurementText {
    char field[32][10];
};
#pragma pack(pop)
static_assert(sizeof(ChannelFileHeader) == 12);
static_assert(sizeof(ChannelInfoRecord) == 52);
static_assert(sizeof(MeasurementText) == 320);

constexpr int kMaxFileSamples = 24000;
enum FileKind : uint8_t { kKindWaveData = 0, kKindMeasure = 1, kKindGraph = 2 };

// One column as the files carry it.
struct ChannelFileContent {
    uint8_t kind = kKindWaveData;
    bool measured = false;
    QByteArray samples;                // the sample bytes, nCount of them
    std::array<uint8_t, 10> lamps{};   // in file order
    std::array<QString, 5> params;     // Sec/div .. Trig level
    std::array<QString, 32> measures;  // measurement rows 0..31
};

// Field k of the measurement text holds row k, except 27 and 28 swap.
int MeasureFieldOfRow(int row);

QByteArray EncodeChannelFile(const ChannelFileContent &content);
// False for a file that announces more than 24000 samples, holds fewer bytes
// than its layout needs, or has a text block other than 0 or 320 bytes;
// content is then untouched.
bool DecodeChannelFile(const QByteArray &bytes, ChannelFileContent &content);

// The .csv: texts rather than bytes, so a loaded cell keeps its text.
struct GraphFileContent {
    bool measured = false;
    QList<QByteArray> cells;  // sample cells, one per row
    std::array<QString, 5> params;
    std::array<QString, 32> measures;
};

QByteArray EncodeGraphFile(const GraphFileContent &content);
enum class GraphFileResult { Ok, WrongKind, Malformed };
// WrongKind: line 4 is not 2. Malformed: a count outside 0..24000 or fewer
// lines than announced. Content is written only on Ok.
GraphFileResult DecodeGraphFile(const QByteArray &bytes, GraphFileContent &content);

// A cell's leading integer as the design reads it (atoi), cut to a byte.
uint8_t LeadingByte(const char *text, int length);
