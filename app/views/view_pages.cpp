#include "view_pages.h"

#include "../shell/globals.h"
#include "../shell/main_frame.h"
#include "../shell/vantor_app.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CViewPage::CViewPage(QWidget *parent, int dialogId, const QString &name) : QWidget(parent), m_nDialogId(dialogId)
{
    setObjectName(name);
}

QPushButton *CViewPage::button(int id) const { return findChild<QPushButton *>(QStringLiteral("id%1").arg(id)); }

QCheckBox *CViewPage::check(int id) const { return findChild<QCheckBox *>(QStringLiteral("id%1").arg(id)); }

QPushButton *CViewPage::AddButton(QLayout *layout, int id, const QString &text, bool enabled)
{
    auto *b = Ctrl(new QPushButton(text, this), id);
    b->setEnabled(enabled);
    layout->addWidget(b);
    return b;
}

QCheckBox *CViewPage::AddCheck(QLayout *layout, int id, const QString &text)
{
    auto *c = Ctrl(new QCheckBox(text, this), id);
    layout->addWidget(c);
    return c;
}

void CViewPage::Localise()
{
    if (NeedsLocalising())
        LocaliseDialog(this, m_nDialogId);
}

namespace {

QVBoxLayout *Group(QBoxLayout *into, QWidget *owner, int id, const QString &title)
{
    auto *box = Ctrl(new QGroupBox(title, owner), id);
    auto *layout = new QVBoxLayout(box);
    into->addWidget(box);
    return layout;
}

QLabel *Placeholder(QWidget *owner, const QString &text)
{
    auto *label = new QLabel(text, owner);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("QLabel { background: #10141a; color: #7f8c99; border: 1px solid #3a4450; }"));
    label->setMinimumSize(200, 150);
    return label;
}

}  // namespace

// ---- wave graph ---------------------------------------------------------------------

CViewWaveGraphDlg::CViewWaveGraphDlg(QWidget *parent) : CViewPage(parent, 173, QStringLiteral("CViewWaveGraphDlg"))
{
    auto *row = new QHBoxLayout(this);
    auto *column = new QVBoxLayout;
    row->addLayout(column);
    auto *oper = Group(column, this, 1153, QStringLiteral("Graph Oper"));
    AddButton(oper, 1103, QStringLiteral("Save"), false);
    AddButton(oper, 1104, QStringLiteral("Open"));
    AddButton(oper, 1105, QStringLiteral("Copy"), false);
    AddButton(oper, 1107, QStringLiteral("Print"), false);
    auto *refresh = Group(column, this, 1154, QStringLiteral("Refresh Oper"));
    auto *data = Group(refresh, this, 1155, QStringLiteral("Wave Data"));
    AddCheck(data, 1137, QStringLiteral("GetAllData"));
    auto *mode = Group(refresh, this, 1156, QStringLiteral("Mode"));
    connect(AddButton(mode, 1108, QStringLiteral("Auto")), &QPushButton::clicked, this, &CViewWaveGraphDlg::OnAuto);
    connect(AddButton(mode, 1110, QStringLiteral("Manu"), false), &QPushButton::clicked, this, &CViewWaveGraphDlg::OnManu);
    auto *measure = Group(refresh, this, 1157, QStringLiteral("Measure"));
    AddCheck(measure, 1148, QStringLiteral("CH1 "));
    AddCheck(measure, 1138, QStringLiteral("CH2"));
    AddCheck(measure, 1151, QStringLiteral("CH3 "));
    AddCheck(measure, 1152, QStringLiteral("CH4 "));
    connect(AddButton(refresh, 1106, QStringLiteral("Refresh")), &QPushButton::clicked, this,
            &CViewWaveGraphDlg::RefreshWaveGraph);
    auto *show = Group(column, this, 1158, QStringLiteral("Graph Show"));
    const std::pair<int, const char *> shows[] = {{1149, "CH1"},    {1139, "CH2"},    {1140, "CH3"},   {1141, "CH4"},
                                                  {1142, "Chan 5"}, {1143, "Chan 6"}, {1144, "Chan 7"}};
    for (const auto &[id, text] : shows)
        AddCheck(show, id, QString::fromLatin1(text))->setChecked(true);
    column->addStretch(1);
    auto *graph = Placeholder(this, QStringLiteral("Wave graph"));
    graph->setObjectName(QStringLiteral("id1159"));
    row->addWidget(graph, 1);
    Localise();
}

void CViewWaveGraphDlg::RefreshWaveGraph()
{
    // Counted only; fetching and drawing the curves is the graph's own work.
    ++m_nRefreshes;
}

void CViewWaveGraphDlg::LoadWaveGraphFile(const QString &) {}

void CViewWaveGraphDlg::ShowChannel34(bool show)
{
    check(1151)->setVisible(show);
    check(1152)->setVisible(show);
}

