// The main frame without an instrument: connection commands and their
// messages, refresh rates, the timer tick, the exit guard, toggles, the
// progress bar and the lamps.
#include "app_test_support.h"
#include "platform/control_ids.h"
#include "shell/base_operation.h"
#include "shell/dialogs.h"
#include "shell/panes.h"
#include "views/page_dialogs.h"
#include "views/view_pages.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

using namespace apptest;
using vantor::MsgIcon;

namespace {

// Answers the connect setting dialog with a link type and values.
std::function<int(QDialog *)> ChooseLink(int radio, const QString &ip = QString(), const QString &port = QString())
{
    return [=](QDialog *d) {
        auto *dlg = static_cast<CRS232Dlg *>(d);
        dlg->radio(radio)->click();
        if (!ip.isNull())
            dlg->findChild<QLineEdit *>(IdName(IDC_CONNECT_IP))->setText(ip);
        if (!port.isNull())
            dlg->findChild<QLineEdit *>(IdName(IDC_CONNECT_PORT))->setText(port);
        dlg->OnOK();
        return dlg->result();
    };
}

}  // namespace

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("FERRULE_SIM_SOCKET", "/nonexistent/vantor-test.sock");
        InstallLinkSleepRecorder();
    }
    void init() { ClearUserSettings(); }
    void startWithoutInstrumentKnowsTheLink();
    void connectWithoutInstrumentFails();
    void connectInUsbModeNeedsAKnownLink();
    void disconnectWhenNotBoundWarns();
    void refreshRatesInUsbMode_data();
    void refreshRatesInUsbMode();
    void refreshRatesInPortModeAndAfterSwitching();
    void customRateDialog();
    void connectSettingSwitchesStyleAndPane_data();
    void connectSettingSwitchesStyleAndPane();
    void connectSettingAlwaysReseedsAddressAndPort();
    void cancelledConnectSettingKeepsEverything();
    void testConnectionPerMode();
    void timerTickWhenNotBound();
    void timerTickDoesNotStackMessages();
    void timerTickDuringACommandIsSkipped();
    void exitGuardWhileBound();
    void toolAndStatusBarTogglesFollowTheZeroEightRule();
    void operationPaneToggle();
    void fileDestination();
    void fileDestinationCancelStillMovesThePath();
    void defaultSetting();
    void progressBar();
    void lampsFollowTheLinkState();
    void panelNeedsABinding();
    void windowSizeLimits();
};

void TestFrame::startWithoutInstrumentKnowsTheLink()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    QCOMPARE(env.frame->m_bLinkKnown, uint8_t(1));
    QCOMPARE(env.frame->m_bUsbPresent, uint8_t(0));
    QCOMPARE(g_bDsoBound, uint8_t(0));
    QVERIFY(!env.frame->linkLampGreen());
    QVERIFY(!env.frame->bindLampGreen());
    QVERIFY(env.frame->action(ID_BIND_USB)->isEnabled());
    QVERIFY(!env.frame->action(ID_UNBIND_USB)->isEnabled());
    QVERIFY(!env.frame->action(ID_SHOW_PANEL)->isEnabled());
    QVERIFY(!env.frame->leftWnd()->page()->button(IDC_BASE_UPLOAD)->isEnabled());
}

void TestFrame::connectWithoutInstrumentFails()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.frame->action(ID_BIND_USB)->trigger();
    QCOMPARE(env.messageTexts(), QStringList{"Link failed!"});
    QCOMPARE(env.ui.messages[0].title, QString("Vantor"));
    QCOMPARE(g_bDsoBound, uint8_t(0));
    QCOMPARE(env.frame->paneText(0), QString("Link"));
    QCOMPARE(env.ui.waitCursorDepth, 0);
}

void TestFrame::connectInUsbModeNeedsAKnownLink()
{
    AppEnv env("[Set]\nLanguage=ZH\n");
    QVERIFY(env.CreateFrame());
    env.frame->m_bLinkKnown = 0;
    env.frame->OnConnect();
    QCOMPARE(env.ui.messages.size(), size_t(1));
    QCOMPARE(env.ui.messages[0].text, QStringLiteral("连接失败!"));
    QCOMPARE(env.ui.messages[0].title, QStringLiteral("错误"));
    QCOMPARE(env.ui.waitCursorBegins, 0);  // stopped before any exchange
}

