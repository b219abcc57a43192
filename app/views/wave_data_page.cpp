#include "wave_data_page.h"

#include "channel_files.h"
#include "page_tables.h"
#include "view_pages.h"

#include "../platform/app_context.h"
#include "../platform/control_ids.h"
#include "../platform/debug_log.h"
#include "../platform/globals.h"
#include "../platform/language.h"
#include "../platform/link_gate.h"
#include "../platform/ui_services.h"
#include "../print/print_dialogs.h"
#include "../print/print_table.h"
#include "page_dialogs.h"
#include "page_host.h"

#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTableView>
#include <QVBoxLayout>
#include <cstring>

using namespace views;
using vantor::Ui;

namespace {

// Left-aligned in a field of width characters, cut to it.
void AppendField(QByteArray &out, const char *text, int length, int width)
{
    length = std::min(length, width);
    out.append(text, length);
    out.append(width - length, ' ');
}

constexpr int kFirstField = 9;
constexpr int kField = 10;
constexpr int kLampOrder[10] = {0, 2, 9, 3, 4, 5, 6, 7, 8, 1};

}  // namespace

CViewWavedataDlg::CViewWavedataDlg(QWidget *parent)
    : CViewPage(parent, IDD_WAVE_DATA, QStringLiteral("CViewWavedataDlg"))
{
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    layout->addLayout(top);
    m_title = Ctrl(new QLabel(QStringLiteral("Wave Data"), this), IDC_DATA_TITLE);
    QFont font = m_title->font();
    font.setFamily(QStringLiteral("黑体"));
    font.setPixelSize(16);
    m_title->setFont(font);
    m_title->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; padding: 2px 8px; }")
                               .arg(FromColorRef(0x000074E8).name(), FromColorRef(0x00FFB062).name()));
    top->addWidget(m_title);
    top->addStretch(1);
    connect(AddButton(top, IDC_DATA_COPY, QStringLiteral("Copy")), &QPushButton::clicked, this,
            &CViewWavedataDlg::CopyWaveData);
    connect(AddButton(top, IDC_DATA_PRINT, QStringLiteral("Print")), &QPushButton::clicked, this,
            &CViewWavedataDlg::PrintWaveData);
    connect(AddButton(top, IDC_DATA_SAVE_AS, QStringLiteral("Save as")), &QPushButton::clicked, this,
            &CViewWavedataDlg::SaveWaveDataFile);
    connect(AddButton(top, IDC_DATA_EDIT, QStringLiteral("可编辑")), &QPushButton::clicked, this,
            &CViewWavedataDlg::OnEdit);

    m_table = new WaveDataTable(this);
    m_view = Ctrl(new QTableView(this), IDC_DATA_LIST);
    m_view->setModel(m_table);
    m_view->verticalHeader()->hide();
    // Fixed row heights: the view then never measures 24000 rows.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(20);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setShowGrid(true);
    m_view->setColumnWidth(0, 50);
    for (int c = 1; c <= kWaveColumns; ++c)
        m_view->setColumnWidth(c, 80);
    m_view->setStyleSheet(QStringLiteral("QTableView { background: %1; }").arg(FromColorRef(0x00EDEDC7).name()));
    layout->addWidget(m_view, 1);

    if (!g_bWaveDataHasData)
        for (int id : {IDC_DATA_COPY, IDC_DATA_PRINT, IDC_DATA_EDIT, IDC_DATA_SAVE_AS})
            button(id)->setEnabled(false);
    Localise();
}

void CViewWavedataDlg::EnableOutputButtons()
{
    for (int id : {IDC_DATA_SAVE_AS, IDC_DATA_COPY, IDC_DATA_PRINT})
        button(id)->setEnabled(true);
}

void CViewWavedataDlg::FillWaveDataColumn(int column, bool allRows)
{
    if (column >= 1 && column <= 4) {
        if (!g_bChOpen[column - 1])
            return;
        const LiveChannel live = Live(column);
        m_table->setNumbers(column, live.wave, allRows ? kWaveRows : live.points);
    } else if (column >= 5 && column <= 7) {
        m_table->clearColumn(column);
        m_table->setNumbers(column, g_FileWave, g_ChannelSlots[column].nCount);
    }
}

