// A wave data printout printed for real: through a private CUPS server to a
// CUPS-PDF queue, whose PDF files are then measured and rasterised and
// compared with the preview's own rendering of the same pages.
#include "cups_server.h"
#include "platform/control_ids.h"
#include "print/print_dialogs.h"
#include "print_test_support.h"
#include "shell/panes.h"
#include "views/view_pages.h"

#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <cmath>
#include <unistd.h>

using namespace apptest;
using namespace printtest;

namespace {

constexpr double kPtPerMm = 72.0 / 25.4;
constexpr int kRasterDpi = 100;

// Where the page's millimetres land on a printed sheet, in points.
struct SheetPlacement {
    QPointF origin;
    double pointsPerMm = kPtPerMm;
};

// How dark a rectangle of a grey picture is, 0 (white) to 1 (black).
double Ink(const QImage &grey, const QRectF &rect)
{
    const QRect r = rect.toAlignedRect().intersected(grey.rect());
    if (r.isEmpty())
        return 0;
    double sum = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const uchar *line = grey.constScanLine(y);
        for (int x = r.left(); x <= r.right(); ++x)
            sum += 255 - line[x];
    }
    return sum / (255.0 * r.width() * r.height());
}

// Text only: every pixel of a dark run of 4 mm or more, across or down,
// belongs to the table's lines, whose width is the device's (2 pixels) and
// so differs between screen and sheet by design.
QImage TextOnly(const QImage &grey, double pxPerMm)
{
    QImage text = grey.copy();
    const int run = int(4 * pxPerMm);
    const auto dark = [&](int x, int y) { return grey.constScanLine(y)[x] < 160; };
    for (int pass = 0; pass < 2; ++pass) {
        const int outer = pass == 0 ? grey.height() : grey.width();
        const int inner = pass == 0 ? grey.width() : grey.height();
        for (int o = 0; o < outer; ++o)
            for (int i = 0; i < inner;) {
                int j = i;
                while (j < inner && (pass == 0 ? dark(j, o) : dark(o, j)))
                    ++j;
                if (j - i >= run)
                    for (int k = std::max(0, i - 1); k < std::min(inner, j + 1); ++k)
                        for (int w = std::max(0, o - 1); w <= std::min(outer - 1, o + 1); ++w)
                            (pass == 0 ? text.scanLine(w)[k] : text.scanLine(k)[w]) = 255;
                i = j + 1;
            }
    }
    return text;
}

// The text ink of every square millimetre inside the page (3 mm from its
// edge, where only the preview draws its outline).
std::vector<double> InkMap(const QImage &page, double pxPerMm, QPointF originPx)
{
    const QImage grey = TextOnly(page, pxPerMm);
    std::vector<double> cells;
    for (int y = 3; y < 312; ++y)
        for (int x = 3; x < 220; ++x)
            cells.push_back(Ink(grey, QRectF(originPx + QPointF(x * pxPerMm, y * pxPerMm), QSizeF(pxPerMm, pxPerMm))));
    return cells;
}

double Correlation(const std::vector<double> &a, const std::vector<double> &b)
{
    const size_t n = std::min(a.size(), b.size());
    double ma = 0, mb = 0;
    for (size_t i = 0; i < n; ++i) {
        ma += a[i];
        mb += b[i];
    }
    ma /= double(n);
    mb /= double(n);
    double sab = 0, saa = 0, sbb = 0;
    for (size_t i = 0; i < n; ++i) {
        sab += (a[i] - ma) * (b[i] - mb);
        saa += (a[i] - ma) * (a[i] - ma);
        sbb += (b[i] - mb) * (b[i] - mb);
    }
    return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0;
}

QImage Rasterise(const QString &pdf, int page, const QString &folder)
{
    const QString stem = QStringLiteral("%1/raster-%2").arg(folder).arg(page);
    Run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-gray"), QStringLiteral("-r"), QString::number(kRasterDpi), QStringLiteral("-f"),
         QString::number(page), QStringLiteral("-l"), QString::number(page), QStringLiteral("-singlefile"), pdf, stem});
    return QImage(stem + QStringLiteral(".pgm")).convertToFormat(QImage::Format_Grayscale8);
}

}  // namespace

class TestPrintCups : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void printedPagesMatchThePreview();

private:
    CupsServer m_cups;
};