void TestFrame::disconnectWhenNotBoundWarns()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.frame->OnDisconnect();
    QCOMPARE(env.ui.messages.size(), size_t(1));
    QCOMPARE(env.ui.messages[0].text, QString("Current isn't Binding ,so can't do 'UnBind' oper!"));
    QCOMPARE(env.ui.messages[0].title, QString("Error"));
    QCOMPARE(env.ui.messages[0].icon, MsgIcon::Warning);
}

void TestFrame::refreshRatesInUsbMode_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("log");
    QTest::newRow("0.5") << ID_RATE_500MS << 500 << "Set the interval time is 0.5s";
    QTest::newRow("1") << ID_RATE_1S << 1000 << "Set the interval time is 1s";
    QTest::newRow("2") << ID_RATE_2S << 2000 << "Set the interval time is 2s";
    QTest::newRow("3") << ID_RATE_3S << 3000 << "Set the interval time is 3s";
    QTest::newRow("5") << ID_RATE_5S << 5000 << "Set the interval time is 5s";
    QTest::newRow("10") << ID_RATE_10S << 10000 << "Set the interval time is 10s";
}

void TestFrame::refreshRatesInUsbMode()
{
    QFETCH(int, item);
    QFETCH(int, interval);
    QFETCH(QString, log);
    AppEnv env("[Set]\nLanguage=ZH\n");  // the rate texts are English in both
    QVERIFY(env.CreateFrame());
    env.frame->action(item)->trigger();
    QCOMPARE(g_nRefreshInterval, interval);
    QCOMPARE(env.frame->paneText(0), log);
    for (int id = ID_RATE_500MS; id <= ID_RATE_CUSTOM; ++id)
        QCOMPARE(env.frame->action(id)->isChecked(), id == item);
}

void TestFrame::refreshRatesInPortModeAndAfterSwitching()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.ui.dialogHandlers.push_back(ChooseLink(1));  // RS232
    env.frame->action(ID_CONNECT_SETTING)->trigger();
    const std::pair<int, int> table[] = {{ID_RATE_500MS, 1000}, {ID_RATE_1S, 2000}, {ID_RATE_2S, 3000},
                                         {ID_RATE_3S, 4000},    {ID_RATE_5S, 6000}, {ID_RATE_10S, 12000}};
    for (auto [item, interval] : table) {
        env.frame->action(item)->trigger();
        QCOMPARE(g_nRefreshInterval, interval);
    }
    env.frame->action(ID_RATE_1S)->trigger();
    QCOMPARE(g_nRefreshInterval, 2000);
    env.ui.dialogHandlers.push_back(ChooseLink(0));  // back to USB
    env.frame->action(ID_CONNECT_SETTING)->trigger();
    QCOMPARE(g_nRefreshInterval, 2000);  // not recomputed
    QVERIFY(env.frame->action(ID_RATE_1S)->isChecked());
    env.frame->action(ID_RATE_1S)->trigger();
    QCOMPARE(g_nRefreshInterval, 1000);
    env.frame->ApplyRefreshRate(7);  // unknown: only clears the marks
    for (int id = ID_RATE_500MS; id <= ID_RATE_CUSTOM; ++id)
        QVERIFY(!env.frame->action(id)->isChecked());
    QCOMPARE(g_nRefreshInterval, 1000);
}

