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

struct Scene {
    QCustomPlot plot;
    QCPGraph *graph;
    explicit Scene(bool live)
    {
        plot.resize(kWidth, kHeight);
        plot.setNotAntialiasedElements(QCP::aePlottables);
        // Nothing but the curve: ticks would cover some of its pixels.
        for (QCPAxis *axis : {plot.xAxis, plot.yAxis}) {
            axis->grid()->setVisible(false);
            axis->setTicks(false);
            axis->setBasePen(Qt::NoPen);
        }
        graph = live ? new LiveCurve(plot.xAxis, plot.yAxis) : plot.addGraph();
        graph->setPen(QPen(Qt::red, 1));
        graph->setAdaptiveSampling(true);
        plot.yAxis->setRange(-10, 250);
    }
    void show(const QVector<QCPGraphData> &points, QCPRange keys)
    {
        graph->data()->set(points, true);
        plot.xAxis->setRange(keys);
    }
    QImage render() { return plot.toPixmap(kWidth, kHeight).toImage().convertToFormat(QImage::Format_RGB32); }
};

QImage Render(bool live, const QVector<QCPGraphData> &points, QCPRange keys)
{
    Scene scene(live);
    scene.show(points, keys);
    return scene.render();
}

QVector<QCPGraphData> Points(int shape)
{
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0, 2);
    QVector<QCPGraphData> points(kSamples);
    for (int i = 0; i < kSamples; ++i) {
        const double v = shape == 0   ? 118 + 80 * std::sin(i * 0.003) + noise(rng)
                         : shape == 1 ? ((i / 1700) % 2 ? 200 : 30)
                                      : 30 + std::abs((i * 4) % 340 - 170);
        points[i] = QCPGraphData(i, std::round(v));
    }
    return points;
}

// The live curve's ink against the library's line, column by column.
void CompareInk(const std::vector<Extent> &library, const std::vector<Extent> &live)
{
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
            QVERIFY2(next.top <= b.bottom + 1 && b.top <= next.bottom + 1,
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
        const auto points = Points(shape);
        CompareInk(Extents(Render(false, points, {lower, upper})), Extents(Render(true, points, {lower, upper})));
    }

    // Spans made ahead of a replot are drawn only for the points and the
    // axes they were made for.
    void preparedSpans_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("the points they were made for") << 0;
        QTest::newRow("other points set instead") << 1;
        QTest::newRow("the axes moved since") << 2;
    }
    void preparedSpans()
    {
        QFETCH(int, change);
        const auto sine = Points(0), square = Points(1);
        const QCPRange whole(0, kSamples), part(2000, 20000);
        Scene scene(true);
        scene.show(square, whole);
        scene.render();  // lays the plot out, as the live window is
        static_cast<LiveCurve *>(scene.graph)->prepareSpans(sine);
        const auto &shown = change == 1 ? square : sine;
        const QCPRange keys = change == 2 ? part : whole;
        scene.show(shown, keys);
        CompareInk(Extents(Render(false, shown, keys)), Extents(scene.render()));
    }
};

QTEST_MAIN(TestLiveCurve)
#include "tst_live_curve.moc"
