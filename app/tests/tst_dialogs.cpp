// The connect setting dialog and the small dialogs: what they show, what
// they give back and what they refuse.
#include "app_test_support.h"
#include "platform/control_ids.h"
#include "shell/dialogs.h"
#include "views/page_dialogs.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

using namespace apptest;

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("FERRULE_SIM_SOCKET", "/nonexistent/vantor-test.sock"); }
    void connectSettingSeedsItsControls();
    void connectSettingControlStates();
    void connectSettingReadsBack();
    void connectSettingPortTextThatIsNotANumber_data();
    void connectSettingPortTextThatIsNotANumber();
    void customTimeLimits_data();
    void customTimeLimits();
    void titleDialog();
    void channelChoiceEnablesByPurpose_data();
    void channelChoiceEnablesByPurpose();
    void channelChoiceKeepsAValidPreselection();
};

void TestDialogs::connectSettingSeedsItsControls()
{
    AppEnv env;
    CRS232Dlg dlg(nullptr);
    dlg.m_nComIndex = 2;
    dlg.m_nBaudIndex = 4;
    dlg.m_nLinkRadio = 1;
    dlg.m_nLinkType = 0;
    dlg.m_strInitAddress = "192.168.1.100";
    dlg.m_nInitPort = 8001;
    dlg.initDialog();
    QCOMPARE(dlg.windowTitle(), QString("CONNECT SETTING"));
    QCOMPARE(dlg.findChild<QComboBox *>(IdName(IDC_CONNECT_COM))->currentText(), QString("COM3"));
    QCOMPARE(dlg.findChild<QComboBox *>(IdName(IDC_CONNECT_BAUD))->currentText(), QString("19200"));
    QCOMPARE(dlg.findChild<QComboBox *>(IdName(IDC_CONNECT_COM))->count(), 7);
    QCOMPARE(dlg.findChild<QComboBox *>(IdName(IDC_CONNECT_BAUD))->count(), 6);
    QCOMPARE(dlg.findChild<QLineEdit *>(IdName(IDC_CONNECT_PORT))->text(), QString("8001"));
    QCOMPARE(dlg.findChild<QLineEdit *>(IdName(IDC_CONNECT_IP))->text(), QString("192.168.1.100"));
    QVERIFY(dlg.radio(1)->isChecked());
}

void TestDialogs::connectSettingControlStates()
{
    AppEnv env;
    CRS232Dlg dlg(nullptr);
    dlg.initDialog();
    auto *com = dlg.findChild<QComboBox *>(IdName(IDC_CONNECT_COM));
    auto *baud = dlg.findChild<QComboBox *>(IdName(IDC_CONNECT_BAUD));
    auto *ip = dlg.findChild<QLineEdit *>(IdName(IDC_CONNECT_IP));
    auto *port = dlg.findChild<QLineEdit *>(IdName(IDC_CONNECT_PORT));
    auto states = [&] { return QList<bool>{com->isEnabled(), baud->isEnabled(), ip->isEnabled(), port->isEnabled()}; };
    QCOMPARE(states(), (QList<bool>{false, false, false, false}));  // USB
    dlg.radio(2)->click();
    QCOMPARE(dlg.m_nLinkType, 2);
    QCOMPARE(states(), (QList<bool>{false, false, true, true}));
    dlg.radio(1)->click();
    QCOMPARE(dlg.m_nLinkType, 0);
    QCOMPARE(dlg.m_nLinkRadio, 1);
    QCOMPARE(states(), (QList<bool>{true, true, false, false}));
    dlg.radio(0)->click();
    QCOMPARE(dlg.m_nLinkType, 1);
    QCOMPARE(states(), (QList<bool>{false, false, false, false}));
}

void TestDialogs::connectSettingReadsBack()
{
    AppEnv env;
    CRS232Dlg dlg(nullptr);
    dlg.initDialog();
    dlg.radio(1)->click();
    dlg.findChild<QComboBox *>(IdName(IDC_CONNECT_COM))->setCurrentText("COM3");
    dlg.findChild<QComboBox *>(IdName(IDC_CONNECT_BAUD))->setCurrentText("19200");
    QVERIFY(dlg.OnOK());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.m_nComPort, 3);
    QCOMPARE(dlg.m_strComPort, QString("COM3"));
    QCOMPARE(dlg.m_nBaudRate, 19200);
    QCOMPARE(dlg.m_nComIndex, 2);
    QCOMPARE(dlg.m_nBaudIndex, 4);
    QCOMPARE(dlg.m_nLinkType, 0);
    QCOMPARE(dlg.m_nLinkRadio, 1);
}

