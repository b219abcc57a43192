// The base of the application's modal dialogs: each initialises (and
// localises) itself when it is shown or run, reads its controls back on OK,
// and validates only where it must.
#pragma once

#include <QDialog>

class QBoxLayout;

class CVantorDialog : public QDialog {
    Q_OBJECT
public:
    CVantorDialog(QWidget *parent, int dialogId, const QString &title);
    // Runs once, when the dialog is shown (or run by a test).
    Q_INVOKABLE void initDialog();
    // Reads the controls; closes with OK unless the data is refused.
    Q_INVOKABLE bool OnOK();
    int dialogId() const { return m_nId; }

protected:
    virtual void OnInitDialog() {}
    virtual bool DoDataExchange() { return true; }
    void showEvent(QShowEvent *event) override;
    void AddOkCancel(QBoxLayout *layout);

private:
    int m_nId;
    bool m_bInited = false;
};
