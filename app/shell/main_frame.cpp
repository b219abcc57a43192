#include "main_frame.h"

#include "../panel/simulant_ui_dlg.h"
#include "../platform/control_ids.h"
#include "../platform/globals.h"
#include "../platform/link_trace.h"
#include "../platform/program_files.h"
#include "../print/print_page.h"
#include "../views/view_pages.h"
#include "base_operation.h"
#include "dialogs.h"
#include "logs.h"
#include "panes.h"
#include "vantor_app.h"

#include <tavlink.h>

#include <QAction>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

using vantor::MsgIcon;

namespace {

const char kDefaultIp[] = "192.168.1.100";
// The probe of a paused Auto refresh: first after 1 s, then twice as long
// each time, never more than 16 s apart.
constexpr int kFirstProbeMs = 1000;
constexpr int kLastProbeMs = 16000;

QString FlyByText(int id)
{
    struct Tip {
        int id;
        const char *key, *english;
    };
    static const Tip tips[] = {
        {ID_BIND_USB, "IDS_TIP_BIND_USB", "Connect to the instrument"},
        {ID_UNBIND_USB, "IDS_TIP_UNBIND_USB", "Disconnect from the instrument"},
        {ID_APP_EXIT, "IDS_TIP_APP_EXIT", "Quit the application"},
        {ID_VIEW_OPERATION_PANE, "IDS_TIP_OPERATION_PANE", "Show or hide the operation pane"},
        {ID_SHOW_PANEL, "IDS_TIP_SHOW_PANEL", "Show the virtual front panel"},
        {ID_APP_ABOUT, "IDS_TIP_APP_ABOUT", "Display program information and version"},
    };
    for (const Tip &t : tips)
        if (t.id == id)
            return UiText(t.key, t.english);
    return {};
}

QPixmap ToolImage(const QColor &colour, const QString &glyph)
{
    QPixmap pm(16, 15);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(colour.darker(150));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 14), 3, 3);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 0, 16, 15), Qt::AlignCenter, glyph);
    return pm;
}

}  // namespace

// ---- lamps ------------------------------------------------------------------

// One lamp: a circle in its green or red pen and brush, with its state told
// to assistive technology as well.
class CLamp : public QWidget {
public:
    CLamp(QWidget *parent, const QString &name) : QWidget(parent)
    {
        setAccessibleName(name);
        setObjectName(name);
    }
    void set(bool green, const QString &state)
    {
        m_green = green;
        setAccessibleDescription(state);
        setToolTip(accessibleName() + QStringLiteral(": ") + state);
        update();
    }
    bool green() const { return m_green; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor colour = m_green ? QColor(0, 255, 0) : QColor(255, 0, 0);
        p.setPen(QPen(colour, 1));
        p.setBrush(colour);
        p.drawEllipse(QRectF(0.5, 0.5, width() - 1.0, height() - 1.0));
    }

private:
    bool m_green = false;
};

// The link lamp 50 px and the bind lamp 30 px left of the window's right
// edge, 2 px inside the menu row.
class CLinkLamps : public QWidget {
public:
    explicit CLinkLamps(CMainFrame *frame)
        : QWidget(frame), m_frame(frame), m_link(new CLamp(this, QStringLiteral("Link lamp"))),
          m_bind(new CLamp(this, QStringLiteral("Bind lamp")))
    {
        setObjectName(QStringLiteral("linkLamps"));
        setMinimumSize(55, fontMetrics().height() + 6);
        refresh();
    }
    QSize sizeHint() const override { return QSize(55, fontMetrics().height() + 6); }
    void refresh()
    {
        const bool linked = m_frame->linkLampGreen(), bound = m_frame->bindLampGreen();
        m_link->set(linked, linked ? Tr("linked", "已连接") : Tr("not linked", "未连接"));
        m_bind->set(bound, bound ? Tr("bound", "已绑定") : Tr("not bound", "未绑定"));
    }

protected:
    void resizeEvent(QResizeEvent *) override
    {
        const int d = std::max(4, height() - 4);
        m_link->setGeometry(width() - 50, 2, d, d);
        m_bind->setGeometry(width() - 30, 2, d, d);
    }

private:
    CMainFrame *m_frame;
    CLamp *m_link;
    CLamp *m_bind;
};

CMainFrame *AfxGetMainFrame()
{
    CVantorApp *app = AfxGetApp();
    return app ? app->mainFrame() : nullptr;
}

CMainFrame::CMainFrame()
{
    setObjectName(QStringLiteral("CMainFrame"));
    m_strIpAddress = QString::fromLatin1(kDefaultIp);
    m_notify.magic = FERRULE_NOTIFY_MAGIC;
    m_notify.deviceChange = &CMainFrame::DeviceChangeThunk;
    m_notify.context = this;
    vantor::InstallLinkTrace();
    vantor::SetLinkClosedHandler([this] { OnLinkClosed(); });
    m_timer.setObjectName(QStringLiteral("timer1"));
    connect(&m_timer, &QTimer::timeout, this, &CMainFrame::OnRefreshTick);
    m_probe.setObjectName(QStringLiteral("probe"));
    m_probe.setSingleShot(true);
    connect(&m_probe, &QTimer::timeout, this, [this] {
        // Like a device notice, the probe waits for the command in progress.
        QPointer<CMainFrame> guard(this);
        link().whenIdle([guard] {
            if (guard)
                guard->OnProbe();
        });
    });
}

CMainFrame::~CMainFrame()
{
    m_timer.stop();
    m_probe.stop();
    vantor::SetLinkClosedHandler(nullptr);
    vantor::RemoveLinkTrace();
    if (views::Host() == this)
        views::SetHost(nullptr);
    SetPrintPageFinder(nullptr);
    CVantorApp *app = AfxGetApp();
    if (app) {
        // The notice target lives in this object: unregister it even when the
        // device is gone, or a later arrival would call into a dead frame.
        m_notify.magic = 0;
        link().run([] { UnloadUSBDevice(); });
        SaveSettings();
    }
}

vantor::LinkGate &CMainFrame::link() { return AfxGetApp()->link(); }
vantor::UiServices &CMainFrame::ui() { return AfxGetApp()->ui(); }

