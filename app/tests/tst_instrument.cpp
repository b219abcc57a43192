// The shell against the virtual instrument, in-process: connecting over the
// virtual USB socket and the network, the settings block both ways, and the
// instrument going away and coming back under Auto refresh.
#include "app_test_support.h"
#include "platform/control_ids.h"
#include "platform/gbk.h"
#include "shell/base_operation.h"
#include "shell/command_line.h"
#include "shell/dialogs.h"
#include "shell/panes.h"
#include "views/page_dialogs.h"
#include "views/view_pages.h"

#include "virtual_instrument.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <memory>
#include <qcustomplot.h>

using namespace apptest;

class TestInstrument : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void usbInstrumentPresentAtStartConnectsAtOnce();
    void productFamilyDecidesChannels34_data();
    void productFamilyDecidesChannels34();
    void uploadSaveOpenDownloadRoundTrip();
    void failedUploadKeepsTheBlock();
    void goneAndBackDuringAutoResumes_data();
    void goneAndBackDuringAutoResumes();
    void networkLinkConnectsAndTests();
    void serialLinkFollowsTheMappedPort();
    void threadedGateConnects();
    void noticesStopWithTheFrame();
    void commandLineConnectsShowsAndRefreshes_data();
    void commandLineConnectsShowsAndRefreshes();

private:
    void ConnectOrFail(CMainFrame *frame);
    void SelectNetwork(AppEnv &env, uint16_t port);
    void AutoRefreshing(AppEnv &env);
    void PausedOnce(AppEnv &env, int livePoints);
    apptest::VirtualInstrument m_sim;
};

void TestInstrument::initTestCase()
{
    QVERIFY(m_sim.Prepare());
    InstallLinkSleepRecorder();
}

void TestInstrument::init()
{
    ClearUserSettings();
    LinkSleeps().clear();
}

void TestInstrument::cleanup() { m_sim.Stop(); }

void TestInstrument::ConnectOrFail(CMainFrame *frame)
{
    frame->OnConnect();
    QVERIFY2(g_bDsoBound, "the virtual instrument did not bind");
}

void TestInstrument::usbInstrumentPresentAtStartConnectsAtOnce()
{
    m_sim.StartUsb(70);
    QVERIFY(m_sim.server->usbAvailable());
    AppEnv env;
    QVERIFY(env.CreateFrame());
    // The probe found it: known and present, the link lamp green.
    QCOMPARE(env.frame->m_bLinkKnown, uint8_t(1));
    QCOMPARE(env.frame->m_bUsbPresent, uint8_t(1));
    QVERIFY(env.frame->linkLampGreen());
    QVERIFY(env.frame->paneText(3) != QString("The link is incorrect!"));

    env.ui.sleeps.clear();
    env.frame->action(ID_BIND_USB)->trigger();
    QVERIFY(env.ui.messages.empty());
    QCOMPARE(g_bDsoBound, uint8_t(1));
    QVERIFY(env.frame->bindLampGreen());
    QCOMPARE(env.frame->m_strProduct, QString::fromStdString(m_sim.instrument->productName()));
    QCOMPARE(g_ProductType, uint8_t(m_sim.instrument->family()));
    QCOMPARE(g_ProductTable[10], uint8_t(70));
    const std::vector<unsigned> paced = {300, 300, 500};
    QVERIFY(std::search(env.ui.sleeps.begin(), env.ui.sleeps.end(), paced.begin(), paced.end()) != env.ui.sleeps.end());
    QVERIFY(!LinkSleeps().empty());  // the protocol waits went through the seam
    QVERIFY(!env.frame->action(ID_BIND_USB)->isEnabled());
    QVERIFY(env.frame->action(ID_UNBIND_USB)->isEnabled());
    QVERIFY(!env.frame->action(ID_APP_EXIT)->isEnabled());
    QVERIFY(env.frame->leftWnd()->page()->button(IDC_BASE_UPLOAD)->isEnabled());
    QVERIFY(!env.frame->leftWnd()->page()->button(IDC_BASE_DOWNLOAD)->isEnabled());  // nothing held yet
    QCOMPARE(env.frame->progressBar()->value(), 0);
    QCOMPARE(env.ui.waitCursorDepth, 0);

    // Closing is refused while bound.
    QVERIFY(!env.frame->close());
    env.ui.clear();
    env.frame->action(ID_UNBIND_USB)->trigger();
    QVERIFY(env.ui.messages.empty());
    QCOMPARE(g_bDsoBound, uint8_t(0));
    QCOMPARE(env.frame->paneText(0), QString("UnLink"));
    QVERIFY(!env.frame->leftWnd()->page()->button(IDC_BASE_UPLOAD)->isEnabled());
    QVERIFY(env.frame->rightWnd()->graphPage()->button(IDC_GRAPH_AUTO)->isEnabled());
    QVERIFY(!env.frame->rightWnd()->graphPage()->button(IDC_GRAPH_MANU)->isEnabled());
    QVERIFY(env.frame->close());
}

