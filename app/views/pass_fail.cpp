#include "pass_fail.h"

#include "page_tables.h"

#include "../platform/app_context.h"
#include "../platform/control_ids.h"
#include "../platform/gbk.h"
#include "../platform/globals.h"
#include "../platform/language.h"
#include "../platform/ui_services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cstring>

using measures::Family;

namespace {

constexpr int kVerdictColumn = 8;
constexpr int kLimitLow = -999, kLimitHigh = 999;
const char *const kNoteWide = "Note: The valid number that can input into the edit box is -999~999";
const char *const kNoteNarrow = "Note: The valid number that can input into the edit box is -100~100";

measures::Limit ToLimit(const PassFailLimit &stored)
{
    measures::Limit limit;
    limit.nMin = stored.nMin;
    limit.nMax = stored.nMax;
    std::memcpy(limit.szMinUnit, stored.szMinUnit, sizeof limit.szMinUnit);
    std::memcpy(limit.szMaxUnit, stored.szMaxUnit, sizeof limit.szMaxUnit);
    return limit;
}

QString UnitText(const char (&unit)[4]) { return vantor::FromGbk(QByteArray(unit, int(strnlen(unit, sizeof unit)))); }

}  // namespace

void SetDefaultPassFailLimits()
{
    for (int row = 0; row < kMeasureItems; ++row) {
        const measures::Limit limit = measures::DefaultLimit(row);
        PassFailLimit &stored = g_PassFailLimits[row];
        stored.nMin = limit.nMin;
        stored.nMax = limit.nMax;
        std::memcpy(stored.szMinUnit, limit.szMinUnit, sizeof stored.szMinUnit);
        std::memcpy(stored.szMaxUnit, limit.szMaxUnit, sizeof stored.szMaxUnit);
    }
}

std::array<measures::Limit, measures::kItemCount> CurrentPassFailLimits()
{
    if (!g_bPassFailLimitsSet)
        return measures::DefaultLimits();
    std::array<measures::Limit, measures::kItemCount> limits;
    for (int row = 0; row < kMeasureItems; ++row)
        limits[size_t(row)] = ToLimit(g_PassFailLimits[row]);
    return limits;
}

void EvaluatePassFail(int channel, TextTable *list, int column)
{
    const uint8_t *block = Live(channel).measure;
    const bool pairOn = g_bChOpen[0] && g_bChOpen[1];
    QStringList texts, verdicts;
    for (int row = 0; row < kMeasureItems; ++row) {
        const measures::Entry entry = measures::DecodeEntry(block + row * measures::kEntryBytes);
        const measures::RowResult result = measures::EvaluateRow(row, entry, pairOn, ToLimit(g_PassFailLimits[row]));
        verdicts << (result.pass ? QStringLiteral("Pass") : QStringLiteral("Fail"));
        texts << QString::fromLatin1(result.text);
    }
    list->setColumn(kVerdictColumn, verdicts);
    list->setColumn(column, texts);
}

// ---- dialog ------------------------------------------------------------------------------