void TestFrame::customRateDialog()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    QString seeded;
    env.ui.dialogHandlers.push_back([&](QDialog *d) {
        auto *edit = d->findChild<QLineEdit *>(IdName(IDC_CUSTOM_TIME));
        seeded = edit->text();
        edit->setText("99");
        if (static_cast<CVantorDialog *>(d)->OnOK())
            return int(QDialog::Accepted);
        edit->setText("10000");
        if (static_cast<CVantorDialog *>(d)->OnOK())
            return int(QDialog::Accepted);
        edit->setText("750");
        static_cast<CVantorDialog *>(d)->OnOK();
        return d->result();
    });
    env.frame->action(ID_RATE_CUSTOM)->trigger();
    QCOMPARE(seeded, QString("2000"));
    QCOMPARE(env.ui.messages.size(), size_t(2));  // the two refusals
    QCOMPARE(g_nRefreshInterval, 750);
    QVERIFY(env.frame->action(ID_RATE_CUSTOM)->isChecked());
    QVERIFY(!env.frame->action(ID_RATE_2S)->isChecked());
    QCOMPARE(env.frame->paneText(0), QString("Set the interval time as custom"));

    env.frame->action(ID_RATE_2S)->trigger();
    env.frame->action(ID_RATE_CUSTOM)->trigger();  // cancelled
    QCOMPARE(g_nRefreshInterval, 2000);
    QVERIFY(!env.frame->action(ID_RATE_CUSTOM)->isChecked());
    QVERIFY(env.frame->action(ID_RATE_2S)->isChecked());
}

void TestFrame::connectSettingSwitchesStyleAndPane_data()
{
    QTest::addColumn<int>("radio");
    QTest::addColumn<int>("linkType");
    QTest::addColumn<bool>("portMode");
    QTest::addColumn<QString>("pane");
    QTest::newRow("usb") << 0 << 1 << false << "The link is USB!";
    QTest::newRow("rs232") << 1 << 0 << true << "The link is RS232!";
    QTest::newRow("net") << 2 << 2 << true << "The link is net!";
}

void TestFrame::connectSettingSwitchesStyleAndPane()
{
    QFETCH(int, radio);
    QFETCH(int, linkType);
    QFETCH(bool, portMode);
    QFETCH(QString, pane);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.ui.dialogHandlers.push_back(ChooseLink(radio, "10.0.0.7", "9001"));
    env.frame->action(ID_CONNECT_SETTING)->trigger();
    QCOMPARE(env.frame->m_nLinkType, linkType);
    QCOMPARE(env.frame->m_nLinkRadio, radio);
    QCOMPARE(env.frame->m_bPortMode != 0, portMode);
    QCOMPARE(env.frame->m_bUsbMode != 0, !portMode);
    QCOMPARE(env.frame->paneText(3), pane);
    QCOMPARE(env.frame->m_strIpAddress, QString("10.0.0.7"));
    QCOMPARE(env.frame->m_nIpPort, 9001);
    QCOMPARE(env.frame->m_nBaudRate, 9600);
    QCOMPARE(env.frame->m_nComPort, 1);
}

void TestFrame::connectSettingAlwaysReseedsAddressAndPort()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.ui.dialogHandlers.push_back(ChooseLink(2, "10.1.1.1", "1234"));
    env.frame->action(ID_CONNECT_SETTING)->trigger();
    QString ip, port;
    int radio = -1;
    env.ui.dialogHandlers.push_back([&](QDialog *d) {
        auto *dlg = static_cast<CRS232Dlg *>(d);
        ip = dlg->findChild<QLineEdit *>(IdName(IDC_CONNECT_IP))->text();
        port = dlg->findChild<QLineEdit *>(IdName(IDC_CONNECT_PORT))->text();
        radio = dlg->radio(2)->isChecked() ? 2 : -1;
        return int(QDialog::Rejected);
    });
    env.frame->action(ID_CONNECT_SETTING)->trigger();
    QCOMPARE(ip, QString("192.168.1.100"));
    QCOMPARE(port, QString("8001"));
    QCOMPARE(radio, 2);  // the link choice itself is remembered
}

void TestFrame::cancelledConnectSettingKeepsEverything()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    const QString pane = env.frame->paneText(3);
    env.frame->action(ID_CONNECT_SETTING)->trigger();  // no handler: cancel
    QCOMPARE(env.frame->m_nLinkType, 1);
    QCOMPARE(env.frame->m_bUsbMode, uint8_t(1));
    QCOMPARE(env.frame->paneText(3), pane);
    QCOMPARE(env.frame->paneText(0), QString("Set the current link!"));
}

