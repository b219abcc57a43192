// The small dialogs of printing: the preview's go-to-page dialog and the
// range of list rows to print.
#pragma once

#include "../platform/vantor_dialog.h"

class QLineEdit;
class QToolButton;

// "Goto Page": a page number in 1..maximum, clamped when the edit loses the
// focus and on OK.
class CPreGotoDlg : public CVantorDialog {
    Q_OBJECT
public:
    explicit CPreGotoDlg(QWidget *parent);

    int m_nMaxPage = 1;
    int m_nCurrentPage = 1;
    int m_nChosenPage = 1;

    QLineEdit *edit() const { return m_edit; }
    // The up-down control's arrows.
    void StepUp();
    void StepDown();

protected:
    void OnInitDialog() override;
    bool DoDataExchange() override;

private:
    int ClampEdit();

    QLineEdit *m_edit;
    int m_nPosition = 1;
};

// "Select the list item to print": start 1..3999, end 2..4000.
class CSetPrntItemDlg : public CVantorDialog {
    Q_OBJECT
public:
    explicit CSetPrntItemDlg(QWidget *parent);

    int m_nStartItem = 1;
    int m_nEndItem = 4000;

    QLineEdit *startEdit() const { return m_start; }
    QLineEdit *endEdit() const { return m_end; }

protected:
    void OnInitDialog() override;
    bool DoDataExchange() override;

private:
    QLineEdit *m_start;
    QLineEdit *m_end;
};
