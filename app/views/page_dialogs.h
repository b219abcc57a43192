// The small dialogs the view pages run: a new title for a picture and the
// choice of one channel column.
#pragma once

#include "../platform/vantor_dialog.h"

class QButtonGroup;
class QLineEdit;
class QRadioButton;

class CAlterLableNameDlg : public CVantorDialog {
    Q_OBJECT
public:
    explicit CAlterLableNameDlg(QWidget *parent);
    QString m_strCurrentTitle;
    QString m_strNewTitle;
    QLineEdit *newTitleEdit() const { return m_new; }

protected:
    void OnInitDialog() override;
    bool DoDataExchange() override;

private:
    QLineEdit *m_current;
    QLineEdit *m_new;
};

class CSelectChanDlg : public CVantorDialog {
    Q_OBJECT
public:
    explicit CSelectChanDlg(QWidget *parent);
    int m_nPurpose = 0;   // 0 wave data, 1 measurement, 2 graph
    int m_nSelected = 0;  // 0..6
    QRadioButton *radio(int index) const;

protected:
    void OnInitDialog() override;
    bool DoDataExchange() override;

private:
    QButtonGroup *m_group;
};