void CMainFrame::DeviceChangeThunk(void *context, uint32_t event, const FerruleDeviceBroadcast *header)
{
    // Ferrule's event thread: copy the header (valid only now) and hand it to
    // the UI thread, which runs it once no command is in progress.
    auto *frame = static_cast<CMainFrame *>(context);
    FerruleDeviceBroadcast copy{};
    if (header)
        copy = *header;
    QPointer<CMainFrame> guard(frame);
    QMetaObject::invokeMethod(
        frame,
        [guard, event, copy] {
            if (!guard)
                return;
            CVantorApp *app = AfxGetApp();
            if (!app)
                return;
            app->link().whenIdle([guard, event, copy] {
                if (guard)
                    guard->OnDeviceChange(event, copy);
            });
        },
        Qt::QueuedConnection);
}

bool CMainFrame::Create()
{
    CVantorApp *app = AfxGetApp();
    const QRect screen =
        QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect(0, 0, 1024, 768);
    m_cxScreen = screen.width();
    m_cyScreen = screen.height();
    move(5, 5);
    resize(m_cxScreen - 10, m_cyScreen - 35);
    setMinimumSize(m_cxScreen * 3 / 4 + 60, m_cyScreen * 3 / 4 + 10);
    setWindowTitle(QStringLiteral("Vantor"));

    views::SetHost(this);
    m_wndSplitter = Ctrl(new CRTSplitterWnd(this), IDC_SPLITTER);
    setCentralWidget(m_wndSplitter);
    m_wndLeft = new CLeftWnd(m_wndSplitter);
    m_wndRight = new CRightWnd(m_wndSplitter);
    m_pages = {m_wndRight->graphPage(), m_wndRight->bitmapPage(), m_wndRight->dataPage(), m_wndRight->measurePage()};
    // The preview's draw messages go to the pages that print.
    SetPrintPageFinder([this](int message) -> CPrintablePage * {
        switch (message) {
        case WM_PRINT_WAVE_DATA: return m_pages.data;
        case WM_PRINT_WAVE_GRAPH: return m_pages.graph;
        case WM_PRINT_MEASURE: return dynamic_cast<CPrintablePage *>(m_pages.measure);
        case WM_PRINT_BITMAP: return dynamic_cast<CPrintablePage *>(m_pages.bitmap);
        default: return nullptr;
        }
    });
    m_wndSplitter->AttachPanes(m_wndLeft, m_wndRight, static_cast<int>(m_cxScreen * 0.1708984375));

    BuildMenu();
    BuildToolBar();
    BuildStatusBar();
    if (NeedsLocalising())
        LocaliseMenu();

    ResetDeviceBuffers();
    LoadSettings();

    m_wndSplitter->AttachPanes(m_wndLeft, m_wndRight, 175);
    action(ID_VIEW_OPERATION_PANE)->setChecked(true);
    m_nLeftPaneState = 8;

    if (g_bSaveOperateFile)
        operate_log::Start();

    MapSerialPorts();
    const bool present = link().run([this] { return IsHasConnect(&m_notify); });
    if (!present) {
        EnterNotLinked();
    } else {
        // The probe found the instrument: the link is known and present, so
        // Connect can go ahead at once.
        m_bLinkKnown = 1;
        m_bUsbPresent = 1;
        RefreshLinkLamp();
    }
    link().run([] { return GetConnectStyle(TAVLINK_STYLE_USB); });
    UpdateCommandStates();
    Q_UNUSED(app);
    return true;
}

void CMainFrame::ShowAtStart()
{
    show();
    action(ID_VIEW_TOOLBAR)->setChecked(true);
    action(ID_VIEW_STATUS_BAR)->setChecked(true);
}

void CMainFrame::MapSerialPorts()
{
    const vantor::StartupFile ini = AfxGetApp()->startupFile();
    for (int port = 1; port <= 7; ++port) {
        const QString path = ini.value(QStringLiteral("Serial"), QStringLiteral("COM%1").arg(port), QString(), 256);
        if (path.isEmpty())
            continue;
        const QByteArray bytes = path.toUtf8();
        link().run([&] { return Dso_SetUartPortPath(port, bytes.constData()); });
    }
}

// ---- building -------------------------------------------------------------------

