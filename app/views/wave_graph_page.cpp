#include "wave_graph_page.h"

#include "channel_files.h"
#include "live_curve.h"
#include "page_tables.h"
#include "view_pages.h"

#include "../platform/app_context.h"
#include "../platform/control_ids.h"
#include "../platform/debug_log.h"
#include "../platform/globals.h"
#include "../platform/language.h"
#include "../platform/link_gate.h"
#include "../platform/save_file.h"
#include "../platform/ui_services.h"
#include "../print/print_table.h"
#include "page_dialogs.h"
#include "page_host.h"

#include <tavlink.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPdfWriter>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <qcustomplot.h>
#include <utility>

const uint32_t kPlotColours[7] = {0x0000FFFF, 0x00FFFF00, 0x0000FF00, 0x000000FF, 0x0000FF00, 0x00FF0000, 0x00008000};

using namespace views;
using vantor::Ui;

namespace {

constexpr int kShowIds[7] = {IDC_GRAPH_SHOW_CH1,   IDC_GRAPH_SHOW_CH2,   IDC_GRAPH_SHOW_CH3,  IDC_GRAPH_SHOW_CH4,
                             IDC_GRAPH_SHOW_CHAN5, IDC_GRAPH_SHOW_CHAN6, IDC_GRAPH_SHOW_CHAN7};
constexpr int kMeasureIds[4] = {IDC_GRAPH_MEASURE_CH1, IDC_GRAPH_MEASURE_CH2, IDC_GRAPH_MEASURE_CH3,
                                IDC_GRAPH_MEASURE_CH4};
constexpr int kSampleOffset = 18;
constexpr double kYMin = 10.0, kYMax = 210.0;
constexpr int kMinDrawnPoints = 200;
const char *const kCurveNames[7] = {"CH1", "CH2", "CH3", "CH4", "Chan 5", "Chan 6", "Chan 7"};

const char *const kShowLogs[7][2] = {
    {"Show/Hide the first graph", "显示/隐藏第一波形"},  {"Show/Hide the second graph", "显示/隐藏第二波形"},
    {"Show/Hide the third graph", "显示/隐藏第三波形"},  {"Show/Hide the fourth graph", "显示/隐藏第四波形"},
    {"Show/Hide the fifth graph", "显示/隐藏第五波形"},  {"Show/Hide the sixth graph", "显示/隐藏第六波形"},
    {"Show/Hide the seventh graph", "显示/隐藏第七波形"}};

using HoriFn = bool (*)(char *, int *, char *, bool);
using WaveFn = bool (*)(unsigned char *, int *, unsigned char *);
const HoriFn kHori[4] = {Get_CH1_HoriP_VertP_Trig, Get_CH2_HoriP_VertP_Trig, Get_CH3_HoriP_VertP_Trig,
                         Get_CH4_HoriP_VertP_Trig};
const WaveFn kScreen[4] = {GetParameter_CH1_WaveData_And_wavepnt, GetParameter_CH2_WaveData_And_wavepnt,
                           GetParameter_CH3_WaveData_And_wavepnt, GetParameter_CH4_WaveData_And_wavepnt};
const WaveFn kWhole[4] = {GetParameter_CH1_AllWaveData, GetParameter_CH2_AllWaveData, GetParameter_CH3_AllWaveData,
                          GetParameter_CH4_AllWaveData};

QString TrigText(uint8_t state)
{
    static const char *const words[5] = {"Stop", "Auto", "Ready", "Trig'd", "Scan"};
    // A state the instrument should never send is shown as unknown.
    return state < 5 ? QString::fromLatin1(words[state]) : QStringLiteral("****");
}

// Up to four characters of a unit field that may lack its NUL.
QString UnitText(const char unit[5]) { return QString::fromLatin1(unit, int(strnlen(unit, 4))); }

// The not-bound message has a Chinese caption; the file messages only "Error".
void Message(QWidget *parent, const char *text, vantor::MsgIcon icon, bool localCaption = false)
{
    Ui().messageBox(parent, localCaption ? Tr("Error", "错误") : QStringLiteral("Error"), QString::fromUtf8(text),
                    icon);
}

}  // namespace

int PickFileColumn()
{
    for (int c = 5; c <= 7; ++c) {
        const ChannelSlot &s = g_ChannelSlots[c];
        if (!s.bHasWave && !s.bHasData && !s.bMeasured)
            return c;
    }
    g_ChannelSlots[7] = ChannelSlot{};
    return 7;
}

double MarkerCoordinate(double level) { return double(std::trunc(level - 260.0) + 247.0); }

