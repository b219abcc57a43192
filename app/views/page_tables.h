// The tables the view pages share: the 24000-row sample table of the wave
// data page, the graph page's five-row parameter table and the 32-row
// measurement table. Models, not widget items: a refresh rewrites up to
// 96000 cells and the copy reads 168000.
#pragma once

#include <measures.h>

#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

constexpr int kWaveRows = 24000;
constexpr int kWaveColumns = 7;  // columns 1..7 of the tables
constexpr int kParamRows = 5;
constexpr int kMeasureRows = 32;

// QColor from a 0x00BBGGRR colour value.
QColor FromColorRef(uint32_t colorRef);

// The sample table: column 0 is the row number, columns 1..7 hold texts.
// Cells keep up to kCellBytes bytes each in one flat block (about 2.7 MB).
class WaveDataTable : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kCellBytes = 15;
    struct Cell {
        uint8_t length;
        char text[kCellBytes];
    };
    // All rows of one column.
    using Column = std::vector<Cell>;

    explicit WaveDataTable(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // column 1..7
    QString text(int row, int column) const;
    // The cell's raw bytes (no NUL), valid until the cell changes.
    const char *bytes(int row, int column, int *length) const
    {
        const Cell &cell = at(row, column);
        *length = cell.length;
        return cell.text;
    }
    void setText(int row, int column, const QByteArray &text);
    // Rows 0..count-1 become the samples printed as decimals; the others stay.
    void setNumbers(int column, const uint8_t *samples, int count);
    void clearColumn(int column);
    // Every row: samples[0..count) as decimals, zeros after. Built apart from
    // the model, so a refresh can make it while the link waits.
    static void MakeNumberColumn(Column &cells, const uint8_t *samples, int count);
    // The column shows `cells`, which get the column's old cells back.
    void swapColumn(int column, Column &cells);
    // Announces a block of rows of one column as changed (after setText runs).
    void columnChanged(int column, int firstRow, int lastRow);
    static QString title(int column);
    size_t memoryBytes() const { return size_t(kWaveColumns) * kWaveRows * sizeof(Cell) + sizeof(*this); }

private:
    static void PutDecimal(Cell &cell, uint8_t value);
    Cell &at(int row, int column) { return m_columns[size_t(column - 1)][size_t(row)]; }
    const Cell &at(int row, int column) const { return m_columns[size_t(column - 1)][size_t(row)]; }
    // Column by column: a column's rows are written and swapped together.
    std::array<Column, kWaveColumns> m_columns;
};

// A small table of texts with fixed row labels in column 0.
class TextTable : public QAbstractTableModel {
    Q_OBJECT
public:
    TextTable(const QStringList &headers, const QStringList &labels, QColor background, QColor foreground,
              QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    QString text(int row, int column) const;
    void setText(int row, int column, const QString &text);
    // Rows 0.. of one column at once, announced once.
    void setColumn(int column, const QStringList &texts);
    void clearColumn(int column);

private:
    QStringList m_headers;
    std::vector<QStringList> m_rows;
    QColor m_background, m_foreground;
};

// "Sec/div", "Hori Pos", "Volts/div", "Vert Pos", "Trig level" by CH1..Chan7.
TextTable *NewParamTable(QObject *parent);
// The 32 measurement items by CH1..Chan7 and the verdict column.
TextTable *NewMeasureTable(QObject *parent);
inline const char *const (&kMeasureItemNames)[kMeasureRows] = measures::kItemNames;
