#include "wave_param_page.h"

#include "channel_files.h"
#include "page_dialogs.h"
#include "page_host.h"
#include "page_tables.h"
#include "pass_fail.h"
#include "wave_data_page.h"

#include "../platform/app_context.h"
#include "../platform/control_ids.h"
#include "../platform/debug_log.h"
#include "../platform/globals.h"
#include "../platform/language.h"
#include "../platform/ui_services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <qcustomplot.h>

using namespace views;
using vantor::MsgIcon;
using vantor::Ui;

namespace {

constexpr int kVerdictColumn = 8;
constexpr int kNameField = 15, kCellField = 11, kMaxCellText = 15;
const char *const kCaptions[4] = {"The current Wave to 'Pass|Fail':  CH1", "The current Wave to 'Pass|Fail':  CH2",
                                  "The current Wave to 'Pass |Fail': CH3", "The current Wave to 'Pass |Fail': CH4"};

void Message(QWidget *parent, const char *caption, const char *text, MsgIcon icon)
{
    Ui().messageBox(parent, QString::fromUtf8(caption), QString::fromUtf8(text), icon);
}

}  // namespace

CViewWaveparamDlg::CViewWaveparamDlg(QWidget *parent)
    : CViewPage(parent, IDD_WAVE_MEASURE, QStringLiteral("CViewWaveparamDlg")),
      m_strCaption(QStringLiteral("The current Wave to 'Pass|Fail':  "))
{
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    layout->addLayout(top);
    m_title = Ctrl(new QLabel(QStringLiteral("Measurement"), this), IDC_MEASURE_TITLE);
    QFont font = m_title->font();
    font.setFamily(QStringLiteral("黑体"));
    font.setPixelSize(16);
    m_title->setFont(font);
    m_title->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; padding: 2px 8px; }")
                               .arg(QColor(232, 116, 0).name(), QColor(98, 176, 255).name()));
    top->addWidget(m_title);
    top->addStretch(1);
    connect(AddButton(top, IDC_MEASURE_SAVE_AS, QStringLiteral("Save As")), &QPushButton::clicked, this,
            &CViewWaveparamDlg::SaveMeasurementFile);
    connect(AddButton(top, IDC_MEASURE_COPY, QStringLiteral("Copy")), &QPushButton::clicked, this,
            &CViewWaveparamDlg::CopyMeasurement);
    connect(AddButton(top, IDC_MEASURE_PRINT, QStringLiteral("Print")), &QPushButton::clicked, this,
            &CViewWaveparamDlg::PrintMeasurement);
    connect(AddButton(top, IDC_MEASURE_PASS_FAIL, QStringLiteral("Pass|Fail")), &QPushButton::clicked, this,
            &CViewWaveparamDlg::OnPassFail);

    m_captionLabel = Ctrl(new QLabel(m_strCaption, this), IDC_MEASURE_CAPTION);
    m_captionLabel->setStyleSheet(
        QStringLiteral("QLabel { color: white; background: %1; padding: 2px 4px; }").arg(QColor(139, 168, 222).name()));
    layout->addWidget(m_captionLabel);

    m_table = NewMeasureTable(this);
    m_view = Ctrl(new QTableView(this), IDC_MEASURE_LIST);
    m_view->setModel(m_table);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(20);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setShowGrid(true);
    m_view->setColumnWidth(0, 100);
    for (int c = 1; c <= kVerdictColumn; ++c)
        m_view->setColumnWidth(c, 80);
    m_view->setStyleSheet(QStringLiteral("QTableView { background: %1; }").arg(QColor(139, 168, 222).name()));
    // The list alone grows with the page.
    layout->addWidget(m_view, 1);

    auto *trend = new QHBoxLayout;
    layout->addLayout(trend);
    auto *choices = new QVBoxLayout;
    trend->addLayout(choices);
    m_log = AddCheck(choices, IDC_MEASURE_LOG, QStringLiteral("Log"));
    connect(m_log, &QCheckBox::clicked, this, &CViewWaveparamDlg::OnLogSwitch);
    m_trendItem = Ctrl(new QComboBox(this), IDC_MEASURE_TREND_ITEM);
    for (const char *name : measures::kItemNames)
        m_trendItem->addItem(QString::fromLatin1(name));
    m_trendChannel = Ctrl(new QComboBox(this), IDC_MEASURE_TREND_CHANNEL);
    for (int n = 1; n <= 4; ++n)
        m_trendChannel->addItem(QStringLiteral("CH%1").arg(n));
    choices->addWidget(m_trendItem);
    choices->addWidget(m_trendChannel);
    m_trendStats = new QLabel(this);
    m_trendStats->setObjectName(QStringLiteral("trendFigures"));
    m_trendStats->setMinimumWidth(150);
    choices->addWidget(m_trendStats);
    choices->addStretch(1);
    connect(m_trendItem, &QComboBox::currentIndexChanged, this, &CViewWaveparamDlg::ShowTrend);
    connect(m_trendChannel, &QComboBox::currentIndexChanged, this, &CViewWaveparamDlg::ShowTrend);

    m_trendPlot = Ctrl(new QCustomPlot(this), IDC_MEASURE_TREND);
    m_trendPlot->setFixedHeight(170);
    m_trendPlot->addGraph();
    m_trendPlot->graph(0)->setPen(QPen(QColor(20, 60, 160), 1.5));
    m_trendPlot->graph(0)->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 3));
    m_trendPlot->xAxis->setLabel(Tr("Refresh", "刷新次数"));
    trend->addWidget(m_trendPlot, 1);

    if (!g_bMeasureHasData)
        for (int id : {IDC_MEASURE_COPY, IDC_MEASURE_PRINT, IDC_MEASURE_SAVE_AS})
            button(id)->setEnabled(false);
    Localise();
    // The caption is the design's English text in either language.
    m_captionLabel->setText(m_strCaption);
    m_view->setAccessibleName(m_title->text());
    m_trendItem->setAccessibleName(Tr("Trend item", "趋势项目"));
    m_trendChannel->setAccessibleName(Tr("Trend channel", "趋势通道"));
    m_trendPlot->setAccessibleName(Tr("Measurement trend", "测量值趋势"));
    m_trendStats->setAccessibleName(Tr("Trend figures", "趋势统计"));
    ShowTrend();
}

