#include "view_page.h"

#include "../platform/language.h"

#include <QCheckBox>
#include <QLayout>
#include <QPushButton>

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
    NameControls(this);
}