void TestPrintCups::initTestCase()
{
    // CUPS-PDF refuses to run unless cupsd, and so the backend, runs as root.
    if (geteuid() != 0)
        QSKIP("CUPS-PDF writes its files only under a root cupsd");
    const QString error = m_cups.Start();
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestPrintCups::cleanupTestCase() { m_cups.Stop(); }

void TestPrintCups::printedPagesMatchThePreview()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    QCOMPARE(info.printerName(), QString::fromLatin1(CupsServer::kQueue));

    AppEnv env;
    QVERIFY(env.CreateFrame());
    LoadFileColumns(env, {100, 60, 10});
    env.ui.dialogHandlers.push_back([](QDialog *d) {
        auto *range = static_cast<CSetPrntItemDlg *>(d);
        range->endEdit()->setText(QStringLiteral("80"));
        return range->OnOK() ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    QImage shown[3];
    ScriptPreview(env, [&](CPreParent &preview) {
        for (int p = 1; p <= 3; ++p)
            shown[p - 1] = preview.view()->RenderPage(p).convertToFormat(QImage::Format_Grayscale8);
        preview.toolButton(ID_PREVIEW_NEXT)->click();
        env.ui.messageAnswers = {vantor::MsgResult::Yes, vantor::MsgResult::Yes};
        preview.toolButton(ID_PREVIEW_PRINT)->click();
        preview.toolButton(ID_PREVIEW_PRINT_ALL)->click();
    });
    env.frame->rightWnd()->dataPage()->button(IDC_DATA_PRINT)->click();
    QCOMPARE(env.messageTexts(), QStringList(2, QStringLiteral("Are you sure to printing current date?")));

    // Two jobs: the page shown, then the whole document as one job.
    const QStringList jobs = m_cups.WaitForJobs(2);
    QVERIFY2(jobs.size() == 2, qPrintable(m_cups.errorLog()));
    const PdfInfo one = ReadPdfInfo(jobs[0]), all = ReadPdfInfo(jobs[1]);
    QCOMPARE(one.pages, 1);
    QCOMPARE(all.pages, 3);
    // The queue's default paper, A4: smaller than the page, so it is scaled.
    for (const PdfInfo &job : {one, all})
        QVERIFY2(qAbs(job.pointSize.width() - 595) < 1 && qAbs(job.pointSize.height() - 842) < 1,
                 qPrintable(QStringLiteral("%1 x %2").arg(job.pointSize.width()).arg(job.pointSize.height())));

    // The page scaled into the queue's printable area, centred.
    QPrinter printer(info, QPrinter::HighResolution);
    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Point);
    const double scale = std::min({1.0, area.width() / (223 * kPtPerMm), area.height() / (315 * kPtPerMm)});
    QVERIFY(scale < 0.95);
    const QPointF origin =
        area.topLeft() + QPointF(area.width() - 223 * kPtPerMm * scale, area.height() - 315 * kPtPerMm * scale) / 2;
    QTemporaryDir folder;
    // The page as the sheet holds it, or as it would land unscaled at the
    // printable area's corner (cut off: the fault the fitting mends).
    const auto printed = [&](const QString &pdf, int page, bool fitted) {
        const QImage raster = Rasterise(pdf, page, folder.path());
        const double pxPerMm = kPtPerMm * (fitted ? scale : 1.0) * kRasterDpi / 72.0;
        const QPointF at = (fitted ? origin : area.topLeft()) * (kRasterDpi / 72.0);
        return raster.isNull() ? std::vector<double>() : InkMap(raster, pxPerMm, at);
    };
    std::vector<double> preview[3];
    for (int p = 0; p < 3; ++p)
        preview[p] = InkMap(shown[p], shown[p].dotsPerMeterX() / 1000.0, QPointF(0, 0));
    // Text ink in 1 mm cells: glyph hinting and antialiasing differ between a
    // 96 dpi screen bitmap and a 300 dpi sheet, and same pages correlate at
    // about 0.93; the next page, whose rows and lines fall on the same places
    // and only whose title and numbers differ, at about 0.6; a wrong scale or
    // a page of other rows lower still.
    constexpr double kSamePage = 0.8;
    struct Case {
        QString pdf;
        int page, shownPage;
        bool fitted, same;
    };
    std::vector<QString> failures;
    for (const Case &c :
         {Case{jobs[0], 1, 2, true, true}, Case{jobs[1], 1, 1, true, true}, Case{jobs[1], 2, 2, true, true},
          Case{jobs[1], 3, 3, true, true}, Case{jobs[1], 2, 1, true, false}, Case{jobs[1], 1, 3, true, false},
          Case{jobs[1], 2, 2, false, false}}) {
        const double r = Correlation(printed(c.pdf, c.page, c.fitted), preview[c.shownPage - 1]);
        if ((r >= kSamePage) != c.same)
            failures.push_back(QStringLiteral("sheet %1 of %2 against page %3%4: r = %5")
                                   .arg(c.page)
                                   .arg(QFileInfo(c.pdf).fileName())
                                   .arg(c.shownPage)
                                   .arg(c.fitted ? "" : " unscaled")
                                   .arg(r, 0, 'f', 3));
    }
    QVERIFY2(failures.empty(), qPrintable(QStringList(failures.begin(), failures.end()).join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestPrintCups)
#include "tst_print_cups.moc"