CViewWaveGraphDlg::CViewWaveGraphDlg(QWidget *parent)
    : CViewPage(parent, IDD_WAVE_GRAPH, QStringLiteral("CViewWaveGraphDlg"))
{
    auto group = [this](QBoxLayout *into, int id, const QString &title) {
        auto *box = Ctrl(new QGroupBox(title, this), id);
        auto *layout = new QVBoxLayout(box);
        layout->setContentsMargins(6, 4, 6, 4);
        layout->setSpacing(3);
        into->addWidget(box);
        return layout;
    };
    auto *row = new QHBoxLayout(this);
    // The command column keeps its natural size and scrolls when the page is
    // lower than it; the graph gives way first.
    auto *commands = new QWidget(this);
    commands->setObjectName(QStringLiteral("commandColumn"));
    auto *column = new QVBoxLayout(commands);
    column->setContentsMargins(0, 0, 0, 0);
    m_commandScroll = new QScrollArea(this);
    m_commandScroll->setObjectName(QStringLiteral("commandScroll"));
    m_commandScroll->setFrameShape(QFrame::NoFrame);
    m_commandScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_commandScroll->setWidgetResizable(true);
    row->addWidget(m_commandScroll);
    auto *oper = group(column, IDC_GRAPH_OPER_GROUP, QStringLiteral("Graph Oper"));
    connect(AddButton(oper, IDC_GRAPH_SAVE, QStringLiteral("Save")), &QPushButton::clicked, this,
            &CViewWaveGraphDlg::SaveWaveGraphFile);
    connect(AddButton(oper, IDC_GRAPH_OPEN, QStringLiteral("Open")), &QPushButton::clicked, this,
            &CViewWaveGraphDlg::OpenWaveGraphFile);
    connect(AddButton(oper, IDC_GRAPH_COPY, QStringLiteral("Copy")), &QPushButton::clicked, this,
            &CViewWaveGraphDlg::CopyGraphImage);
    connect(AddButton(oper, IDC_GRAPH_PRINT, QStringLiteral("Print")), &QPushButton::clicked, this,
            &CViewWaveGraphDlg::PrintWaveGraph);
    auto *refresh = group(column, IDC_GRAPH_REFRESH_GROUP, QStringLiteral("Refresh Oper"));
    auto *data = group(refresh, IDC_GRAPH_DATA_GROUP, QStringLiteral("Wave Data"));
    AddCheck(data, IDC_GRAPH_GET_ALL_DATA, QStringLiteral("GetAllData"));
    auto *mode = group(refresh, IDC_GRAPH_MODE_GROUP, QStringLiteral("Mode"));
    connect(AddButton(mode, IDC_GRAPH_AUTO, QStringLiteral("Auto")), &QPushButton::clicked, this,
            &CViewWaveGraphDlg::OnAuto);
    connect(AddButton(mode, IDC_GRAPH_MANU, QStringLiteral("Manu")), &QPushButton::clicked, this,
            &CViewWaveGraphDlg::OnManu);
    // Boxes two abreast, so the column fits a laptop's height.
    auto columns = [](QBoxLayout *into) {
        auto *pair = new QHBoxLayout;
        auto *first = new QVBoxLayout, *second = new QVBoxLayout;
        pair->addLayout(first);
        pair->addLayout(second);
        into->addLayout(pair);
        return std::pair{first, second};
    };
    auto *measure = group(refresh, IDC_GRAPH_MEASURE_GROUP, QStringLiteral("Measure"));
    const auto [measureLeft, measureRight] = columns(measure);
    AddCheck(measureLeft, IDC_GRAPH_MEASURE_CH1, QStringLiteral("CH1 "));
    AddCheck(measureRight, IDC_GRAPH_MEASURE_CH2, QStringLiteral("CH2"));
    AddCheck(measureLeft, IDC_GRAPH_MEASURE_CH3, QStringLiteral("CH3 "));
    AddCheck(measureRight, IDC_GRAPH_MEASURE_CH4, QStringLiteral("CH4 "));
    // A click during a refresh in progress is one more refresh after it.
    vantor::ConnectCommand(AddButton(refresh, IDC_GRAPH_REFRESH, QStringLiteral("Refresh")), &QPushButton::clicked,
                           this, &CViewWaveGraphDlg::RefreshWaveGraph);
    auto *show = group(column, IDC_GRAPH_SHOW_GROUP, QStringLiteral("Graph Show"));
    const auto [liveColumn, fileColumn] = columns(show);
    fileColumn->setAlignment(Qt::AlignTop);
    for (int i = 0; i < 7; ++i) {
        QCheckBox *box = AddCheck(i < 4 ? liveColumn : fileColumn, kShowIds[i], QString::fromLatin1(kCurveNames[i]));
        QPalette palette = box->palette();
        palette.setColor(QPalette::WindowText, FromColorRef(kPlotColours[i]));
        box->setPalette(palette);
        box->setStyleSheet(QStringLiteral("QCheckBox { color: %1; }").arg(FromColorRef(kPlotColours[i]).name()));
        // The tick's change, however it came (a click, the keyboard or an
        // assistive client), shows or hides the curve.
        connect(box, &QCheckBox::toggled, this, [this, i] { OnShowBox(i + 1); });
    }
    column->addStretch(1);
    m_commandScroll->setWidget(commands);
    m_commandScroll->setMinimumWidth(commands->sizeHint().width() +
                                     m_commandScroll->verticalScrollBar()->sizeHint().width());

    auto *right = new QVBoxLayout;
    row->addLayout(right, 1);
    m_graph = Ctrl(new QCustomPlot(this), IDC_GRAPH);
    m_graph->setMinimumSize(320, 200);
    m_graph->setBackground(QColor(0x10, 0x14, 0x1a));
    m_graph->axisRect()->setBackground(Qt::black);
    for (QCPAxis *axis : {m_graph->xAxis, m_graph->yAxis}) {
        axis->setBasePen(QPen(QColor(0x80, 0x80, 0x80)));
        axis->setTickPen(QPen(QColor(0x80, 0x80, 0x80)));
        axis->setSubTickPen(QPen(QColor(0x60, 0x60, 0x60)));
        axis->setTickLabelColor(QColor(0xb0, 0xb0, 0xb0));
        axis->setLabelColor(QColor(0xb0, 0xb0, 0xb0));
        axis->grid()->setPen(QPen(QColor(0x40, 0x40, 0x40), 0, Qt::DotLine));
    }
    m_graph->xAxis->setObjectName(QStringLiteral("XAxis"));
    m_graph->yAxis->setObjectName(QStringLiteral("YAxis-1"));
    m_graph->xAxis->setRange(0, 1000);
    m_graph->yAxis->setRange(kYMin, kYMax);
    // The legend is never shown, yet its items would be laid out, their
    // names shaped, on every replot.
    m_graph->setAutoAddPlottableToLegend(false);
    // Nothing is drawn on the top layer, yet as a buffer of its own it would
    // be cleared and blended over the window on every paint.
    if (QCPLayer *top = m_graph->layer(QStringLiteral("overlay")))
        top->setMode(QCPLayer::lmLogical);
    for (int i = 0; i < 7; ++i) {
        QCPGraph *g = new LiveCurve(m_graph->xAxis, m_graph->yAxis);
        g->setName(QStringLiteral("Plot-%1").arg(i + 1));
        g->setPen(QPen(FromColorRef(kPlotColours[i]), 1));
        g->setAdaptiveSampling(true);
    }
    for (int n = 1; n <= 4; ++n) {
        auto *line = new QCPItemStraightLine(m_graph);
        line->setObjectName(QStringLiteral("Annotation-%1").arg(n));
        line->setPen(QPen(FromColorRef(kPlotColours[n - 1]), 1, Qt::DashLine));
        auto *label = new QCPItemText(m_graph);
        label->setText(QStringLiteral("CH%1").arg(n));
        label->setColor(FromColorRef(kPlotColours[n - 1]));
        label->setPositionAlignment(Qt::AlignLeft | Qt::AlignBottom);
        label->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
        label->position->setTypeY(QCPItemPosition::ptPlotCoords);
        m_markers[size_t(n - 1)] = line;
        m_markerLabels[size_t(n - 1)] = label;
        SetMarker(n, 0);
        ShowMarker(n, false);
    }
    SetLiveAntialiasing(false);
    m_graph->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    m_graph->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_graph, &QCustomPlot::mouseDoubleClick, this, [this] { RestoreRanges(); });
    connect(m_graph, &QCustomPlot::mouseMove, this, [this](QMouseEvent *e) {
        OnGraphMouseMove(m_graph->xAxis->pixelToCoord(e->position().x()),
                         m_graph->yAxis->pixelToCoord(e->position().y()));
    });
    connect(m_graph, &QWidget::customContextMenuRequested, this, [this] { OfferPictureSave(); });
    right->addWidget(m_graph, 3);
    m_cursor = new QLabel(this);
    m_cursor->setObjectName(QStringLiteral("cursorReadout"));
    right->addWidget(m_cursor);

    m_params = NewParamTable(this);
    m_paramView = Ctrl(new QTableView(this), IDC_GRAPH_PARAMS);
    m_paramView->setModel(m_params);
    m_paramView->verticalHeader()->hide();
    // The design's 90 and 80 are dialog units; in pixels the texts need more.
    m_paramView->setColumnWidth(0, 100);
    for (int c = 1; c <= 7; ++c)
        m_paramView->setColumnWidth(c, 110);
    m_paramView->setShowGrid(true);
    m_paramView->setStyleSheet(QStringLiteral("QTableView { background: %1; }").arg(FromColorRef(0x00C1F0F0).name()));
    // All five rows stay in view whatever the window's height.
    m_paramView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_paramView->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_paramView->setFixedHeight(m_paramView->horizontalHeader()->sizeHint().height() +
                                kParamRows * m_paramView->verticalHeader()->defaultSectionSize() +
                                m_paramView->horizontalScrollBar()->sizeHint().height() +
                                2 * m_paramView->frameWidth() + 2);
    right->addWidget(m_paramView);

    if (!g_bGraphHasData) {
        for (int id : kShowIds)
            check(id)->setEnabled(false);
        for (int id : {IDC_GRAPH_SAVE, IDC_GRAPH_COPY, IDC_GRAPH_PRINT})
            button(id)->setEnabled(false);
    }
    SetModeButtons(!g_bAutoRefresh, g_bAutoRefresh);
    Localise();
}

