// The shell's modal dialogs: About, connect setting, custom refresh time and
// the initial folder.
#pragma once

#include "../platform/vantor_dialog.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

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
