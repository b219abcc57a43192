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

// ---- measurement ------------------------------------------------------------------------------

CViewWaveparamDlg::CViewWaveparamDlg(QWidget *parent)
    : CViewPage(parent, IDD_WAVE_MEASURE, QStringLiteral("CViewWaveparamDlg"))
{
    m_table = NewMeasureTable(this);
    auto *row = new QHBoxLayout(this);
    auto *column = new QVBoxLayout;
    row->addLayout(column);
    auto *view = Ctrl(new QTableView(this), IDC_MEASURE_LIST);
    view->setModel(m_table);
    view->verticalHeader()->hide();
    view->setColumnWidth(0, 100);
    row->addWidget(view, 1);
    AddButton(column, IDC_MEASURE_SAVE_AS, QStringLiteral("Save As"), false);
    AddButton(column, IDC_MEASURE_COPY, QStringLiteral("Copy"), false);
    AddButton(column, IDC_MEASURE_PRINT, QStringLiteral("Print"), false);
    column->addStretch(1);
    Localise();
}

void CViewWaveparamDlg::LoadMeasurementFile(const QString &) {}

void CViewWaveparamDlg::RefreshPassFailColumns() {}

void CViewWaveparamDlg::EnableOutputButtons()
{
    for (int id : {IDC_MEASURE_SAVE_AS, IDC_MEASURE_COPY, IDC_MEASURE_PRINT})
        button(id)->setEnabled(true);
}
