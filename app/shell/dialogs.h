// The shell's modal dialogs. Each initialises (and localises) itself when it
// is run, reads its controls back on OK, and validates only where it must.
#pragma once

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

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
    void AddOkCancel(class QBoxLayout *layout);

private:
    int m_nId;
    bool m_bInited = false;
};

class CAboutDlg : public CVantorDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget *parent);
    QString brandText() const;

protected:
    void OnInitDialog() override;

private:
    QLabel *m_brand;
};

class CRS232Dlg : public CVantorDialog {
    Q_OBJECT
public:
    explicit CRS232Dlg(QWidget *parent);

    // in/out
    int m_nLinkRadio = 0;  // 0 USB, 1 RS232, 2 Ethernet
    int m_nLinkType = 1;   // 0 RS232, 1 USB, 2 Ethernet
    int m_nComIndex = 0;
    int m_nBaudIndex = 3;
    // in
    int m_nInitPort = 8001;
    QString m_strInitAddress;
    // out
    QString m_strBaud, m_strPort, m_strAddress, m_strComPort;
    int m_nBaudRate = 0;
    int m_nComPort = 0;
    int m_nPort = 0;

    void UpdateControlStates();
    QRadioButton *radio(int index) const;

protected:
    void OnInitDialog() override;
    bool DoDataExchange() override;
    void paintEvent(QPaintEvent *event) override;

private:
    void OnRadio(int linkType);
    QButtonGroup *m_group;
    QComboBox *m_com;
    QComboBox *m_baud;
    QLineEdit *m_ip;
    QLineEdit *m_portEdit;
};

class CSetCustomTimeDlg : public CVantorDialog {
    Q_OBJECT
public:
    explicit CSetCustomTimeDlg(QWidget *parent);
    unsigned m_nTime = 2000;
    QLineEdit *edit() const { return m_edit; }

protected:
    void OnInitDialog() override;
    bool DoDataExchange() override;

private:
    QLineEdit *m_edit;
};

class CAlterFilePathDlg : public CVantorDialog {
    Q_OBJECT
public:
    explicit CAlterFilePathDlg(QWidget *parent);
    QString m_strCurrentPath;
    QString m_strNewPath;
    void OnBrowse();
    QLineEdit *newPathEdit() const { return m_new; }

protected:
    void OnInitDialog() override;
    bool DoDataExchange() override;

private:
    QLineEdit *m_current;
    QLineEdit *m_new;
};

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