CViewWaveGraphDlg::~CViewWaveGraphDlg() = default;

QCPGraph *CViewWaveGraphDlg::plot(int column) const { return m_graph->graph(column - 1); }

void CViewWaveGraphDlg::SetLiveAntialiasing(bool on)
{
    // Antialiased polylines cost most of a refresh's own work; a live signal
    // redrawn every half second reads as well without.
    m_bLiveAntialiased = on;
    m_graph->setNotAntialiasedElements(on ? QCP::aeNone : QCP::aePlottables);
    m_graph->replot();
}

// What leaves the screen (copies, pictures) is drawn antialiased.
class CViewWaveGraphDlg::ExportLook {
public:
    explicit ExportLook(QCustomPlot *graph, bool live) : m_graph(graph), m_live(live)
    {
        if (!m_live) {
            m_graph->setNotAntialiasedElements(QCP::aeNone);
            m_graph->replot(QCustomPlot::rpImmediateRefresh);
        }
    }
    ~ExportLook()
    {
        if (!m_live) {
            m_graph->setNotAntialiasedElements(QCP::aePlottables);
            m_graph->replot();
        }
    }

private:
    QCustomPlot *m_graph;
    bool m_live;
};

void CViewWaveGraphDlg::SetMarker(int channel, double y)
{
    QCPItemStraightLine *line = m_markers[size_t(channel - 1)];
    line->point1->setCoords(0, y);
    line->point2->setCoords(1, y);
    // Side by side, so two channels at one level keep readable labels.
    m_markerLabels[size_t(channel - 1)]->position->setCoords(0.005 + 0.045 * (channel - 1), y);
}

void CViewWaveGraphDlg::ShowMarker(int channel, bool visible)
{
    m_markers[size_t(channel - 1)]->setVisible(visible);
    m_markerLabels[size_t(channel - 1)]->setVisible(visible);
}

// ---- refresh ---------------------------------------------------------------------------

