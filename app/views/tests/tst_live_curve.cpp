// The live curve's per-column spans against the library's own non-antialiased
// line over the same samples: the same columns inked, each within a pixel.
#include "views/live_curve.h"

#include <QApplication>
#include <QtTest>
#include <cmath>
#include <random>

namespace {

constexpr int kWidth = 640, kHeight = 360, kSamples = 24000;

struct Extent {
    int top = -1, bottom = -1;
    bool inked() const { return top >= 0; }
};

// Rows of curve colour per pixel column.
std::vector<Extent> Extents(const QImage &image)
{
    std::vector<Extent> out(size_t(image.width()));
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixel(x, y) == qRgb(255, 0, 0)) {
                Extent &e = out[size_t(x)];
                if (!e.inked())
                    e.top = y;
                e.bottom = y;
            }
    return out;
}

QImage Render(bool live, const QVector<QCPGraphData> &points, QCPRange keys)
{
    QCustomPlot plot;
    plot.resize(kWidth, kHeight);
    plot.setNotAntialiasedElements(QCP::aePlottables);
    // Nothing but the curve: ticks would cover some of its pixels.
    for (QCPAxis *axis : {plot.xAxis, plot.yAxis}) {
        axis->grid()->setVisible(false);
        axis->setTicks(false);
        axis->setBasePen(Qt::NoPen);
    }
    QCPGraph *graph = live ? new LiveCurve(plot.xAxis, plot.yAxis) : plot.addGraph();
    graph->setPen(QPen(Qt::red, 1));
    graph->setAdaptiveSampling(true);
    graph->data()->set(points, true);
    plot.xAxis->setRange(keys);
    plot.yAxis->setRange(-10, 250);
    return plot.toPixmap(kWidth, kHeight).toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class TestLiveCurve : public QObject {
    Q_OBJECT
private slots:
    void sameInkAsTheLibrarysLine_data()
    {
        QTest::addColumn<int>("shape");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::newRow("noisy sine, whole record") << 0 << 0.0 << double(kSamples);
        QTest::newRow("square wave, whole record") << 1 << 0.0 << double(kSamples);
        QTest::newRow("noisy sine, part beyond both ends") << 0 << -3000.0 << 30000.0;
        QTest::newRow("square wave, zoomed to a few samples per column") << 1 << 5000.0 << 6500.0;
        QTest::newRow("steep triangle, a few samples per column") << 2 << 5000.0 << 6500.0;
        QTest::newRow("zoomed past one sample per column") << 0 << 100.0 << 400.0;
    }
    void sameInkAsTheLibrarysLine()
    {
        QFETCH(int, shape);
        QFETCH(double, lower);
        QFETCH(double, upper);
        std::mt19937 rng(5);
        std::normal_distribution<double> noise(0, 2);
        QVector<QCPGraphData> points(kSamples);
        for (int i = 0; i < kSamples; ++i) {
            const double v = shape == 0   ? 118 + 80 * std::sin(i * 0.003) + noise(rng)
                             : shape == 1 ? ((i / 1700) % 2 ? 200 : 30)
                                          : 30 + std::abs((i * 4) % 340 - 170);
            points[i] = QCPGraphData(i, std::round(v));
        }
        const auto library = Extents(Render(false, points, {lower, upper}));
        const auto live = Extents(Render(true, points, {lower, upper}));
        int inked = 0;
        for (size_t x = 1; x + 1 < live.size(); ++x) {
            // The two may split a step between neighbouring columns.
            const Extent &a = library[x];
            const Extent &b = live[x];
            QVERIFY2(a.inked() == b.inked() || library[x - 1].inked() != library[x + 1].inked(),
                     qPrintable(QStringLiteral("column %1").arg(x)));
            // A line drawn column by column stays unbroken.
            const Extent &next = live[x + 1];
            if (b.inked() && next.inked())
                QVERIFY2(
                    next.top <= b.bottom + 1 && b.top <= next.bottom + 1,
                    qPrintable(QStringLiteral("gap after column %1: %2..%3 then %4..%5 (library %6..%7 then %8..%9)")
                                   .arg(x)
                                   .arg(b.top)
                                   .arg(b.bottom)
                                   .arg(next.top)
                                   .arg(next.bottom)
                                   .arg(a.top)
                                   .arg(a.bottom)
                                   .arg(library[x + 1].top)
                                   .arg(library[x + 1].bottom)));
            // At the plot's edges the library clips a line that joins a sample
            // outside; inside, the two agree.
            if (!a.inked() || !b.inked() || !library[x - 1].inked() || !library[x + 1].inked())
                continue;
            ++inked;
            const int top = std::min({library[x - 1].top, a.top, library[x + 1].top});
            const int bottom = std::max({library[x - 1].bottom, a.bottom, library[x + 1].bottom});
            QVERIFY2(b.top >= top - 1 && b.bottom <= bottom + 1 && b.top <= a.bottom + 1 && b.bottom >= a.top - 1,
                     qPrintable(QStringLiteral("column %1: live %2..%3, library %4..%5")
                                    .arg(x)
                                    .arg(b.top)
                                    .arg(b.bottom)
                                    .arg(a.top)
                                    .arg(a.bottom)));
        }
        QVERIFY(inked > kWidth / 2);
    }
};

QTEST_MAIN(TestLiveCurve)
#include "tst_live_curve.moc"