void CViewWavedataDlg::RefillChannelColumns()
{
    for (int n : {1, 3, 2, 4})
        FillWaveDataColumn(n, false);
}

bool CViewWavedataDlg::WriteWaveFile(int column, int origin, const QString &path)
{
    // Beside the target until it is whole: a failed save keeps the old file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const ChannelSlot &slot = g_ChannelSlots[column];
    const int count = std::clamp(slot.nCount, 0, kWaveRows);
    ChannelFileContent content;
    content.kind = uint8_t(origin);
    content.measured = slot.bMeasured != 0;
    // What the table shows, not the instrument's buffer.
    std::memset(g_FileWave, 0, sizeof g_FileWave);
    for (int row = 0; row < count; ++row) {
        int length = 0;
        const char *text = m_table->bytes(row, column, &length);
        g_FileWave[row] = LeadingByte(text, std::min(length, 4));
    }
    content.samples = QByteArray(reinterpret_cast<const char *>(g_FileWave), count);
    for (int i = 0; i < 10; ++i)
        content.lamps[size_t(i)] = g_LedStatus[kLampOrder[i]];
    const ViewPages pages = Pages();
    if (pages.graph)
        for (int row = 0; row < 5; ++row)
            content.params[size_t(row)] = pages.graph->params()->text(row, column);
    if (content.measured && pages.measure)
        for (int row = 0; row < 32; ++row)
            content.measures[size_t(row)] = pages.measure->table()->text(row, column);
    const QByteArray bytes = EncodeChannelFile(content);
    return file.write(bytes) == bytes.size() && file.commit();
}

bool CViewWavedataDlg::LoadWaveDataFile(const QString &path, bool *refused)
{
    if (refused)
        *refused = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    ChannelFileContent content;
    // Checked whole before anything changes, so a bad file leaves every page as it was.
    if (!DecodeChannelFile(file.readAll(), content)) {
        if (refused)
            *refused = true;
        return false;
    }
    const int c = PickFileColumn();
    ChannelSlot &slot = g_ChannelSlots[c];
    slot.nCount = int32_t(content.samples.size());
    slot.bMeasured = content.measured ? 1 : 0;
    slot.bHasWave = content.kind == kKindGraph ? 1 : 0;
    slot.bHasData = 1;
    std::memset(g_FileWave, 0, sizeof g_FileWave);
    std::memcpy(g_FileWave, content.samples.constData(), size_t(content.samples.size()));
    const ViewPages pages = Pages();
    CViewWaveGraphDlg *graph = pages.graph;
    if (graph)
        graph->PlotWaveColumn(g_FileWave, slot.nCount, c);
    FillWaveDataColumn(c, false);
    if (graph)
        graph->FillParamColumn(&content.params, c);
    if (content.measured && pages.measure)
        for (int row = 0; row < 32; ++row)
            pages.measure->table()->setText(row, c, content.measures[size_t(row)]);
    if (graph)
        graph->ShowGraphColumn(c);
    return true;
}

QString CViewWavedataDlg::CopyWaveDataText() const
{
    int rows = 0;
    for (int c = 1; c <= 7; ++c)
        rows = std::max(rows, std::clamp(g_ChannelSlots[c].nCount, 0, kWaveRows));
    QByteArray out;
    out.reserve(80 + rows * 79 + 1);
    const QByteArray hash = WaveDataTable::title(0).toLatin1();
    AppendField(out, hash.constData(), int(hash.size()), kFirstField);
    for (int c = 1; c <= 7; ++c) {
        const QByteArray title = WaveDataTable::title(c).toLatin1();
        AppendField(out, title.constData(), int(title.size()), kField);
    }
    out.append('\n');
    char number[16];
    for (int row = 0; row < rows; ++row) {
        const int n = std::snprintf(number, sizeof number, "%d", row + 1);
        AppendField(out, number, n, kFirstField);
        for (int c = 1; c <= 7; ++c) {
            int length = 0;
            const char *text = m_table->bytes(row, c, &length);
            AppendField(out, text, length, kField);
        }
        out.back() = '\n';
    }
    out.append('\n');
    return QString::fromUtf8(out);
}