// What one refresh hands the link thread: the globals the design's refresh
// changes, copied in, changed by the job as the design changes them, and
// stored back on the UI thread.
struct CViewWaveGraphDlg::RefreshWork {
    struct Channel {
        bool paramsTried = false, paramsOk = false, recordTried = false, recordOk = false;
        char horizontal[50] = {};
        int vertPos = 0;
        double vdiv = 0, level = 0, timebase = 0;
        char voltUnit[5] = {}, timeUnit[5] = {};
        int points = 0;
        uint8_t wave[kRecordBytes];
        uint8_t measure[kMeasureBytes];
    };
    uint8_t measureOn[4] = {};
    bool getAll = false;
    bool twoChannels = false;
    uint8_t chOpen[4] = {};
    uint8_t trigState = 0;
    bool ok = true;
    bool statusOk = false;
    Channel ch[4];
};

bool CViewWaveGraphDlg::RefreshWaveGraph()
{
    ++m_nRefreshes;
    Log("Refresh the Wave Graph", "刷新波形");
    if (!g_bDsoBound) {
        Message(this, IsChineseUi() ? "没有连接设备!" : "The software is not link with device!",
                vantor::MsgIcon::Warning, true);
        RefreshLamps();
        return false;
    }
    Ui().beginWaitCursor();
    for (int i = 0; i < 4; ++i)
        m_bMeasure[size_t(i)] = check(kMeasureIds[i])->isChecked() ? 1 : 0;
    m_bGetAllData = check(IDC_GRAPH_GET_ALL_DATA)->isChecked() ? 1 : 0;
    for (int i = 0; i < 7; ++i)
        m_bShow[size_t(i)] = check(kShowIds[i])->isChecked() ? 1 : 0;
    for (int i = 0; i < 4; ++i)
        g_bMeasureOn[i] = uint8_t(m_bMeasure[size_t(i)]);
    g_bGetAllData = uint8_t(m_bGetAllData);

    if (!m_work)
        m_work = std::make_unique<RefreshWork>();
    RefreshWork &work = *m_work;
    std::memcpy(work.measureOn, g_bMeasureOn, 4);
    work.getAll = g_bGetAllData != 0;
    // A two-channel model's status carries no CH3 and CH4 flags; what an
    // earlier four-channel instrument left there would end every refresh.
    work.twoChannels = HasTwoChannels(g_ProductType);
    std::memcpy(work.chOpen, g_bChOpen, 4);
    work.trigState = g_nTrigState;
    work.ok = true;
    for (int n = 1; n <= 4; ++n) {
        RefreshWork::Channel &c = work.ch[n - 1];
        const LiveChannel live = Live(n);
        c.paramsTried = c.paramsOk = c.recordTried = c.recordOk = false;
        c.vertPos = live.vertPos;
        c.points = live.points;
        // A failed read leaves what the buffers held, as the design's
        // reads into the globals themselves do.
        std::memcpy(c.wave, live.wave, kRecordBytes);
        std::memcpy(c.measure, live.measure, kMeasureBytes);
    }
    for (PreparedCurve &p : m_prepared)
        p.count = -1;

    // One job: every exchange and pause of the refresh, with the progress
    // steps and the curves prepared on the UI thread as the records come in.
    vantor::LinkGate &link = vantor::Link();
    link.run([&] { FetchChannels(work, link); });
    StoreFetched(work);

    const bool anyOpen = g_bChOpen[0] || g_bChOpen[1] || g_bChOpen[2] || g_bChOpen[3];
    if (work.ok) {
        Progress(5, 5, 5);
        if (anyOpen) {
            DrawAfterRefresh();
            if (CViewWaveparamDlg *measure = Pages().measure)
                measure->OnMeasurementsArrived();
            Progress(5, 0, 0);
            Ui().endWaitCursor();
            RefreshLamps();
            return true;
        }
    }
    for (PreparedCurve &p : m_prepared)
        p.count = -1;
    Progress(5, 0, 0);
    Ui().endWaitCursor();
    // With no channel read, the status exchange alone tells whether anyone answered.
    return work.ok && (work.statusOk || anyOpen);
}

// On the link thread: touches only work; what the UI thread does meanwhile
// goes through post().
void CViewWaveGraphDlg::FetchChannels(RefreshWork &work, vantor::LinkGate &link)
{
    auto progress = [&link](int step, int fifth) { link.post([step, fifth] { Progress(5, step, fifth); }); };
    IsNeedParam(work.measureOn[0], work.measureOn[1], work.measureOn[2], work.measureOn[3]);
    // A failed status exchange leaves the previous flags.
    work.statusOk = IsCHOpen(&work.chOpen[0], &work.chOpen[1], &work.chOpen[2], &work.chOpen[3]) != 0;
    if (work.twoChannels)
        work.chOpen[2] = work.chOpen[3] = 0;
    progress(1, 1);

    bool ok = true;
    for (int n = 1; n <= 4 && ok; ++n) {
        RefreshWork::Channel &c = work.ch[n - 1];
        if (work.chOpen[n - 1]) {
            c.paramsTried = true;
            int vertical = c.vertPos;
            char trigger = char(work.trigState);
            std::memset(c.horizontal, 0, sizeof c.horizontal);
            ok = kHori[n - 1](c.horizontal, &vertical, &trigger, true);
            if (ok) {
                c.paramsOk = true;
                c.vertPos = vertical;
                work.trigState = uint8_t(trigger);
                std::memset(c.voltUnit, 0, sizeof c.voltUnit);
                std::memset(c.timeUnit, 0, sizeof c.timeUnit);
                Get_Vol_Level_TimeBase(n, &c.vdiv, &c.level, &c.timebase, c.voltUnit, c.timeUnit, true);
            }
        }
        if (n == 1)
            progress(1, 2);
    }
    if (ok) {
        link.pause(10);
        progress(1, 3);
        for (int n = 1; n <= 4 && ok; ++n) {
            if (n > 1)
                link.pause(10);
            RefreshWork::Channel &c = work.ch[n - 1];
            if (work.chOpen[n - 1]) {
                c.recordTried = true;
                uint8_t *block = work.measureOn[n - 1] ? c.measure : nullptr;
                int count = c.points;
                const WaveFn fn = work.getAll ? kWhole[n - 1] : kScreen[n - 1];
                ok = fn(c.wave, &count, block);
                if (ok) {
                    c.recordOk = true;
                    c.points = count;
                    // This channel's buffer is final: its curve is built
                    // while the link waits on the next channel.
                    const uint8_t *samples = c.wave;
                    link.post([this, n, samples, count] { PrepareCurve(n, samples, count); });
                }
            }
            if (n == 1)
                progress(4, 4);
        }
    }
    work.ok = ok;
}

