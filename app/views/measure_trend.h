// The measurement trend of the last refreshes that brought measurement
// blocks: per channel the 32 values in base SI units and their verdicts,
// the figures of one item, and the CSV log the rows go to while it is on.
#pragma once

#include <measures.h>

#include <QFile>
#include <QString>
#include <QVector>
#include <array>
#include <vector>

class MeasureTrend {
public:
    static constexpr int kDepth = 1000;

    // A new or foreign file is replaced whole by the header (through a
    // temporary file); a file that already holds this log goes on growing.
    bool Start(const QString &path);
    void Stop();
    bool logging() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }

    // The rows of one refresh: into the history, and into the log when it
    // is on. False when the log could not be written; it is then closed.
    bool Append(const std::vector<measures::TrendRow> &rows);

    struct Figures {
        int count = 0;   // refreshes that held the channel
        int values = 0;  // of them, with a value
        double min = 0, max = 0, mean = 0;
        int fails = 0;
    };
    Figures FiguresOf(int channel, int item) const;
    // The item's values over the held refreshes, by refresh number.
    void Series(int channel, int item, QVector<double> &keys, QVector<double> &values) const;
    int refreshes() const { return m_nRefreshes; }

private:
    struct Point {
        int refresh;
        std::array<float, measures::kItemCount> values;  // NaN: no value
        uint32_t fails;
    };
    // Channel 1..4, each a ring of the last kDepth points.
    struct Ring {
        std::vector<Point> points;
        size_t next = 0;
    };
    template <class F> void ForEach(int channel, F f) const;

    std::array<Ring, 4> m_rings;
    int m_nRefreshes = 0;
    QFile m_file;
};
