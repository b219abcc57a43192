#include "view_pages.h"

#include "../shell/globals.h"
#include "../shell/main_frame.h"
#include "../shell/vantor_app.h"

#include "page_tables.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
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

QLabel *Placeholder(QWidget *owner, const QString &text)
{
    auto *label = new QLabel(text, owner);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("QLabel { background: #10141a; color: #7f8c99; border: 1px solid #3a4450; }"));
    label->setMinimumSize(200, 150);
    return label;
}

}  // namespace

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

// ---- measurement ------------------------------------------------------------------------------

CViewWaveparamDlg::CViewWaveparamDlg(QWidget *parent) : CViewPage(parent, 159, QStringLiteral("CViewWaveparamDlg"))
{
    m_table = NewMeasureTable(this);
    auto *row = new QHBoxLayout(this);
    auto *column = new QVBoxLayout;
    row->addLayout(column);
    auto *view = Ctrl(new QTableView(this), 1043);
    view->setModel(m_table);
    view->verticalHeader()->hide();
    view->setColumnWidth(0, 100);
    row->addWidget(view, 1);
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
