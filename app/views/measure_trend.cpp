#include "measure_trend.h"

#include <QSaveFile>
#include <cmath>
#include <limits>

bool MeasureTrend::Start(const QString &path)
{
    Stop();
    const QByteArray header = QByteArray::fromStdString(measures::TrendCsvHeader());
    QFile existing(path);
    const bool continues = existing.open(QIODevice::ReadOnly) && existing.readLine(header.size() + 1) == header;
    existing.close();
    if (!continues) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(header) != header.size() || !file.commit())
            return false;
    }
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void MeasureTrend::Stop()
{
    if (m_file.isOpen())
        m_file.close();
}

bool MeasureTrend::Append(const std::vector<measures::TrendRow> &rows)
{
    ++m_nRefreshes;
    std::string lines;
    for (const measures::TrendRow &row : rows) {
        if (row.channel < 1 || row.channel > 4)
            continue;
        Point point{m_nRefreshes, {}, 0};
        for (int k = 0; k < measures::kItemCount; ++k) {
            const std::optional<double> &v = row.values[size_t(k)];
            point.values[size_t(k)] = v ? float(*v) : std::numeric_limits<float>::quiet_NaN();
            if (!row.pass[size_t(k)])
                point.fails |= 1u << k;
        }
        Ring &ring = m_rings[size_t(row.channel - 1)];
        if (ring.points.size() < size_t(kDepth)) {
            ring.points.push_back(point);
        } else {
            ring.points[ring.next] = point;
            ring.next = (ring.next + 1) % size_t(kDepth);
        }
        if (m_file.isOpen())
            lines += measures::TrendCsvLine(row);
    }
    if (!m_file.isOpen() || lines.empty())
        return true;
    // One write per refresh: a reader never sees half a refresh.
    const bool ok = m_file.write(lines.data(), qint64(lines.size())) == qint64(lines.size()) && m_file.flush();
    if (!ok)
        m_file.close();
    return ok;
}

template <class F> void MeasureTrend::ForEach(int channel, F f) const
{
    if (channel < 1 || channel > 4)
        return;
    const Ring &ring = m_rings[size_t(channel - 1)];
    const size_t n = ring.points.size();
    for (size_t i = 0; i < n; ++i)
        f(ring.points[(ring.next + i) % n]);
}

MeasureTrend::Figures MeasureTrend::FiguresOf(int channel, int item) const
{
    Figures figures;
    double sum = 0;
    ForEach(channel, [&](const Point &p) {
        ++figures.count;
        if (p.fails & (1u << item))
            ++figures.fails;
        const float v = p.values[size_t(item)];
        if (std::isnan(v))
            return;
        figures.min = figures.values ? std::min(figures.min, double(v)) : double(v);
        figures.max = figures.values ? std::max(figures.max, double(v)) : double(v);
        sum += v;
        ++figures.values;
    });
    if (figures.values)
        figures.mean = sum / figures.values;
    return figures;
}

void MeasureTrend::Series(int channel, int item, QVector<double> &keys, QVector<double> &values) const
{
    keys.clear();
    values.clear();
    ForEach(channel, [&](const Point &p) {
        const float v = p.values[size_t(item)];
        if (std::isnan(v))
            return;
        keys.append(p.refresh);
        values.append(v);
    });
}