CViewWaveparamDlg::~CViewWaveparamDlg() = default;

void CViewWaveparamDlg::EnableOutputButtons()
{
    for (int id : {IDC_MEASURE_SAVE_AS, IDC_MEASURE_COPY, IDC_MEASURE_PRINT})
        button(id)->setEnabled(true);
}

void CViewWaveparamDlg::SetCaption(const QString &caption)
{
    m_strCaption = caption;
    m_captionLabel->setText(caption);
}

// ---- filling ---------------------------------------------------------------------------

void CViewWaveparamDlg::FillMeasurementPage()
{
    if (!Host() || !Host()->SelectTab(TAB_MEASURE))
        DebugLog(QStringLiteral("转到选定的视图界面失败"), kWarning);
    for (int n = 1; n <= 4; ++n) {
        ChannelSlot &slot = g_ChannelSlots[n];
        if (!g_bMeasureOn[n - 1]) {
            slot.bMeasured = 0;
            continue;
        }
        SetCaption(QString::fromLatin1(kCaptions[n - 1]));
        if (!g_bPassFailLimitsSet) {
            SetDefaultPassFailLimits();
            g_bPassFailLimitsSet = 1;
        }
        m_table->setColumn(n, QStringList(kMeasureRows, QStringLiteral("**")));
        if (g_bChOpen[n - 1])
            EvaluatePassFail(n, m_table, n);
        slot.bMeasured = 1;
    }
}

void CViewWaveparamDlg::OnPassFail()
{
    CSetPassFailDlg dialog(this);
    Ui().runDialog(&dialog);
}

// ---- files ---------------------------------------------------------------------------------

void CViewWaveparamDlg::SaveMeasurementFile()
{
    Log("Save Wave Measurement file", "保存波形测量值文件");
    CSelectChanDlg dialog(this);
    dialog.m_nPurpose = 1;
    if (Ui().runDialog(&dialog) != QDialog::Accepted)
        return;
    const int c = dialog.m_nSelected + 1;
    if (c < 1 || c > 7 || !g_ChannelSlots[c].bMeasured)
        return;
    if (!Host() || !Host()->SaveFileDialogFor(3))
        return;
    Ui().beginWaitCursor();
    QString path = g_szSaveFilePath;
    if (!path.contains(QLatin1String(".wmf")))
        path += QStringLiteral(".wmf");
    CViewWavedataDlg *data = Pages().data;
    const bool written = data && data->WriteWaveFile(c, kKindMeasure, path);
    Ui().endWaitCursor();
    if (!written) {
        Message(this, "Error", "Try to save measurement file failed!", MsgIcon::Information);
        return;
    }
    Log("Save measurement successed！", "保存波形测量值成功！");
}

