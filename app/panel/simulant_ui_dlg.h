// The virtual front panel: a modal dialog with the instrument's keys, knobs
// and lamps. Each key is one key command followed by a lamp read; each knob
// step and knob push is one command on its own.
#pragma once

#include "../platform/vantor_dialog.h"

#include <QString>
#include <map>

class QLabel;
class QGroupBox;
class QPushButton;
class QShortcut;
class CLampKey;
class CKnobSpin;

class CSimulantUIDlg : public CVantorDialog {
    Q_OBJECT
public:
    explicit CSimulantUIDlg(QWidget *parent);

    // Reads the lamps and the status, then runs the panel modally. 0 without
    // opening it when the lamps cannot be read, else the dialog's result.
    int ShowPanel();
    // Shows g_LedStatus on the keys and makes the wave graph page read every
    // parameter again at its next refresh.
    void ShowLamps();
    // The refresh tick while the panel is open: the lamps as the instrument
    // shows them now.
    void RefreshFromTick();

    // The key procedure of one key (its control number).
    void PressKey(int id);
    void PushKnob(int id);
    void TurnKnob(int id, int delta);
    void OnRefresh();
    void OnKnobDone();

    CLampKey *lampKey(int id) const;
    CKnobSpin *knob(int id) const;
    QPushButton *button(int id) const;
    QGroupBox *box(int id) const;
    QString knobName() const { return m_strKnobName; }
    QString knobScale() const { return m_strKnobScale; }

protected:
    void OnInitDialog() override;

private:
    QWidget *BuildDisplay();
    QWidget *BuildFunctionKeys();
    QGroupBox *BuildVertical();
    QGroupBox *BuildHorizontal();
    QGroupBox *BuildTrigger();
    QWidget *Key(int id, QWidget *parent);
    QWidget *Knob(int id, const char *english, const char *chinese, QWidget *parent);
    QPushButton *KnobPush(int id, QWidget *parent);
    void ResetKnobDisplay();
    void ShowKnobDisplay();
    void NamesAndTips();

    std::map<int, QWidget *> m_keys;  // every key, by control number
    std::map<int, CKnobSpin *> m_knobs;
    std::map<int, QShortcut *> m_shortcuts;
    QWidget *m_channelColumns[4] = {};
    QLabel *m_knobNameLabel = nullptr;
    QLabel *m_knobScaleLabel = nullptr;
    QString m_strKnobScale = QStringLiteral("0");
    QString m_strKnobName;
};
