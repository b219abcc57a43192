#include "vantor_dialog.h"

#include "language.h"

#include "control_ids.h"

#include <QBoxLayout>
#include <QHBoxLayout>
#include <QPushButton>

CVantorDialog::CVantorDialog(QWidget *parent, int dialogId, const QString &title) : QDialog(parent), m_nId(dialogId)
{
    setObjectName(QStringLiteral("IDD%1").arg(dialogId));
    setWindowTitle(title);
}

void CVantorDialog::initDialog()
{
    if (m_bInited)
        return;
    m_bInited = true;
    if (NeedsLocalising())
        LocaliseDialog(this, m_nId);
    NameControls(this);
    OnInitDialog();
}

bool CVantorDialog::OnOK()
{
    if (!DoDataExchange())
        return false;
    accept();
    return true;
}

void CVantorDialog::showEvent(QShowEvent *event)
{
    initDialog();
    QDialog::showEvent(event);
}

void CVantorDialog::AddOkCancel(QBoxLayout *layout)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    auto *ok = Ctrl(new QPushButton(QStringLiteral("OK"), this), IDC_OK);
    auto *cancel = Ctrl(new QPushButton(QStringLiteral("Cancel"), this), IDC_CANCEL);
    ok->setDefault(true);
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}