void TestFrame::testConnectionPerMode()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.frame->action(ID_TEST_CONNECTION)->trigger();
    QCOMPARE(env.messageTexts(), QStringList{"Connection Failed!"});
    QCOMPARE(env.ui.messages[0].title, QString("Error"));
    QCOMPARE(env.frame->paneText(3), QString("The link is incorrect!"));

    env.ui.clear();
    env.ui.dialogHandlers.push_back(ChooseLink(2));
    env.frame->action(ID_CONNECT_SETTING)->trigger();
    env.frame->m_bLinkKnown = 0;
    env.frame->action(ID_TEST_CONNECTION)->trigger();
    QCOMPARE(env.messageTexts(), QStringList{"Connection Successful!"});
    QCOMPARE(env.ui.messages[0].title, QString("Info"));
    QCOMPARE(env.ui.messages[0].icon, MsgIcon::Information);
    QCOMPARE(env.frame->m_bLinkKnown, uint8_t(1));
    QVERIFY(env.frame->linkLampGreen());
    QCOMPARE(env.frame->paneText(0), QString("Test the Link state"));
}

void TestFrame::timerTickWhenNotBound()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.frame->OnRefreshTick();
    QCOMPARE(env.messageTexts(), QStringList{"The software is not link with device!"});
    QCOMPARE(env.ui.messages[0].title, QString("Error"));
    QCOMPARE(env.ui.messages[0].icon, MsgIcon::Warning);
    QCOMPARE(env.frame->paneText(0), QString("Refresh the Wave Graph"));
    QCOMPARE(env.frame->rightWnd()->graphPage()->refreshCount(), 0);
}

void TestFrame::timerTickDoesNotStackMessages()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    int nested = 0;
    // While the first box is open the timer keeps ticking.
    env.ui.onMessage = [&](const vantor::RecordingUiServices::Message &) {
        if (nested++ == 0) {
            env.frame->OnRefreshTick();
            env.frame->OnRefreshTick();
        }
    };
    env.frame->OnRefreshTick();
    QCOMPARE(env.ui.messages.size(), size_t(1));
    env.ui.onMessage = nullptr;
    // Once closed, Auto waits for the instrument: the next ticks say nothing.
    QVERIFY(env.frame->autoPaused());
    env.frame->OnRefreshTick();
    QCOMPARE(env.ui.messages.size(), size_t(1));
}

void TestFrame::timerTickDuringACommandIsSkipped()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    const QString before = env.frame->paneText(0);
    env.app->link().run([&] { env.frame->OnRefreshTick(); });
    QVERIFY(env.ui.messages.empty());
    QCOMPARE(env.frame->paneText(0), before);
    env.frame->OnRefreshTick();
    QCOMPARE(env.ui.messages.size(), size_t(1));
}

void TestFrame::exitGuardWhileBound()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    g_bDsoBound = 1;
    QVERIFY(!env.frame->close());
    QVERIFY(env.frame->isVisible());
    QCOMPARE(env.messageTexts(), QStringList{"The software is Binding now, it can't exit!"});
    QCOMPARE(env.ui.messages[0].icon, MsgIcon::Warning);
    QCOMPARE(env.frame->paneText(0), QString("Try to Exti failed!"));
    g_bDsoBound = 0;
    env.frame->RefreshLinkLamp();  // what opening the menu does
    QVERIFY(env.frame->action(ID_APP_EXIT)->isEnabled());
    env.frame->action(ID_APP_EXIT)->trigger();
    QVERIFY(!env.frame->isVisible());
    QCOMPARE(env.frame->paneText(0), QString("Exit"));
}

void TestFrame::toolAndStatusBarTogglesFollowTheZeroEightRule()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    QAction *tool = env.frame->action(ID_VIEW_TOOLBAR);
    QVERIFY(env.frame->toolBar()->isVisible());
    tool->trigger();
    QVERIFY(!env.frame->toolBar()->isVisible());
    QVERIFY(!tool->isChecked());
    QCOMPARE(env.frame->m_nToolBarState, 8);
    QCOMPARE(env.frame->paneText(0), QString("Show/Hide the ToolBar"));
    tool->trigger();
    QVERIFY(env.frame->toolBar()->isVisible());
    QVERIFY(tool->isChecked());
    QCOMPARE(env.frame->m_nToolBarState, 0);

    QAction *status = env.frame->action(ID_VIEW_STATUS_BAR);
    status->trigger();
    QVERIFY(!env.frame->statusBar()->isVisible());
    QCOMPARE(env.frame->m_nStatusBarState, 8);
    status->trigger();
    QVERIFY(env.frame->statusBar()->isVisible());
    QCOMPARE(env.frame->m_nStatusBarState, 0);
}

