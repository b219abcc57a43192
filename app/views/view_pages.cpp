#include "view_pages.h"

#include "../platform/control_ids.h"
#include "../platform/globals.h"
#include "../platform/language.h"
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

CWaveUIBmpDlg::CWaveUIBmpDlg(QWidget *parent) : CViewPage(parent, IDD_WAVE_BITMAP, QStringLiteral("CWaveUIBmpDlg"))
{
    QVBoxLayout *column = nullptr;
    BuildOutputPage(this, column, QStringLiteral("Instrument screen"));
    AddButton(column, IDC_BITMAP_RENAME, QStringLiteral("Rename"), false);
    column->addStretch(1);
    Localise();
}

bool CWaveUIBmpDlg::LoadBitmapFile(const QString &path, bool) { return QFile::exists(path); }

void CWaveUIBmpDlg::EnableRename(bool enable) { button(IDC_BITMAP_RENAME)->setEnabled(enable); }