int CViewWaveparamDlg::LoadMeasurementFile(const QString &path)
{
    if (!path.contains(QLatin1String(".wmf"))) {
        DebugLog(QStringLiteral("打开文件类型与‘.wmf’不匹配"), kWarning);
        Message(this, "提示信息", "打开文件类型不匹配，请确认！", MsgIcon::Information);
        return 0;
    }
    // The wave data reader checks the whole file before it changes anything.
    CViewWavedataDlg *data = Pages().data;
    if (!data || !data->LoadWaveDataFile(path)) {
        DebugLog(QStringLiteral("打开选定文件‘*.wmf’失败"), kWarning);
        Message(this, "提示信息", "打开选定文件失败，请确定文件是否被破坏、文件格式是否正确？", MsgIcon::Information);
        return 0;
    }
    if (Host())
        Host()->UpdatePageButtons();
    return 1;
}

// ---- copy and print ------------------------------------------------------------------------

QString CViewWaveparamDlg::CopyMeasurementText() const
{
    QString out = m_strCaption + QLatin1Char('\n');
    out.reserve(out.size() + 34 * 104 + 1);
    // Left-aligned and padded; a text longer than its field is written whole.
    auto field = [&out](const QString &text, int width) {
        const QString cell = text.left(kMaxCellText);
        out += cell;
        if (cell.size() < width)
            out += QString(width - cell.size(), QLatin1Char(' '));
    };
    for (int c = 0; c <= kVerdictColumn; ++c)
        field(m_table->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), c == 0 ? kNameField : kCellField);
    out += QLatin1Char('\n');
    for (int row = 0; row < m_table->rowCount(); ++row) {
        for (int c = 0; c <= kVerdictColumn; ++c)
            field(m_table->text(row, c), c == 0 ? kNameField : kCellField);
        out += QLatin1Char('\n');
    }
    out += QLatin1Char('\n');
    return out;
}

void CViewWaveparamDlg::CopyMeasurement()
{
    Log("Copy Measurement", "复制波形测量值到剪贴板");
    if (!g_bMeasureHasData) {
        Message(this, "Error", "There is no measuremnt for copy", MsgIcon::Warning);
        return;
    }
    Ui().beginWaitCursor();
    Ui().setClipboardText(CopyMeasurementText());
    Ui().endWaitCursor();
}

void CViewWaveparamDlg::PrintMeasurement()
{
    Log("Print measurement", "打印测量值");
    if (m_table->rowCount() == 0 || !g_bMeasureHasData) {
        DebugLog(QStringLiteral("打印失败：波形测量值数据列表中当前没有数据"), kNormal);
        Message(this, "Error", "There is no measurement for print!", MsgIcon::Information);
        return;
    }
    PrintRequest request;
    request.nFirstItem = 1;
    request.nItemCount = m_table->rowCount();
    request.nCurrentPage = 1;
    request.bToPrinter = 0;
    request.hOwner = this;
    request.hList = m_view;
    request.nExtraPages = 0;
    RunPrintPreview(this, WM_PRINT_MEASURE, request);
}

int CViewWaveparamDlg::OnPrintDraw(PrintSurface &surface, PrintRequest &request)
{
    return DrawMeasurementPage(surface, request);
}