void CViewWavedataDlg::CopyWaveData()
{
    LogText(Tr("Copy Wave Data", "复制波形数据到剪贴板"));
    if (!g_bWaveDataHasData) {
        Ui().messageBox(this, QStringLiteral("Error"), QStringLiteral("There is no Wave Data for copy!"),
                        vantor::MsgIcon::Warning);
        return;
    }
    Ui().beginWaitCursor();
    Ui().setClipboardText(CopyWaveDataText());
    Ui().endWaitCursor();
}

void CViewWavedataDlg::SaveWaveDataFile()
{
    LogText(QStringLiteral("Save Wave Data file"));
    CSelectChanDlg dialog(this);
    dialog.m_nPurpose = 0;
    if (Ui().runDialog(&dialog) != QDialog::Accepted)
        return;
    const int c = dialog.m_nSelected + 1;
    if (c < 1 || c > 7)
        return;
    if (!Host() || !Host()->SaveFileDialogFor(2))
        return;
    Ui().beginWaitCursor();
    QString path = g_szSaveFilePath;
    if (!path.contains(QLatin1String(".wdf")))
        path += QStringLiteral(".wdf");
    if (!WriteWaveFile(c, kKindWaveData, path)) {
        DebugLog(QStringLiteral("保存波形数据文件失败"), kNormal);
        Ui().endWaitCursor();
        Ui().messageBox(this, QStringLiteral("Error"), QStringLiteral("Try to save Wave Data file failed!"),
                        vantor::MsgIcon::Information);
        return;
    }
    Ui().endWaitCursor();
    LogText(QStringLiteral("Save Wave Data file successed！"));
}

void CViewWavedataDlg::PrintWaveData()
{
    LogText(QStringLiteral("Print Wave Data"));
    if (m_table->rowCount() == 0 || !g_bWaveDataHasData) {
        DebugLog(QStringLiteral("打印失败：波形数据列表中当前没有数据"), kNormal);
        Ui().messageBox(this, QStringLiteral("Error"), QStringLiteral("There is no Wave Data for print!"),
                        vantor::MsgIcon::Information);
        return;
    }
    CSetPrntItemDlg range(this);
    range.m_nStartItem = 1;
    range.m_nEndItem = 4000;
    if (Ui().runDialog(&range) != QDialog::Accepted)
        return;
    PrintRequest request;
    request.nFirstItem = range.m_nStartItem;
    request.nItemCount = range.m_nEndItem - range.m_nStartItem + 1;
    request.hOwner = this;
    request.hList = m_view;
    RunPrintPreview(this, WM_PRINT_WAVE_DATA, request);
}

int CViewWavedataDlg::OnPrintDraw(PrintSurface &surface, PrintRequest &request)
{
    const auto *list = qobject_cast<const QAbstractItemView *>(request.hList);
    const QAbstractItemModel *rows = list ? list->model() : m_table;
    const QString title = QStringLiteral("Print the Wave Data");
    return DrawPrintoutPage(surface, request, title, [&](PrintTablePage &out) {
        if (request.nCurrentPage == 1)
            out.Title(title);
        QStringList header;
        for (int c = 0; c <= kWaveColumns; ++c)
            header << WaveDataTable::title(c);
        out.Header(header, true);
        const PrintRowSpan span = PrintRowsOfPage(request, request.nCurrentPage);
        QStringList cells;
        for (int r = span.first; r < span.first + span.count && r < rows->rowCount(); ++r) {
            cells.clear();
            for (int c = 0; c <= kWaveColumns; ++c)
                cells << rows->index(r, c).data().toString();
            out.Row(cells);
        }
        out.Finish(PrintDateText(), QString::asprintf("%i / %i", request.nCurrentPage, request.nPageCount));
    });
}

void CViewWavedataDlg::OnEdit() { LogText(QStringLiteral("当前操作：编辑波形数据")); }
