#include "panes.h"

#include "../platform/control_ids.h"
#include "../platform/globals.h"
#include "../views/view_pages.h"
#include "base_operation.h"
#include "logs.h"
#include "vantor_app.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabBar>

// ---- splitter -------------------------------------------------------------------

CRTSplitterWnd::CRTSplitterWnd(QWidget *parent) : QWidget(parent) {}

void CRTSplitterWnd::AttachPanes(QWidget *first, QWidget *second, int firstWidth)
{
    m_pFirst = first;
    m_pSecond = second;
    if (first->parentWidget() != this)
        first->setParent(this);
    if (second->parentWidget() != this)
        second->setParent(this);
    first->show();
    second->show();
    m_nFirstSize = firstWidth;
    Layout();
}

void CRTSplitterWnd::Layout()
{
    const int w = width(), h = height(), b = m_nBarWidth;
    const int first = std::max(0, std::min(m_nFirstSize, w - b));
    const int second = std::max(0, w - b - first);
    if (m_pFirst)
        m_pFirst->setGeometry(0, 0, first, h);
    m_rcBar = QRect(first, 0, b, h);
    if (m_pSecond)
        m_pSecond->setGeometry(first + b, 0, second, h);
    update();
}

void CRTSplitterWnd::resizeEvent(QResizeEvent *) { Layout(); }

void CRTSplitterWnd::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(m_rcBar, palette().color(QPalette::Button));
}

// ---- tab control -------------------------------------------------------------------

CRTTabCtrl::CRTTabCtrl(QWidget *parent) : QWidget(parent), m_bar(new QTabBar(this))
{
    m_bar->setObjectName(QStringLiteral("tabHeaders"));
    m_bar->setExpanding(false);
    // The pages cover the headers; navigation is by program only.
    m_bar->hide();
    connect(m_bar, &QTabBar::currentChanged, this, [this] { update(); });
}

int CRTTabCtrl::AddPage(const QString &title, int index, int image, QWidget *page)
{
    Q_UNUSED(image);
    if (!page || index < 0 || index > count())
        return -1;
    const int at = m_bar->insertTab(index, title);
    m_pages.insert(m_pages.begin() + at, page);
    page->setParent(this);
    page->setGeometry(DisplayRect());
    page->setVisible(at == m_bar->currentIndex());
    if (at == m_bar->currentIndex())
        m_nShown = at;
    return at;
}

void CRTTabCtrl::SetCurSel(int index)
{
    if (index >= 0 && index < count()) {
        m_bar->setCurrentIndex(index);
        update();
    }
}

int CRTTabCtrl::GetCurSel() const { return m_bar->currentIndex(); }

int CRTTabCtrl::count() const { return static_cast<int>(m_pages.size()); }

QWidget *CRTTabCtrl::page(int index) const { return (index >= 0 && index < count()) ? m_pages[index] : nullptr; }

QString CRTTabCtrl::title(int index) const { return m_bar->tabText(index); }

QRect CRTTabCtrl::DisplayRect() const { return rect().adjusted(5, 5, -5, -5); }

void CRTTabCtrl::paintEvent(QPaintEvent *)
{
    const int current = GetCurSel();
    if (current != m_nShown) {
        if (QWidget *old = page(m_nShown))
            old->hide();
        if (QWidget *now = page(current))
            now->show();
        m_nShown = current;
    }
    QPainter p(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect().adjusted(2, 2, -2, -2);
    frame.frameShape = QFrame::Panel;
    frame.state |= QStyle::State_Raised;
    frame.lineWidth = 1;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &p, this);
}

void CRTTabCtrl::resizeEvent(QResizeEvent *)
{
    m_bar->setGeometry(0, 0, width(), m_bar->sizeHint().height());
    for (QWidget *page : m_pages)
        page->setGeometry(DisplayRect());
}

// ---- left pane ---------------------------------------------------------------------

CLeftWnd::CLeftWnd(QWidget *parent) : QWidget(parent), m_tabs(Ctrl(new CRTTabCtrl(this), IDC_LEFT_TABS))
{
    setObjectName(QStringLiteral("CLeftWnd"));
    m_pPage = new CBaseOperation(m_tabs);
    m_pPage->setAccessibleName(Tr("Base Oper", "基本操作"));
    if (m_tabs->AddPage(QStringLiteral("Base Oper"), 0, -1, m_pPage) < 0)
        DebugLog(QStringLiteral("动态创建‘基本操作面板’对话框 失败"), kNormal);
}