void CViewWaveGraphDlg::StoreFetched(const RefreshWork &work)
{
    std::memcpy(g_bChOpen, work.chOpen, 4);
    g_nTrigState = work.trigState;
    for (int n = 1; n <= 4; ++n) {
        const RefreshWork::Channel &c = work.ch[n - 1];
        const LiveChannel live = Live(n);
        if (c.paramsTried)
            g_szHoriPos = QString::fromLatin1(c.horizontal, int(strnlen(c.horizontal, sizeof c.horizontal)));
        if (c.paramsOk) {
            live.vertPos = c.vertPos;
            g_szTimeBase = QString::asprintf("%f", c.timebase) + UnitText(c.timeUnit);
            live.voltsText = QString::asprintf("%f", c.vdiv) + UnitText(c.voltUnit);
            live.level = c.level;
        }
        if (c.recordTried) {
            std::memcpy(live.wave, c.wave, kRecordBytes);
            if (work.measureOn[n - 1])
                std::memcpy(live.measure, c.measure, kMeasureBytes);
        }
        if (c.recordOk)
            live.points = c.points;
    }
}

void CViewWaveGraphDlg::PrepareCurve(int channel, const uint8_t *samples, int count)
{
    PreparedCurve &p = m_prepared[size_t(channel - 1)];
    count = std::clamp(count, 0, kRecordBytes);
    FillCurvePoints(p.points, samples, count);
    if (auto *curve = dynamic_cast<LiveCurve *>(plot(channel)))
        curve->prepareSpans(p.points);
    p.hasTexts = Pages().data != nullptr;
    if (p.hasTexts)
        WaveDataTable::MakeNumberColumn(p.texts, samples, count);
    p.count = count;
}

void CViewWaveGraphDlg::DrawAfterRefresh()
{
    // A record shorter than the last one leaves the older samples behind it
    // in the buffer; the table shows zeros past the new count.
    for (int n = 1; n <= 4; ++n) {
        const LiveChannel live = Live(n);
        if (g_bChOpen[n - 1] && live.points >= 0 && live.points < kRecordBytes)
            std::memset(live.wave + live.points, 0, size_t(kRecordBytes - live.points));
    }
    // Which channels' sample texts were made while the link waited.
    std::array<bool, 4> textsReady{};
    for (int n = 1; n <= 4; ++n) {
        const PreparedCurve &p = m_prepared[size_t(n - 1)];
        textsReady[size_t(n - 1)] = g_bChOpen[n - 1] && p.hasTexts && p.count == Live(n).points;
    }
    for (int n = 1; n <= 4; ++n) {
        ChannelSlot &slot = g_ChannelSlots[n];
        slot.bHasWave = 0;
        slot.nCount = 0;
        slot.bHasData = 0;
        const LiveChannel live = Live(n);
        const int count = live.points;
        if (g_bChOpen[n - 1] && count > kMinDrawnPoints) {
            PreparedCurve &prepared = m_prepared[size_t(n - 1)];
            if (prepared.count == count) {
                SetCurvePoints(n, count, prepared.points);
                std::swap(prepared.points, prepared.shown);
            } else {
                PlotWaveColumn(live.wave, count, n);
            }
            slot.bHasWave = 1;
            slot.nCount = count;
            slot.bHasData = 1;
            slot.bMeasured = 1;
        } else {
            plot(n)->data()->clear();
        }
    }
    for (int n = 1; n <= 4; ++n) {
        const bool open = g_bChOpen[n - 1] != 0;
        ShowMarker(n, open);
        plot(n)->setVisible(open);
        SetMarker(n, MarkerCoordinate(Live(n).level));
    }
    // Drawn now, shown with the tables in the window's next paint: an
    // immediate repaint would paint the whole window once for the plot and
    // again for the tables.
    m_graph->replot(QCustomPlot::rpQueuedRefresh);
    for (int n = 1; n <= 4; ++n)
        FillParamColumn(nullptr, n);
    if (CViewWavedataDlg *data = Pages().data)
        for (int n : {1, 3, 2, 4}) {
            if (textsReady[size_t(n - 1)])
                data->table()->swapColumn(n, m_prepared[size_t(n - 1)].texts);
            else
                data->FillWaveDataColumn(n, true);
        }
    for (PreparedCurve &p : m_prepared)
        p.count = -1;
    for (int n = 1; n <= 4; ++n) {
        m_bShow[size_t(n - 1)] = g_bChOpen[n - 1] ? 1 : 0;
        check(kShowIds[n - 1])->setEnabled(g_bChOpen[n - 1] != 0);
        const QSignalBlocker quiet(check(kShowIds[n - 1]));
        check(kShowIds[n - 1])->setChecked(g_bChOpen[n - 1] != 0);
    }
    if (Host())
        Host()->UpdatePageButtons();
}

QVector<QCPGraphData> CViewWaveGraphDlg::CurvePoints(const uint8_t *samples, int count)
{
    QVector<QCPGraphData> points;
    FillCurvePoints(points, samples, count);
    return points;
}

