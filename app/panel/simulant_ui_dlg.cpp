#include "simulant_ui_dlg.h"

#include "../platform/control_ids.h"
#include "../platform/language.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CSimulantUIDlg::CSimulantUIDlg(QWidget *parent)
    : CVantorDialog(parent, IDD_SIMULANT_PANE, QStringLiteral("Virtual Pane"))
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("The virtual front panel is not available yet."), this));
    auto *close = Ctrl(new QPushButton(QStringLiteral("Close"), this), IDC_PANEL_CLOSE);
    layout->addWidget(close);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void CSimulantUIDlg::ShowLamps() { ++m_nLampShows; }
