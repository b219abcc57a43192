#include "preview.h"

#include "preview_icons.h"
#include "print_dialogs.h"
#include "print_surfaces.h"

#include "../platform/app_context.h"
#include "../platform/control_ids.h"
#include "../platform/debug_log.h"
#include "../platform/globals.h"
#include "../platform/language.h"
#include "../platform/ui_services.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFrame>
#include <QListWidget>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

using vantor::Ui;

namespace {

constexpr int kLineStep = 15;
constexpr int kWheelDelta = 120;

bool IsDrawMessage(int message) { return message >= WM_PRINT_WAVE_DATA && message <= WM_PRINT_BITMAP; }

}  // namespace

int RunPrintPreview(QWidget *owner, int message, PrintRequest request)
{
    if (request.nItemCount <= 0)
        return 0;
    CPreParent preview(owner);
    preview.SetRequest(message, request);
    return Ui().runDialog(&preview);
}

int DrawDocumentPages(int message, PrintRequest request, PrinterSurface &surface, int from, int to)
{
    CPrintablePage *page = FindPrintPage(message);
    if (!page)
        return 0;
    request.nPageCount = PrintPageCount(request);
    request.bToPrinter = 1;
    int drawn = 0;
    for (int k = from; k <= to; ++k) {
        request.nCurrentPage = k;
        if (!page->OnPrintDraw(surface, request) || surface.aborted())
            break;
        ++drawn;
    }
    return drawn;
}

bool SaveDocumentPdf(int message, PrintRequest request, const QString &path)
{
    if (!FindPrintPage(message) || request.nItemCount <= 0)
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const int pages = PrintPageCount(request);
    bool ok = false;
    {
        const std::unique_ptr<QPdfWriter> writer = NewPdfWriter(file);
        PrinterSurface surface(*writer);
        surface.SetJoinDocuments(true);
        ok = DrawDocumentPages(message, request, surface, 1, pages) == pages;
        ok = surface.Finish() && ok;
    }
    // Uncommitted, the old file stays as it was.
    if (!ok || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// ---- view -------------------------------------------------------------------------------------

CPreView::CPreView(QWidget *parent) : QAbstractScrollArea(parent), m_background(PreviewBackgroundTile())
{
    setObjectName(QStringLiteral("IDD%1").arg(IDD_PREVIEW_VIEW));
    setAccessibleName(Tr("Page", "页面"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    horizontalScrollBar()->setAccessibleName(Tr("Horizontal scroll bar", "水平滚动条"));
    verticalScrollBar()->setAccessibleName(Tr("Vertical scroll bar", "垂直滚动条"));
    SetWheelScrollLines(QApplication::wheelScrollLines());
    m_pageSize = QSize(logicalDpiX() * 2230 / 254, logicalDpiY() * 3150 / 254);
    UpdateScrollRanges();
}

void CPreView::SetDocument(int message, const PrintRequest &request)
{
    m_nMessage = message;
    m_request = request;
    m_nTotalPages = request.nPageCount;
    m_nCurrentPage = request.nCurrentPage;
    m_bDirty = true;
    viewport()->update();
}

void CPreView::SetCurrentPage(int page)
{
    m_nCurrentPage = page;
    m_bDirty = true;
    viewport()->update();
}

QPoint CPreView::scrollOrigin() const { return {horizontalScrollBar()->value(), verticalScrollBar()->value()}; }

QImage CPreView::RenderPage(int page)
{
    QImage image(m_pageSize, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
    image.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));
    image.fill(Qt::white);
    CPrintablePage *target = IsDrawMessage(m_nMessage) ? FindPrintPage(m_nMessage) : nullptr;
    if (target) {
        m_request.nCurrentPage = page;
        m_request.bToPrinter = 0;
        ImageSurface surface(image);
        target->OnPrintDraw(surface, m_request);
    }
    return image;
}

void CPreView::UpdateScrollRanges()
{
    // The page and half an inch of margin on each side; Windows' scroll
    // range semantics: the last position shows the range's last pixel.
    const QSize client = viewport()->size();
    QScrollBar *v = verticalScrollBar();
    v->setRange(0, std::max(0, logicalDpiY() + m_pageSize.height() - client.height() + 1));
    v->setPageStep(std::max(1, client.height()));
    v->setSingleStep(kLineStep);
    v->setValue(0);
    QScrollBar *h = horizontalScrollBar();
    h->setRange(0, std::max(0, logicalDpiX() + m_pageSize.width() - client.width() + 1));
    h->setPageStep(std::max(1, client.width()));
    h->setSingleStep(kLineStep);
    h->setValue(0);
    viewport()->update();
}

void CPreView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRanges();
}

void CPreView::scrollContentsBy(int, int) { viewport()->update(); }

void CPreView::SetWheelScrollLines(int lines)
{
    m_nWheelStep = lines > 0 ? kWheelDelta / lines : 0;
    m_nWheelRemainder = 0;
}

void CPreView::OnWheel(int delta)
{
    if (m_nWheelStep <= 0)
        return;
    m_nWheelRemainder += delta;
    QScrollBar *v = verticalScrollBar();
    while (m_nWheelRemainder >= m_nWheelStep) {
        v->triggerAction(QAbstractSlider::SliderSingleStepSub);
        m_nWheelRemainder -= m_nWheelStep;
    }
    while (m_nWheelRemainder <= -m_nWheelStep) {
        v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        m_nWheelRemainder += m_nWheelStep;
    }
}

void CPreView::wheelEvent(QWheelEvent *event)
{
    OnWheel(event->angleDelta().y());
    event->accept();
}

void CPreView::paintEvent(QPaintEvent *)
{
    if (m_bDirty) {
        m_page = RenderPage(m_nCurrentPage);
        m_bDirty = false;
    }
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), m_background);
    const QPoint origin = scrollOrigin();
    painter.drawImage(QPoint(logicalDpiX() / 2 - origin.x(), logicalDpiY() / 2 - origin.y()), m_page);
}