void TestInstrument::productFamilyDecidesChannels34_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("visible");
    QTest::newRow("family 3") << 70 << true;
    QTest::newRow("family 0") << 10 << false;
    QTest::newRow("family 1") << 58 << false;
    QTest::newRow("family 4") << 78 << false;
}

void TestInstrument::productFamilyDecidesChannels34()
{
    QFETCH(int, code);
    QFETCH(bool, visible);
    m_sim.StartUsb(code);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CViewWaveGraphDlg *graph = env.frame->rightWnd()->graphPage();
    graph->ShowChannel34(!visible);
    ConnectOrFail(env.frame);
    QCOMPARE(g_ProductType, uint8_t(m_sim.instrument->family()));
    QCOMPARE(graph->check(IDC_GRAPH_MEASURE_CH3)->isVisibleTo(graph), visible);
    QCOMPARE(graph->check(IDC_GRAPH_MEASURE_CH4)->isVisibleTo(graph), visible);
    env.frame->OnDisconnect();
}

void TestInstrument::uploadSaveOpenDownloadRoundTrip()
{
    m_sim.StartUsb(70);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    ConnectOrFail(env.frame);
    CBaseOperation *page = env.frame->leftWnd()->page();
    g_szInitPath = env.dir.path();
    env.ui.clock = QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9, 500));
    env.ui.advanceClockOnSleep = false;

    page->button(IDC_BASE_UPLOAD)->click();  // Upload
    const std::vector<uint8_t> original = m_sim.instrument->encodeSettings();
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(g_SettingData), 2500),
             QByteArray(reinterpret_cast<const char *>(original.data()), 2500));
    QCOMPARE(page->m_strCurrentFile, QString("20260305-140709"));
    QCOMPARE(g_bSettingHeld, uint8_t(1));
    for (int id : {IDC_BASE_DOWNLOAD, IDC_BASE_SAVE, IDC_BASE_SAVE_AS})
        QVERIFY(page->button(id)->isEnabled());

    page->button(IDC_BASE_SAVE)->click();  // Save
    const QByteArray saved = env.readFile("20260305-140709.ssf");
    QCOMPARE(saved.size(), 2500);
    QCOMPARE(saved, QByteArray(reinterpret_cast<const char *>(original.data()), 2500));

    // Change the instrument, then send the saved file back.
    vsim::State changed = m_sim.instrument->state();
    changed.timeIndex = (changed.timeIndex + 5) % vsim::kTimeSteps;
    changed.channels[1].on = !changed.channels[1].on;
    m_sim.instrument->setState(changed);
    QVERIFY(m_sim.instrument->encodeSettings() != original);

    env.ui.fileAnswers = {env.path("20260305-140709.ssf")};
    page->button(IDC_BASE_OPEN)->click();                   // Open
    QVERIFY(page->button(IDC_BASE_DOWNLOAD)->isEnabled());  // bound at that moment
    QVERIFY(!page->button(IDC_BASE_SAVE)->isEnabled());
    env.ui.sleeps.clear();
    page->button(IDC_BASE_DOWNLOAD)->click();  // Download
    QCOMPARE(env.ui.sleeps.front(), 80u);
    QCOMPARE(m_sim.instrument->encodeSettings(), original);
    QCOMPARE(env.frame->progressBar()->value(), 0);
    env.frame->OnDisconnect();
}

