#include "print_dialogs.h"

#include "../platform/app_context.h"
#include "../platform/control_ids.h"
#include "../platform/language.h"
#include "../platform/ui_services.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <tuple>

namespace {

// Named after their labels (in the interface's language) when the dialog
// initialises.
QLineEdit *NumberEdit(QWidget *parent, int id)
{
    auto *edit = Ctrl(new QLineEdit(parent), id);
    edit->setMaxLength(6);
    return edit;
}

QLabel *Label(QWidget *parent, int id, const QString &text) { return Ctrl(new QLabel(text, parent), id); }

// An integer and nothing else, as the range dialog accepts it.
bool ReadInt(const QLineEdit *edit, int *value)
{
    bool ok = false;
    *value = edit->text().trimmed().toInt(&ok);
    return ok;
}

}  // namespace

// ---- go to page ----------------------------------------------------------------------------

CPreGotoDlg::CPreGotoDlg(QWidget *parent) : CVantorDialog(parent, IDD_PREVIEW_GOTO, QStringLiteral("Goto Page"))
{
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    auto *label = Label(this, IDC_GOTO_LABEL, QStringLiteral("Page:"));
    m_edit = NumberEdit(this, IDC_GOTO_PAGE);
    label->setBuddy(m_edit);
    row->addWidget(label);
    row->addWidget(m_edit, 1);
    auto *spin = Ctrl(new QWidget(this), IDC_GOTO_SPIN);
    spin->setAccessibleName(Tr("Page up-down", "页码调节"));
    auto *arrows = new QVBoxLayout(spin);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    const auto arrow = [&](Qt::ArrowType type, const QString &name) {
        auto *b = new QToolButton(spin);
        b->setArrowType(type);
        b->setAccessibleName(name);
        b->setAutoRepeat(true);
        b->setFixedSize(18, 12);
        arrows->addWidget(b);
        return b;
    };
    connect(arrow(Qt::UpArrow, Tr("Next page number", "下一页码")), &QToolButton::clicked, this, &CPreGotoDlg::StepUp);
    connect(arrow(Qt::DownArrow, Tr("Previous page number", "上一页码")), &QToolButton::clicked, this,
            &CPreGotoDlg::StepDown);
    row->addWidget(spin);
    layout->addLayout(row);
    AddOkCancel(layout);
    connect(m_edit, &QLineEdit::editingFinished, this, [this] { ClampEdit(); });
}

void CPreGotoDlg::OnInitDialog()
{
    m_nPosition = std::clamp(m_nCurrentPage, 1, std::max(1, m_nMaxPage));
    m_edit->setText(QString::number(m_nCurrentPage));
    m_edit->selectAll();
}

int CPreGotoDlg::ClampEdit()
{
    const int page = std::clamp(LeadingNumber(m_edit->text()), 1, std::max(1, m_nMaxPage));
    m_edit->setText(QString::number(page));
    m_nPosition = page;
    return page;
}

void CPreGotoDlg::StepUp()
{
    m_nPosition = std::min(m_nPosition + 1, std::max(1, m_nMaxPage));
    m_edit->setText(QString::number(m_nPosition));
}

void CPreGotoDlg::StepDown()
{
    m_nPosition = std::max(m_nPosition - 1, 1);
    m_edit->setText(QString::number(m_nPosition));
}

bool CPreGotoDlg::DoDataExchange()
{
    m_nChosenPage = ClampEdit();
    return true;
}

// ---- print range -----------------------------------------------------------------------------

CSetPrntItemDlg::CSetPrntItemDlg(QWidget *parent)
    : CVantorDialog(parent, IDD_PRINT_ITEMS, QStringLiteral("Select the list item to print"))
{
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    m_start = NumberEdit(this, IDC_PRINT_FIRST_ITEM);
    m_end = NumberEdit(this, IDC_PRINT_LAST_ITEM);
    for (auto [id, text, edit] : {std::tuple{IDC_PRINT_FIRST_LABEL, "Start item:", m_start},
                                  std::tuple{IDC_PRINT_LAST_LABEL, "End item:", m_end}}) {
        QLabel *label = Label(this, id, QString::fromLatin1(text));
        label->setBuddy(edit);
        form->addRow(label, edit);
    }
    layout->addLayout(form);
    AddOkCancel(layout);
}

void CSetPrntItemDlg::OnInitDialog()
{
    m_start->setText(QString::number(m_nStartItem));
    m_end->setText(QString::number(m_nEndItem));
}

bool CSetPrntItemDlg::DoDataExchange()
{
    const auto refuse = [this](QLineEdit *edit, const QString &text) {
        vantor::Ui().messageBox(this, QStringLiteral("Vantor"), text, vantor::MsgIcon::Warning);
        edit->setFocus();
        edit->selectAll();
        return false;
    };
    int start = 0, end = 0;
    if (!ReadInt(m_start, &start))
        return refuse(m_start, QStringLiteral("Please enter an integer."));
    if (start < 1 || start > 3999)
        return refuse(m_start, QStringLiteral("Please enter an integer between 1 and 3999."));
    if (!ReadInt(m_end, &end))
        return refuse(m_end, QStringLiteral("Please enter an integer."));
    if (end < 2 || end > 4000)
        return refuse(m_end, QStringLiteral("Please enter an integer between 2 and 4000."));
    // A range that ends before it starts would print nothing without a word.
    if (end < start)
        return refuse(m_end, Tr("The end item must not be less than the start item.", "结束行不能小于起始行。"));
    m_nStartItem = start;
    m_nEndItem = end;
    return true;
}
