#include "print_table.h"

#include "../platform/app_context.h"
#include "../platform/debug_log.h"
#include "../platform/ui_services.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

namespace {

constexpr double kEdges[PrintTablePage::kColumns + 1] = {20, 50, 72, 94, 116, 138, 160, 182, 203};
constexpr double kFooterTop = 305.0;

QPen GridPen() { return QPen(Qt::black, 2, Qt::SolidLine); }

}  // namespace

PrintRowSpan PrintRowsOfPage(const PrintRequest &request, int page)
{
    const int start = page <= 1 ? request.nFirstItem - 1 : request.nFirstItem + 40 * page - 42;
    const int last = request.nFirstItem - 1 + request.nItemCount - 1;
    const int size = page <= 1 ? 39 : 40;
    return {start, std::clamp(last - start + 1, 0, size)};
}

PrintTablePage::PrintTablePage(QPainter &painter, const QPaintDevice &device, int page)
    : m_painter(painter), m_device(device), m_titleFont(PrintFont(QStringLiteral("黑体"), 14, 400, device)),
      m_tableFont(PrintFont(QStringLiteral("宋体"), 10, 400, device)), m_tableMetrics(m_tableFont, &device),
      m_top(HeaderTop(page)), m_bottom(HeaderTop(page))
{
    m_painter.setPen(GridPen());
    m_painter.setBrush(Qt::NoBrush);
}

double PrintTablePage::ColumnEdge(int c) { return kEdges[std::clamp(c, 0, kColumns)]; }

double PrintTablePage::X(double mm) const { return MmToDeviceX(m_device, mm); }
double PrintTablePage::Y(double mm) const { return MmToDeviceY(m_device, mm); }

void PrintTablePage::Outline()
{
    const QRectF page(0, 0, X(kPageWidth), Y(kPageHeight));
    m_painter.fillRect(page, Qt::white);
    // Inside the page, so the whole line shows on the bitmap.
    m_painter.drawRect(page.adjusted(1, 1, -1, -1));
}

void PrintTablePage::Text(double left, double right, double top, const QString &text, bool centred)
{
    if (text.isEmpty())
        return;
    const QFontMetricsF &metrics = m_tableMetrics;
    const double rowTop = Y(top);
    const double rowHeight = Y(top + kRowHeight) - rowTop;
    const double baseline = rowTop + (rowHeight + metrics.ascent() - metrics.descent()) / 2;
    double x = X(left + kInset);
    if (centred)
        x = X(left) + (X(right) - X(left) - metrics.horizontalAdvance(text)) / 2;
    m_painter.drawText(QPointF(x, baseline), text);
}

void PrintTablePage::Title(const QString &text)
{
    m_painter.setFont(m_titleFont);
    // The band 10..20 mm across the whole page width.
    const QFontMetricsF metrics(m_titleFont, &m_device);
    const double baseline = Y(10) + (Y(20) - Y(10) + metrics.ascent() - metrics.descent()) / 2;
    m_painter.drawText(QPointF((X(kPageWidth) - metrics.horizontalAdvance(text)) / 2, baseline), text);
}

void PrintTablePage::Header(const QStringList &titles, bool centred)
{
    m_painter.setFont(m_tableFont);
    const double top = Y(m_top), bottom = Y(m_top + kRowHeight);
    for (int c = 0; c <= kColumns; ++c)
        m_painter.drawLine(QPointF(X(kEdges[c]), top), QPointF(X(kEdges[c]), bottom));
    m_painter.drawLine(QPointF(X(kEdges[0]), top), QPointF(X(kEdges[kColumns]), top));
    m_painter.drawLine(QPointF(X(kEdges[0]), bottom), QPointF(X(kEdges[kColumns]), bottom));
    for (int c = 0; c < kColumns && c < titles.size(); ++c)
        Text(kEdges[c], kEdges[c + 1], m_top, titles[c], centred);
    m_bottom = m_top + kRowHeight;
}

void PrintTablePage::Row(const QStringList &cells)
{
    m_painter.setFont(m_tableFont);
    for (int c = 0; c < kColumns && c < cells.size(); ++c)
        Text(kEdges[c], kEdges[c + 1], m_bottom, cells[c], false);
    m_bottom += kRowHeight;
    m_painter.drawLine(QPointF(X(kEdges[0]), Y(m_bottom)), QPointF(X(kEdges[kColumns]), Y(m_bottom)));
}

void PrintTablePage::Finish(const QString &date, const QString &pageNumber)
{
    for (double edge : {kEdges[0], kEdges[kColumns]})
        m_painter.drawLine(QPointF(X(edge), Y(m_top)), QPointF(X(edge), Y(m_bottom)));
    m_painter.setFont(m_tableFont);
    const QFontMetricsF &metrics = m_tableMetrics;
    const double baseline =
        Y(kFooterTop) + (Y(kFooterTop + kRowHeight) - Y(kFooterTop) + metrics.ascent() - metrics.descent()) / 2;
    m_painter.drawText(QPointF(X(kEdges[0]), baseline), date);
    m_painter.drawText(QPointF(X(kEdges[kColumns]) - metrics.horizontalAdvance(pageNumber), baseline), pageNumber);
}

QString PrintDateText()
{
    const QDate today = vantor::Ui().now().date();
    return QString::asprintf("Print Date:%04d-%02d-%02d", today.year(), today.month(), today.day());
}

int DrawPrintoutPage(PrintSurface &surface, const PrintRequest &request, const QString &docName,
                     const std::function<void(PrintTablePage &)> &draw, const char *pageFailLog)
{
    const auto fail = [&](const QString &log, const char *text) {
        DebugLog(log, kWarning);
        vantor::Ui().messageBox(request.hOwner, QStringLiteral("Error"), QString::fromLatin1(text),
                                vantor::MsgIcon::Stop);
        return 0;
    };
    const bool printer = request.bToPrinter != 0;
    if (printer && !surface.StartDoc(docName))
        return fail(QStringLiteral("连接到打印机失败"), "Initialize printer failed");
    if (printer && !surface.StartPage()) {
        fail(QString::asprintf(pageFailLog, request.nCurrentPage), "Print failed!");
        surface.AbortDoc();
        return 0;
    }
    QPainter &painter = *surface.painter();
    painter.save();
    PrintTablePage page(painter, *surface.device(), request.nCurrentPage);
    if (!printer)
        page.Outline();
    draw(page);
    painter.restore();
    if (printer && !(surface.EndPage() && surface.EndDoc()))
        return fail(QString::asprintf(pageFailLog, request.nCurrentPage), "Print failed!");
    return 1;
}