CSetPassFailDlg::CSetPassFailDlg(QWidget *parent)
    : CVantorDialog(parent, IDD_PASS_FAIL, QStringLiteral("Pass|Fail setting"))
{
    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    layout->addLayout(grid);
    auto label = [this](const char *text, int id) { return Ctrl(new QLabel(QString::fromLatin1(text), this), id); };
    m_typeLabel = label("Select Measure Type", IDC_PASS_FAIL_TYPE_LABEL);
    grid->addWidget(m_typeLabel, 0, 0);
    m_type = Ctrl(new QComboBox(this), IDC_PASS_FAIL_TYPE);
    grid->addWidget(m_type, 0, 1, 1, 2);
    m_enable = Ctrl(new QCheckBox(QStringLiteral("Enable"), this), IDC_PASS_FAIL_ENABLE);
    grid->addWidget(m_enable, 1, 0);
    const QString editStyle = QStringLiteral("QLineEdit { background: %1; } QLineEdit:disabled { color: #505060; }")
                                  .arg(QColor(185, 185, 245).name());
    auto row = [&](int r, const char *text, int labelId, int editId, int unitId, QLineEdit *&edit, QComboBox *&unit) {
        QLabel *name = label(text, labelId);
        grid->addWidget(name, r, 0);
        edit = Ctrl(new QLineEdit(this), editId);
        edit->setStyleSheet(editStyle);
        name->setBuddy(edit);
        grid->addWidget(edit, r, 1);
        unit = Ctrl(new QComboBox(this), unitId);
        grid->addWidget(unit, r, 2);
        return name;
    };
    m_minLabel =
        row(2, "Minimum:", IDC_PASS_FAIL_MIN_LABEL, IDC_PASS_FAIL_MIN, IDC_PASS_FAIL_MIN_UNIT, m_min, m_minUnit);
    m_maxLabel =
        row(3, "Maximum:", IDC_PASS_FAIL_MAX_LABEL, IDC_PASS_FAIL_MAX, IDC_PASS_FAIL_MAX_UNIT, m_max, m_maxUnit);
    m_note = Ctrl(new QLabel(QString::fromLatin1(kNoteWide), this), IDC_PASS_FAIL_NOTE);
    m_note->setWordWrap(true);
    layout->addWidget(m_note);
    AddOkCancel(layout);

    // Only what the user does runs a handler, as with the design's notifications.
    connect(m_enable, &QCheckBox::clicked, this, &CSetPassFailDlg::OnEnable);
    connect(m_type, &QComboBox::activated, this, &CSetPassFailDlg::OnSelchangeType);
    connect(m_minUnit, &QComboBox::activated, this, &CSetPassFailDlg::OnSelchangeMinUnit);
    connect(m_maxUnit, &QComboBox::activated, this, &CSetPassFailDlg::OnSelchangeMaxUnit);
    connect(m_min, &QLineEdit::textEdited, this, &CSetPassFailDlg::OnChangeMin);
    connect(m_max, &QLineEdit::textEdited, this, &CSetPassFailDlg::OnChangeMax);
}

void CSetPassFailDlg::OnInitDialog()
{
    // Named after their labels, in the language the dialog now shows.
    m_type->setAccessibleName(m_typeLabel->text());
    m_min->setAccessibleName(m_minLabel->text());
    m_max->setAccessibleName(m_maxLabel->text());
    m_minUnit->setAccessibleName(m_minLabel->text() + QStringLiteral(" unit"));
    m_maxUnit->setAccessibleName(m_maxLabel->text() + QStringLiteral(" unit"));
    for (const char *name : measures::kItemNames)
        m_type->addItem(QString::fromLatin1(name));
    m_type->setCurrentIndex(0);
    m_nItem = 0;
    for (const char *unit : measures::FamilyUnits(Family::Voltage)) {
        m_minUnit->addItem(QString::fromLatin1(unit));
        m_maxUnit->addItem(QString::fromLatin1(unit));
    }
    if (g_bPassFailLimitsSet) {
        m_nMin = g_PassFailLimits[0].nMin;
        m_nMax = g_PassFailLimits[0].nMax;
        m_strMinUnit = UnitText(g_PassFailLimits[0].szMinUnit);
        m_strMaxUnit = UnitText(g_PassFailLimits[0].szMaxUnit);
    } else {
        m_strMinUnit = m_strMaxUnit = QStringLiteral("mV");
        SetDefaultPassFailLimits();
    }
    m_min->setText(QString::number(m_nMin));
    m_max->setText(QString::number(m_nMax));
    m_minUnit->setCurrentIndex(m_minUnit->findText(m_strMinUnit));
    m_maxUnit->setCurrentIndex(m_maxUnit->findText(m_strMaxUnit));
    m_bEnable = 0;
    m_enable->setChecked(false);
    EnableFields(false);
}

void CSetPassFailDlg::EnableFields(bool enable)
{
    for (QWidget *w : {static_cast<QWidget *>(m_min), static_cast<QWidget *>(m_max), static_cast<QWidget *>(m_minUnit),
                       static_cast<QWidget *>(m_maxUnit)})
        w->setEnabled(enable);
}