void TestDialogs::connectSettingPortTextThatIsNotANumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("no digits") << "port" << 0;
    QTest::newRow("digits then text") << "8001x" << 8001;
    QTest::newRow("blanks around") << " 502 " << 502;
}

void TestDialogs::connectSettingPortTextThatIsNotANumber()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    AppEnv env;
    CRS232Dlg dlg(nullptr);
    dlg.initDialog();
    dlg.radio(2)->click();
    dlg.findChild<QLineEdit *>(IdName(IDC_CONNECT_PORT))->setText(text);
    dlg.findChild<QLineEdit *>(IdName(IDC_CONNECT_IP))->setText("");
    QVERIFY(dlg.OnOK());  // nothing is validated
    QCOMPARE(dlg.m_nPort, port);
    QCOMPARE(dlg.m_strPort, text);
    QCOMPARE(dlg.m_strAddress, QString());
}

void TestDialogs::customTimeLimits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("99") << "99" << false;
    QTest::newRow("100") << "100" << true;
    QTest::newRow("9999") << "9999" << true;
    QTest::newRow("10000") << "10000" << false;
    QTest::newRow("negative") << "-500" << false;
    QTest::newRow("text") << "fast" << false;
    QTest::newRow("empty") << "" << false;
}

void TestDialogs::customTimeLimits()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    AppEnv env;
    CSetCustomTimeDlg dlg(nullptr);
    dlg.initDialog();
    QCOMPARE(dlg.edit()->text(), QString("2000"));
    dlg.edit()->setText(text);
    QCOMPARE(dlg.OnOK(), accepted);
    QCOMPARE(dlg.result(), accepted ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QCOMPARE(env.ui.messages.size(), size_t(accepted ? 0 : 1));
    if (accepted)
        QCOMPARE(dlg.m_nTime, text.toUInt());
    else
        QCOMPARE(dlg.m_nTime, 2000u);
}

void TestDialogs::titleDialog()
{
    AppEnv env;
    CAlterLableNameDlg dlg(nullptr);
    QVERIFY(dlg.m_strCurrentTitle.isEmpty());
    QVERIFY(dlg.m_strNewTitle.isEmpty());
    dlg.m_strCurrentTitle = "Screen 1";
    dlg.initDialog();
    QCOMPARE(dlg.findChild<QLineEdit *>(IdName(IDC_TITLE_CURRENT))->text(), QString("Screen 1"));
    dlg.newTitleEdit()->setText("Rise time");
    QVERIFY(dlg.OnOK());
    QCOMPARE(dlg.m_strNewTitle, QString("Rise time"));
}

void TestDialogs::channelChoiceEnablesByPurpose_data()
{
    QTest::addColumn<int>("purpose");
    QTest::addColumn<int>("preselected");
    QTest::newRow("wave data") << 0 << 1;
    QTest::newRow("measurement") << 1 << 2;
    QTest::newRow("graph") << 2 << 4;
}

void TestDialogs::channelChoiceEnablesByPurpose()
{
    QFETCH(int, purpose);
    QFETCH(int, preselected);
    AppEnv env;
    g_ChannelSlots[2].bHasData = 1;
    g_ChannelSlots[5].bHasData = 1;
    g_ChannelSlots[3].bMeasured = 1;
    g_ChannelSlots[5].bHasWave = 1;
    CSelectChanDlg dlg(nullptr);
    dlg.m_nPurpose = purpose;
    dlg.initDialog();
    for (int i = 0; i < 7; ++i) {
        const ChannelSlot &s = g_ChannelSlots[i + 1];
        const bool expected = purpose == 0 ? s.bHasData : purpose == 1 ? s.bMeasured : s.bHasWave;
        QCOMPARE(dlg.radio(i)->isEnabled(), expected);
    }
    QCOMPARE(dlg.m_nSelected, preselected);
    QVERIFY(dlg.radio(preselected)->isChecked());
    g_nSelectedChannel = -1;
    QVERIFY(dlg.OnOK());
    QCOMPARE(g_nSelectedChannel, preselected);
}

void TestDialogs::channelChoiceKeepsAValidPreselection()
{
    AppEnv env;
    g_ChannelSlots[1].bHasData = 1;
    g_ChannelSlots[6].bHasData = 1;
    CSelectChanDlg dlg(nullptr);
    dlg.initDialog();
    QCOMPARE(dlg.m_nSelected, 0);
    dlg.radio(5)->click();
    QCOMPARE(dlg.m_nSelected, 5);
    QVERIFY(dlg.OnOK());
    QCOMPARE(g_nSelectedChannel, 5);
    CSelectChanDlg cancelled(nullptr);
    cancelled.initDialog();
    cancelled.reject();
    QCOMPARE(g_nSelectedChannel, 5);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