void CMainFrame::BuildMenu()
{
    auto add = [this](QMenu *menu, int id, const QString &text, bool checkable = false) {
        QAction *a = menu->addAction(text);
        a->setProperty("ctrlId", id);
        a->setObjectName(QStringLiteral("id%1").arg(id));
        a->setCheckable(checkable);
        m_actions[id] = a;
        return a;
    };
    QMenuBar *bar = menuBar();
    m_menus[0] = bar->addMenu(QStringLiteral("&Panel"));
    m_menus[1] = bar->addMenu(QStringLiteral("&View"));
    m_menus[2] = bar->addMenu(QStringLiteral("&Setting"));
    m_menus[3] = bar->addMenu(QStringLiteral("&Help"));

    // The Ctrl combinations are labels only; nothing binds them.
    // The commands that need the link wait for the one in progress.
    vantor::ConnectCommand(add(m_menus[0], ID_BIND_USB, QStringLiteral("Connect\tCtrl+B")), &QAction::triggered, this,
                           &CMainFrame::OnConnect);
    vantor::ConnectCommand(add(m_menus[0], ID_UNBIND_USB, QStringLiteral("Disconnect\tCtrl+U")), &QAction::triggered,
                           this, &CMainFrame::OnDisconnect);
    m_menus[0]->addSeparator();
    connect(add(m_menus[0], ID_APP_EXIT, QStringLiteral("Exit")), &QAction::triggered, this, &CMainFrame::OnExit);

    connect(add(m_menus[1], ID_VIEW_TOOLBAR, QStringLiteral("ToolBar"), true), &QAction::triggered, this,
            &CMainFrame::OnToggleToolBar);
    connect(add(m_menus[1], ID_VIEW_STATUS_BAR, QStringLiteral("Status Bar"), true), &QAction::triggered, this,
            &CMainFrame::OnToggleStatusBar);
    connect(add(m_menus[1], ID_VIEW_OPERATION_PANE, QStringLiteral("Base Control Panel"), true), &QAction::triggered,
            this, &CMainFrame::OnToggleLeftPane);
    connect(add(m_menus[1], ID_VIEW_ANTIALIAS, QStringLiteral("Antialiased Curves"), true), &QAction::triggered, this,
            &CMainFrame::OnToggleAntialias);

    m_rateMenu = m_menus[2]->addMenu(QStringLiteral("Refresh Rate"));
    const int codes[6] = {0, 1, 2, 3, 5, 10};
    const char *texts[6] = {"0.5 s", "1 s", "2 s", "3 s", "5 s", "10 s"};
    for (int i = 0; i < 6; ++i) {
        const int code = codes[i];
        connect(add(m_rateMenu, ID_RATE_500MS + i, QString::fromLatin1(texts[i]), true), &QAction::triggered, this,
                [this, code] { OnRefreshRate(code); });
    }
    connect(add(m_rateMenu, ID_RATE_CUSTOM, QStringLiteral("Custom..."), true), &QAction::triggered, this,
            &CMainFrame::OnCustomRate);
    connect(add(m_menus[2], ID_FILE_DESTINATION, QStringLiteral("File Destination\tCtrl+P")), &QAction::triggered, this,
            &CMainFrame::OnFileDestination);
    connect(add(m_menus[2], ID_OPERATE_FILE, QStringLiteral("Operate File\tCtrl+D"), true), &QAction::triggered, this,
            &CMainFrame::OnOperateFile);
    connect(add(m_menus[2], ID_DEFAULT_SETTING, QStringLiteral("Default Setting")), &QAction::triggered, this,
            &CMainFrame::OnDefaultSetting);
    m_menus[2]->addSeparator();
    vantor::ConnectCommand(add(m_menus[2], ID_CONNECT_SETTING, QStringLiteral("Connect Setting")), &QAction::triggered,
                           this, &CMainFrame::OnConnectSetting);
    vantor::ConnectCommand(add(m_menus[2], ID_TEST_CONNECTION, QStringLiteral("Test Connection")), &QAction::triggered,
                           this, &CMainFrame::OnTestConnection);

    connect(add(m_menus[3], ID_APP_ABOUT, QStringLiteral("About")), &QAction::triggered, this,
            [] { AfxGetApp()->OnAppAbout(); });
    QAction *panel = new QAction(this);
    panel->setProperty("ctrlId", ID_SHOW_PANEL);
    panel->setObjectName(QStringLiteral("id32809"));
    m_actions[ID_SHOW_PANEL] = panel;
    vantor::ConnectCommand(panel, &QAction::triggered, this, &CMainFrame::OnShowPanel);

    for (QMenu *menu : m_menus)
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);

    // Over the right end of the menu row, as a child of the frame itself, so
    // that assistive technology finds the lamps (a menu bar only shows its
    // items).
    m_lamps = new CLinkLamps(this);
    bar->installEventFilter(this);
}

void CMainFrame::BuildToolBar()
{
    m_wndToolBar = new QToolBar(this);
    m_wndToolBar->setObjectName(QStringLiteral("toolbar128"));
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_wndToolBar->setIconSize(QSize(16, 15));
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);

    const bool zh = IsChineseUi();
    struct Button {
        int id;
        const char *en, *zh, *glyph;
        QColor colour;
    };
    const Button buttons[] = {
        {ID_BIND_USB, "Connect", "连接", "C", QColor(0, 140, 60)},
        {ID_UNBIND_USB, "Disc", "断开", "D", QColor(190, 60, 40)},
        {ID_APP_EXIT, "Exit", "退出", "X", QColor(110, 110, 110)},
        {0, nullptr, nullptr, nullptr, {}},
        {ID_VIEW_OPERATION_PANE, "SideBar", "切换", "S", QColor(40, 90, 170)},
        {0, nullptr, nullptr, nullptr, {}},
        {ID_SHOW_PANEL, "Panel", "面板", "P", QColor(160, 110, 20)},
        {0, nullptr, nullptr, nullptr, {}},
        {ID_APP_ABOUT, "About", "关于", "?", QColor(90, 60, 150)},
    };
    int widest = 0, highest = 0;
    for (const Button &b : buttons) {
        if (b.id == 0) {
            m_wndToolBar->addSeparator();
            continue;
        }
        QAction *a = action(b.id);
        a->setIcon(ToolImage(b.colour, QString::fromLatin1(b.glyph)));
        a->setIconText(QString::fromUtf8(zh ? b.zh : b.en));
        // The fly-by text in the status bar, and the tool tip.
        const QString tip = FlyByText(b.id);
        a->setStatusTip(tip);
        a->setToolTip(tip);
        m_wndToolBar->addAction(a);
        if (QWidget *w = m_wndToolBar->widgetForAction(a)) {
            w->setObjectName(QStringLiteral("tool%1").arg(b.id));
            widest = std::max(widest, w->sizeHint().width());
            highest = std::max(highest, w->sizeHint().height());
        }
    }
    // Every button takes the size of the largest one.
    for (QAction *a : m_wndToolBar->actions())
        if (QWidget *w = m_wndToolBar->widgetForAction(a); w && !a->isSeparator())
            w->setFixedSize(widest, highest);
}

void CMainFrame::BuildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("id101"));
    bar->setSizeGripEnabled(true);
    const int widths[5] = {0, 100, 120, 200, 70};
    for (int i = 0; i < 5; ++i) {
        m_pane[i] = new QLabel(bar);
        m_pane[i]->setObjectName(QStringLiteral("pane%1").arg(i));
        m_pane[i]->setFrameShape(QFrame::Panel);
        m_pane[i]->setFrameShadow(QFrame::Sunken);
        if (i == 0) {
            m_pane[i]->setMinimumWidth(50);
            bar->addWidget(m_pane[i], 1);
        } else {
            m_pane[i]->setFixedWidth(widths[i]);
            bar->addPermanentWidget(m_pane[i]);
        }
    }
    SetPane(0, Tr("Welcome use Vantor 3.0", "欢迎使用 Vantor 3.0"));
    SetPane(1, Tr("Ready...", "就绪..."));
    SetPane(3, BrandStatusText(AfxGetApp()->m_strProvide, AfxGetApp()->m_strLanguage));
    const QDate today = ui().now().date();
    SetPane(4, QString::asprintf("%04d-%02d-%02d", today.year(), today.month(), today.day()));
    // Fixed widths are the design's; a wider font must still show the date whole.
    m_pane[4]->setFixedWidth(std::max(70, m_pane[4]->fontMetrics().horizontalAdvance(m_pane[4]->text()) + 12));
}

