// What a page hands to the print preview and what the preview hands back to
// the page for every page it draws. One drawing path serves the preview's
// page bitmap, a printer and a PDF file: the page draws a 223 x 315 mm page
// through the surface's painter, converting millimetres with the surface's
// own resolution.
#pragma once

#include <QFont>
#include <QString>
#include <cstdint>
#include <functional>

class QPaintDevice;
class QPainter;
class QWidget;

struct PrintRequest {
    int32_t nFirstItem = 1;     // first list row to print, 1-based
    int32_t nItemCount = 0;     // list rows to print (1 for a picture)
    int32_t nPageCount = 0;     // computed by the preview
    int32_t nCurrentPage = 1;   // page to draw, 1-based; set by the preview
    int32_t bToPrinter = 0;     // 0: the preview's page bitmap; 1: a printer
    QWidget *hOwner = nullptr;  // owner of the page's message boxes
    QWidget *hList = nullptr;   // the list that supplies the rows, or none
    int32_t nExtraPages = 0;    // pages after the row pages
};

// The device a page draws one draw request on. For the preview the document
// calls do nothing and the painter is always ready; for a printer the page
// starts and ends its own document, as a printer device context requires.
class PrintSurface {
public:
    virtual ~PrintSurface() = default;
    virtual QPaintDevice *device() = 0;
    // Valid between StartDoc and EndDoc (always, for the preview).
    virtual QPainter *painter() = 0;
    virtual bool StartDoc(const QString &name) = 0;
    virtual bool StartPage() = 0;
    virtual bool EndPage() = 0;
    virtual bool EndDoc() = 0;
    virtual void AbortDoc() = 0;
};

// A page that answers draw requests.
class CPrintablePage {
public:
    virtual ~CPrintablePage() = default;
    // Draws request.nCurrentPage; 0 when a printer page could not be started.
    virtual int OnPrintDraw(PrintSurface &surface, PrintRequest &request) = 0;
};

// Where the preview finds the page of a draw message (the frame's page
// pointers); null for a message no page answers.
using PrintPageFinder = std::function<CPrintablePage *(int message)>;
void SetPrintPageFinder(PrintPageFinder finder);
CPrintablePage *FindPrintPage(int message);

// Pages of a request: 1 + (n - 39) / 40, one more for a remainder, plus the
// extra pages.
int PrintPageCount(const PrintRequest &request);

// Opens the modal preview for a draw message (1129..1132); the preview
// computes nPageCount. Returns the dialog's result, 0 for an empty request.
int RunPrintPreview(QWidget *owner, int message, PrintRequest request);

// Millimetres to device units along x or y: pixels per inch x 0.03937...
double MmToDeviceX(const QPaintDevice &device, double mm);
double MmToDeviceY(const QPaintDevice &device, double mm);
// A printout font: face "黑体" or "宋体" (mapped to an installed CJK face),
// size in points on that device, weight on Qt's 100..900 scale.
QFont PrintFont(const QString &face, double points, int weight, const QPaintDevice &device);
