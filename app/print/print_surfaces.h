// The three devices a page is drawn on, all through one PrintSurface: the
// preview's page bitmap, a printer (a CUPS queue) and a PDF file.
#pragma once

#include "print_page.h"

#include <QImage>
#include <QPainter>
#include <QSizeF>
#include <QTransform>
#include <memory>

class QIODevice;
class QPagedPaintDevice;
class QPdfWriter;
class QPrinter;

// The preview's page bitmap: always painting, the document calls do nothing.
class ImageSurface : public PrintSurface {
public:
    explicit ImageSurface(QImage &image);
    QPaintDevice *device() override { return &m_image; }
    QPainter *painter() override { return &m_painter; }
    bool StartDoc(const QString &) override { return true; }
    bool StartPage() override { return true; }
    bool EndPage() override { return true; }
    bool EndDoc() override { return true; }
    void AbortDoc() override {}

private:
    QImage &m_image;
    QPainter m_painter;
};

// A printer or a PDF writer. StartDoc begins painting with the document name,
// StartPage opens the next sheet, EndDoc ends (and so submits) the document.
// A page larger than the sheet's printable area is scaled down to fit it,
// keeping its proportions; a sheet that holds it (the PDF's own page size)
// gets it at full size.
class PrinterSurface : public PrintSurface {
public:
    explicit PrinterSurface(QPrinter &printer);
    explicit PrinterSurface(QPdfWriter &writer);
    ~PrinterSurface() override;

    QPaintDevice *device() override;
    QPainter *painter() override { return &m_painter; }
    bool StartDoc(const QString &name) override;
    bool StartPage() override;
    bool EndPage() override;
    bool EndDoc() override;
    void AbortDoc() override;

    // Joins the documents of several draw requests into one job: only the
    // first StartDoc begins, every EndDoc waits for Finish().
    void SetJoinDocuments(bool join) { m_bJoin = join; }
    // Ends a joined document; false when it failed or was aborted.
    bool Finish();
    bool aborted() const { return m_bAborted; }
    // What the page's drawing is mapped through on the current sheet.
    QTransform pageTransform() const { return m_fit; }

private:
    void ApplyFit();

    QPagedPaintDevice &m_device;
    QPrinter *m_printer = nullptr;  // null for a PDF writer
    QPdfWriter *m_pdf = nullptr;
    QPainter m_painter;
    QTransform m_fit;
    bool m_bJoin = false;
    bool m_bStarted = false;
    bool m_bSheetUsed = false;
    bool m_bAborted = false;
    bool m_bFailed = false;
};

// The page of a printout, 223 x 315 mm, in the device units of a device.
QSizeF PrintPageSize(const QPaintDevice &device);
// Maps a page into an area: scaled down (never up) to fit, keeping its
// proportions, and centred; the identity when the page fits as it is.
QTransform FitPageTransform(const QSizeF &page, const QSizeF &area);

// The default printer with its default settings; null when there is none or
// it cannot be used.
std::unique_ptr<QPrinter> OpenDefaultPrinter();
// A PDF writer whose page is the printout's page, at a printer's high
// resolution, writing to out.
std::unique_ptr<QPdfWriter> NewPdfWriter(QIODevice &out);