// ---- preview window ----------------------------------------------------------------------------

CPreParent::CPreParent(QWidget *owner) : CVantorDialog(owner, IDD_PREVIEW, QStringLiteral("Preview"))
{
    setAccessibleName(Tr("Preview", "打印预览"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const auto separator = [this, layout](int id, const QString &name) {
        auto *line = Ctrl(new QFrame(this), id);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        line->setFixedHeight(2);
        line->setAccessibleName(name);
        layout->addWidget(line);
        return line;
    };
    m_separatorTop = separator(IDC_PREVIEW_SEPARATOR_TOP, Tr("Top separator", "顶部分隔线"));
    m_toolBar = Ctrl(new QToolBar(this), IDC_PREVIEW_TOOLBAR);
    m_toolBar->setAccessibleName(Tr("Preview tool bar", "预览工具栏"));
    m_toolBar->setIconSize(QSize(24, 24));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    layout->addWidget(m_toolBar);
    m_separatorBar = separator(IDC_PREVIEW_SEPARATOR_BAR, Tr("Tool bar separator", "工具栏分隔线"));

    AddCommand(ID_PREVIEW_FIRST, Tr("First page", "首页"), &CPreParent::OnFirstPage);
    AddCommand(ID_PREVIEW_PREVIOUS, Tr("Previous page", "上一页"), &CPreParent::OnPreviousPage);
    m_toolBar->addSeparator();
    AddCommand(ID_PREVIEW_GOTO, Tr("Go to page", "转到页"), &CPreParent::OnGotoPage);
    m_toolBar->addSeparator();
    AddCommand(ID_PREVIEW_NEXT, Tr("Next page", "下一页"), &CPreParent::OnNextPage);
    AddCommand(ID_PREVIEW_LAST, Tr("Last page", "末页"), &CPreParent::OnLastPage);
    m_toolBar->addSeparator();
    AddCommand(ID_PREVIEW_CLOSE, Tr("Close", "关闭"), &CPreParent::OnClose);
    m_toolBar->addSeparator();
    AddCommand(ID_PREVIEW_PRINT, Tr("Print", "打印"), &CPreParent::OnPrint);
    AddCommand(ID_PREVIEW_PRINT_ALL, Tr("Print all pages", "打印全部页"), &CPreParent::OnPrintAll, true);
    AddCommand(ID_PREVIEW_SAVE_PDF, Tr("Save as PDF...", "另存为PDF..."), &CPreParent::OnSavePdf, true);

    m_view = new CPreView(this);
    layout->addWidget(m_view, 1);

    // The design's wheel catcher: a list box out of sight that hands every
    // wheel turn over the view to the view.
    m_wheelList = Ctrl(new QListWidget(this), IDC_PREVIEW_WHEEL_LIST);
    m_wheelList->setAccessibleName(Tr("Wheel", "滚轮"));
    m_wheelList->setAttribute(Qt::WA_DontShowOnScreen);
    m_wheelList->setGeometry(-1000, -1000, 10, 10);
    m_wheelList->setFocusPolicy(Qt::NoFocus);
    m_wheelList->installEventFilter(this);
    m_view->setFocusPolicy(Qt::StrongFocus);
}

void CPreParent::AddCommand(int id, const QString &name, void (CPreParent::*handler)(), bool withText)
{
    QAction *action = m_toolBar->addAction(PreviewIcon(id), name);
    action->setObjectName(QStringLiteral("action%1").arg(id));
    connect(action, &QAction::triggered, this, handler);
    m_actions[id] = action;
    QWidget *button = m_toolBar->widgetForAction(action);
    Ctrl(button, id);
    button->setAccessibleName(name);
    if (withText)
        static_cast<QToolButton *>(button)->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
}

QAction *CPreParent::action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

QToolButton *CPreParent::toolButton(int id) const
{
    QAction *a = action(id);
    return a ? qobject_cast<QToolButton *>(m_toolBar->widgetForAction(a)) : nullptr;
}

void CPreParent::SetRequest(int message, const PrintRequest &request)
{
    m_nMessage = message;
    m_request = request;
    m_request.nPageCount = PrintPageCount(request);
    m_request.nCurrentPage = 1;
    m_nCurrentPage = 1;
}

void CPreParent::OnInitDialog()
{
    if (m_request.nItemCount <= 0) {
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
        return;
    }
    setWindowIcon(PreviewIcon(IDI_PREVIEW));
    // Maximised is the window manager's to grant; the screen's size holds
    // where there is none.
    if (QScreen *screen = (parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen()))
        setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    m_view->SetDocument(m_nMessage, m_request);
    m_view->setFocus();
    const bool several = m_request.nPageCount > 1;
    EnablePaging(false, false, several, several);
    action(ID_PREVIEW_GOTO)->setEnabled(several);
}

void CPreParent::EnablePaging(bool first, bool previous, bool next, bool last)
{
    action(ID_PREVIEW_FIRST)->setEnabled(first);
    action(ID_PREVIEW_PREVIOUS)->setEnabled(previous);
    action(ID_PREVIEW_NEXT)->setEnabled(next);
    action(ID_PREVIEW_LAST)->setEnabled(last);
}

void CPreParent::ShowPage(int page)
{
    m_nCurrentPage = page;
    m_view->SetCurrentPage(page);
}

void CPreParent::OnFirstPage()
{
    ShowPage(1);
    EnablePaging(false, false, true, true);
}

void CPreParent::OnPreviousPage()
{
    ShowPage(m_nCurrentPage - 1);
    const bool above = m_nCurrentPage > 1;
    EnablePaging(above, above, true, true);
}

void CPreParent::OnNextPage()
{
    ShowPage(m_nCurrentPage + 1);
    const int page = m_nCurrentPage;
    const bool more = m_request.nItemCount - 39 - 40 * (page - 1) > 0 || page < m_request.nPageCount;
    EnablePaging(true, true, more, more);
}

void CPreParent::OnLastPage()
{
    ShowPage(m_request.nPageCount);
    EnablePaging(true, true, false, false);
}

void CPreParent::OnGotoPage()
{
    CPreGotoDlg dialog(this);
    dialog.m_nMaxPage = m_request.nPageCount;
    dialog.m_nCurrentPage = m_nCurrentPage;
    if (Ui().runDialog(&dialog) != QDialog::Accepted)
        return;
    const int chosen = dialog.m_nChosenPage;
    if (chosen > 1 && chosen < m_request.nPageCount) {
        ShowPage(chosen);
        EnablePaging(true, true, true, true);
    }
    if (chosen == 1)
        OnFirstPage();
    else if (chosen == m_request.nPageCount)
        OnLastPage();
    update();
}

void CPreParent::OnClose() { reject(); }

void CPreParent::closeEvent(QCloseEvent *event)
{
    event->accept();
    reject();
}

bool CPreParent::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_wheelList && event->type() == QEvent::Wheel) {
        if (m_view->rect().contains(m_view->mapFromGlobal(QCursor::pos())))
            m_view->OnWheel(static_cast<QWheelEvent *>(event)->angleDelta().y());
        return true;
    }
    return CVantorDialog::eventFilter(watched, event);
}

