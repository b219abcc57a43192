#include "print_surfaces.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>

ImageSurface::ImageSurface(QImage &image) : m_image(image)
{
    m_painter.begin(&m_image);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
}

// ---- printer -----------------------------------------------------------------------------

PrinterSurface::PrinterSurface(QPrinter &printer) : m_device(printer), m_printer(&printer) {}

PrinterSurface::PrinterSurface(QPdfWriter &writer) : m_device(writer), m_pdf(&writer) {}

PrinterSurface::~PrinterSurface()
{
    if (m_painter.isActive())
        m_painter.end();
}

QPaintDevice *PrinterSurface::device() { return &m_device; }

bool PrinterSurface::StartDoc(const QString &name)
{
    if (m_bAborted || m_bFailed)
        return false;
    if (m_bStarted)
        return m_bJoin;
    if (m_printer)
        m_printer->setDocName(name);
    else
        m_pdf->setTitle(name);
    if (!m_painter.begin(&m_device)) {
        m_bFailed = true;
        return false;
    }
    m_painter.setRenderHint(QPainter::TextAntialiasing);
    m_bStarted = true;
    m_bSheetUsed = false;
    ApplyFit();
    return true;
}

bool PrinterSurface::StartPage()
{
    if (!m_bStarted || m_bAborted)
        return false;
    // Beginning the painter opened the first sheet; every later page needs
    // a new one.
    if (m_bSheetUsed && !m_device.newPage())
        return false;
    m_bSheetUsed = true;
    ApplyFit();
    return true;
}

bool PrinterSurface::EndPage() { return m_bStarted && !m_bAborted; }

bool PrinterSurface::EndDoc()
{
    if (!m_bStarted || m_bAborted)
        return false;
    if (m_bJoin)
        return true;
    m_bStarted = false;
    return m_painter.end();
}

void PrinterSurface::AbortDoc()
{
    if (!m_bStarted)
        return;
    if (m_printer)
        m_printer->abort();
    if (m_painter.isActive())
        m_painter.end();
    m_bStarted = false;
    m_bAborted = true;
}

bool PrinterSurface::Finish()
{
    if (!m_bStarted)
        return !m_bAborted && !m_bFailed;
    m_bStarted = false;
    return m_painter.end();
}

void PrinterSurface::ApplyFit()
{
    // The painter's origin is the top-left corner of the printable area.
    m_fit = FitPageTransform(PrintPageSize(m_device), QSizeF(m_device.width(), m_device.height()));
    m_painter.setWorldTransform(m_fit);
}

// ---- helpers -------------------------------------------------------------------------------

QSizeF PrintPageSize(const QPaintDevice &device) { return {MmToDeviceX(device, 223.0), MmToDeviceY(device, 315.0)}; }

QTransform FitPageTransform(const QSizeF &page, const QSizeF &area)
{
    // A device pixel of rounding in the area's size is no reason to scale.
    if (page.isEmpty() || area.isEmpty() || (page.width() <= area.width() + 1 && page.height() <= area.height() + 1))
        return {};
    const double scale = std::min(area.width() / page.width(), area.height() / page.height());
    const double dx = (area.width() - page.width() * scale) / 2;
    const double dy = (area.height() - page.height() * scale) / 2;
    return QTransform(scale, 0, 0, scale, dx, dy);
}

std::unique_ptr<QPrinter> OpenDefaultPrinter()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    // The queue's own defaults: paper, resolution, duplex.
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    if (!printer->isValid() || printer->outputFormat() != QPrinter::NativeFormat)
        return nullptr;
    return printer;
}

std::unique_ptr<QPdfWriter> NewPdfWriter(QIODevice &out)
{
    auto writer = std::make_unique<QPdfWriter>(&out);
    writer->setResolution(1200);
    writer->setCreator(QStringLiteral("Vantor"));
    writer->setPageLayout(QPageLayout(
        QPageSize(QSizeF(223.0, 315.0), QPageSize::Millimeter, QStringLiteral("Vantor"), QPageSize::ExactMatch),
        QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    return writer;
}