void CViewWaveGraphDlg::FillCurvePoints(QVector<QCPGraphData> &points, const uint8_t *samples, int count)
{
    count = std::clamp(count, 0, kRecordBytes);
    // A block still shared (with the plot) is left to its other owner.
    if (!points.isDetached())
        points = QVector<QCPGraphData>();
    // Grown by copies and written field by field: the library's constructors
    // are out of line, one call per point.
    points.resize(count, QCPGraphData(0, 0));
    QCPGraphData *out = points.data();
    for (int i = 0; i < count; ++i) {
        const int v = samples[i];
        out[i].key = double(i);
        out[i].value = double(v < kSampleOffset ? 0 : v - kSampleOffset);
    }
}

void CViewWaveGraphDlg::PlotWaveColumn(const uint8_t *samples, int count, int column)
{
    count = std::clamp(count, 0, kRecordBytes);
    SetCurvePoints(column, count, CurvePoints(samples, count));
}

void CViewWaveGraphDlg::SetCurvePoints(int column, int count, const QVector<QCPGraphData> &points)
{
    m_nXRange = count;
    m_graph->xAxis->setRange(0, count);
    m_graph->yAxis->setRange(kYMin, kYMax);
    // Shared, not copied: the container takes the vector as it is.
    plot(column)->data()->set(points, true);
}

void CViewWaveGraphDlg::RestoreRanges()
{
    // Nothing plotted yet: the range the page starts with.
    m_graph->xAxis->setRange(0, m_nXRange > 0 ? m_nXRange : 1000);
    m_graph->yAxis->setRange(kYMin, kYMax);
    m_graph->replot();
}

void CViewWaveGraphDlg::FillParamColumn(const std::array<QString, 5> *params, int column)
{
    if (column >= 5) {
        if (params)
            for (int row = 0; row < 5; ++row)
                m_params->setText(row, column, (*params)[size_t(row)]);
        return;
    }
    if (!g_bChOpen[column - 1]) {
        for (int row = 0; row < 5; ++row)
            m_params->setText(row, column, QStringLiteral("****"));
        return;
    }
    m_params->setText(0, column, g_szTimeBase);
    m_params->setText(1, column, g_szHoriPos);
    const LiveChannel live = Live(column);
    m_params->setText(2, column, live.voltsText);
    m_params->setText(3, column, QString::asprintf("%d", live.vertPos));
    m_params->setText(4, column, TrigText(g_nTrigState));
}

// ---- show boxes, mode ---------------------------------------------------------------------

void CViewWaveGraphDlg::OnShowBox(int column)
{
    const bool shown = check(kShowIds[column - 1])->isChecked();
    m_bShow[size_t(column - 1)] = shown ? 1 : 0;
    g_ChannelSlots[column].bHasWave = shown ? 1 : 0;
    plot(column)->setVisible(shown);
    // Only the first two markers follow their boxes.
    if (column <= 2)
        ShowMarker(column, shown);
    m_graph->replot();
    Log(kShowLogs[column - 1][0], kShowLogs[column - 1][1]);
}

void CViewWaveGraphDlg::ShowGraphColumn(int column)
{
    if (column < 1 || column > 7)
        return;
    m_bShow[size_t(column - 1)] = 1;
    check(kShowIds[column - 1])->setEnabled(true);
    {
        const QSignalBlocker quiet(check(kShowIds[column - 1]));
        check(kShowIds[column - 1])->setChecked(true);
    }
    plot(column)->setVisible(true);
    m_graph->replot();
}

void CViewWaveGraphDlg::ShowChannel34(bool show)
{
    check(IDC_GRAPH_MEASURE_CH3)->setVisible(show);
    check(IDC_GRAPH_MEASURE_CH4)->setVisible(show);
}

void CViewWaveGraphDlg::SetModeButtons(bool autoEnabled, bool manuEnabled)
{
    button(IDC_GRAPH_AUTO)->setEnabled(autoEnabled);
    button(IDC_GRAPH_MANU)->setEnabled(manuEnabled);
}

void CViewWaveGraphDlg::EnableOutputButtons()
{
    for (int id : {IDC_GRAPH_SAVE, IDC_GRAPH_COPY, IDC_GRAPH_PRINT})
        button(id)->setEnabled(true);
}

void CViewWaveGraphDlg::OnAuto()
{
    CPageHost *host = Host();
    if (!host)
        return;
    host->LogOperation(Tr("Set the refresh mode is : Auto", "设置刷新模式：自动"));
    if (!g_bDsoBound) {
        Message(host->ownerWindow(), IsChineseUi() ? "没有连接设备!" : "The software is not link with device!",
                vantor::MsgIcon::Warning, true);
        host->RefreshLinkLamp();
        return;
    }
    if (g_bAutoRefresh)
        return;
    g_bAutoRefresh = 1;
    host->StartRefreshTimer();
    SetModeButtons(false, true);
}

void CViewWaveGraphDlg::OnManu()
{
    CPageHost *host = Host();
    if (!host)
        return;
    host->LogOperation(Tr("Set the refresh mode is : Manual", "设置刷新模式：手动"));
    if (g_bAutoRefresh) {
        g_bAutoRefresh = 0;
        host->StopRefreshTimer();
        SetModeButtons(true, false);
    }
}

// ---- copy, print, pictures --------------------------------------------------------------------

void CViewWaveGraphDlg::CopyGraphImage()
{
    Log("Copy Wave Graph Interface", "复制波形数据到剪贴板");
    Ui().beginWaitCursor();
    QImage image;
    {
        const ExportLook look(m_graph, m_bLiveAntialiased);
        image = grab().toImage();
    }
    if (image.isNull())
        DebugLog(QStringLiteral("创建设备兼容位图失败"), kWarning);
    else
        Ui().setClipboardImage(image);
    Ui().endWaitCursor();
}