void TestInstrument::failedUploadKeepsTheBlock()
{
    m_sim.StartUsb(70);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    ConnectOrFail(env.frame);
    std::memset(g_SettingData, 0x42, sizeof g_SettingData);
    m_sim.instrument->inject({vsim::Fault::Refuse, vsim::CmdRead, 1, -1});
    CBaseOperation *page = env.frame->leftWnd()->page();
    page->OnUpload();
    m_sim.instrument->clearFaults();
    QCOMPARE(env.messageTexts(), QStringList{QStringLiteral("Try to up load a Setting file from device failed！")});
    QCOMPARE(env.ui.messages[0].icon, vantor::MsgIcon::Information);
    for (int i = 0; i < 2500; ++i)
        QCOMPARE(g_SettingData[i], uint8_t(0x42));
    QVERIFY(!page->button(IDC_BASE_DOWNLOAD)->isEnabled());
    QVERIFY(!page->button(IDC_BASE_SAVE)->isEnabled());
    QCOMPARE(g_bDsoBound, uint8_t(1));  // the binding stays
    QVERIFY(
        vantor::FromGbk(env.readFile("BlogFile.txt")).contains(QStringLiteral("WARNING:从设备下载设备配置数据失败")));
    env.frame->OnDisconnect();
}

void TestInstrument::SelectNetwork(AppEnv &env, uint16_t port)
{
    env.ui.dialogHandlers.push_back([port](QDialog *d) {
        auto *dlg = static_cast<CRS232Dlg *>(d);
        dlg->radio(2)->click();
        dlg->findChild<QLineEdit *>(IdName(IDC_CONNECT_IP))->setText("127.0.0.1");
        dlg->findChild<QLineEdit *>(IdName(IDC_CONNECT_PORT))->setText(QString::number(port));
        dlg->OnOK();
        return d->result();
    });
    env.frame->action(ID_CONNECT_SETTING)->trigger();
}