int CViewWaveparamDlg::DrawMeasurementPage(PrintSurface &surface, const PrintRequest &request)
{
    QWidget *owner = request.hOwner ? request.hOwner : this;
    const bool printing = request.bToPrinter != 0;
    if (printing) {
        if (!surface.StartDoc(QStringLiteral("Print The Measurement"))) {
            DebugLog(QStringLiteral("连接到打印机失败"), kWarning);
            Message(owner, "Error", "Initialize printer failed", MsgIcon::Stop);
            return 1;
        }
        if (!surface.StartPage()) {
            DebugLog(QStringLiteral("打印波形测量值数据列表失败"), kWarning);
            Message(owner, "Error", "Print failed!", MsgIcon::Stop);
            surface.AbortDoc();
            return 0;
        }
    }
    // The rows come from the list the request names, this page's by default.
    const QAbstractItemModel *model = m_table;
    if (auto *list = qobject_cast<QAbstractItemView *>(request.hList); list && list->model())
        model = list->model();
    const int first = std::max(0, request.nFirstItem - 1);
    const int rows = std::clamp(request.nItemCount, 0, std::max(0, model->rowCount() - first));

    QPainter *p = surface.painter();
    const QPaintDevice &device = *surface.device();
    auto x = [&](double mm) { return MmToDeviceX(device, mm); };
    auto y = [&](double mm) { return MmToDeviceY(device, mm); };
    auto box = [&](double left, double top, double right, double bottom) {
        return QRectF(QPointF(x(left), y(top)), QPointF(x(right), y(bottom)));
    };
    p->save();
    p->setPen(QPen(Qt::black, 2, Qt::SolidLine));
    if (!printing) {
        p->setBrush(Qt::white);
        p->drawRect(box(0, 0, 223, 315));
        p->setBrush(Qt::NoBrush);
    }
    p->setFont(PrintFont(QStringLiteral("黑体"), 14, 400, device));
    p->drawText(box(0, 15, 223, 30), Qt::AlignCenter, QStringLiteral("Print The Measurement"));

    QFont body = PrintFont(QStringLiteral("宋体"), 10, 400, device);
    // Shaped, the serif face's digits lose their text in a PDF.
    body.setStyleStrategy(QFont::PreferNoShaping);
    p->setFont(body);
    const QFontMetricsF metrics(body, surface.device());
    constexpr double kBounds[10] = {20, 50, 67, 84, 101, 118, 135, 152, 169, 203};
    constexpr double kTop = 30, kRow = 7, kInset = 1.5;
    p->drawLine(QPointF(x(20), y(kTop)), QPointF(x(203), y(kTop)));
    for (int r = -1; r < rows; ++r) {
        const double top = kTop + kRow * (r + 1), bottom = top + kRow;
        for (int c = 0; c <= kVerdictColumn; ++c) {
            const QString text = r < 0 ? model->headerData(c, Qt::Horizontal).toString()
                                       : model->index(first + r, c).data().toString().left(kMaxCellText);
            const QRectF cell = r < 0 ? box(kBounds[c], top, kBounds[c + 1], bottom)
                                      : box(kBounds[c] + kInset, top, kBounds[c + 1], bottom);
            // A value wider than its 17 mm column ("-980.00mV") is drawn
            // smaller rather than losing its unit to the cell's edge.
            const double width = metrics.horizontalAdvance(text), room = cell.width() - x(kInset);
            const bool shrink = width > room;
            if (shrink) {
                QFont small = body;
                small.setPixelSize(std::max(1, int(body.pixelSize() * room / width)));
                p->setFont(small);
            }
            p->drawText(cell, r < 0 ? int(Qt::AlignCenter) : int(Qt::AlignLeft | Qt::AlignVCenter), text);
            if (shrink)
                p->setFont(body);
        }
        for (double bound : kBounds)
            p->drawLine(QPointF(x(bound), y(top)), QPointF(x(bound), y(bottom)));
        p->drawLine(QPointF(x(20), y(bottom)), QPointF(x(203), y(bottom)));
    }
    const double end = kTop + kRow * (rows + 1);
    p->drawLine(QPointF(x(20), y(kTop)), QPointF(x(20), y(end)));
    p->drawLine(QPointF(x(203), y(kTop)), QPointF(x(203), y(end)));
    const QDate today = Ui().now().date();
    p->drawText(box(20, end, 203, end + kRow), Qt::AlignLeft | Qt::AlignVCenter,
                QString::asprintf("Print Date:%04d-%02d-%02d", today.year(), today.month(), today.day()));
    p->drawText(box(20, end, 203, end + kRow), Qt::AlignRight | Qt::AlignVCenter, QString::asprintf(" %i / %i ", 1, 1));
    p->restore();
    // A printer that refuses the end of its page or document printed nothing.
    if (printing && !(surface.EndPage() && surface.EndDoc())) {
        DebugLog(QStringLiteral("打印波形测量值数据列表失败"), kWarning);
        Message(owner, "Error", "Print failed!", MsgIcon::Stop);
        return 0;
    }
    return 1;
}