void CViewWaveGraphDlg::PrintWaveGraph()
{
    Log("Print Wave Graph data", "打印波形数据");
    bool any = false;
    int rows = 0;
    for (int i = 0; i < 7; ++i)
        if (check(kShowIds[i])->isChecked()) {
            any = true;
            rows = std::max(rows, std::clamp(g_ChannelSlots[i + 1].nCount, 0, kWaveRows));
        }
    if (!any) {
        DebugLog(QStringLiteral("打印失败：波形界面没有波形显示"), kNormal);
        Ui().messageBox(this, QStringLiteral("Error"), QStringLiteral("There is no graph showed!"),
                        vantor::MsgIcon::Information);
        return;
    }
    PrintRequest request;
    request.nFirstItem = 1;
    request.nItemCount = rows;
    request.hOwner = this;
    request.hList = Pages().data ? Pages().data->view() : nullptr;
    request.nExtraPages = 2;
    RunPrintPreview(this, WM_PRINT_WAVE_GRAPH, request);
}

int CViewWaveGraphDlg::OnPrintDraw(PrintSurface &surface, PrintRequest &request)
{
    const int page = request.nCurrentPage;
    const int samplePages = request.nPageCount - request.nExtraPages;
    std::array<bool, 7> ticked{};
    for (int i = 0; i < 7; ++i)
        ticked[size_t(i)] = check(kShowIds[i])->isChecked();
    const auto *list = qobject_cast<const QAbstractItemView *>(request.hList);
    const QAbstractItemModel *samples = list ? list->model() : nullptr;
    const TextTable *measures = Pages().measure ? Pages().measure->table() : nullptr;
    const QString title = QStringLiteral("Print the Wave Graph Data");
    return DrawPrintoutPage(surface, request, title, [&](PrintTablePage &out) {
        // Only the ticked curves' cells; the others stay empty.
        const auto row = [&](const QString &first, const std::function<QString(int)> &cell) {
            QStringList cells{first};
            for (int c = 1; c <= 7; ++c)
                cells << (ticked[size_t(c - 1)] ? cell(c) : QString());
            out.Row(cells);
        };
        if (page == 1)
            out.Title(title);
        QStringList header{QStringLiteral("Item Name")};
        for (int c = 1; c <= 7; ++c)
            header << WaveDataTable::title(c);
        out.Header(header, false);
        if (page == samplePages + 1) {
            for (int r = 0; r <= 10; ++r)
                row(measures ? measures->text(r, 0) : QString::fromLatin1(kMeasureItemNames[r]),
                    [&](int c) { return measures ? measures->text(r, c) : QString(); });
        } else if (page == samplePages + 2) {
            for (int r = 0; r < kParamRows; ++r)
                row(m_params->text(r, 0), [&](int c) { return m_params->text(r, c); });
        } else if (samples) {
            const PrintRowSpan span = PrintRowsOfPage(request, page);
            for (int r = span.first; r < span.first + span.count && r < samples->rowCount(); ++r)
                row(samples->index(r, 0).data().toString(),
                    [&](int c) { return samples->index(r, c).data().toString(); });
        }
        out.Finish(PrintDateText(), QString::asprintf(" %i / %i ", page, request.nPageCount));
    });
}

bool CViewWaveGraphDlg::SaveGraphPicture(const QString &path)
{
    const ExportLook look(m_graph, m_bLiveAntialiased);
    // Into a file beside the target, renamed over it once whole: a failed
    // export leaves the old picture as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    bool drawn = false;
    if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        // One page the plot's size, in points, drawn as vectors.
        const int w = m_graph->width(), h = m_graph->height();
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QSizeF(w, h), QPageSize::Point));
        writer.setPageMargins(QMarginsF());
        QCPPainter painter;
        drawn = painter.begin(&writer);
        if (drawn) {
            painter.setMode(QCPPainter::pmVectorized);
            painter.setWindow(0, 0, w, h);
            m_graph->toPainter(&painter, w, h);
            painter.end();
        }
    } else {
        drawn = m_graph->toPixmap().save(&file, "PNG");
    }
    return drawn && vantor::CommitWhole(file);
}

void CViewWaveGraphDlg::OfferPictureSave()
{
    QMenu menu(this);
    QAction *png = menu.addAction(UiText("IDS_GRAPH_SAVE_PNG", "Save graph as PNG..."));
    QAction *pdf = menu.addAction(UiText("IDS_GRAPH_SAVE_PDF", "Save graph as PDF..."));
    QAction *reset = menu.addAction(UiText("IDS_GRAPH_RESTORE", "Restore ranges"));
    QAction *chosen = menu.exec(QCursor::pos());
    if (chosen == reset) {
        RestoreRanges();
        return;
    }
    if (chosen != png && chosen != pdf)
        return;
    vantor::FileDialogRequest request;
    request.save = true;
    request.title = UiText("IDS_GRAPH_SAVE_TITLE", "Save Graph Picture");
    request.filter =
        chosen == png ? QStringLiteral("PNG image (*.png)|*.png| |") : QStringLiteral("PDF file (*.pdf)|*.pdf| |");
    request.folder = g_szInitPath;
    request.defaultExt = chosen == png ? QStringLiteral("png") : QStringLiteral("pdf");
    QString path = Ui().fileDialog(this, request);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1Char('.') + request.defaultExt, Qt::CaseInsensitive))
        path += QLatin1Char('.') + request.defaultExt;
    if (!SaveGraphPicture(path))
        Message(this, "Try to save Wave Graph file failed!", vantor::MsgIcon::Information);
}

