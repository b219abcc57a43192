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

protected:
    void draw(QCPPainter *painter) override;

private:
    bool drawSpans(QCPPainter *painter);
    std::vector<QLine> m_spans;
};
