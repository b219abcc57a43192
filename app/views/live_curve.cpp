#include "live_curve.h"

#include <algorithm>
#include <cmath>

LiveCurve::LiveCurve(QCPAxis *keyAxis, QCPAxis *valueAxis) : QCPGraph(keyAxis, valueAxis) {}

void LiveCurve::draw(QCPPainter *painter)
{
    const bool drawn = drawSpans(painter);
    m_hasNext = false;
    if (!drawn)
        QCPGraph::draw(painter);
}

void LiveCurve::prepareSpans(const QVector<QCPGraphData> &points)
{
    m_hasNext = !points.isEmpty() && frameFor(points.constData(), points.constData() + points.size(), m_nextFrame);
    if (m_hasNext)
        buildSpans(m_nextFrame, m_nextSpans);
}

bool LiveCurve::axesSuit() const
{
    return mKeyAxis && mValueAxis && mKeyAxis->orientation() == Qt::Horizontal &&
           mKeyAxis->scaleType() == QCPAxis::stLinear && mValueAxis->scaleType() == QCPAxis::stLinear;
}

bool LiveCurve::frameFor(const QCPGraphData *first, const QCPGraphData *last, Frame &frame) const
{
    if (!axesSuit())
        return false;
    QCPAxis *keyAxis = mKeyAxis.data();
    QCPAxis *valueAxis = mValueAxis.data();
    const QCPRange keys = keyAxis->range();
    // One sample beyond each edge, so the curve reaches the border as a line
    // would (the library's expanded range).
    auto byKey = [](const QCPGraphData &a, const QCPGraphData &b) { return a.key < b.key; };
    const QCPGraphData *begin = std::lower_bound(first, last, QCPGraphData(keys.lower, 0), byKey);
    if (begin != first)
        --begin;
    const QCPGraphData *end = std::upper_bound(first, last, QCPGraphData(keys.upper, 0), byKey);
    if (end != last)
        ++end;
    const double left = keyAxis->coordToPixel(keys.lower);
    const double right = keyAxis->coordToPixel(keys.upper);
    const double columns = std::abs(right - left);
    if (end - begin < 2 * std::max(columns, 1.0))
        return false;
    frame.begin = begin;
    frame.end = end;
    frame.kx = (right - left) / keys.size();
    frame.x0 = left - keys.lower * frame.kx;
    frame.y0 = valueAxis->coordToPixel(0.0);
    frame.ky = valueAxis->coordToPixel(1.0) - frame.y0;
    return true;
}

void LiveCurve::buildSpans(const Frame &frame, std::vector<QLine> &spans)
{
    spans.clear();
    // floor() without the library call, once per sample.
    auto columnOf = [x0 = frame.x0, kx = frame.kx](double key) {
        const double x = x0 + key * kx;
        const int c = int(x);
        return x < c ? c - 1 : c;
    };
    const QCPGraphData *it = frame.begin;
    int column = columnOf(it->key);
    double low = it->value, high = it->value, last = it->value;
    auto emitSpan = [&] {
        const int a = int(std::lround(frame.y0 + low * frame.ky));
        const int b = int(std::lround(frame.y0 + high * frame.ky));
        spans.emplace_back(column, a, column, b);
    };
    for (++it; it != frame.end; ++it) {
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
}

bool LiveCurve::drawSpans(QCPPainter *painter)
{
    if (painter->antialiasing() || painter->modes().testFlag(QCPPainter::pmVectorized) ||
        painter->modes().testFlag(QCPPainter::pmNonCosmetic) || mLineStyle != lsLine || !mScatterStyle.isNone() ||
        mBrush.style() != Qt::NoBrush || mChannelFillGraph || !selection().isEmpty() || !axesSuit())
        return false;
    if (mKeyAxis->range().size() <= 0 || mDataContainer->isEmpty())
        return true;
    const QCPGraphData *first = &*mDataContainer->constBegin();
    Frame frame;
    if (!frameFor(first, first + mDataContainer->size(), frame))
        return false;
    if (m_hasNext && frame == m_nextFrame)
        m_spans.swap(m_nextSpans);
    else
        buildSpans(frame, m_spans);
    painter->setPen(mPen);
    painter->setBrush(Qt::NoBrush);
    painter->QPainter::drawLines(m_spans.data(), int(m_spans.size()));
    return true;
}