void TestInstrument::AutoRefreshing(AppEnv &env)
{
    CViewWaveGraphDlg *graph = env.frame->rightWnd()->graphPage();
    const int before = graph->refreshCount();
    if (env.frame->refreshTimer().isActive())
        env.frame->OnRefreshTick();
    else
        QTRY_VERIFY_WITH_TIMEOUT(env.frame->refreshTimer().isActive(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(graph->refreshCount() > before, 10000);
    QVERIFY(!env.frame->autoPaused());
    QVERIFY(graph->plot(1)->data()->size() > 0);
    QVERIFY(env.frame->linkLampGreen());
    QVERIFY(env.frame->bindLampGreen());
}

// The instrument is gone: the next tick reports it, the ticks stop, the
// last waveform stays, and further ticks say nothing.
void TestInstrument::PausedOnce(AppEnv &env, int livePoints)
{
    env.frame->OnRefreshTick();
    QVERIFY(env.frame->autoPaused());
    QVERIFY(!env.frame->refreshTimer().isActive());
    env.frame->OnRefreshTick();
    QCOMPARE(env.messageTexts(), QStringList{"The software is not link with device!"});
    QCOMPARE(env.frame->paneText(3), QString("Auto paused: no instrument"));
    QVERIFY(!env.frame->linkLampGreen());
    QVERIFY(!env.frame->bindLampGreen());
    QCOMPARE(env.frame->rightWnd()->graphPage()->plot(1)->data()->size(), livePoints);
    QCOMPARE(g_bAutoRefresh, uint8_t(1));
    QVERIFY(env.frame->rightWnd()->graphPage()->button(IDC_GRAPH_MANU)->isEnabled());
}

void TestInstrument::goneAndBackDuringAutoResumes_data()
{
    QTest::addColumn<bool>("network");
    QTest::newRow("USB unplugged and plugged in again") << false;
    QTest::newRow("network instrument killed and restarted") << true;
}

void TestInstrument::goneAndBackDuringAutoResumes()
{
    QFETCH(bool, network);
    uint16_t port = 0;
    if (network) {
        m_sim.Create(70);
        port = m_sim.server->startTcp("127.0.0.1", 0);
        QVERIFY(port != 0);
    } else {
        m_sim.StartUsb(70);
    }
    AppEnv env;
    QVERIFY(env.CreateFrame());
    if (network)
        SelectNetwork(env, port);
    ConnectOrFail(env.frame);
    env.frame->rightWnd()->graphPage()->button(IDC_GRAPH_AUTO)->click();
    AutoRefreshing(env);
    QVERIFY(env.ui.messages.empty());
    const int points = int(env.frame->rightWnd()->graphPage()->plot(1)->data()->size());

    if (network) {
        m_sim.Stop();  // killed: its connection closes under the next tick
    } else {
        m_sim.server->unplugUsb();
        QTRY_COMPARE_WITH_TIMEOUT(env.frame->m_bUsbPresent, uint8_t(0), 10000);
    }
    PausedOnce(env, points);

    // Back (the network one on the same port): Auto goes on with no user
    // action and no further message.
    if (network) {
        m_sim.Create(70);
        QCOMPARE(m_sim.server->startTcp("127.0.0.1", port), port);
    } else {
        m_sim.server->replugUsb();
    }
    AutoRefreshing(env);
    QCOMPARE(env.frame->paneText(3), QString("Auto refresh resumed"));
    QCOMPARE(env.messageTexts().size(), 1);
    if (!network)
        QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt"))
                    .contains(QStringLiteral("NORMAL :当前应用程序检测到USB设备的拔插动作")));

    // Manu ends Auto, paused or not.
    env.frame->rightWnd()->graphPage()->button(IDC_GRAPH_MANU)->click();
    QVERIFY(!env.frame->refreshTimer().isActive());
    env.frame->OnDisconnect();
}

void TestInstrument::networkLinkConnectsAndTests()
{
    m_sim.Create(70);
    const uint16_t port = m_sim.server->startTcp("127.0.0.1", 0);
    QVERIFY(port != 0);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    SelectNetwork(env, port);
    QCOMPARE(env.frame->paneText(3), QString("The link is net!"));
    env.frame->action(ID_TEST_CONNECTION)->trigger();
    QCOMPARE(env.messageTexts(), QStringList{"Connection Successful!"});
    env.ui.clear();
    ConnectOrFail(env.frame);
    QVERIFY(env.ui.messages.empty());
    QVERIFY(env.frame->bindLampGreen());
    QVERIFY(env.frame->linkLampGreen());
    // The instrument goes away under a manual refresh: the link is lost, said once.
    m_sim.Stop();
    env.frame->rightWnd()->graphPage()->RefreshWaveGraph();
    QTRY_COMPARE(env.messageTexts(), QStringList{"The software is not link with device!"});
    QCOMPARE(g_bDsoBound, uint8_t(0));
    QVERIFY(!env.frame->linkLampGreen());
    QVERIFY(!env.frame->bindLampGreen());
    m_sim.Create(70);
    QCOMPARE(m_sim.server->startTcp("127.0.0.1", port), port);
    env.ui.clear();
    ConnectOrFail(env.frame);
    QVERIFY(env.ui.messages.empty());
    QVERIFY(env.frame->linkLampGreen());
    env.frame->OnDisconnect();
    QCOMPARE(g_bDsoBound, uint8_t(0));

    // Nobody listening: the initialisation failure is reported and the bind
    // is still tried.
    m_sim.server->stop();
    env.ui.clear();
    env.frame->OnConnect();
    QCOMPARE(env.messageTexts(), (QStringList{"The Init Net is incorrect!", "Link failed!"}));
    QCOMPARE(env.ui.messages[0].title, QString("Vantor"));
}

void TestInstrument::serialLinkFollowsTheMappedPort()
{
    m_sim.Create(70);
    const QString pty = QString::fromStdString(m_sim.server->startPty());
    QVERIFY(!pty.isEmpty());
    AppEnv env("[Set]\nLanguage=EN\n[Serial]\nCOM2=" + pty + "\n");
    QVERIFY(env.CreateFrame());
    env.ui.dialogHandlers.push_back([](QDialog *d) {
        auto *dlg = static_cast<CRS232Dlg *>(d);
        dlg->radio(1)->click();
        dlg->findChild<QComboBox *>(IdName(IDC_CONNECT_COM))->setCurrentText("COM2");
        dlg->findChild<QComboBox *>(IdName(IDC_CONNECT_BAUD))->setCurrentText("38400");
        dlg->OnOK();
        return d->result();
    });
    env.frame->action(ID_CONNECT_SETTING)->trigger();
    QCOMPARE(env.frame->paneText(3), QString("The link is RS232!"));
    QCOMPARE(env.frame->m_nComPort, 2);
    QCOMPARE(env.frame->m_nBaudRate, 38400);
    ConnectOrFail(env.frame);
    QVERIFY(env.ui.messages.empty());
    env.frame->OnDisconnect();

    // A port that maps to nothing: the initialisation failure is reported.
    env.frame->m_nComPort = 5;
    env.frame->OnConnect();
    QVERIFY(env.messageTexts().contains("The Init Rs232 is incorrect!"));
    QCOMPARE(g_bDsoBound, uint8_t(0));
}

void TestInstrument::threadedGateConnects()
{
    m_sim.StartUsb(70);
    AppEnv env(QString(), true, vantor::LinkGate::Mode::Threaded);
    CMainFrame *frame = env.CreateFrame();
    QVERIFY(frame);
    vantor::RecordingUiServices &ui = env.ui;
    frame->OnConnect();
    QCOMPARE(g_bDsoBound, uint8_t(1));
    QVERIFY(ui.waitCursorBegins > 0);
    QCOMPARE(ui.waitCursorDepth, 0);
    frame->OnDisconnect();
    QCOMPARE(g_bDsoBound, uint8_t(0));
}

void TestInstrument::noticesStopWithTheFrame()
{
    {
        AppEnv env;
        QVERIFY(env.CreateFrame());  // no instrument: the probe leaves its notice registration
        QCOMPARE(env.frame->m_bUsbPresent, uint8_t(0));
    }
    // An arrival after the frame is gone must not reach it.
    m_sim.StartUsb(70);
    QTest::qWait(500);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    QCOMPARE(env.frame->m_bUsbPresent, uint8_t(1));
    m_sim.server->unplugUsb();
    QTRY_COMPARE_WITH_TIMEOUT(env.frame->m_bUsbPresent, uint8_t(0), 10000);
}

void TestInstrument::commandLineConnectsShowsAndRefreshes_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("instrument");
    QTest::addColumn<int>("tab");
    QTest::addColumn<bool>("refreshing");
    QTest::newRow("live waveforms") << QStringList{"--connect", "--auto"} << true << TAB_WAVE_GRAPH << true;
    QTest::newRow("the data page") << QStringList{"--connect", "--view", "data"} << true << TAB_WAVE_DATA << false;
    QTest::newRow("Auto behind another page")
        << QStringList{"--connect", "--view=measure", "--auto"} << true << TAB_MEASURE << true;
    // The failed connect says so once; Auto is not tried.
    QTest::newRow("no instrument") << QStringList{"--connect", "--auto"} << false << TAB_WAVE_GRAPH << false;
}

void TestInstrument::commandLineConnectsShowsAndRefreshes()
{
    QFETCH(QStringList, args);
    QFETCH(bool, instrument);
    QFETCH(int, tab);
    QFETCH(bool, refreshing);
    if (instrument)
        m_sim.StartUsb(70);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    const CommandLine options = ParseCommandLine(args);
    QVERIFY(options.error.isEmpty());
    RunCommandLine(*env.app, options);
    QCOMPARE(g_bDsoBound != 0, instrument);
    QCOMPARE(env.frame->rightWnd()->CurrentTab(), tab);
    QCOMPARE(g_bAutoRefresh != 0, refreshing);
    QCOMPARE(env.frame->refreshTimer().isActive(), refreshing);
    QCOMPARE(env.messageTexts().size(), instrument ? 0 : 1);
}

QTEST_MAIN(TestInstrument)
#include "tst_instrument.moc"