void CLeftWnd::resizeEvent(QResizeEvent *) { m_tabs->setGeometry(rect()); }

// ---- welcome picture ---------------------------------------------------------------

CWelcomePicture::CWelcomePicture(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("id1020"));
    setProperty("ctrlId", IDC_WELCOME);
}

int CWelcomePicture::bitmapId() const { return WelcomeBitmapId(AfxGetApp() ? AfxGetApp()->m_strProvide : QString()); }

void CWelcomePicture::paintEvent(QPaintEvent *)
{
    // Redrawn at the control's current size each time it paints.
    QPainter p(this);
    p.drawImage(0, 0, RenderWelcomeBitmap(bitmapId(), size()));
}

QImage RenderWelcomeBitmap(int bitmapId, const QSize &size)
{
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    QColor top, bottom, accent;
    QString brand;
    switch (bitmapId) {
    case IDB_WELCOME_MARLOWE:
        top = QColor(18, 40, 70);
        bottom = QColor(40, 90, 140);
        accent = QColor(255, 200, 60);
        brand = QStringLiteral("Marlowe");
        break;
    case IDB_WELCOME_TRESSEL:
        top = QColor(10, 50, 40);
        bottom = QColor(30, 110, 90);
        accent = QColor(120, 255, 160);
        brand = QStringLiteral("Tressel");
        break;
    case IDB_WELCOME_ORVIK:
        top = QColor(60, 20, 30);
        bottom = QColor(130, 50, 60);
        accent = QColor(255, 170, 120);
        brand = QStringLiteral("Orvik");
        break;
    default:
        top = QColor(30, 30, 36);
        bottom = QColor(70, 70, 84);
        accent = QColor(120, 220, 255);
        break;
    }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, image.height());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(image.rect(), g);

    // A screen with a graticule and a trace.
    const int w = image.width(), h = image.height();
    const QRectF screen(w * 0.12, h * 0.18, w * 0.76, h * 0.5);
    p.setPen(QPen(accent.darker(220), 1));
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawRoundedRect(screen, 8, 8);
    for (int i = 1; i < 10; ++i)
        p.drawLine(QPointF(screen.left() + screen.width() * i / 10, screen.top()),
                   QPointF(screen.left() + screen.width() * i / 10, screen.bottom()));
    for (int i = 1; i < 8; ++i)
        p.drawLine(QPointF(screen.left(), screen.top() + screen.height() * i / 8),
                   QPointF(screen.right(), screen.top() + screen.height() * i / 8));
    QPainterPath trace;
    for (int x = 0; x <= 200; ++x) {
        const double t = x / 200.0;
        const double y = std::sin(t * 6.283 * 3) * 0.35 * std::exp(-t * 0.8);
        const QPointF pt(screen.left() + t * screen.width(), screen.center().y() - y * screen.height());
        x == 0 ? trace.moveTo(pt) : trace.lineTo(pt);
    }
    p.setPen(QPen(accent, std::max(2.0, h / 200.0)));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trace);

    QFont f = QApplication::font();
    f.setBold(true);
    f.setPixelSize(std::max(12, h / 12));
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, h * 0.72, w, h * 0.12), Qt::AlignCenter, QStringLiteral("Vantor 3.0"));
    if (!brand.isEmpty()) {
        f.setBold(false);
        f.setPixelSize(std::max(10, h / 22));
        p.setFont(f);
        p.setPen(accent);
        p.drawText(QRectF(0, h * 0.84, w, h * 0.08), Qt::AlignCenter, brand);
    }
    return image;
}

// ---- right pane -----------------------------------------------------------------------