void CMainFrame::LocaliseMenu()
{
    const char *titles[4] = {"IDS_MENU_PANEL", "IDS_MENU_VIEW", "IDS_MENU_SETTTING", "IDS_MENU_HELP"};
    for (int i = 0; i < 4; ++i)
        m_menus[i]->setTitle(LoadUiString(QString::fromLatin1(titles[i])));
    m_rateMenu->setTitle(LoadUiString(QStringLiteral("IDS_MENU_SETTIME")));
    const std::pair<int, const char *> items[] = {
        {ID_BIND_USB, "IDS_MENU_BIND_USB"},
        {ID_UNBIND_USB, "IDS_MENU_UNBIND_USB"},
        {ID_APP_EXIT, "IDS_MENU_APP_EXIT"},
        {ID_VIEW_TOOLBAR, "IDS_MENU_VIEW_TOOLBAR"},
        {ID_VIEW_STATUS_BAR, "IDS_MENU_VIEW_STATUS_BAR"},
        {ID_VIEW_OPERATION_PANE, "IDS_MENU_VIEW_OPERATION_PANE"},
        {ID_VIEW_ANTIALIAS, "IDS_MENU_VIEW_ANTIALIAS"},
        {ID_RATE_CUSTOM, "IDS_MENU_TIMER_CUSTOM"},
        {ID_FILE_DESTINATION, "IDS_MENU_SET_OPENFILE_DLG_ORI_PATH"},
        {ID_OPERATE_FILE, "IDS_MENU_DO_FILE"},
        {ID_DEFAULT_SETTING, "IDS_MENU_DEFAULT_SET"},
        {ID_CONNECT_SETTING, "IDS_MENU_SETTING_RSR232"},
        {ID_TEST_CONNECTION, "IDS_MENU_TEST_USB_LINK"},
        {ID_APP_ABOUT, "IDS_MENU_APP_ABOUT"},
    };
    for (const auto &[id, key] : items)
        action(id)->setText(LoadUiString(QString::fromLatin1(key)));
}

// ---- shared operations ------------------------------------------------------------

