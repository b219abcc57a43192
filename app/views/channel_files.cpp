#include "channel_files.h"

#include "../platform/gbk.h"

#include <QList>
#include <cstdlib>
#include <cstring>

int MeasureFieldOfRow(int row) { return row == 27 ? 28 : row == 28 ? 27 : row; }

namespace {

// Texts go to the files in the Chinese ANSI code page, cut to the field.
void PutField(char *field, int width, const QString &text)
{
    const QByteArray bytes = vantor::CutGbk(vantor::ToGbk(text), width - 1);
    std::memset(field, 0, size_t(width));
    std::memcpy(field, bytes.constData(), size_t(bytes.size()));
}

QString GetField(const char *field, int width)
{
    const void *nul = std::memchr(field, 0, size_t(width));
    const int length = nul ? int(static_cast<const char *>(nul) - field) : width;
    return vantor::FromGbk(QByteArray(field, length));
}

}  // namespace

QByteArray EncodeChannelFile(const ChannelFileContent &content)
{
    ChannelFileHeader header{};
    header.nCount = int32_t(content.samples.size());
    header.nTextLength = content.measured ? int32_t(sizeof(MeasurementText)) : 0;
    header.bMeasured = content.measured ? 1 : 0;
    header.nKind = content.kind;

    ChannelInfoRecord info{};
    std::memcpy(info.lamps, content.lamps.data(), sizeof info.lamps);
    PutField(info.szSecDiv, sizeof info.szSecDiv, content.params[0]);
    PutField(info.szHoriPos, sizeof info.szHoriPos, content.params[1]);
    PutField(info.szVoltsDiv, sizeof info.szVoltsDiv, content.params[2]);
    PutField(info.szVertPos, sizeof info.szVertPos, content.params[3]);
    PutField(info.szTrigLevel, sizeof info.szTrigLevel, content.params[4]);

    QByteArray out;
    out.reserve(int(sizeof header + content.samples.size() + sizeof info + sizeof(MeasurementText)));
    out.append(reinterpret_cast<const char *>(&header), sizeof header);
    out.append(content.samples);
    out.append(reinterpret_cast<const char *>(&info), sizeof info);
    if (content.measured) {
        MeasurementText text{};
        for (int row = 0; row < 32; ++row)
            PutField(text.field[MeasureFieldOfRow(row)], 10, content.measures[size_t(row)]);
        out.append(reinterpret_cast<const char *>(&text), sizeof text);
    }
    return out;
}

bool DecodeChannelFile(const QByteArray &bytes, ChannelFileContent &content)
{
    ChannelFileHeader header{};
    if (bytes.size() < qsizetype(sizeof header))
        return false;
    std::memcpy(&header, bytes.constData(), sizeof header);
    if (header.nCount < 0 || header.nCount > kMaxFileSamples)
        return false;
    if (header.nTextLength != 0 && header.nTextLength != int32_t(sizeof(MeasurementText)))
        return false;
    const qsizetype textBytes = header.bMeasured ? header.nTextLength : 0;
    const qsizetype need = qsizetype(sizeof header) + header.nCount + qsizetype(sizeof(ChannelInfoRecord)) + textBytes;
    if (bytes.size() < need)
        return false;

    ChannelFileContent out;
    out.kind = header.nKind;
    out.measured = header.bMeasured != 0;
    const char *p = bytes.constData() + sizeof header;
    out.samples = QByteArray(p, header.nCount);
    p += header.nCount;
    ChannelInfoRecord info;
    std::memcpy(&info, p, sizeof info);
    p += sizeof info;
    std::memcpy(out.lamps.data(), info.lamps, sizeof info.lamps);
    out.params[0] = GetField(info.szSecDiv, sizeof info.szSecDiv);
    out.params[1] = GetField(info.szHoriPos, sizeof info.szHoriPos);
    out.params[2] = GetField(info.szVoltsDiv, sizeof info.szVoltsDiv);
    out.params[3] = GetField(info.szVertPos, sizeof info.szVertPos);
    out.params[4] = GetField(info.szTrigLevel, sizeof info.szTrigLevel);
    if (out.measured) {
        MeasurementText text{};
        std::memcpy(&text, p, size_t(textBytes));
        for (int row = 0; row < 32; ++row)
            out.measures[size_t(row)] = GetField(text.field[MeasureFieldOfRow(row)], 10);
    }
    content = std::move(out);
    return true;
}

// ---- .csv ---------------------------------------------------------------------------

namespace {

constexpr int kCsvCellBytes = 9;

void AppendLine(QByteArray &out, const QByteArray &text)
{
    out.append(text);
    out.append("\r\n", 2);
}

QByteArray CsvCell(const QString &text) { return vantor::CutGbk(vantor::ToGbk(text), kCsvCellBytes); }

}  // namespace

QByteArray EncodeGraphFile(const GraphFileContent &content)
{
    QByteArray out;
    out.reserve(content.cells.size() * 5 + 64 + 32 * 11);
    AppendLine(out, QByteArray::number(content.cells.size()));
    AppendLine(out, content.measured ? "320" : "0");
    AppendLine(out, content.measured ? "1" : "0");
    AppendLine(out, "2");
    for (const QByteArray &cell : content.cells)
        AppendLine(out, cell.left(kCsvCellBytes));
    for (const QString &param : content.params)
        AppendLine(out, CsvCell(param));
    if (content.measured)
        for (const QString &measure : content.measures)
            AppendLine(out, CsvCell(measure));
    return out;
}

uint8_t LeadingByte(const char *text, int length)
{
    char buffer[32];
    length = std::min<int>(length, int(sizeof buffer) - 1);
    std::memcpy(buffer, text, size_t(length));
    buffer[length] = 0;
    return uint8_t(std::atoi(buffer));
}

GraphFileResult DecodeGraphFile(const QByteArray &bytes, GraphFileContent &content)
{
    // Lines end in CR LF on disk; a lone LF is read the same way.
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    if (lines.size() < 4)
        return GraphFileResult::Malformed;
    const QByteArray first = lines[0].trimmed();
    const int count = std::atoi(first.constData());
    const bool measured = std::atoi(lines[2].constData()) != 0;
    if (std::atoi(lines[3].constData()) != 2)
        return GraphFileResult::WrongKind;
    if (count < 0 || count > kMaxFileSamples)
        return GraphFileResult::Malformed;
    const qsizetype need = 4 + qsizetype(count) + 5 + (measured ? 32 : 0);
    if (lines.size() < need)
        return GraphFileResult::Malformed;

    GraphFileContent out;
    out.measured = measured;
    out.cells = lines.mid(4, count);
    for (int i = 0; i < 5; ++i)
        out.params[size_t(i)] = vantor::FromGbk(lines[4 + count + i]);
    if (measured)
        for (int i = 0; i < 32; ++i)
            out.measures[size_t(i)] = vantor::FromGbk(lines[4 + count + 5 + i]);
    content = std::move(out);
    return GraphFileResult::Ok;
}