CRightWnd::CRightWnd(QWidget *parent)
    : QWidget(parent), m_tabs(Ctrl(new CRTTabCtrl(this), IDC_RIGHT_TABS)), m_pWelcome(new CWelcomePicture(m_tabs))
{
    setObjectName(QStringLiteral("CRightWnd"));
    m_tabs->AddPage(QStringLiteral("欢迎"), 0, -1, m_pWelcome);

    m_pGraph = new CViewWaveGraphDlg(m_tabs);
    if (m_tabs->AddPage(QStringLiteral("示波器"), 1, -1, m_pGraph) < 0)
        DebugLog(QStringLiteral("动态创建‘右窗口之图像对话框’失败"), kFatal);
    m_pBitmap = new CWaveUIBmpDlg(m_tabs);
    if (m_tabs->AddPage(QStringLiteral("界面"), 2, -1, m_pBitmap) < 0)
        DebugLog(QStringLiteral("动态创建‘右窗口之界面位图对话框’失败"), kFatal);
    m_pData = new CViewWavedataDlg(m_tabs);
    if (m_tabs->AddPage(QStringLiteral("数据"), 3, -1, m_pData) < 0)
        DebugLog(QStringLiteral("动态创建‘右窗口之波形数据对话框’失败"), kFatal);
    m_pMeasure = new CViewWaveparamDlg(m_tabs);
    if (m_tabs->AddPage(QStringLiteral("测量值"), 4, -1, m_pMeasure) < 0)
        DebugLog(QStringLiteral("动态创建‘右窗口之波形测量值对话框’失败"), kFatal);
    // The pages as assistive technology names them.
    const std::pair<QWidget *, QString> names[] = {{m_pGraph, Tr("Wave Graph", "波形图像")},
                                                   {m_pBitmap, Tr("DSO Bitmap", "设备位图")},
                                                   {m_pData, Tr("Wave Data", "波形数据")},
                                                   {m_pMeasure, Tr("Wave Measure", "波形测量值")}};
    for (const auto &[page, name] : names)
        if (page)
            page->setAccessibleName(name);
}

CRightWnd::~CRightWnd() = default;

void CRightWnd::resizeEvent(QResizeEvent *) { m_tabs->setGeometry(rect()); }

void CRightWnd::SelectTab(int index) { m_tabs->SetCurSel(index); }

int CRightWnd::CurrentTab() const { return m_tabs->GetCurSel(); }

void CRightWnd::OpenBitmapFile()
{
    // A file that cannot be shown keeps the page, its title and its Rename as they were.
    if (m_pBitmap && m_pBitmap->LoadBitmapFile(g_szOpenFilePath, true))
        m_pBitmap->EnableRename(false);
}

void CRightWnd::OpenWaveDataFile()
{
    if (!g_szOpenFilePath.contains(QLatin1String(".wdf"))) {
        DebugLog(QStringLiteral("打开文件类型与‘.wdf’不匹配"), kWarning);
        AfxGetApp()->ui().messageBox(this, QStringLiteral("提示信息"), QStringLiteral("打开文件类型不匹配，请确认！"),
                                     vantor::MsgIcon::Information);
        return;
    }
    if (!m_pData || !m_pData->LoadWaveDataFile(g_szOpenFilePath)) {
        DebugLog(QStringLiteral("打开选定文件‘*.wdf’失败"), kWarning);
        AfxGetApp()->ui().messageBox(this, QStringLiteral("提示信息"),
                                     QStringLiteral("打开选定文件失败，请确定文件是否被破坏、文件格式是否正确？"),
                                     vantor::MsgIcon::Information);
        return;
    }
    UpdatePageButtons();
}

void CRightWnd::OpenMeasurementFile()
{
    if (m_pMeasure)
        m_pMeasure->LoadMeasurementFile(g_szOpenFilePath);
}

void CRightWnd::OpenWaveGraphFile()
{
    if (m_pGraph)
        m_pGraph->LoadWaveGraphFile(g_szOpenFilePath);
    UpdatePageButtons();
}

namespace {

bool AnySlot(uint8_t ChannelSlot::*flag)
{
    for (int c = 1; c <= 7; ++c)
        if (g_ChannelSlots[c].*flag)
            return true;
    return false;
}

}  // namespace

void CRightWnd::UpdatePageButtons()
{
    // Enables only; what a page once held stays enabled.
    if (AnySlot(&ChannelSlot::bHasData)) {
        if (m_pData)
            m_pData->EnableOutputButtons();
        g_bWaveDataHasData = 1;
    }
    if (AnySlot(&ChannelSlot::bHasWave)) {
        if (m_pGraph)
            m_pGraph->EnableOutputButtons();
        g_bGraphHasData = 1;
    }
    if (AnySlot(&ChannelSlot::bMeasured)) {
        if (m_pMeasure)
            m_pMeasure->EnableOutputButtons();
        g_bMeasureHasData = 1;
    }
}
