#include "page_dialogs.h"

#include "../platform/control_ids.h"
#include "../platform/globals.h"
#include "../platform/language.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLabel *Label(const QString &text, int id, QWidget *parent) { return Ctrl(new QLabel(text, parent), id); }

}  // namespace

// ---- title -----------------------------------------------------------------------------------

CAlterLableNameDlg::CAlterLableNameDlg(QWidget *parent)
    : CVantorDialog(parent, IDD_ALTER_TITLE, QStringLiteral("Alter the title"))
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label(QStringLiteral("The current title:"), IDC_TITLE_CURRENT_LABEL, this));
    m_current = Ctrl(new QLineEdit(this), IDC_TITLE_CURRENT);
    m_current->setReadOnly(true);
    layout->addWidget(m_current);
    layout->addWidget(Label(QStringLiteral("The new title:"), IDC_TITLE_NEW_LABEL, this));
    m_new = Ctrl(new QLineEdit(this), IDC_TITLE_NEW);
    layout->addWidget(m_new);
    AddOkCancel(layout);
}

void CAlterLableNameDlg::OnInitDialog() { m_current->setText(m_strCurrentTitle); }

bool CAlterLableNameDlg::DoDataExchange()
{
    m_strNewTitle = m_new->text();
    return true;
}

// ---- channel choice ----------------------------------------------------------------------------

CSelectChanDlg::CSelectChanDlg(QWidget *parent)
    : CVantorDialog(parent, IDD_SELECT_CHANNEL, QStringLiteral("Select the Chan"))
{
    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    m_group = new QButtonGroup(this);
    const char *names[7] = {"CH 1", "CH 2", "CH3", "CH4", "Chan 5", "Chan 6", "Chan 7"};
    for (int i = 0; i < 7; ++i) {
        auto *r = Ctrl(new QRadioButton(QString::fromLatin1(names[i]), this), IDC_SELECT_CH1 + i);
        m_group->addButton(r, i);
        grid->addWidget(r, i % 4, i / 4);
        connect(r, &QRadioButton::clicked, this, [this] { m_nSelected = m_group->checkedId(); });
    }
    layout->addLayout(grid);
    AddOkCancel(layout);
}

QRadioButton *CSelectChanDlg::radio(int index) const { return qobject_cast<QRadioButton *>(m_group->button(index)); }

void CSelectChanDlg::OnInitDialog()
{
    auto has = [this](int column) {
        const ChannelSlot &s = g_ChannelSlots[column];
        return m_nPurpose == 0 ? s.bHasData != 0 : m_nPurpose == 1 ? s.bMeasured != 0 : s.bHasWave != 0;
    };
    for (int i = 0; i < 7; ++i)
        radio(i)->setEnabled(has(i + 1));
    if (m_nSelected == 0 && !has(1)) {
        for (int i = 1; i < 7; ++i) {
            if (has(i + 1)) {
                m_nSelected = i;
                break;
            }
        }
    }
    if (QRadioButton *r = radio(m_nSelected))
        r->setChecked(true);
}

bool CSelectChanDlg::DoDataExchange()
{
    if (m_group->checkedId() >= 0)
        m_nSelected = m_group->checkedId();
    g_nSelectedChannel = m_nSelected;
    return true;
}