QAction *CMainFrame::action(int id) const
{
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

QMenu *CMainFrame::topMenu(int index) const { return (index >= 0 && index < 4) ? m_menus[index] : nullptr; }

QString CMainFrame::paneText(int pane) const { return m_pane[pane]->text(); }

void CMainFrame::SetPane(int pane, const QString &text) { m_pane[pane]->setText(text); }

void CMainFrame::Message(const QString &text, const QString &title, MsgIcon icon)
{
    ui().messageBox(this, title, text, icon);
}

void CMainFrame::LogOperation(const QString &text)
{
    SetPane(0, text);
    if (!operate_log::Add(text)) {
        Message(QStringLiteral("Try to open Operate File failed!"), QStringLiteral("Error"), MsgIcon::None);
        RefreshLinkLamp();
    }
}

void CMainFrame::PlaceProgress()
{
    if (!m_wndProgress) {
        m_wndProgress = new QProgressBar(m_pane[2]);
        m_wndProgress->setObjectName(QStringLiteral("id108"));
        m_wndProgress->setProperty("ctrlId", IDC_PROGRESS);
        m_wndProgress->setRange(0, 100);
        m_wndProgress->setValue(0);
        m_wndProgress->setTextVisible(false);
        m_wndProgress->show();
    }
    m_wndProgress->setGeometry(m_pane[2]->contentsRect());
}

// QProgressBar repaints the whole window at once on each visible step; a
// step waits for the next paint instead, so the end of a refresh paints once.
void CMainFrame::SetProgressValue(int value)
{
    m_wndProgress->setUpdatesEnabled(false);
    m_wndProgress->setValue(value);
    m_wndProgress->setUpdatesEnabled(true);
}

void CMainFrame::RunProgress(int mode, int step, int fifth)
{
    PlaceProgress();
    if (fifth != 0) {
        SetProgressValue(fifth * 20);
        return;
    }
    if (mode != 0 && step != 0) {
        SetPane(1, Tr("Communicating ...", "通讯中 ..."));
        const int n = static_cast<int>(10.0 / mode * step);
        int position = m_wndProgress->value();
        for (int i = 0; i < n; ++i) {
            link().pause(2);
            position += 10;
            SetProgressValue(std::min(position, 100));
        }
        if (position != 100)
            return;
    } else {
        const int position = m_wndProgress->value();
        if (position > 0 && position < 100) {
            link().pause(5);
            SetProgressValue(100);
        }
    }
    SetProgressValue(0);
    SetPane(1, Tr("Ready...", "就绪..."));
}

bool CMainFrame::linkLampGreen() const
{
    return (m_bPortMode && m_bLinkKnown) || (!m_bPortMode && m_bLinkKnown && m_bUsbPresent);
}

bool CMainFrame::bindLampGreen() const { return g_bDsoBound && m_bLinkKnown; }

void CMainFrame::RefreshLinkLamp()
{
    if (m_lamps)
        m_lamps->refresh();
    UpdateCommandStates();
}

void CMainFrame::UpdateCommandStates()
{
    if (m_actions.empty())
        return;
    action(ID_BIND_USB)->setEnabled(!g_bDsoBound);
    action(ID_UNBIND_USB)->setEnabled(g_bDsoBound);
    action(ID_APP_EXIT)->setEnabled(!g_bDsoBound);
    action(ID_SHOW_PANEL)->setEnabled(g_bDsoBound);
}

void CMainFrame::ApplyRefreshRate(int code)
{
    for (int id = ID_RATE_500MS; id <= ID_RATE_CUSTOM; ++id)
        action(id)->setChecked(false);
    struct Row {
        int code, usb, port, item;
    };
    static const Row rows[] = {{0, 500, 1000, ID_RATE_500MS}, {1, 1000, 2000, ID_RATE_1S},
                               {2, 2000, 3000, ID_RATE_2S},   {3, 3000, 4000, ID_RATE_3S},
                               {5, 5000, 6000, ID_RATE_5S},   {10, 10000, 12000, ID_RATE_10S}};
    if (code == 20) {
        action(ID_RATE_CUSTOM)->setChecked(true);
        return;
    }
    for (const Row &r : rows) {
        if (r.code == code) {
            g_nRefreshInterval = m_bPortMode ? r.port : r.usb;
            action(r.item)->setChecked(true);
            return;
        }
    }
}

void CMainFrame::StartRefreshTimer() { m_timer.start(g_nRefreshInterval); }

bool CMainFrame::SelectTab(int tab)
{
    if (!m_wndRight || tab < 0 || tab >= m_wndRight->tabs()->count())
        return false;
    m_wndRight->SelectTab(tab);
    return true;
}

int CMainFrame::OpenFileDialogFor(int type) { return ::OpenFileDialogFor(type); }

int CMainFrame::SaveFileDialogFor(int type) { return ::SaveFileDialogFor(type); }

void CMainFrame::UpdatePageButtons()
{
    if (m_wndRight)
        m_wndRight->UpdatePageButtons();
}

void CMainFrame::StopRefreshTimer()
{
    m_timer.stop();
    EndAutoPause();
}

void CMainFrame::EnterNotLinked()
{
    m_bLinkKnown = 1;
    m_bUsbPresent = m_bUsbMode ? 0 : 1;
    g_bDsoBound = 0;
    SetPane(3, Tr("The link is incorrect!", "未连接!"));
    RefreshLinkLamp();
}

// ---- settings -----------------------------------------------------------------------

void CMainFrame::LoadSettings()
{
    QSettings settings(QString::fromLatin1(vantor::kOrganisation), QString::fromLatin1(vantor::kApplication));
    const QString programDir = AfxGetApp()->files().startDir;
    if (settings.status() != QSettings::NoError || !settings.childGroups().contains(QStringLiteral("Settings"))) {
        DebugLog(QStringLiteral("打开注册表读取软件配置参数失败"), kNormal);
        g_nRefreshInterval = 2000;
        ApplyRefreshRate(2);
        g_bSaveOperateFile = 0;
        action(ID_OPERATE_FILE)->setChecked(false);
        g_szInitPath = programDir;
        return;
    }
    settings.beginGroup(QStringLiteral("Settings"));
    int code = 2;
    if (settings.contains(QStringLiteral("Interval time"))) {
        g_nRefreshInterval = LeadingNumber(settings.value(QStringLiteral("Interval time")).toString());
        switch (g_nRefreshInterval) {
        case 500: code = 0; break;
        case 1000:
        case 2000:
        case 3000:
        case 5000:
        case 10000: code = g_nRefreshInterval / 1000; break;
        default: code = 20; break;
        }
    } else {
        g_nRefreshInterval = 2000;
    }
    ApplyRefreshRate(code);
    g_bSaveOperateFile = static_cast<uint8_t>(settings.value(QStringLiteral("Operate File check"), 0).toUInt() & 0xFF);
    action(ID_OPERATE_FILE)->setChecked(g_bSaveOperateFile != 0);
    if (settings.contains(QStringLiteral("FileInit Path")))
        g_szInitPath = settings.value(QStringLiteral("FileInit Path")).toString().left(200);
    else
        g_szInitPath = programDir;
    settings.endGroup();
}

void CMainFrame::SaveSettings()
{
    const QString organisation = QString::fromLatin1(vantor::kOrganisation),
                  application = QString::fromLatin1(vantor::kApplication);
    {
        QSettings settings(organisation, application);
        if (!settings.childGroups().contains(QStringLiteral("Settings"))) {
            // No key to open: it is created by the writes below.
            DebugLog(QStringLiteral("打开注册表以保存软件配置参数失败"), kNormal);
            if (!settings.isWritable()) {
                DebugLog(QStringLiteral("创建注册表以保存软件配置参数失败"), kNormal);
                return;
            }
        }
    }
    // One store per value: its status then tells which value failed, and
    // the next is still written.
    const std::tuple<const char *, QVariant, const char *> values[] = {
        {"Interval time", QString::number(g_nRefreshInterval), "写注册表 保存软件配置参数：刷新时间 失败"},
        {"Operate File check", static_cast<uint>(g_bSaveOperateFile),
         "写注册表 保存软件配置参数：动作文件是否保存 失败"},
        {"FileInit Path", g_szInitPath, "写注册表 保存软件配置参数：文件存取初始路径 失败"},
    };
    for (const auto &[name, value, failure] : values) {
        QSettings settings(organisation, application);
        settings.setValue(QStringLiteral("Settings/") + QLatin1String(name), value);
        settings.sync();
        if (settings.status() != QSettings::NoError || !settings.isWritable())
            DebugLog(QString::fromUtf8(failure), kNormal);
    }
}

// ---- connection commands ---------------------------------------------------------------

void CMainFrame::OnConnect()
{
    if (g_bDsoBound)
        return;
    if (!m_bPortMode && !m_bLinkKnown) {
        Message(Tr("The link is incorrect!", "连接失败!"), Tr("Error", "错误"), MsgIcon::None);
        RefreshLinkLamp();
        return;
    }
    ui().beginWaitCursor();
    LogOperation(Tr("Link", "连接"));
    if (m_bPortMode) {
        if (m_nLinkType == 0) {
            const int port = m_nComPort, baud = m_nBaudRate;
            if (!link().run([=] { return Dso_InitUart(port, baud); }))
                Message(Tr("The Init Rs232 is incorrect!", "初始化串口失败!"), QStringLiteral("Vantor"), MsgIcon::None);
        } else if (m_nLinkType == 2) {
            const QByteArray ip = m_strIpAddress.toLatin1();
            const int port = m_nIpPort;
            if (!link().run([&] { return Dso_InitSocket(0, ip.constData(), port); }))
                Message(Tr("The Init Net is incorrect!", "初始化网口失败!"), QStringLiteral("Vantor"), MsgIcon::None);
        }
    }
    if (!link().run([] { return BindDso(); })) {
        ui().endWaitCursor();
        Message(Tr("Link failed!", "连接失败!"), QStringLiteral("Vantor"), MsgIcon::None);
        RefreshLinkLamp();
        return;
    }
    link().pause(300);
    RunProgress(0, 0, 2);
    link().pause(300);
    RunProgress(0, 0, 5);
    link().pause(500);
    LogOperation(Tr("Link", "连接"));
    TakeUpBinding();
    ui().endWaitCursor();
    RunProgress(2, 0, 0);
    if (m_bAutoPaused)
        ResumeAuto();
    RefreshLinkLamp();
}

// After a successful bind: what the instrument is, and the pages to match.
void CMainFrame::TakeUpBinding()
{
    char name[20] = {}, ident[10] = {}, text[16] = {};
    char code = 0, family = 0;
    link().run([&] { GetProductType(name, ident, &code, &family, text); });
    m_strProduct = QString::fromLatin1(name, static_cast<int>(strnlen(name, sizeof name)));
    std::memcpy(g_ProductTable, ident, 10);
    g_ProductTable[10] = static_cast<uint8_t>(code);
    g_ProductTable[11] = static_cast<uint8_t>(family);
    g_ProductType = static_cast<uint8_t>(family);
    g_bDsoBound = 1;
    // Bound over the network or the serial line: that link is up again.
    if (m_bPortMode)
        m_bLinkKnown = 1;

    if (CViewWaveGraphDlg *graph = m_wndRight->graphPage()) {
        if (HasFourChannels(g_ProductType))
            graph->ShowChannel34(true);
        else if (HasTwoChannels(g_ProductType))
            graph->ShowChannel34(false);
    }
    m_wndLeft->page()->SetDeviceButtons(true);
}

void CMainFrame::OnDisconnect()
{
    if (!(g_bDsoBound && m_bLinkKnown)) {
        Message(Tr("Current isn't Binding ,so can't do 'UnBind' oper!", "当前未绑定，故无法执行解除绑定操作!"),
                Tr("Error", "错误"), MsgIcon::Warning);
        RefreshLinkLamp();
        return;
    }
    ui().beginWaitCursor();
    LogOperation(Tr("UnLink", "断开"));
    if (m_bUsbMode && !link().run([] { return UnBindDso(); }))
        LogOperation(Tr("UnLink failed!", "断开失败!"));
    link().pause(300);
    RunProgress(0, 0, 2);
    link().pause(300);
    RunProgress(0, 0, 5);
    LogOperation(Tr("UnLink", "断开"));
    g_bDsoBound = 0;
    m_wndLeft->page()->SetDeviceButtons(false);
    StopRefreshTimer();
    g_bAutoRefresh = 0;
    if (CViewWaveGraphDlg *graph = m_wndRight->graphPage())
        graph->SetModeButtons(true, false);
    link().pause(500);
    RunProgress(2, 0, 0);
    ui().endWaitCursor();
    RefreshLinkLamp();
}

void CMainFrame::OnConnectSetting()
{
    LogOperation(Tr("Set the current link!", "设置连接方式!"));
    CRS232Dlg dialog(this);
    dialog.m_nComIndex = m_nComIndex;
    dialog.m_nBaudIndex = m_nBaudIndex;
    dialog.m_nLinkType = m_nLinkType;
    dialog.m_nLinkRadio = m_nLinkRadio;
    dialog.m_strInitAddress = QString::fromLatin1(kDefaultIp);
    dialog.m_nInitPort = 8001;
    if (ui().runDialog(&dialog) != QDialog::Accepted)
        return;
    m_nComIndex = dialog.m_nComIndex;
    m_nBaudIndex = dialog.m_nBaudIndex;
    m_nLinkType = dialog.m_nLinkType;
    m_nLinkRadio = dialog.m_nLinkRadio;
    m_nComPort = dialog.m_nComPort;
    m_nBaudRate = dialog.m_nBaudRate;
    m_strIpAddress = dialog.m_strAddress;
    m_nIpPort = dialog.m_nPort;
    // A pause waits on the style left behind: Auto ends with it.
    if (m_bAutoPaused) {
        StopRefreshTimer();
        m_bLinkKnown = 1;
        g_bAutoRefresh = 0;
        if (CViewWaveGraphDlg *graph = m_wndRight->graphPage())
            graph->SetModeButtons(true, false);
    }
    switch (m_nLinkType) {
    case 2:
        m_bPortMode = 1;
        m_bUsbMode = 0;
        link().run([] { return GetConnectStyle(TAVLINK_STYLE_NET); });
        SetPane(3, Tr("The link is net!", "连接方式为网口!"));
        break;
    case 1:
        m_bPortMode = 0;
        m_bUsbMode = 1;
        link().run([] { return GetConnectStyle(TAVLINK_STYLE_USB); });
        SetPane(3, Tr("The link is USB!", "连接方式为 USB!"));
        break;
    default:
        m_bPortMode = 1;
        m_bUsbMode = 0;
        link().run([] { return GetConnectStyle(TAVLINK_STYLE_SERIAL); });
        SetPane(3, Tr("The link is RS232!", "连接方式为 RS232!"));
        break;
    }
    RefreshLinkLamp();
}

void CMainFrame::OnTestConnection()
{
    LogOperation(Tr("Test the Link state", "测试连接状态"));
    if (m_bUsbMode && !link().run([this] { return IsHasConnect(&m_notify); })) {
        EnterNotLinked();
        Message(Tr("Connection Failed!", "连接失败!"), Tr("Error", "错误"), MsgIcon::None);
    } else {
        // The presence of the USB device is the notices' to say.
        m_bLinkKnown = 1;
        Message(Tr("Connection Successful!", "连接成功!"), Tr("Info", "信息"), MsgIcon::Information);
    }
    RefreshLinkLamp();
}

void CMainFrame::OnDeviceChange(uint32_t event, const FerruleDeviceBroadcast &header)
{
    if (m_bUsbMode) {
        link().run([&] { return ChangeUSBDevice(event, &header); });
        if (link().run([] { return IsConnected(); })) {
            m_bLinkKnown = 1;
            m_bUsbPresent = 1;
            DebugLog(QStringLiteral("当前应用程序检测到USB设备的拔插动作"), kNormal);
            SetPane(3, Tr("There is a device changing !", "检测到设备的拔插动作!"));
            if (m_bAutoPaused) {
                m_nProbeDelay = 0;
                m_probe.start(0);
            }
        } else {
            m_bLinkKnown = 0;
            m_bUsbPresent = 0;
            g_bDsoBound = 0;
        }
    } else {
        m_bLinkKnown = 1;
    }
    RefreshLinkLamp();
}

// ---- refresh ---------------------------------------------------------------------------

void CMainFrame::OnRefreshTick()
{
    // Refreshes never overlap, an earlier tick's message still on screen is
    // not joined by another, and a paused Auto waits for the instrument.
    if (link().busy() || m_tickMessageOpen || m_bAutoPaused)
        return;
    link().command(this, [this] { RefreshTick(); });
}

void CMainFrame::RefreshTick()
{
    LogOperation(Tr("Refresh the Wave Graph", "刷新波形"));
    if (!g_bDsoBound) {
        PauseAuto();
        return;
    }
    ui().beginWaitCursor();
    CViewWaveGraphDlg *graph = m_wndRight->graphPage();
    const bool answered = !graph || graph->RefreshWaveGraph();
    if (answered && m_wndRight->m_pPanel) {
        m_wndRight->m_pPanel->RefreshFromTick();
        link().pause(500);
    }
    RunProgress(5, 0, 0);
    ui().endWaitCursor();
    if (!answered)
        PauseAuto();
}

// The first tick that finds the instrument gone reports it once; then the
// ticks stop and the probe looks for the instrument, less often each time,
// until it answers a bind or the user leaves Auto. What is on screen stays.
void CMainFrame::PauseAuto()
{
    m_timer.stop();
    m_bAutoPaused = true;
    g_bDsoBound = 0;
    if (m_bPortMode)
        m_bLinkKnown = 0;
    m_wndLeft->page()->SetDeviceButtons(false);
    SetPane(3, Tr("Auto paused: no instrument", "自动刷新暂停：无设备"));
    DebugLog(QStringLiteral("自动刷新时设备无响应，暂停自动刷新"), kWarning);
    RefreshLinkLamp();
    m_tickMessageOpen = true;
    Message(Tr("The software is not link with device!", "没有连接设备!"), QStringLiteral("Error"), MsgIcon::Warning);
    m_tickMessageOpen = false;
    m_nProbeDelay = 0;
    m_probe.start(kFirstProbeMs);
}

void CMainFrame::OnProbe()
{
    if (!m_bAutoPaused)
        return;
    bool back = false;
    if (!m_bPortMode) {
        // The pipes reopen on the arrival notice; until then nothing to bind.
        back = link().run([] { return IsConnected() != 0 && BindDso(); });
    } else if (m_nLinkType == 2) {
        const QByteArray ip = m_strIpAddress.toLatin1();
        const int port = m_nIpPort;
        back = link().run([&] { return Dso_InitSocket(0, ip.constData(), port) != 0 && BindDso(); });
    } else {
        const int port = m_nComPort, baud = m_nBaudRate;
        back = link().run([=] { return Dso_InitUart(port, baud) != 0 && BindDso(); });
    }
    if (!m_bAutoPaused)
        return;
    if (!back) {
        m_nProbeDelay = std::clamp(m_nProbeDelay * 2, kFirstProbeMs, kLastProbeMs);
        m_probe.start(m_nProbeDelay);
        return;
    }
    TakeUpBinding();
    ResumeAuto();
    RefreshLinkLamp();
}

// The instrument closed or reset the connection under an exchange: the link is
// lost, whatever command found it. Under Auto the tick's pause says so.
void CMainFrame::OnLinkClosed()
{
    if (!m_bPortMode || !g_bDsoBound || m_bAutoPaused || m_timer.isActive())
        return;
    QPointer<CMainFrame> guard(this);
    link().whenIdle([guard] {
        if (guard)
            guard->MarkLinkLost();
    });
}

void CMainFrame::MarkLinkLost()
{
    if (!g_bDsoBound || m_bAutoPaused)
        return;
    g_bDsoBound = 0;
    m_bLinkKnown = 0;
    m_wndLeft->page()->SetDeviceButtons(false);
    DebugLog(QStringLiteral("设备关闭了网络连接"), kWarning);
    RefreshLinkLamp();
    Message(Tr("The software is not link with device!", "没有连接设备!"), QStringLiteral("Error"), MsgIcon::Warning);
}

void CMainFrame::ResumeAuto()
{
    EndAutoPause();
    SetPane(3, Tr("Auto refresh resumed", "自动刷新已恢复"));
    if (g_bAutoRefresh)
        m_timer.start(g_nRefreshInterval);
}

void CMainFrame::EndAutoPause()
{
    m_bAutoPaused = false;
    m_probe.stop();
}

void CMainFrame::OnShowPanel()
{
    LogOperation(Tr("Show the Simulant Pane", "显示虚拟面板"));
    if (!g_bDsoBound) {
        Message(QStringLiteral("Please ensure the link is ok before show the Simulant Pane"), QStringLiteral("Error"),
                MsgIcon::Information);
        RefreshLinkLamp();
        return;
    }
    m_wndRight->SelectTab(TAB_WAVE_GRAPH);
    CSimulantUIDlg panel(this);
    m_wndRight->m_pPanel = &panel;
    panel.ShowPanel();
    m_wndRight->m_pPanel = nullptr;
}

// ---- exit -------------------------------------------------------------------------------

bool CMainFrame::ExitGuard()
{
    LogOperation(Tr("Exit", "退出"));
    if (g_bDsoBound) {
        Message(Tr("The software is Binding now, it can't exit!", "程序为解除绑定，不能退出!"), Tr("Error", "错误"),
                MsgIcon::Warning);
        LogOperation(Tr("Try to Exti failed!", "退出失败!"));
        RefreshLinkLamp();
        return false;
    }
    if (!operate_log::FlushAtExit()) {
        Message(QStringLiteral("Try to open Operate File failed!"), QStringLiteral("Error"), MsgIcon::None);
        RefreshLinkLamp();
    }
    return true;
}

void CMainFrame::OnExit() { close(); }

void CMainFrame::closeEvent(QCloseEvent *event)
{
    // Not in the middle of a command: the window closes once it has ended.
    if (!m_closing && link().busy()) {
        event->ignore();
        link().command(this, [this] { close(); });
        return;
    }
    if (m_closing || ExitGuard()) {
        m_closing = true;
        event->accept();
    } else {
        event->ignore();
    }
}

void CMainFrame::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_wndProgress)
        PlaceProgress();
    PlaceLamps();
}