void CViewWaveGraphDlg::OnGraphMouseMove(double key, double value)
{
    const long index = std::lround(key);
    // The code of the visible curve nearest to the pointer at that index;
    // with none there, the pointer's own height as a code.
    QString curve;
    double nearest = std::numeric_limits<double>::max();
    long code = std::lround(value) + kSampleOffset;
    for (int c = 1; c <= 7; ++c) {
        QCPGraph *g = plot(c);
        if (!g->visible() || index < 0 || index >= g->data()->size())
            continue;
        const double y = (g->data()->constBegin() + index)->value;
        if (std::abs(y - value) < nearest) {
            nearest = std::abs(y - value);
            curve = kCurveNames[c - 1];
            code = std::lround(y) + kSampleOffset;
        }
    }
    m_cursor->setText(UiText("IDS_GRAPH_READOUT", "%1    Index %2    Code %3")
                          .arg(curve.isEmpty() ? QStringLiteral("-") : curve)
                          .arg(index)
                          .arg(code));
}

QString CViewWaveGraphDlg::cursorText() const { return m_cursor->text(); }

// ---- files ---------------------------------------------------------------------------------

void CViewWaveGraphDlg::SaveWaveGraphFile()
{
    Log("Save Wave Graph file", "保存波形文件");
    CSelectChanDlg dialog(this);
    dialog.m_nPurpose = 2;
    if (Ui().runDialog(&dialog) != QDialog::Accepted)
        return;
    const int c = dialog.m_nSelected + 1;
    if (c < 1 || c > 7)
        return;
    if (!Host() || !Host()->SaveFileDialogFor(5))
        return;
    Ui().beginWaitCursor();
    const QString path = g_szSaveFilePath;
    const ViewPages pages = Pages();
    bool written = false;
    if (path.contains(QLatin1String(".wdf"))) {
        written = pages.data && pages.data->WriteWaveFile(c, kKindGraph, path);
    } else if (path.contains(QLatin1String(".csv"))) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            Ui().endWaitCursor();
            Message(this, "Try to openning the selected file failed!", vantor::MsgIcon::Information);
            return;
        }
        const ChannelSlot &slot = g_ChannelSlots[c];
        GraphFileContent content;
        content.measured = slot.bMeasured != 0;
        if (pages.data) {
            WaveDataTable *table = pages.data->table();
            const int count = std::clamp(slot.nCount, 0, kWaveRows);
            content.cells.reserve(count);
            for (int row = 0; row < count; ++row) {
                int length = 0;
                const char *text = table->bytes(row, c, &length);
                content.cells.append(QByteArray(text, length));
            }
        }
        for (int row = 0; row < 5; ++row)
            content.params[size_t(row)] = m_params->text(row, c);
        if (content.measured && pages.measure)
            for (int row = 0; row < 32; ++row)
                content.measures[size_t(row)] = pages.measure->table()->text(row, c);
        const QByteArray bytes = EncodeGraphFile(content);
        written = file.write(bytes) == bytes.size() && vantor::CommitWhole(file);
    }
    Ui().endWaitCursor();
    if (!written) {
        Message(this, "Try to save Wave Graph file failed!", vantor::MsgIcon::Information);
        return;
    }
    LogText(QStringLiteral("Save Wave Garph file successed！"));
}

void CViewWaveGraphDlg::OpenWaveGraphFile()
{
    Log("Open Wave Graph file", "打开波形文件");
    if (!Host() || !Host()->OpenFileDialogFor(5))
        return;
    LoadWaveGraphFile(g_szOpenFilePath);
    Host()->UpdatePageButtons();
}

void CViewWaveGraphDlg::LoadWaveGraphFile(const QString &path)
{
    Ui().beginWaitCursor();
    const ViewPages pages = Pages();
    const char *failure = nullptr;
    if (path.contains(QLatin1String(".wdf"))) {
        bool refused = false;
        if (!pages.data || !pages.data->LoadWaveDataFile(path, &refused))
            failure = refused ? "The opened file is incorrect!" : "Try to openning the selected file failed!";
    } else if (path.contains(QLatin1String(".csv"))) {
        QFile file(path);
        GraphFileContent content;
        // Opened for writing too, as the design does: a read-only file is refused.
        if (!file.exists() || !file.open(QIODevice::ReadWrite)) {
            failure = "Try to openning the selected file failed!";
        } else if (DecodeGraphFile(file.readAll(), content) != GraphFileResult::Ok) {
            failure = "The opened file is incorrect!";
        } else {
            const int c = PickFileColumn();
            ChannelSlot &slot = g_ChannelSlots[c];
            slot.nCount = int32_t(content.cells.size());
            slot.bMeasured = content.measured ? 1 : 0;
            slot.bHasWave = 1;
            slot.bHasData = 1;
            std::memset(g_FileWave, 0, sizeof g_FileWave);
            if (pages.data) {
                WaveDataTable *table = pages.data->table();
                table->clearColumn(c);
                for (int row = 0; row < slot.nCount; ++row)
                    table->setText(row, c, content.cells[row]);
                if (slot.nCount > 0)
                    table->columnChanged(c, 0, slot.nCount - 1);
            }
            for (int row = 0; row < slot.nCount; ++row)
                g_FileWave[row] = LeadingByte(content.cells[row].constData(), int(content.cells[row].size()));
            FillParamColumn(&content.params, c);
            if (content.measured && pages.measure)
                for (int row = 0; row < 32; ++row)
                    pages.measure->table()->setText(row, c, content.measures[size_t(row)]);
            PlotWaveColumn(g_FileWave, slot.nCount, c);
            file.close();
            ShowGraphColumn(c);
        }
    } else {
        failure = "Try to openning the selected file failed!";
    }
    Ui().endWaitCursor();
    if (failure)
        Message(this, failure, vantor::MsgIcon::Information);
}