bool CSetPassFailDlg::ReadFields(bool complainAboutUnfinished)
{
    int values[2] = {};
    QLineEdit *edits[2] = {m_min, m_max};
    for (int i = 0; i < 2; ++i) {
        const QString text = edits[i]->text().trimmed();
        bool ok = false;
        const int value = text.toInt(&ok);
        const char *message = nullptr;
        if (!ok) {
            const bool unfinished = text.isEmpty() || text == QLatin1String("-") || text == QLatin1String("+");
            if (unfinished && !complainAboutUnfinished)
                return false;
            message = "Please enter an integer.";
        } else if (value < kLimitLow || value > kLimitHigh) {
            message = "Please enter an integer between -999 and 999.";
        }
        if (message) {
            vantor::Ui().messageBox(this, QStringLiteral("Vantor"), QString::fromLatin1(message),
                                    vantor::MsgIcon::Warning);
            edits[i]->setFocus();
            edits[i]->selectAll();
            return false;
        }
        values[i] = value;
    }
    m_nMin = values[0];
    m_nMax = values[1];
    m_strMinUnit = m_minUnit->currentText();
    m_strMaxUnit = m_maxUnit->currentText();
    m_bEnable = m_enable->isChecked() ? 1 : 0;
    return true;
}

void CSetPassFailDlg::OnEnable()
{
    ReadFields(true);
    m_bEnable = m_enable->isChecked() ? 1 : 0;
    EnableFields(m_bEnable != 0);
}

void CSetPassFailDlg::ShowItem(int item)
{
    const PassFailLimit &limit = g_PassFailLimits[item];
    m_nMin = limit.nMin;
    m_nMax = limit.nMax;
    m_strMinUnit = UnitText(limit.szMinUnit);
    m_strMaxUnit = UnitText(limit.szMaxUnit);
    m_min->setText(QString::number(m_nMin));
    m_max->setText(QString::number(m_nMax));
    m_minUnit->setCurrentIndex(m_minUnit->findText(m_strMinUnit, Qt::MatchExactly | Qt::MatchCaseSensitive));
    m_maxUnit->setCurrentIndex(m_maxUnit->findText(m_strMaxUnit, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void CSetPassFailDlg::OnSelchangeType()
{
    m_nItem = std::clamp(m_type->currentIndex(), 0, kMeasureItems - 1);
    m_minUnit->setCurrentIndex(0);
    m_maxUnit->setCurrentIndex(0);
    m_minUnit->clear();
    m_maxUnit->clear();
    m_note->setText(QString::fromLatin1(kNoteWide));
    const Family family = measures::ItemFamily(m_nItem);
    for (const char *unit : measures::FamilyUnits(family)) {
        m_minUnit->addItem(vantor::FromGbk(QByteArray(unit)));
        m_maxUnit->addItem(vantor::FromGbk(QByteArray(unit)));
    }
    if (family == Family::Percent || family == Family::Degree)
        m_note->setText(QString::fromLatin1(kNoteNarrow));
    ShowItem(m_nItem);
    m_bEnable = 0;
    m_enable->setChecked(false);
    EnableFields(false);
}

void CSetPassFailDlg::StoreUnit(char (&field)[4], const QString &text)
{
    const Family family = measures::ItemFamily(m_nItem);
    QByteArray name = family == Family::Percent  ? QByteArray("%")
                      : family == Family::Degree ? QByteArray(measures::kDegreeUnit)
                                                 : vantor::CutGbk(vantor::ToGbk(text), 3);
    std::memset(field, 0, sizeof field);
    std::memcpy(field, name.constData(), size_t(std::min<qsizetype>(name.size(), 3)));
}

void CSetPassFailDlg::OnSelchangeMinUnit()
{
    m_strMinUnit = m_minUnit->currentText();
    StoreUnit(g_PassFailLimits[m_nItem].szMinUnit, m_strMinUnit);
}

void CSetPassFailDlg::OnSelchangeMaxUnit()
{
    m_strMaxUnit = m_maxUnit->currentText();
    StoreUnit(g_PassFailLimits[m_nItem].szMaxUnit, m_strMaxUnit);
}

void CSetPassFailDlg::OnChangeMin()
{
    if (ReadFields(false))
        g_PassFailLimits[m_nItem].nMin = m_nMin;
}

void CSetPassFailDlg::OnChangeMax()
{
    if (ReadFields(false))
        g_PassFailLimits[m_nItem].nMax = m_nMax;
}

bool CSetPassFailDlg::DoDataExchange()
{
    if (!ReadFields(true))
        return false;
    PassFailLimit &limit = g_PassFailLimits[m_nItem];
    limit.nMin = m_nMin;
    limit.nMax = m_nMax;
    StoreUnit(limit.szMinUnit, m_strMinUnit);
    StoreUnit(limit.szMaxUnit, m_strMaxUnit);
    return true;
}

void CSetPassFailDlg::done(int result)
{
    g_bPassFailLimitsSet = 1;
    CVantorDialog::done(result);
}
