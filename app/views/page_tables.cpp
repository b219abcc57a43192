#include "page_tables.h"

#include <cstring>

QColor FromColorRef(uint32_t colorRef)
{
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

namespace {

const char *const kColumnTitles[8] = {"#", "CH1", "CH2", "CH3", "CH4", "Chan5", "Chan6", "Chan7"};

// "0".."255" once, so a refresh of four full columns formats nothing.
struct DecimalTexts {
    char text[256][4];
    uint8_t length[256];
    DecimalTexts()
    {
        for (int v = 0; v < 256; ++v) {
            const int n = std::snprintf(text[v], sizeof text[v], "%d", v);
            length[v] = uint8_t(n);
        }
    }
};
const DecimalTexts &Decimals()
{
    static const DecimalTexts decimals;
    return decimals;
}

}  // namespace

void WaveDataTable::PutDecimal(Cell &cell, uint8_t value)
{
    const DecimalTexts &d = Decimals();
    std::memcpy(cell.text, d.text[value], 4);
    cell.length = d.length[value];
}

WaveDataTable::WaveDataTable(QObject *parent) : QAbstractTableModel(parent)
{
    for (Column &cells : m_columns)
        cells.assign(size_t(kWaveRows), Cell{0, {}});
}

int WaveDataTable::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : kWaveRows; }

int WaveDataTable::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : kWaveColumns + 1; }

QString WaveDataTable::title(int column) { return QString::fromLatin1(kColumnTitles[column]); }

QVariant WaveDataTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? QString::number(index.row() + 1) : text(index.row(), index.column());
    case Qt::TextAlignmentRole: return int(Qt::AlignCenter);
    case Qt::BackgroundRole: return FromColorRef(0x00EDEDC7);
    default: return {};
    }
}

QVariant WaveDataTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return {};
    return section >= 0 && section <= kWaveColumns ? title(section) : QVariant();
}

QString WaveDataTable::text(int row, int column) const
{
    int length = 0;
    const char *p = bytes(row, column, &length);
    return QString::fromUtf8(p, length);
}

void WaveDataTable::setText(int row, int column, const QByteArray &text)
{
    Cell &cell = at(row, column);
    const int n = int(std::min<qsizetype>(text.size(), kCellBytes));
    std::memcpy(cell.text, text.constData(), size_t(n));
    cell.length = uint8_t(n);
}

void WaveDataTable::setNumbers(int column, const uint8_t *samples, int count)
{
    count = std::clamp(count, 0, kWaveRows);
    for (int row = 0; row < count; ++row)
        PutDecimal(at(row, column), samples[row]);
    if (count > 0)
        columnChanged(column, 0, count - 1);
}

void WaveDataTable::MakeNumberColumn(Column &cells, const uint8_t *samples, int count)
{
    count = std::clamp(count, 0, kWaveRows);
    cells.resize(size_t(kWaveRows));
    for (int row = 0; row < kWaveRows; ++row)
        PutDecimal(cells[size_t(row)], row < count ? samples[row] : 0);
}

void WaveDataTable::swapColumn(int column, Column &cells)
{
    if (cells.size() != size_t(kWaveRows))
        return;
    m_columns[size_t(column - 1)].swap(cells);
    columnChanged(column, 0, kWaveRows - 1);
}

void WaveDataTable::clearColumn(int column)
{
    for (int row = 0; row < kWaveRows; ++row)
        at(row, column).length = 0;
    columnChanged(column, 0, kWaveRows - 1);
}

void WaveDataTable::columnChanged(int column, int firstRow, int lastRow)
{
    emit dataChanged(index(firstRow, column), index(lastRow, column), {Qt::DisplayRole});
}

// ---- small tables ----------------------------------------------------------------------

TextTable::TextTable(const QStringList &headers, const QStringList &labels, QColor background, QColor foreground,
                     QObject *parent)
    : QAbstractTableModel(parent), m_headers(headers), m_background(background), m_foreground(foreground)
{
    for (const QString &label : labels) {
        QStringList row;
        row.reserve(headers.size());
        row << label;
        for (qsizetype c = 1; c < headers.size(); ++c)
            row << QString();
        m_rows.push_back(row);
    }
}

int TextTable::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int TextTable::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_headers.size()); }

QVariant TextTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole: return text(index.row(), index.column());
    case Qt::BackgroundRole: return m_background;
    case Qt::ForegroundRole: return m_foreground;
    default: return {};
    }
}

QVariant TextTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= m_headers.size())
        return {};
    return m_headers[section];
}

QString TextTable::text(int row, int column) const
{
    if (row < 0 || row >= int(m_rows.size()) || column < 0 || column >= m_headers.size())
        return {};
    return m_rows[size_t(row)][column];
}

void TextTable::setText(int row, int column, const QString &text)
{
    if (row < 0 || row >= int(m_rows.size()) || column < 0 || column >= m_headers.size())
        return;
    // A refresh sets every cell; the ones that read the same need no repaint.
    QString &cell = m_rows[size_t(row)][column];
    if (cell == text)
        return;
    cell = text;
    emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole});
}

void TextTable::setColumn(int column, const QStringList &texts)
{
    const int rows = std::min(int(m_rows.size()), int(texts.size()));
    if (column < 0 || column >= m_headers.size() || rows == 0)
        return;
    for (int row = 0; row < rows; ++row)
        m_rows[size_t(row)][column] = texts[row];
    emit dataChanged(index(0, column), index(rows - 1, column), {Qt::DisplayRole});
}

void TextTable::clearColumn(int column)
{
    for (int row = 0; row < int(m_rows.size()); ++row)
        setText(row, column, QString());
}

TextTable *NewParamTable(QObject *parent)
{
    QStringList headers{QStringLiteral("Param Name")};
    for (int c = 1; c <= kWaveColumns; ++c)
        headers << QString::fromLatin1(kColumnTitles[c]);
    return new TextTable(headers,
                         {QStringLiteral("Sec/div"), QStringLiteral("Hori Pos"), QStringLiteral("Volts/div"),
                          QStringLiteral("Vert Pos"), QStringLiteral("Trig level")},
                         FromColorRef(0x00C1F0F0), FromColorRef(0x00EF0A14), parent);
}

TextTable *NewMeasureTable(QObject *parent)
{
    QStringList headers{QStringLiteral("Item Name")};
    for (int c = 1; c <= kWaveColumns; ++c)
        headers << QString::fromLatin1(kColumnTitles[c]);
    headers << QStringLiteral("Pass | Fail");
    QStringList labels;
    for (const char *name : kMeasureItemNames)
        labels << QString::fromLatin1(name);
    return new TextTable(headers, labels, QColor(139, 168, 222), QColor(Qt::black), parent);
}
