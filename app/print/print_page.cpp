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
    // Points on the device itself, so the preview bitmap and a printer agree.
    font.setPixelSize(std::max(1, int(points * device.logicalDpiY() / 72.0 + 0.5)));
    return font;
}

// The preview window arrives with the printing work; until then nothing is
// shown and nothing printed.
int RunPrintPreview(QWidget *, int, PrintRequest request)
{
    if (request.nItemCount <= 0)
        return 0;
    return 0;
}