bool CMainFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == menuBar() && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        PlaceLamps();
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::PlaceLamps()
{
    if (!m_lamps)
        return;
    const QRect bar = menuBar()->geometry();
    const int width = m_lamps->sizeHint().width();
    m_lamps->setGeometry(bar.right() + 1 - width, bar.top(), width, bar.height());
    m_lamps->raise();
}

// ---- view toggles and settings commands ------------------------------------------------

void CMainFrame::OnToggleToolBar()
{
    LogOperation(Tr("Show/Hide the ToolBar", "显示/隐藏工具栏"));
    // The check mark was flipped by the click; the member holds the state to
    // apply and takes the previous check.
    QAction *a = action(ID_VIEW_TOOLBAR);
    const int previous = a->isChecked() ? 0 : 8;
    m_wndToolBar->setVisible(m_nToolBarState == 8);
    a->setChecked(m_nToolBarState == 8);
    m_nToolBarState = previous;
}

void CMainFrame::OnToggleStatusBar()
{
    LogOperation(Tr("Show/Hide the StatusBar", "显示/隐藏状态栏"));
    QAction *a = action(ID_VIEW_STATUS_BAR);
    const int previous = a->isChecked() ? 0 : 8;
    statusBar()->setVisible(m_nStatusBarState == 8);
    a->setChecked(m_nStatusBarState == 8);
    m_nStatusBarState = previous;
}