void CViewWaveGraphDlg::SetModeButtons(bool autoEnabled, bool manuEnabled)
{
    button(1108)->setEnabled(autoEnabled);
    button(1110)->setEnabled(manuEnabled);
}

void CViewWaveGraphDlg::EnableOutputButtons()
{
    for (int id : {1103, 1105, 1107})
        button(id)->setEnabled(true);
}

void CViewWaveGraphDlg::OnAuto()
{
    CMainFrame *frame = AfxGetMainFrame();
    if (!frame)
        return;
    frame->LogOperation(Tr("Set the refresh mode is : Auto", "设置刷新模式：自动"));
    if (!g_bDsoBound) {
        AfxGetApp()->ui().messageBox(frame, Tr("Error", "错误"), Tr("The software is not link with device!", "没有连接设备!"),
                                     vantor::MsgIcon::Warning);
        frame->RefreshLinkLamp();
        return;
    }
    if (g_bAutoRefresh)
        return;
    g_bAutoRefresh = 1;
    frame->StartRefreshTimer();
    SetModeButtons(false, true);
}

void CViewWaveGraphDlg::OnManu()
{
    CMainFrame *frame = AfxGetMainFrame();
    if (!frame)
        return;
    frame->LogOperation(Tr("Set the refresh mode is : Manual", "设置刷新模式：手动"));
    if (g_bAutoRefresh) {
        g_bAutoRefresh = 0;
        frame->StopRefreshTimer();
        SetModeButtons(true, false);
    }
}

namespace {

// A column of output buttons beside the page's placeholder display.
void BuildOutputPage(CViewPage *page, QVBoxLayout *&column, const QString &display)
{
    auto *row = new QHBoxLayout(page);
    column = new QVBoxLayout;
    row->addLayout(column);
    row->addWidget(Placeholder(page, display), 1);
}

}  // namespace

// ---- bitmap -------------------------------------------------------------------------------

CWaveUIBmpDlg::CWaveUIBmpDlg(QWidget *parent) : CViewPage(parent, 158, QStringLiteral("CWaveUIBmpDlg"))
{
    QVBoxLayout *column = nullptr;
    BuildOutputPage(this, column, QStringLiteral("Instrument screen"));
    AddButton(column, 1024, QStringLiteral("Rename"), false);
    column->addStretch(1);
    Localise();
}

bool CWaveUIBmpDlg::LoadBitmapFile(const QString &path, bool) { return QFile::exists(path); }

void CWaveUIBmpDlg::EnableRename(bool enable) { button(1024)->setEnabled(enable); }

// ---- wave data ------------------------------------------------------------------------------

CViewWavedataDlg::CViewWavedataDlg(QWidget *parent) : CViewPage(parent, 147, QStringLiteral("CViewWavedataDlg"))
{
    QVBoxLayout *column = nullptr;
    BuildOutputPage(this, column, QStringLiteral("Wave data"));
    AddButton(column, 1030, QStringLiteral("Save as"), false);
    AddButton(column, 1033, QStringLiteral("Copy"), false);
    AddButton(column, 1037, QStringLiteral("Print"), false);
    column->addStretch(1);
    Localise();
}

bool CViewWavedataDlg::LoadWaveDataFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

void CViewWavedataDlg::RefillChannelColumns() {}

void CViewWavedataDlg::EnableOutputButtons()
{
    for (int id : {1030, 1033, 1037})
        button(id)->setEnabled(true);
}

// ---- measurement ------------------------------------------------------------------------------

CViewWaveparamDlg::CViewWaveparamDlg(QWidget *parent) : CViewPage(parent, 159, QStringLiteral("CViewWaveparamDlg"))
{
    QVBoxLayout *column = nullptr;
    BuildOutputPage(this, column, QStringLiteral("Wave measurements"));
    AddButton(column, 1036, QStringLiteral("Save As"), false);
    AddButton(column, 1040, QStringLiteral("Copy"), false);
    AddButton(column, 1045, QStringLiteral("Print"), false);
    column->addStretch(1);
    Localise();
}

void CViewWaveparamDlg::LoadMeasurementFile(const QString &) {}

void CViewWaveparamDlg::RefreshPassFailColumns() {}

void CViewWaveparamDlg::EnableOutputButtons()
{
    for (int id : {1036, 1040, 1045})
        button(id)->setEnabled(true);
}

// ---- virtual front panel ------------------------------------------------------------------------

CVirtualPanelDlg::CVirtualPanelDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("IDD157"));
    setWindowTitle(QStringLiteral("Virtual Panel"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("The virtual front panel is not available yet."), this));
    auto *close = Ctrl(new QPushButton(QStringLiteral("Close"), this), 2);
    layout->addWidget(close);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void CVirtualPanelDlg::RefreshPanel() { ++m_nRefreshes; }
