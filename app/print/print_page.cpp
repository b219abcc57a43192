#include "print_page.h"

#include <QPaintDevice>

namespace {
PrintPageFinder g_finder;
}

void SetPrintPageFinder(PrintPageFinder finder) { g_finder = std::move(finder); }

CPrintablePage *FindPrintPage(int message)
{
    if (message < 1129 || message > 1132 || !g_finder)
        return nullptr;
    return g_finder(message);
}

int PrintPageCount(const PrintRequest &request)
{
    const int rest = request.nItemCount - 39;
    int pages = 1 + rest / 40;
    if (rest % 40 > 0)
        pages += 1;
    return pages + request.nExtraPages;
}

double MmToDeviceX(const QPaintDevice &device, double mm) { return mm * device.logicalDpiX() * 0.03937007874015748; }

double MmToDeviceY(const QPaintDevice &device, double mm) { return mm * device.logicalDpiY() * 0.03937007874015748; }

QFont PrintFont(const QString &face, double points, int weight, const QPaintDevice &device)
{
    // The design's faces are a bold sans (黑体) and a serif (宋体); the
    // installed CJK families stand in for them.
    const bool sans = face == QStringLiteral("黑体");
    QFont font(sans ? QStringLiteral("Noto Sans CJK SC") : QStringLiteral("Noto Serif CJK SC"));
    font.setStyleHint(sans ? QFont::SansSerif : QFont::Serif);
    font.setWeight(QFont::Weight(weight));
    // Shaped through the CJK faces' substitutions, digits and spaces lose
    // their Unicode in a PDF and the text is no longer searchable; tables of
    // numbers and names need no shaping.
    font.setStyleStrategy(QFont::PreferNoShaping);
    // Points on the device itself, so the preview bitmap and a printer agree.
    font.setPixelSize(std::max(1, int(points * device.logicalDpiY() / 72.0 + 0.5)));
    return font;
}