void CMainFrame::OnToggleLeftPane()
{
    LogOperation(Tr("Show/Hide the Base Oper Bar", "显示/隐藏操作栏"));
    if (m_nLeftPaneState == 8) {
        m_wndSplitter->AttachPanes(m_wndLeft, m_wndRight, 0);
        m_nLeftPaneState = 0;
    } else {
        m_wndSplitter->AttachPanes(m_wndLeft, m_wndRight, 175);
        m_nLeftPaneState = 8;
    }
    action(ID_VIEW_OPERATION_PANE)->setChecked(m_nLeftPaneState == 8);
}

void CMainFrame::OnToggleAntialias()
{
    const bool on = action(ID_VIEW_ANTIALIAS)->isChecked();
    LogOperation(Tr("Show the curves antialiased or not", "显示/取消曲线抗锯齿"));
    if (CViewWaveGraphDlg *graph = m_wndRight->graphPage())
        graph->SetLiveAntialiasing(on);
}

void CMainFrame::OnRefreshRate(int code)
{
    const char *texts[] = {"Set the interval time is 0.5s", "Set the interval time is 1s",
                           "Set the interval time is 2s",   "Set the interval time is 3s",
                           "Set the interval time is 5s",   "Set the interval time is 10s"};
    const int index = code == 0 ? 0 : code == 1 ? 1 : code == 2 ? 2 : code == 3 ? 3 : code == 5 ? 4 : 5;
    LogOperation(QString::fromLatin1(texts[index]));
    ApplyRefreshRate(code);
}

