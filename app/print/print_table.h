// The table printouts' page (223 x 315 mm): a title band on page 1, a header
// row and 7 mm body rows across 20..203 mm, the border lines, and the date
// and page-number footer; and the document steps every draw request of a
// printout takes.
#pragma once

#include "print_page.h"

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <QStringList>
#include <functional>

class QPainter;
class QPaintDevice;

// Rows of the list on one page: 39 on page 1, 40 on every later page.
struct PrintRowSpan {
    int first = 0;  // table row, from 0
    int count = 0;
};
PrintRowSpan PrintRowsOfPage(const PrintRequest &request, int page);

class PrintTablePage {
public:
    static constexpr double kPageWidth = 223.0;
    static constexpr double kPageHeight = 315.0;
    static constexpr double kRowHeight = 7.0;
    static constexpr double kInset = 1.5;
    static constexpr int kColumns = 8;

    // page: 1-based; page 1 has the title band above its header row.
    PrintTablePage(QPainter &painter, const QPaintDevice &device, int page);

    // The page's outline, white inside (the preview draws it first).
    void Outline();
    void Title(const QString &text);
    void Header(const QStringList &titles, bool centred);
    // The next body row; texts left-aligned with the inset.
    void Row(const QStringList &cells);
    // Border lines at 20 and 203 mm down to the last row, the print date
    // on the left and the page number on the right of the footer.
    void Finish(const QString &date, const QString &pageNumber);

    // Left edge of column c (0..8) in millimetres; 8 is the right border.
    static double ColumnEdge(int c);
    static double HeaderTop(int page) { return page == 1 ? 25.0 : 18.0; }

private:
    double X(double mm) const;
    double Y(double mm) const;
    void Text(double left, double right, double top, const QString &text, bool centred);

    QPainter &m_painter;
    const QPaintDevice &m_device;
    QFont m_titleFont, m_tableFont;
    QFontMetricsF m_tableMetrics;
    double m_top;
    double m_bottom;
};

// "Print Date:%Y-%m-%d" of the desktop's clock.
QString PrintDateText();

// One draw request of a table printout. On the preview: the outline, then
// the page. On a printer: the page as a document of its own, named docName;
// a document that cannot start logs "连接到打印机失败" and shows "Initialize
// printer failed", a page that cannot start logs pageFailLog (with the page
// number for %d), shows "Print failed!" and aborts the document. Returns 0
// when printing failed, else 1.
int DrawPrintoutPage(PrintSurface &surface, const PrintRequest &request, const QString &docName,
                     const std::function<void(PrintTablePage &)> &draw,
                     const char *pageFailLog = "Print page %d failed");
