// What every view page shares: its dialog number, its controls found by
// number, and localisation.
#pragma once

#include <QWidget>

class QPushButton;
class QCheckBox;
class QLayout;

class CViewPage : public QWidget {
    Q_OBJECT
public:
    CViewPage(QWidget *parent, int dialogId, const QString &name);
    QPushButton *button(int id) const;
    QCheckBox *check(int id) const;

protected:
    QPushButton *AddButton(QLayout *layout, int id, const QString &text, bool enabled = true);
    QCheckBox *AddCheck(QLayout *layout, int id, const QString &text);
    void Localise();
    int m_nDialogId;
};
