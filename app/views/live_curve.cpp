#include "live_curve.h"

#include <algorithm>
#include <cmath>

LiveCurve::LiveCurve(QCPAxis *keyAxis, QCPAxis *valueAxis) : QCPGraph(keyAxis, valueAxis) {}

void LiveCurve::draw(QCPPainter *painter)
{
    if (!drawSpans(painter))
        QCPGraph::draw(painter);
}

bool LiveCurve::drawSpans(QCPPainter *painter)
{
    QCPAxis *keyAxis = mKeyAxis.data();
    QCPAxis *valueAxis = mValueAxis.data();
    if (painter->antialiasing() || painter->modes().testFlag(QCPPainter::pmVectorized) ||
        painter->modes().testFlag(QCPPainter::pmNonCosmetic) || !keyAxis || !valueAxis ||
        keyAxis->orientation() != Qt::Horizontal || keyAxis->scaleType() != QCPAxis::stLinear ||
        valueAxis->scaleType() != QCPAxis::stLinear || mLineStyle != lsLine || !mScatterStyle.isNone() ||
        mBrush.style() != Qt::NoBrush || mChannelFillGraph || !selection().isEmpty())
        return false;
    const QCPRange keys = keyAxis->range();
    if (keys.size() <= 0 || mDataContainer->isEmpty())
        return true;
    // One sample beyond each edge, so the curve reaches the border as a line would.
    auto begin = mDataContainer->findBegin(keys.lower, true);
    auto end = mDataContainer->findEnd(keys.upper, true);
    const double left = keyAxis->coordToPixel(keys.lower);
    const double right = keyAxis->coordToPixel(keys.upper);
    const double columns = std::abs(right - left);
    if (end - begin < 2 * std::max(columns, 1.0))
        return false;

    const double kx = (right - left) / keys.size();
    const double x0 = left - keys.lower * kx;
    const double y0 = valueAxis->coordToPixel(0.0);
    const double ky = valueAxis->coordToPixel(1.0) - y0;
    m_spans.clear();
    m_spans.reserve(size_t(columns) + 4);
    // floor() without the library call, once per sample.
    auto columnOf = [x0, kx](double key) {
        const double x = x0 + key * kx;
        const int c = int(x);
        return x < c ? c - 1 : c;
    };
    auto it = begin;
    int column = columnOf(it->key);
    double low = it->value, high = it->value, last = it->value;
    auto emitSpan = [&] {
        const int a = int(std::lround(y0 + low * ky));
        const int b = int(std::lround(y0 + high * ky));
        m_spans.emplace_back(column, a, column, b);
    };
    for (++it; it != end; ++it) {
        const int c = columnOf(it->key);
        const double v = it->value;
        if (c != column) {
            emitSpan();
            // Joined to where the last column ended, as the line would be.
            column = c;
            low = std::min(last, v);
            high = std::max(last, v);
        } else {
            low = std::min(low, v);
            high = std::max(high, v);
        }
        last = v;
    }
    emitSpan();
    painter->setPen(mPen);
    painter->setBrush(Qt::NoBrush);
    painter->QPainter::drawLines(m_spans.data(), int(m_spans.size()));
    return true;
}