void TestFrame::operationPaneToggle()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.frame->resize(1000, 700);
    CRTSplitterWnd *split = env.frame->splitter();
    env.frame->action(ID_VIEW_OPERATION_PANE)->trigger();
    QCOMPARE(split->firstSize(), 0);
    QCOMPARE(env.frame->m_nLeftPaneState, 0);
    QVERIFY(!env.frame->action(ID_VIEW_OPERATION_PANE)->isChecked());
    QCOMPARE(env.frame->rightWnd()->geometry().left(), 4);  // the bar stays
    QCOMPARE(split->barRect(), QRect(0, 0, 4, split->height()));
    env.frame->action(ID_VIEW_OPERATION_PANE)->trigger();
    QCOMPARE(split->firstSize(), 175);
    QCOMPARE(env.frame->leftWnd()->width(), 175);
    QCOMPARE(env.frame->rightWnd()->geometry().left(), 179);
    QCOMPARE(env.frame->rightWnd()->width(), split->width() - 179);
    QVERIFY(env.frame->action(ID_VIEW_OPERATION_PANE)->isChecked());
}

void TestFrame::fileDestination()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    QString current;
    env.ui.folderAnswers = {"/data/scope"};
    env.ui.dialogHandlers.push_back([&](QDialog *d) {
        auto *dlg = static_cast<CAlterFilePathDlg *>(d);
        current = d->findChild<QLineEdit *>(IdName(IDC_PATH_CURRENT))->text();
        d->findChild<QPushButton *>(IdName(IDC_PATH_BROWSE))->click();
        dlg->OnOK();
        return d->result();
    });
    env.frame->action(ID_FILE_DESTINATION)->trigger();
    QCOMPARE(current, QDir::currentPath());
    QCOMPARE(env.ui.folderPickers, (std::vector<QString>{"Select your path"}));
    QCOMPARE(g_szInitPath, QString("/data/scope"));
    QCOMPARE(env.frame->paneText(0), QString("Set the Initial Path Successed!"));

    // OK with an empty new path keeps the current folder.
    env.ui.dialogHandlers.push_back([](QDialog *d) {
        static_cast<CVantorDialog *>(d)->OnOK();
        return d->result();
    });
    env.frame->action(ID_FILE_DESTINATION)->trigger();
    QCOMPARE(g_szInitPath, QDir::currentPath());

    // After a file was chosen, the current folder is that file's folder.
    env.ui.fileAnswers = {"/data/run7/trace.csv"};
    QCOMPARE(env.frame->SaveFileDialogFor(5), 1);
    env.frame->action(ID_FILE_DESTINATION)->trigger();  // cancelled
    QCOMPARE(g_szInitPath, QString("/data/run7"));
}

void TestFrame::fileDestinationCancelStillMovesThePath()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    g_szInitPath = "/elsewhere";
    env.frame->action(ID_FILE_DESTINATION)->trigger();  // cancelled
    QCOMPARE(g_szInitPath, QDir::currentPath());
    QCOMPARE(env.frame->paneText(0), QString("Set the Initial Path"));
}

void TestFrame::defaultSetting()
{
    AppEnv env("[Set]\nLanguage=ZH\n");
    QVERIFY(env.CreateFrame());
    env.frame->action(ID_OPERATE_FILE)->trigger();
    env.frame->action(ID_RATE_10S)->trigger();
    g_szInitPath = "/x";
    env.frame->action(ID_DEFAULT_SETTING)->trigger();
    QCOMPARE(g_bSaveOperateFile, uint8_t(0));
    QVERIFY(!env.frame->action(ID_OPERATE_FILE)->isChecked());
    QCOMPARE(g_nRefreshInterval, 2000);
    QVERIFY(env.frame->action(ID_RATE_2S)->isChecked());
    QCOMPARE(g_szInitPath, QString());
    QCOMPARE(env.frame->paneText(0), QStringLiteral("恢复默认值"));
}

