// The pass/fail limits of the 32 measurement items: their defaults, the
// judgement of a live channel's block into the measurement table, and the
// dialog that edits them.
#pragma once

#include "../platform/vantor_dialog.h"

#include <measures.h>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class TextTable;

void SetDefaultPassFailLimits();
// g_PassFailLimits, or the defaults while the table was never filled.
std::array<measures::Limit, measures::kItemCount> CurrentPassFailLimits();
// Channel 1..4's value texts into column, its verdicts into column 8.
void EvaluatePassFail(int channel, TextTable *list, int column);

class CSetPassFailDlg : public CVantorDialog {
    Q_OBJECT
public:
    explicit CSetPassFailDlg(QWidget *parent);

    int m_bEnable = 0;
    int m_nMin = -999;
    int m_nMax = 999;
    QString m_strMinUnit;
    QString m_strMaxUnit;

    // The handlers of the dialog's table, run by the user's actions.
    void OnEnable();
    void OnSelchangeType();
    void OnSelchangeMinUnit();
    void OnSelchangeMaxUnit();
    void OnChangeMin();
    void OnChangeMax();

    QComboBox *typeBox() const { return m_type; }
    QComboBox *minUnitBox() const { return m_minUnit; }
    QComboBox *maxUnitBox() const { return m_maxUnit; }
    QLineEdit *minEdit() const { return m_min; }
    QLineEdit *maxEdit() const { return m_max; }
    QCheckBox *enableBox() const { return m_enable; }
    QLabel *note() const { return m_note; }

    // OK and Cancel alike mark the table as set.
    void done(int result) override;

protected:
    void OnInitDialog() override;
    bool DoDataExchange() override;

private:
    // Re-reads both edits; the framework's message and the focus on the
    // first bad one. Texts still being typed ("", "-") count as bad only
    // when asked to complain.
    bool ReadFields(bool complainAboutUnfinished);
    void ShowItem(int item);
    void StoreUnit(char (&field)[4], const QString &text);
    void EnableFields(bool enable);

    int m_nItem = 0;
    QComboBox *m_type;
    QCheckBox *m_enable;
    QLineEdit *m_min;
    QLineEdit *m_max;
    QComboBox *m_minUnit;
    QComboBox *m_maxUnit;
    QLabel *m_note;
    QLabel *m_typeLabel;
    QLabel *m_minLabel;
    QLabel *m_maxLabel;
};