void CPreParent::OnPrint() { PrintPages(m_nCurrentPage, m_nCurrentPage); }

void CPreParent::OnPrintAll() { PrintPages(1, m_request.nPageCount); }

void CPreParent::PrintPages(int from, int to)
{
    if (Ui().messageBox(this, QStringLiteral("Print Info"), QStringLiteral("Are you sure to printing current date?"),
                        vantor::MsgIcon::Question, vantor::MsgButtons::YesNoDefaultNo) != vantor::MsgResult::Yes)
        return;
    const std::unique_ptr<QPrinter> printer = OpenDefaultPrinter();
    if (!printer) {
        DebugLog(QStringLiteral("打印机初始化失败"), kWarning);
        Ui().messageBox(this, QStringLiteral("错误"), QStringLiteral("Initialize the printer failed!"),
                        vantor::MsgIcon::Stop);
        return;
    }
    if (!IsDrawMessage(m_nMessage))
        return;
    Ui().beginWaitCursor();
    PrinterSurface surface(*printer);
    // One page is a document of its own; all pages go as one job.
    surface.SetJoinDocuments(to > from);
    const int drawn = DrawDocumentPages(m_nMessage, m_request, surface, from, to);
    const bool finished = surface.Finish();
    Ui().endWaitCursor();
    if (to > from && drawn == to - from + 1 && !finished) {
        DebugLog(QStringLiteral("Print page %1 failed").arg(to), kWarning);
        Ui().messageBox(this, QStringLiteral("Error"), QStringLiteral("Print failed!"), vantor::MsgIcon::Stop);
    }
}

void CPreParent::OnSavePdf()
{
    vantor::FileDialogRequest request;
    request.save = true;
    request.title = Tr("Save as PDF", "另存为PDF");
    request.filter = QStringLiteral("PDF file (*.pdf)|*.pdf| |");
    request.folder = g_szInitPath;
    request.defaultExt = QStringLiteral("pdf");
    QString path = Ui().fileDialog(this, request);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    Ui().beginWaitCursor();
    const bool saved = SaveDocumentPdf(m_nMessage, m_request, path);
    Ui().endWaitCursor();
    if (!saved) {
        DebugLog(QStringLiteral("保存PDF文件失败"), kWarning);
        Ui().messageBox(this, Tr("Error", "错误"), Tr("Try to save the PDF file failed!", "保存PDF文件失败！"),
                        vantor::MsgIcon::Information);
    }
}
