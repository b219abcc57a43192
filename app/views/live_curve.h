// A graph curve drawn, on screen and without antialiasing, as one vertical
// span per pixel column when it holds more samples than the plot has columns.
// A whole record is 24000 samples across under 2000 columns: the library's
// own path draws four joined points per column, this draws one line.
// Antialiased drawing (copies, pictures, printouts) and sparse curves take
// the library's path unchanged.
#pragma once

#include <qcustomplot.h>

#include <vector>

class LiveCurve : public QCPGraph {
public:
    LiveCurve(QCPAxis *keyAxis, QCPAxis *valueAxis);

    // Builds, ahead of the replot that shows them, the spans of `points`
    // under the axes as they are now. The next draw uses them only if the
    // curve then holds these very points under the same axes, and drops them
    // in any case.
    void prepareSpans(const QVector<QCPGraphData> &points);

protected:
    void draw(QCPPainter *painter) override;

private:
    // Where a block of points lands: the samples drawn and the mapping.
    struct Frame {
        const QCPGraphData *begin = nullptr;
        const QCPGraphData *end = nullptr;
        double x0 = 0, kx = 0, y0 = 0, ky = 0;
        bool operator==(const Frame &) const = default;
    };
    bool axesSuit() const;
    // False when the points are too sparse for spans or the axes do not suit.
    bool frameFor(const QCPGraphData *first, const QCPGraphData *last, Frame &frame) const;
    static void buildSpans(const Frame &frame, std::vector<QLine> &spans);
    bool drawSpans(QCPPainter *painter);

    std::vector<QLine> m_spans;
    std::vector<QLine> m_nextSpans;
    Frame m_nextFrame;
    bool m_hasNext = false;
};