void TestFrame::progressBar()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    QVERIFY(!env.frame->progressBar());
    env.frame->RunProgress(0, 0, 2);
    QProgressBar *bar = env.frame->progressBar();
    QVERIFY(bar);
    QCOMPARE(bar->value(), 40);
    QCOMPARE(bar->objectName(), QString("id108"));
    env.ui.sleeps.clear();
    env.frame->RunProgress(2, 0, 0);  // strictly between: 5 ms and done
    QCOMPARE(env.ui.sleeps, (std::vector<unsigned>{5}));
    QCOMPARE(bar->value(), 0);
    QCOMPARE(env.frame->paneText(1), QString("Ready..."));

    env.ui.sleeps.clear();
    env.frame->RunProgress(2, 1, 0);  // half: five steps of 10
    QCOMPARE(env.ui.sleeps.size(), size_t(5));
    QCOMPARE(bar->value(), 50);
    QCOMPARE(env.frame->paneText(1), QString("Communicating ..."));
    env.frame->RunProgress(2, 1, 0);  // reaches 100 and resets
    QCOMPARE(bar->value(), 0);
    QCOMPARE(env.frame->paneText(1), QString("Ready..."));
    env.ui.sleeps.clear();
    env.frame->RunProgress(5, 0, 0);  // at 0: nothing to finish
    QVERIFY(env.ui.sleeps.empty());
}

void TestFrame::lampsFollowTheLinkState()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CMainFrame *f = env.frame;
    f->m_bPortMode = 0;
    f->m_bLinkKnown = 1;
    f->m_bUsbPresent = 1;
    QVERIFY(f->linkLampGreen());
    QVERIFY(!f->bindLampGreen());
    g_bDsoBound = 1;
    QVERIFY(f->bindLampGreen());
    f->m_bUsbPresent = 0;
    QVERIFY(!f->linkLampGreen());
    f->m_bPortMode = 1;
    QVERIFY(f->linkLampGreen());
    f->m_bLinkKnown = 0;
    QVERIFY(!f->linkLampGreen());
    QVERIFY(!f->bindLampGreen());
    g_bDsoBound = 0;
    // The lamps are painted: render the menu-bar corner and find both colours.
    QVERIFY(QTest::qWaitForWindowExposed(f));
    QWidget *lamps = f->findChild<QWidget *>("linkLamps");
    QVERIFY(lamps);
    QVERIFY2(lamps->height() > 8, qPrintable(QString::number(lamps->height())));
    f->m_bLinkKnown = 1;
    f->RefreshLinkLamp();
    const QImage image = lamps->grab().toImage();
    bool green = false, red = false;
    for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, image.height() / 2);
        green |= c == QColor(0, 255, 0);
        red |= c == QColor(255, 0, 0);
    }
    QVERIFY(green);
    QVERIFY(red);
}

void TestFrame::panelNeedsABinding()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.frame->OnShowPanel();
    QCOMPARE(env.messageTexts(), QStringList{"Please ensure the link is ok before show the Simulant Pane"});
    QCOMPARE(env.ui.messages[0].icon, MsgIcon::Information);
    QCOMPARE(env.frame->paneText(0), QString("Show the Simulant Pane"));
    // Bound, but no instrument answers the lamp read: the panel stays shut.
    g_bDsoBound = 1;
    env.ui.dialogHandlers.push_back([](QDialog *) { return int(QDialog::Rejected); });
    env.frame->OnShowPanel();
    QCOMPARE(env.ui.dialogHandlers.size(), size_t(1));
    QCOMPARE(env.ui.messages.size(), size_t(1));
    QVERIFY(!env.frame->rightWnd()->m_pPanel);
    QCOMPARE(env.frame->rightWnd()->CurrentTab(), 1);
    env.ui.dialogHandlers.clear();
    g_bDsoBound = 0;
}

void TestFrame::windowSizeLimits()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    const int cx = env.frame->m_cxScreen, cy = env.frame->m_cyScreen;
    QCOMPARE(env.frame->minimumSize(), QSize(cx * 3 / 4 + 60, cy * 3 / 4 + 10));
    env.frame->resize(100, 100);
    QCOMPARE(env.frame->width(), cx * 3 / 4 + 60);
}

QTEST_MAIN(TestFrame)
#include "tst_frame.moc"