// ---- trend ---------------------------------------------------------------------------------

void CViewWaveparamDlg::OnMeasurementsArrived()
{
    std::vector<measures::TrendRow> rows;
    const bool pairOn = g_bChOpen[0] && g_bChOpen[1];
    std::array<measures::Limit, measures::kItemCount> limits;
    std::string time;
    for (int n = 1; n <= 4; ++n) {
        if (!g_bMeasureOn[n - 1] || !g_bChOpen[n - 1])
            continue;
        if (rows.empty()) {
            time = measures::IsoLocalTime(Ui().now().toMSecsSinceEpoch());
            limits = CurrentPassFailLimits();
        }
        rows.push_back(measures::MakeTrendRow(time, n, Live(n).measure, pairOn, limits));
    }
    if (rows.empty())
        return;
    if (!m_trend.Append(rows)) {
        m_log->setChecked(false);
        DebugLog(QStringLiteral("写测量值记录文件失败"), kWarning);
        Ui().messageBox(this, Tr("Error", "错误"),
                        Tr("Try to write the measurement log failed!", "写测量值记录文件失败！"), MsgIcon::Information);
    }
    ShowTrend();
}

void CViewWaveparamDlg::OnLogSwitch(bool on)
{
    if (!on) {
        if (m_trend.logging()) {
            m_trend.Stop();
            Log("Stop the measurement log", "停止记录测量值");
        }
        m_log->setChecked(false);
        ShowTrend();
        return;
    }
    Log("Start the measurement log", "开始记录测量值");
    vantor::FileDialogRequest request;
    request.save = true;
    request.title = Tr("Save Measurement Log", "保存测量值记录");
    request.filter = QStringLiteral("measurement log (*.csv)|*.csv| |");
    request.folder = g_szInitPath;
    request.defaultExt = QStringLiteral("csv");
    QString path = Ui().fileDialog(this, request);
    if (path.isEmpty()) {
        m_log->setChecked(false);
        return;
    }
    if (!path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        path += QStringLiteral(".csv");
    const bool started = m_trend.Start(path);
    m_log->setChecked(started);
    if (!started)
        Ui().messageBox(this, Tr("Error", "错误"),
                        Tr("Try to open the measurement log failed!", "打开测量值记录文件失败！"),
                        MsgIcon::Information);
    ShowTrend();
}

QString CViewWaveparamDlg::trendFigures() const { return m_trendStats->text(); }

void CViewWaveparamDlg::ShowTrend()
{
    const int item = std::max(0, m_trendItem->currentIndex());
    const int channel = m_trendChannel->currentIndex() + 1;
    const measures::Family family = measures::ItemFamily(item);
    QVector<double> keys, values;
    m_trend.Series(channel, item, keys, values);
    m_trendPlot->graph(0)->setData(keys, values, true);
    if (!keys.isEmpty()) {
        // A margin round the points, so none sits on an axis.
        m_trendPlot->xAxis->setRange(keys.front() - 0.5, keys.back() + 0.5);
        m_trendPlot->graph(0)->rescaleValueAxis(false, true);
        const QCPRange range = m_trendPlot->yAxis->range();
        const double margin = range.size() > 0 ? range.size() * 0.1 : std::max(std::abs(range.center()) * 0.05, 1e-12);
        m_trendPlot->yAxis->setRange(range.lower - margin, range.upper + margin);
    }
    m_trendPlot->yAxis->setLabel(QString::fromUtf8(measures::BaseUnit(family)));

    const MeasureTrend::Figures f = m_trend.FiguresOf(channel, item);
    auto si = [family](double v) { return QString::fromStdString(measures::FormatSi(v, family)); };
    QString text =
        f.values ? Tr("min %1\nmax %2\nmean %3\n", "最小 %1\n最大 %2\n平均 %3\n").arg(si(f.min), si(f.max), si(f.mean))
                 : QString();
    text += Tr("fails %1 of %2", "不合格 %1 / %2").arg(f.fails).arg(f.count);
    if (m_trend.logging())
        text += QLatin1Char('\n') + QFileInfo(m_trend.path()).fileName();
    m_trendStats->setText(text);
    m_trendPlot->replot(QCustomPlot::rpQueuedReplot);
}