void CMainFrame::OnCustomRate()
{
    LogOperation(QStringLiteral("Set the interval time as custom"));
    CSetCustomTimeDlg dialog(this);
    dialog.m_nTime = 2000;
    if (ui().runDialog(&dialog) == QDialog::Accepted) {
        g_nRefreshInterval = static_cast<int>(dialog.m_nTime);
        ApplyRefreshRate(20);
    } else {
        // The click toggled the check; put the marks back as they were.
        action(ID_RATE_CUSTOM)->setChecked(!action(ID_RATE_CUSTOM)->isChecked());
    }
}

void CMainFrame::OnFileDestination()
{
    LogOperation(Tr("Set the Initial Path", "设置初始路径"));
    g_szInitPath = AfxGetApp()->files().startDir;
    g_szInitPath = g_szCurrentFolder.isEmpty() ? QDir::currentPath() : g_szCurrentFolder;
    CAlterFilePathDlg dialog(this);
    dialog.m_strCurrentPath = g_szInitPath;
    if (ui().runDialog(&dialog) != QDialog::Accepted)
        return;
    if (!dialog.m_strNewPath.isEmpty())
        g_szInitPath = dialog.m_strNewPath.left(kPathBytes - 1);
    LogOperation(Tr("Set the Initial Path Successed!", "设置路径成功!"));
}

void CMainFrame::OnOperateFile()
{
    bool flushFailed = false;
    const int state = operate_log::Toggle(&flushFailed);
    action(ID_OPERATE_FILE)->setChecked(state != 0);
    SetPane(0,
            state ? Tr("Select save Operate File", "选择保存操作文件") : Tr("Not save Operate File", "不保存操作文件"));
    if (flushFailed) {
        Message(QStringLiteral("Try to open Operate File failed!"), QStringLiteral("Error"), MsgIcon::None);
        RefreshLinkLamp();
    }
}

void CMainFrame::OnDefaultSetting()
{
    LogOperation(Tr("Set all setting value as default", "恢复默认值"));
    g_bSaveOperateFile = 0;
    action(ID_OPERATE_FILE)->setChecked(false);
    ApplyRefreshRate(2);
    g_szInitPath.clear();
}
