// The wave graph and wave data pages in the real frame against the virtual
// instrument over the virtual USB socket: refreshes of every model family,
// drawing rules, refresh modes, show boxes, the file columns, the channel
// files both ways and every file they refuse, and the table's copy text.
#include "platform/control_ids.h"
#include "platform/gbk.h"
#include "print/preview.h"
#include "shell/base_operation.h"
#include "shell/dialogs.h"
#include "shell/panes.h"
#include "tests/app_test_support.h"
#include "views/channel_files.h"
#include "views/page_dialogs.h"
#include "views/page_tables.h"
#include "views/view_pages.h"

#include "page_test_helpers.h"
#include "tests/virtual_instrument.h"

#include <tavlink_diag.h>
#include <tavlink_testing.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <memory>
#include <mutex>
#include <qcustomplot.h>
#include <sys/resource.h>

using namespace apptest;

namespace {

constexpr int kShowIds[7] = {IDC_GRAPH_SHOW_CH1,   IDC_GRAPH_SHOW_CH2,   IDC_GRAPH_SHOW_CH3,  IDC_GRAPH_SHOW_CH4,
                             IDC_GRAPH_SHOW_CHAN5, IDC_GRAPH_SHOW_CHAN6, IDC_GRAPH_SHOW_CHAN7};

CViewWaveGraphDlg *Graph(AppEnv &env) { return env.frame->rightWnd()->graphPage(); }
CViewWavedataDlg *Data(AppEnv &env) { return env.frame->rightWnd()->dataPage(); }
TextTable *Measures(AppEnv &env) { return env.frame->rightWnd()->measurePage()->table(); }
const uint8_t *Wave(int n) { return n == 1 ? g_WaveCH1 : n == 2 ? g_WaveCH2 : n == 3 ? g_WaveCH3 : g_WaveCH4; }
const uint8_t *Block(int n)
{
    return n == 1 ? g_MeasureCH1 : n == 2 ? g_MeasureCH2 : n == 3 ? g_MeasureCH3 : g_MeasureCH4;
}

// The protocol waits in the order the link thread spends them; while held,
// the first one blocks until the UI thread releases it.
struct HeldWaits {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<unsigned> waits;
    bool holding = false;
    static HeldWaits &Get()
    {
        static HeldWaits held;
        return held;
    }
    static void Sleep(unsigned ms)
    {
        HeldWaits &h = Get();
        std::unique_lock lock(h.mutex);
        h.waits.push_back(ms);
        h.cv.wait(lock, [&h] { return !h.holding; });
    }
    void Release()
    {
        {
            std::lock_guard lock(mutex);
            holding = false;
        }
        cv.notify_all();
    }
};

// While alive, the link thread's protocol waits go to HeldWaits, held.
struct HoldingWaits {
    HoldingWaits()
    {
        HeldWaits::Get().waits.clear();
        HeldWaits::Get().holding = true;
        TavlinkSetSleep(&HeldWaits::Sleep);
    }
    ~HoldingWaits() { InstallLinkSleepRecorder(); }
};

// Pixels of a partial green: the blend an antialiased green curve leaves on black.
int BlendedGreens(const QImage &image)
{
    int n = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = rgb.pixel(x, y);
            n += qRed(p) == 0 && qBlue(p) == 0 && qGreen(p) > 0 && qGreen(p) < 255;
        }
    return n;
}

// A disk that fills after a few bytes: writes past the limit fail (EFBIG),
// for root too, as on a full filesystem.
struct FullDisk {
    rlimit old{};
    void (*oldHandler)(int) = nullptr;
    FullDisk()
    {
        getrlimit(RLIMIT_FSIZE, &old);
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
};

}  // namespace

class TestWavePages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void refreshEachFamily_data();
    void refreshEachFamily();
    void twoHundredPointRule();
    void refreshOnTheLinkThread();
    void commandsDuringARefreshWaitTheirTurn();
    void everyControlDuringARefresh();
    void failedExchangeEndsTheRefreshSilently();
    void refreshModesAndDisconnect();
    void chineseTexts();
    void showBoxesAndMarkers();
    void fileColumnsFillThenReplaceSeven();
    void csvRoundTripByteForByte();
    void wdfRoundTripByteForByte();
    void dataPageSaveAsAndCommands();
    void refusedFilesChangeNothing_data();
    void refusedFilesChangeNothing();
    void copyTextLayout();
    void fillColumnsKeepOrEmpty();
    void shorterRecordLeavesZerosBehindIt();
    void graphPicturesZoomAndReadout();
    void savingWithNoColumnStillAsksForAFile();
    void aFullDiskKeepsTheOldFile_data();
    void aFullDiskKeepsTheOldFile();
    void everyControlHasItsOwnName();
    void liveCurvesPlainExportsAntialiased();

private:
    void Connect(AppEnv &env);
    void ConnectFourChannels(AppEnv &env);
    void LoadColumn(AppEnv &env, const QString &name, int count, uint8_t seed, uint8_t kind, bool measured);
    apptest::VirtualInstrument m_sim;
};

void TestWavePages::initTestCase()
{
    QVERIFY(m_sim.Prepare());
    InstallLinkSleepRecorder();
}

void TestWavePages::init()
{
    ClearUserSettings();
    LinkSleeps().clear();
}

void TestWavePages::cleanup() { m_sim.Stop(); }

void TestWavePages::Connect(AppEnv &env) { QVERIFY2(ConnectFrame(env), "the virtual instrument did not bind"); }

// A four-channel instrument with every channel on.
void TestWavePages::ConnectFourChannels(AppEnv &env)
{
    m_sim.StartUsb(70);
    vsim::State state = m_sim.instrument->state();
    for (auto &c : state.channels)
        c.on = true;
    m_sim.instrument->setState(state);
    Connect(env);
}

void TestWavePages::refreshEachFamily_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<bool>("measure");
    for (int code : {70, 10, 58, 78}) {
        const int family = vsim::familyOfProductCode(code);
        QTest::addRow("family %d screen", family) << code << false << false;
        QTest::addRow("family %d screen measured", family) << code << false << true;
        QTest::addRow("family %d whole measured", family) << code << true << true;
        QTest::addRow("family %d whole", family) << code << true << false;
    }
}

void TestWavePages::refreshEachFamily()
{
    QFETCH(int, code);
    QFETCH(bool, whole);
    QFETCH(bool, measure);
    m_sim.StartUsb(code);
    vsim::State state = m_sim.instrument->state();
    const int offsets[4] = {100, 129, 154, 60};
    for (int i = 0; i < 4; ++i) {
        // CH2 closed. Rows of two-channel models follow four-channel ones:
        // their refresh must not inherit the CH3 and CH4 flags.
        state.channels[size_t(i)].on = i != 1;
        state.channels[size_t(i)].offset = offsets[i];
    }
    m_sim.instrument->setState(state);
    const int family = m_sim.instrument->family();
    const int channels = vsim::familyChannels(family);
    const int length = whole ? vsim::familyRecordLength(family) : vsim::familyScreenLength(family);

    AppEnv env;
    Connect(env);
    CViewWaveGraphDlg *graph = Graph(env);
    graph->check(IDC_GRAPH_GET_ALL_DATA)->setChecked(whole);
    for (int id : {IDC_GRAPH_MEASURE_CH1, IDC_GRAPH_MEASURE_CH2, IDC_GRAPH_MEASURE_CH3, IDC_GRAPH_MEASURE_CH4})
        graph->check(id)->setChecked(measure);
    graph->button(IDC_GRAPH_REFRESH)->click();

    QVERIFY(env.ui.messages.empty());
    QCOMPARE(env.ui.waitCursorDepth, 0);
    QCOMPARE(env.frame->progressBar()->value(), 0);
    QCOMPARE(g_bGetAllData, uint8_t(whole));
    const QString trig = QStringList{"Stop", "Auto", "Ready", "Trig'd", "Scan"}[m_sim.instrument->triggerState()];
    for (int n = 1; n <= 4; ++n) {
        const bool open = n <= channels && n != 2;
        QCOMPARE(bool(g_bChOpen[n - 1]), open);
        const ChannelSlot &slot = g_ChannelSlots[n];
        QCOMPARE(graph->plot(n)->visible(), open);
        QCOMPARE(graph->marker(n)->visible(), open);
        QCOMPARE(graph->check(kShowIds[n - 1])->isChecked(), open);
        QCOMPARE(graph->check(kShowIds[n - 1])->isEnabled(), open);
        if (!open) {
            for (int row = 0; row < 5; ++row)
                QCOMPARE(graph->params()->text(row, n), QStringLiteral("****"));
            QCOMPARE(slot.nCount, 0);
            QCOMPARE(Data(env)->table()->text(0, n), QString());
            QCOMPARE(graph->plot(n)->data()->size(), 0);
            continue;
        }
        // With its block a whole record ends where the block starts.
        const int expected = whole && measure ? std::min(length, vsim::familyWavepntOffset(family) - 8) : length;
        QCOMPARE(slot.nCount, expected);
        QCOMPARE(slot.bHasWave, uint8_t(1));
        QCOMPARE(slot.bHasData, uint8_t(1));
        QCOMPARE(slot.bMeasured, uint8_t(1));
        // The curve is the record less 18, never below 0.
        QCOMPARE(graph->plot(n)->data()->size(), expected);
        for (int i : {0, 1, expected / 3, expected - 1}) {
            const int raw = Wave(n)[i];
            QCOMPARE(graph->plot(n)->data()->at(i)->value, double(raw < 18 ? 0 : raw - 18));
            QCOMPARE(Data(env)->table()->text(i, n), QString::number(raw));
        }
        QCOMPARE(Data(env)->table()->text(23999, n), QString::number(Wave(n)[23999]));
        // Level 260 - offset, marker at trunc(level - 260) + 247.
        QCOMPARE(graph->marker(n)->point1->coords().y(), double(247 - offsets[n - 1]));
        QCOMPARE(graph->params()->text(3, n), QString::number(216 - offsets[n - 1]));
        QCOMPARE(graph->params()->text(4, n), trig);
        QVERIFY(QRegularExpression("^\\d+\\.\\d{6}[a-zA-Z]{1,2}s$").match(graph->params()->text(0, n)).hasMatch());
        QVERIFY(QRegularExpression("^\\d+\\.\\d{6}[mu]?V$").match(graph->params()->text(2, n)).hasMatch());
        const bool anyBlock = std::any_of(Block(n), Block(n) + kMeasureBytes, [](uint8_t b) { return b != 0; });
        QCOMPARE(anyBlock, measure);
    }
    QCOMPARE(graph->graph()->xAxis->range().upper, double(g_ChannelSlots[1].nCount));
    QCOMPARE(graph->graph()->yAxis->range().lower, 10.0);
    QCOMPARE(graph->graph()->yAxis->range().upper, 210.0);
    // The right pane enabled the pages that hold data.
    QVERIFY(graph->button(IDC_GRAPH_SAVE)->isEnabled());
    QVERIFY(Data(env)->button(IDC_DATA_COPY)->isEnabled());
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Refresh the Wave Graph"));
    QVERIFY(std::find(LinkSleeps().begin(), LinkSleeps().end(), 600u) != LinkSleeps().end());
    env.frame->OnDisconnect();
}

void TestWavePages::refreshOnTheLinkThread()
{
    // The program's own mode: every call on the link thread, the page waiting.
    m_sim.StartUsb(70);
    AppEnv env(QString(), true, vantor::LinkGate::Mode::Threaded);
    CMainFrame *frame = env.CreateFrame();
    QVERIFY(frame);
    vantor::RecordingUiServices &ui = env.ui;
    frame->OnConnect();
    QCOMPARE(g_bDsoBound, uint8_t(1));
    CViewWaveGraphDlg *graph = frame->rightWnd()->graphPage();
    graph->check(IDC_GRAPH_MEASURE_CH1)->setChecked(true);
    graph->RefreshWaveGraph();
    QVERIFY(ui.messages.empty());
    QCOMPARE(g_ChannelSlots[1].nCount, vsim::familyScreenLength(3));
    QCOMPARE(graph->plot(1)->data()->size(), g_ChannelSlots[1].nCount);
    QCOMPARE(frame->rightWnd()->dataPage()->table()->text(10, 1), QString::number(g_WaveCH1[10]));
    QVERIFY(std::any_of(g_MeasureCH1, g_MeasureCH1 + kMeasureBytes, [](uint8_t b) { return b != 0; }));
    QCOMPARE(ui.waitCursorDepth, 0);
    // The page's own 10 ms pauses went through the gate: one before the
    // records and one before each of channels 2, 3 and 4.
    QCOMPARE(std::count(ui.sleeps.begin(), ui.sleeps.end(), 10u), 4);
    frame->OnDisconnect();
    ResetAllGlobals();
}

void TestWavePages::commandsDuringARefreshWaitTheirTurn()
{
    // The program's own mode. While a refresh waits on the instrument the
    // window takes input: a tab, "Manu" (Auto stops after this refresh), a
    // tick (skipped); Upload and Disconnect wait their turn and then run in
    // that order, after every exchange of the refresh.
    AppEnv env(QString(), true, vantor::LinkGate::Mode::Threaded);
    ConnectFourChannels(env);
    CViewWaveGraphDlg *graph = Graph(env);
    std::vector<int> progress;
    connect(env.frame->progressBar(), &QProgressBar::valueChanged, this, [&](int v) { progress.push_back(v); });
    graph->button(IDC_GRAPH_AUTO)->click();
    QVERIFY(env.frame->refreshTimer().isActive());

    const HoldingWaits holding;
    HeldWaits &held = HeldWaits::Get();
    struct During {
        bool timer, autoOn, settingHeld, bound;
        int tab, refreshes, cursors;
    } during{};
    QTimer::singleShot(0, this, [&] {
        env.frame->rightWnd()->SelectTab(TAB_WAVE_DATA);
        graph->button(IDC_GRAPH_MANU)->click();
        env.frame->OnRefreshTick();
        env.frame->leftWnd()->page()->button(IDC_BASE_UPLOAD)->click();
        env.frame->action(ID_UNBIND_USB)->trigger();
        during = {env.frame->refreshTimer().isActive(), g_bAutoRefresh != 0,   g_bSettingHeld != 0,   g_bDsoBound != 0,
                  env.frame->rightWnd()->CurrentTab(),  graph->refreshCount(), env.ui.waitCursorDepth};
        held.Release();
    });
    graph->button(IDC_GRAPH_REFRESH)->click();

    QVERIFY(!during.timer);
    QVERIFY(!during.autoOn);
    QVERIFY(graph->button(IDC_GRAPH_AUTO)->isEnabled());
    QCOMPARE(during.tab, TAB_WAVE_DATA);
    QCOMPARE(during.refreshes, 1);  // the tick was skipped
    QVERIFY(!during.settingHeld);   // Upload and Disconnect not yet
    QVERIFY(during.bound);
    QCOMPARE(during.cursors, 4);  // the refresh's, its job's and the two waiting
    // Status, four records, then the settings read, then the unbind.
    QCOMPARE(held.waits, (std::vector<unsigned>{600, 100, 100, 100, 100, 160, 600}));
    QCOMPARE(progress, (std::vector<int>{20, 40, 60, 80, 100, 0, 40, 100, 0}));
    QCOMPARE(graph->refreshCount(), 1);
    QCOMPARE(g_ChannelSlots[4].nCount, vsim::familyScreenLength(3));
    QCOMPARE(g_bSettingHeld, uint8_t(1));
    QCOMPARE(g_bDsoBound, uint8_t(0));
    QVERIFY(!env.frame->refreshTimer().isActive());
    QVERIFY(env.ui.messages.empty());
    QCOMPARE(env.ui.waitCursorDepth, 0);
}

void TestWavePages::everyControlDuringARefresh()
{
    // Every button and menu command of the window (its own, with their
    // numbers), pressed while a refresh
    // waits on the instrument: a handler that reaches the link without
    // entering as a command stops the program here; the others run at once
    // or wait their turn, and the refresh's exchanges come first, whole.
    AppEnv env(QString(), true, vantor::LinkGate::Mode::Threaded);
    ConnectFourChannels(env);
    CViewWaveGraphDlg *graph = Graph(env);
    const HoldingWaits holding;
    HeldWaits &held = HeldWaits::Get();
    int pressed = 0, waiting = 0;
    QTimer::singleShot(0, this, [&] {
        const auto buttons = env.frame->findChildren<QAbstractButton *>();
        const std::vector<QPointer<QAbstractButton>> alive(buttons.begin(), buttons.end());
        for (const QPointer<QAbstractButton> &b : alive)
            if (b && b->isEnabled() && b->property("ctrlId").isValid()) {
                b->click();
                ++pressed;
            }
        const auto actions = env.frame->findChildren<QAction *>();
        const std::vector<QPointer<QAction>> items(actions.begin(), actions.end());
        for (const QPointer<QAction> &a : items)
            if (a && a->isEnabled() && !a->menu() && a->property("ctrlId").toInt() != ID_APP_EXIT) {
                a->trigger();
                ++pressed;
            }
        waiting = env.ui.waitCursorDepth - 2;  // beyond the refresh's own and its job's
        held.Release();
    });
    graph->button(IDC_GRAPH_REFRESH)->click();
    env.frame->refreshTimer().stop();
    QVERIFY(pressed > 40);
    QVERIFY(waiting >= 5);  // Connect, Disconnect, Upload, Download, Refresh at least
    const std::vector<unsigned> refresh{600, 100, 100, 100, 100};
    QVERIFY(held.waits.size() > refresh.size());
    QVERIFY(std::equal(refresh.begin(), refresh.end(), held.waits.begin()));
    QVERIFY(!vantor::Link().busy());
    QCOMPARE(env.ui.waitCursorDepth, 0);
}

void TestWavePages::failedExchangeEndsTheRefreshSilently()
{
    m_sim.StartUsb(70);
    AppEnv env;
    Connect(env);
    CViewWaveGraphDlg *graph = Graph(env);
    graph->RefreshWaveGraph();
    const int drawn = g_ChannelSlots[1].nCount;
    QVERIFY(drawn > 200);
    const QString cell = Data(env)->table()->text(5, 1);
    graph->check(IDC_GRAPH_GET_ALL_DATA)->setChecked(true);  // the next one would fetch whole records
    m_sim.instrument->inject(vsim::Fault{vsim::Fault::Refuse, vsim::CmdRead, 1, -1});
    env.ui.clear();
    graph->RefreshWaveGraph();
    QVERIFY(env.ui.messages.empty());
    QCOMPARE(env.ui.waitCursorDepth, 0);
    QCOMPARE(env.frame->progressBar()->value(), 0);
    // Nothing is redrawn: the curve, the slot and the table stay as they were.
    QCOMPARE(g_ChannelSlots[1].nCount, drawn);
    QCOMPARE(graph->plot(1)->data()->size(), drawn);
    QCOMPARE(Data(env)->table()->text(5, 1), cell);
    // The debug log says why.
    QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt"))
                .contains(QString::fromLatin1(TavlinkCauseText(TAVLINK_CAUSE_REFUSED))));
    m_sim.instrument->clearFaults();
    // A record announcing more than the family holds is cut, and the log says so.
    m_sim.instrument->inject(vsim::Fault{vsim::Fault::OversizeRecord, vsim::CmdRead, 25000, 1});
    graph->RefreshWaveGraph();
    QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt")).contains(QStringLiteral("波形记录声明 25000 点")));
    m_sim.instrument->clearFaults();
    graph->RefreshWaveGraph();
    QCOMPARE(g_ChannelSlots[1].nCount, vsim::familyRecordLength(3));
    env.frame->OnDisconnect();
}

void TestWavePages::twoHundredPointRule()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CViewWaveGraphDlg *graph = Graph(env);
    for (int i = 0; i < kRecordBytes; ++i) {
        g_WaveCH1[i] = uint8_t(i % 256);
        g_WaveCH2[i] = uint8_t(255 - i % 256);
    }
    g_bChOpen[0] = g_bChOpen[1] = 1;
    g_nWavePointsCH1 = 300;
    g_nWavePointsCH2 = 201;
    graph->DrawAfterRefresh();
    QCOMPARE(graph->plot(1)->data()->size(), 300);
    QCOMPARE(graph->plot(2)->data()->size(), 201);
    // Raw 0..18 all land on 0, raw 28 on the bottom edge.
    for (int raw : {0, 17, 18})
        QCOMPARE(graph->plot(1)->data()->at(raw)->value, 0.0);
    QCOMPARE(graph->plot(1)->data()->at(28)->value, 10.0);
    QCOMPARE(graph->plot(1)->data()->at(228)->value, 210.0);

    g_nWavePointsCH1 = 200;
    graph->DrawAfterRefresh();
    QCOMPARE(graph->plot(1)->data()->size(), 0);  // cleared, not drawn
    QCOMPARE(g_ChannelSlots[1].nCount, 0);
    QCOMPARE(g_ChannelSlots[1].bHasWave, uint8_t(0));
    QCOMPARE(g_ChannelSlots[1].bHasData, uint8_t(0));
    QVERIFY(graph->check(IDC_GRAPH_SHOW_CH1)->isChecked());
    QVERIFY(graph->params()->text(0, 1) != QStringLiteral("****"));
    QCOMPARE(graph->params()->text(3, 1), QStringLiteral("0"));
    QCOMPARE(graph->plot(2)->data()->size(), 201);
    // Save does not offer the undrawn column.
    CSelectChanDlg dialog(nullptr);
    dialog.m_nPurpose = 2;
    dialog.initDialog();
    QVERIFY(!dialog.radio(0)->isEnabled());
    QVERIFY(dialog.radio(1)->isEnabled());
}

void TestWavePages::refreshModesAndDisconnect()
{
    m_sim.StartUsb(70);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CViewWaveGraphDlg *graph = Graph(env);
    graph->button(IDC_GRAPH_REFRESH)->click();  // not bound
    QCOMPARE(env.messageTexts(), QStringList{"The software is not link with device!"});
    QCOMPARE(env.ui.messages[0].icon, vantor::MsgIcon::Warning);
    QCOMPARE(g_ChannelSlots[1].nCount, 0);
    env.ui.clear();
    graph->button(IDC_GRAPH_AUTO)->click();
    QCOMPARE(env.messageTexts(), QStringList{"The software is not link with device!"});
    QVERIFY(!env.frame->refreshTimer().isActive());

    env.frame->OnConnect();
    QVERIFY(g_bDsoBound);
    env.ui.clear();
    graph->button(IDC_GRAPH_AUTO)->click();
    QVERIFY(env.ui.messages.empty());
    QVERIFY(env.frame->refreshTimer().isActive());
    QCOMPARE(env.frame->refreshTimer().interval(), g_nRefreshInterval);
    QCOMPARE(g_bAutoRefresh, uint8_t(1));
    QVERIFY(!graph->button(IDC_GRAPH_AUTO)->isEnabled());
    QVERIFY(graph->button(IDC_GRAPH_MANU)->isEnabled());
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Set the refresh mode is : Auto"));

    // A tick is a real refresh.
    env.frame->OnRefreshTick();
    QCOMPARE(g_ChannelSlots[1].nCount, vsim::familyScreenLength(3));
    QCOMPARE(graph->plot(1)->data()->size(), vsim::familyScreenLength(3));

    graph->button(IDC_GRAPH_MANU)->click();
    QVERIFY(!env.frame->refreshTimer().isActive());
    QCOMPARE(g_bAutoRefresh, uint8_t(0));
    QVERIFY(graph->button(IDC_GRAPH_AUTO)->isEnabled());
    QVERIFY(!graph->button(IDC_GRAPH_MANU)->isEnabled());
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Set the refresh mode is : Manual"));

    graph->button(IDC_GRAPH_AUTO)->click();
    QVERIFY(env.frame->refreshTimer().isActive());
    env.frame->OnDisconnect();
    QVERIFY(!env.frame->refreshTimer().isActive());
    QCOMPARE(g_bAutoRefresh, uint8_t(0));
    QVERIFY(graph->button(IDC_GRAPH_AUTO)->isEnabled());
    QVERIFY(!graph->button(IDC_GRAPH_MANU)->isEnabled());
}

void TestWavePages::chineseTexts()
{
    AppEnv env("[Set]\nLanguage=ZH\n");
    QVERIFY(env.CreateFrame());
    CViewWaveGraphDlg *graph = Graph(env);
    graph->RefreshWaveGraph();
    QCOMPARE(env.frame->paneText(0), QStringLiteral("刷新波形"));
    QCOMPARE(env.messageTexts(), QStringList{QStringLiteral("没有连接设备!")});
    QCOMPARE(env.ui.messages[0].title, QStringLiteral("错误"));
    graph->ShowGraphColumn(6);
    graph->check(IDC_GRAPH_SHOW_CHAN6)->click();
    QCOMPARE(env.frame->paneText(0), QStringLiteral("显示/隐藏第六波形"));
    // The file messages keep their English caption.
    env.ui.clear();
    graph->LoadWaveGraphFile(env.path("none.csv"));
    QCOMPARE(env.ui.messages.size(), size_t(1));
    QCOMPARE(env.ui.messages[0].title, QStringLiteral("Error"));
}

void TestWavePages::showBoxesAndMarkers()
{
    m_sim.StartUsb(70);
    vsim::State state = m_sim.instrument->state();
    for (auto &c : state.channels)
        c.on = true;
    m_sim.instrument->setState(state);
    AppEnv env;
    Connect(env);
    CViewWaveGraphDlg *graph = Graph(env);
    graph->RefreshWaveGraph();
    for (int n = 1; n <= 4; ++n)
        QVERIFY(graph->marker(n)->visible());

    const char *const logs[4] = {"Show/Hide the first graph", "Show/Hide the second graph", "Show/Hide the third graph",
                                 "Show/Hide the fourth graph"};
    for (int n = 1; n <= 4; ++n) {
        graph->check(kShowIds[n - 1])->click();
        QVERIFY(!graph->plot(n)->visible());
        QCOMPARE(g_ChannelSlots[n].bHasWave, uint8_t(0));
        // Markers 1 and 2 follow their boxes; 3 and 4 stay.
        QCOMPARE(graph->marker(n)->visible(), n > 2);
        QCOMPARE(env.frame->paneText(0), QString::fromLatin1(logs[n - 1]));
    }
    graph->check(IDC_GRAPH_SHOW_CH1)->click();
    QVERIFY(graph->plot(1)->visible());
    QVERIFY(graph->marker(1)->visible());
    QCOMPARE(g_ChannelSlots[1].bHasWave, uint8_t(1));
    // A tick changed without a click (keyboard, assistive client) acts the same.
    graph->check(IDC_GRAPH_SHOW_CH2)->toggle();
    QVERIFY(graph->plot(2)->visible());
    QVERIFY(graph->marker(2)->visible());
    QCOMPARE(env.frame->paneText(0), QString("Show/Hide the second graph"));
    env.frame->OnDisconnect();
}

void TestWavePages::LoadColumn(AppEnv &env, const QString &name, int count, uint8_t seed, uint8_t kind, bool measured)
{
    ChannelFileContent content;
    content.kind = kind;
    content.measured = measured;
    for (int i = 0; i < count; ++i)
        content.samples.append(char(uint8_t(seed + i)));
    content.params = {QStringLiteral("%1ms").arg(seed), QStringLiteral("0s"), QStringLiteral("2V"),
                      QStringLiteral("12"), QStringLiteral("Stop")};
    for (int row = 0; row < 32; ++row)
        content.measures[size_t(row)] = QStringLiteral("%1.%2").arg(seed).arg(row);
    WriteAll(env.path(name), EncodeChannelFile(content));
    g_szOpenFilePath = env.path(name);
    env.frame->rightWnd()->OpenWaveDataFile();
}

void TestWavePages::fileColumnsFillThenReplaceSeven()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CViewWaveGraphDlg *graph = Graph(env);
    const uint8_t seeds[4] = {10, 20, 30, 40};
    const int counts[4] = {300, 500, 700, 900};
    const int expected[4] = {5, 6, 7, 7};
    for (int k = 0; k < 4; ++k) {
        LoadColumn(env, QStringLiteral("f%1.wdf").arg(k), counts[k], seeds[k], kKindGraph, k == 1);
        QVERIFY(env.ui.messages.empty());
        const int c = expected[k];
        QCOMPARE(g_ChannelSlots[c].nCount, counts[k]);
        QCOMPARE(g_ChannelSlots[c].bHasWave, uint8_t(1));
        QCOMPARE(g_ChannelSlots[c].bHasData, uint8_t(1));
        QCOMPARE(g_ChannelSlots[c].bMeasured, uint8_t(k == 1));
        QCOMPARE(graph->plot(c)->data()->size(), counts[k]);
        QVERIFY(graph->plot(c)->visible());
        QVERIFY(graph->check(kShowIds[c - 1])->isEnabled());
        QVERIFY(graph->check(kShowIds[c - 1])->isChecked());
        QCOMPARE(Data(env)->table()->text(0, c), QString::number(seeds[k]));
        QCOMPARE(Data(env)->table()->text(counts[k] - 1, c), QString::number(uint8_t(seeds[k] + counts[k] - 1)));
        QCOMPARE(Data(env)->table()->text(counts[k], c), QString());  // file columns end empty
        QCOMPARE(graph->params()->text(0, c), QStringLiteral("%1ms").arg(seeds[k]));
    }
    QCOMPARE(Data(env)->table()->text(0, 5), QString::number(10));
    QCOMPARE(Data(env)->table()->text(0, 6), QString::number(20));
    QCOMPARE(Measures(env)->text(27, 6), QStringLiteral("20.27"));
    QCOMPARE(Measures(env)->text(28, 6), QStringLiteral("20.28"));
    QVERIFY(graph->button(IDC_GRAPH_SAVE)->isEnabled());
    QVERIFY(Data(env)->button(IDC_DATA_SAVE_AS)->isEnabled());
}

void TestWavePages::csvRoundTripByteForByte()
{
    m_sim.StartUsb(70);
    AppEnv env;
    Connect(env);
    CViewWaveGraphDlg *graph = Graph(env);
    graph->check(IDC_GRAPH_MEASURE_CH1)->setChecked(true);
    graph->RefreshWaveGraph();
    const int count = g_ChannelSlots[1].nCount;
    QVERIFY(count > 200);
    for (int row = 0; row < 32; ++row)
        Measures(env)->setText(row, 1, QStringLiteral("%1.5mV").arg(row));

    env.ui.dialogHandlers.push_back(ChooseColumn(1));
    env.ui.fileAnswers = {env.path("one.csv")};
    graph->button(IDC_GRAPH_SAVE)->click();
    QVERIFY(env.ui.messages.empty());
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Save Wave Garph file successed！"));
    const QByteArray first = ReadAll(env.path("one.csv"));
    const QList<QByteArray> lines = first.split('\n');
    QCOMPARE(lines.size(), 4 + count + 5 + 32 + 1);
    QCOMPARE(lines[0], QByteArray::number(count) + "\r");
    QCOMPARE(lines[1], QByteArray("320\r"));
    QCOMPARE(lines[3], QByteArray("2\r"));
    QCOMPARE(lines[4], QByteArray::number(g_WaveCH1[0]) + "\r");
    QCOMPARE(lines[4 + count], graph->params()->text(0, 1).left(9).toLatin1() + "\r");

#ifdef VANTOR_PYTHON
    // Another program reads it as one value per row.
    QProcess python;
    python.start(
        QStringLiteral(VANTOR_PYTHON),
        {QStringLiteral("-c"),
         QStringLiteral("import csv,sys\nrows=list(csv.reader(open(sys.argv[1],newline='')))\n"
                        "assert all(len(r)==1 for r in rows)\nprint(len(rows),rows[0][0],rows[3][0],rows[4][0])"),
         env.path("one.csv")});
    QVERIFY(python.waitForFinished(20000));
    QCOMPARE(python.exitCode(), 0);
    QCOMPARE(QString::fromLatin1(python.readAllStandardOutput()).trimmed(),
             QStringLiteral("%1 %2 2 %3").arg(4 + count + 5 + 32).arg(count).arg(g_WaveCH1[0]));
#endif

    graph->LoadWaveGraphFile(env.path("one.csv"));
    QVERIFY(env.ui.messages.empty());
    QCOMPARE(g_ChannelSlots[5].nCount, count);
    QCOMPARE(g_ChannelSlots[5].bMeasured, uint8_t(1));
    QCOMPARE(g_ChannelSlots[5].bHasWave, uint8_t(1));
    QCOMPARE(Measures(env)->text(27, 5), QStringLiteral("27.5mV"));
    QCOMPARE(Measures(env)->text(28, 5), QStringLiteral("28.5mV"));
    QCOMPARE(graph->plot(5)->data()->size(), count);
    QVERIFY(graph->check(IDC_GRAPH_SHOW_CHAN5)->isChecked());
    for (int row : {0, count / 2, count - 1})
        QCOMPARE(Data(env)->table()->text(row, 5), Data(env)->table()->text(row, 1));

    env.ui.dialogHandlers.push_back(ChooseColumn(5));
    env.ui.fileAnswers = {env.path("two.csv")};
    graph->button(IDC_GRAPH_SAVE)->click();
    QCOMPARE(ReadAll(env.path("two.csv")), first);
    env.frame->OnDisconnect();
}

void TestWavePages::wdfRoundTripByteForByte()
{
    m_sim.StartUsb(70);
    AppEnv env;
    Connect(env);
    CViewWaveGraphDlg *graph = Graph(env);
    graph->check(IDC_GRAPH_MEASURE_CH1)->setChecked(true);
    graph->check(IDC_GRAPH_GET_ALL_DATA)->setChecked(true);
    graph->RefreshWaveGraph();
    const int count = g_ChannelSlots[1].nCount;
    QCOMPARE(count, 24000);
    for (int row = 0; row < 32; ++row)
        Measures(env)->setText(row, 1, QStringLiteral("v%1").arg(row));

    env.ui.dialogHandlers.push_back(ChooseColumn(1));
    env.ui.fileAnswers = {env.path("one.wdf")};
    graph->button(IDC_GRAPH_SAVE)->click();
    QVERIFY(env.ui.messages.empty());
    const QByteArray first = ReadAll(env.path("one.wdf"));
    QCOMPARE(first.size(), 64 + count + 320);
    QCOMPARE(uint8_t(first[9]), uint8_t(kKindGraph));
    QCOMPARE(first.mid(12, count), QByteArray(reinterpret_cast<const char *>(g_WaveCH1), count));
    QCOMPARE(first.mid(64 + count + 270, 4), QByteArray("v28\0", 4));
    // The lamps in the file's order 0, 2, 9, 3, ...
    QCOMPARE(uint8_t(first[12 + count + 1]), g_LedStatus[2]);
    QCOMPARE(uint8_t(first[12 + count + 2]), g_LedStatus[9]);

    graph->LoadWaveGraphFile(env.path("one.wdf"));
    QVERIFY(env.ui.messages.empty());
    QCOMPARE(g_ChannelSlots[5].nCount, count);
    QCOMPARE(Measures(env)->text(27, 5), QStringLiteral("v27"));
    QCOMPARE(Measures(env)->text(28, 5), QStringLiteral("v28"));
    env.ui.dialogHandlers.push_back(ChooseColumn(5));
    env.ui.fileAnswers = {env.path("two.wdf")};
    graph->button(IDC_GRAPH_SAVE)->click();
    QCOMPARE(ReadAll(env.path("two.wdf")), first);
    env.frame->OnDisconnect();
}

void TestWavePages::dataPageSaveAsAndCommands()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CViewWavedataDlg *data = Data(env);
    for (int id : {IDC_DATA_SAVE_AS, IDC_DATA_COPY, IDC_DATA_PRINT, IDC_DATA_EDIT})
        QVERIFY(!data->button(id)->isEnabled());
    data->CopyWaveData();
    QCOMPARE(env.messageTexts(), QStringList{"There is no Wave Data for copy!"});
    QCOMPARE(env.ui.messages[0].icon, vantor::MsgIcon::Warning);
    env.ui.clear();
    data->PrintWaveData();
    QCOMPARE(env.messageTexts(), QStringList{"There is no Wave Data for print!"});
    QVERIFY(
        vantor::FromGbk(env.readFile("BlogFile.txt")).contains(QStringLiteral("打印失败：波形数据列表中当前没有数据")));
    data->OnEdit();
    QCOMPARE(env.frame->paneText(0), QStringLiteral("当前操作：编辑波形数据"));

    LoadColumn(env, QStringLiteral("in.wdf"), 400, 3, kKindGraph, false);
    QVERIFY(data->button(IDC_DATA_SAVE_AS)->isEnabled());
    QVERIFY(!data->button(IDC_DATA_EDIT)->isEnabled());  // nothing enables it
    // A text cell of five characters is saved by its first four.
    data->table()->setText(0, 5, "12345");
    env.ui.clear();
    env.ui.dialogHandlers.push_back(ChooseColumn(5));
    env.ui.fileAnswers = {env.path("out")};
    data->button(IDC_DATA_SAVE_AS)->click();
    QVERIFY(env.ui.messages.empty());
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Save Wave Data file successed！"));
    const QByteArray saved = ReadAll(env.path("out.wdf"));
    QCOMPARE(saved.size(), 64 + 400);
    QCOMPARE(uint8_t(saved[9]), uint8_t(kKindWaveData));
    QCOMPARE(uint8_t(saved[12]), uint8_t(1234 % 256));
    QCOMPARE(uint8_t(saved[13]), uint8_t(4));

    // Written by this page: loads without its curve flag.
    g_szOpenFilePath = env.path("out.wdf");
    env.frame->rightWnd()->OpenWaveDataFile();
    QCOMPARE(g_ChannelSlots[6].bHasWave, uint8_t(0));
    QCOMPARE(g_ChannelSlots[6].bHasData, uint8_t(1));

    // A file that cannot be created.
    env.ui.clear();
    env.ui.dialogHandlers.push_back(ChooseColumn(5));
    env.ui.fileAnswers = {env.path("missing/dir/x.wdf")};
    data->button(IDC_DATA_SAVE_AS)->click();
    QCOMPARE(env.messageTexts(), QStringList{"Try to save Wave Data file failed!"});
    QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt")).contains(QStringLiteral("保存波形数据文件失败")));
}

void TestWavePages::refusedFilesChangeNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    const QString incorrect = QStringLiteral("The opened file is incorrect!");
    QByteArray params;
    for (int i = 0; i < 5; ++i)
        params += "p\r\n";
    QTest::newRow("csv line 4") << "a.csv" << QByteArray("3\r\n0\r\n0\r\n1\r\n1\r\n2\r\n3\r\n") + params << incorrect;
    QTest::newRow("csv above 24000") << "b.csv" << QByteArray("24001\r\n0\r\n0\r\n2\r\n") + params << incorrect;
    QTest::newRow("csv short") << "c.csv" << QByteArray("400\r\n0\r\n0\r\n2\r\n1\r\n2\r\n") + params << incorrect;

    ChannelFileContent content;
    content.samples = QByteArray(300, '\x40');
    const QByteArray good = EncodeChannelFile(content);
    auto withInt = [&](int offset, int32_t value) {
        QByteArray b = good;
        std::memcpy(b.data() + offset, &value, 4);
        return b;
    };
    QByteArray big = withInt(0, 24001);
    big.append(QByteArray(24001, '\x40'));
    QTest::newRow("wdf above 24000") << "d.wdf" << big << incorrect;
    QTest::newRow("wdf short") << "e.wdf" << withInt(0, 1000) << incorrect;
    QTest::newRow("wdf text block") << "f.wdf" << withInt(4, 64) << incorrect;
    QTest::newRow("csv unreadable") << "missing.csv" << QByteArray()
                                    << QStringLiteral("Try to openning the selected file failed!");
    QTest::newRow("other type") << "g.txt" << QByteArray("1")
                                << QStringLiteral("Try to openning the selected file failed!");
}

void TestWavePages::refusedFilesChangeNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    LoadColumn(env, QStringLiteral("held.wdf"), 300, 7, kKindGraph, true);
    QCOMPARE(g_ChannelSlots[5].nCount, 300);
    if (!bytes.isEmpty())
        WriteAll(env.path(name), bytes);
    const PageSnapshot before = PageSnapshot::Take(env.frame->rightWnd());
    env.ui.clear();
    Graph(env)->LoadWaveGraphFile(env.path(name));
    QCOMPARE(env.messageTexts(), QStringList{message});
    QVERIFY(PageSnapshot::Take(env.frame->rightWnd()) == before);
    if (name.endsWith(QLatin1String(".wdf"))) {
        // The right pane's request refuses it with its own message.
        env.ui.clear();
        g_szOpenFilePath = env.path(name);
        env.frame->rightWnd()->OpenWaveDataFile();
        QCOMPARE(env.messageTexts(),
                 QStringList{QStringLiteral("打开选定文件失败，请确定文件是否被破坏、文件格式是否正确？")});
        QVERIFY(PageSnapshot::Take(env.frame->rightWnd()) == before);
    }
}

void TestWavePages::copyTextLayout()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    WaveDataTable *table = Data(env)->table();
    g_ChannelSlots[1].nCount = 2;
    g_ChannelSlots[6].nCount = 3;
    table->setText(0, 1, "12");
    table->setText(1, 1, "255");
    table->setText(0, 6, "1234567890AB");  // cut to its field
    table->setText(1, 6, "7");
    table->setText(2, 6, "8");
    table->setText(2, 7, "123456789X");  // the last field loses its tenth character to the line end
    g_bWaveDataHasData = 1;
    Data(env)->CopyWaveData();
    QCOMPARE(env.ui.clipboardTexts.size(), 1);
    const QString expected =
        QStringLiteral("#        CH1       CH2       CH3       CH4       Chan5     Chan6     Chan7     \n"
                       "1        12                                                1234567890         \n"
                       "2        255                                               7                  \n"
                       "3                                                          8         123456789\n"
                       "\n");
    QCOMPARE(env.ui.clipboardTexts[0], expected);
    const QStringList lines = expected.split('\n');
    QCOMPARE(lines[0].size() + 1, 80);
    QCOMPARE(lines[1].size() + 1, 79);
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Copy Wave Data"));
}

void TestWavePages::fillColumnsKeepOrEmpty()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    WaveDataTable *table = Data(env)->table();
    for (int c : {1, 2, 5})
        for (int row : {0, 299, 300, 400})
            table->setText(row, c, "77");
    for (int i = 0; i < kRecordBytes; ++i)
        g_WaveCH1[i] = g_FileWave[i] = uint8_t(i % 200);
    g_bChOpen[0] = 1;
    g_nWavePointsCH1 = 300;
    g_ChannelSlots[5].nCount = 300;
    Data(env)->FillWaveDataColumn(1, false);
    Data(env)->FillWaveDataColumn(2, false);  // closed: left as it is
    Data(env)->FillWaveDataColumn(5, false);
    QCOMPARE(table->text(299, 1), QStringLiteral("99"));
    QCOMPARE(table->text(300, 1), QStringLiteral("77"));  // a live column keeps former text
    QCOMPARE(table->text(0, 2), QStringLiteral("77"));
    QCOMPARE(table->text(299, 5), QStringLiteral("99"));
    QCOMPARE(table->text(300, 5), QString());  // a file column is emptied past its count
    QCOMPARE(table->text(400, 5), QString());
    // The refresh writes every row of a live column.
    Data(env)->FillWaveDataColumn(1, true);
    QCOMPARE(table->text(400, 1), QStringLiteral("0"));
    QCOMPARE(table->data(table->index(23999, 0), Qt::DisplayRole).toString(), QStringLiteral("24000"));
}

void TestWavePages::shorterRecordLeavesZerosBehindIt()
{
    // A four-channel instrument's whole record, then a two-channel one's
    // shorter record: the table shows zeros past the new count.
    AppEnv env;
    const int first = vsim::familyRecordLength(3), second = vsim::familyRecordLength(0);
    QVERIFY(env.CreateFrame());
    for (int code : {70, 10}) {
        m_sim.StartUsb(code);
        QTRY_VERIFY(env.frame->linkLampGreen());  // the arrival notice
        env.frame->OnConnect();
        QVERIFY(g_bDsoBound);
        Graph(env)->check(IDC_GRAPH_GET_ALL_DATA)->setChecked(true);
        Graph(env)->RefreshWaveGraph();
        env.frame->OnDisconnect();
        m_sim.Stop();
        QTRY_VERIFY(!env.frame->linkLampGreen());  // the removal notice
        QCOMPARE(g_nWavePointsCH1, code == 70 ? first : second);
    }
    WaveDataTable *table = Data(env)->table();
    QCOMPARE(table->text(second - 1, 1), QString::number(g_WaveCH1[second - 1]));
    for (int row : {second, (second + first) / 2, first - 1})
        QCOMPARE(table->text(row, 1), QString("0"));
}

void TestWavePages::graphPicturesZoomAndReadout()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.frame->resize(1200, 900);
    env.frame->show();
    env.frame->rightWnd()->SelectTab(1);
    CViewWaveGraphDlg *graph = Graph(env);
    QTRY_VERIFY(graph->isVisible());
    QTRY_VERIFY(graph->graph()->width() > 300);
    std::vector<uint8_t> samples(1000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = uint8_t(128 + 100 * std::sin(double(i) / 50));
    graph->PlotWaveColumn(samples.data(), 1000, 5);
    graph->ShowGraphColumn(5);

    QVERIFY(graph->SaveGraphPicture(env.path("g.png")));
    QImage png(env.path("g.png"));
    QVERIFY(!png.isNull());
    QVERIFY(png.width() > 100);
    QVERIFY(graph->SaveGraphPicture(env.path("g.pdf")));
    QVERIFY(ReadAll(env.path("g.pdf")).startsWith("%PDF"));

    // Zoomed or panned away, a double-click restores the design's ranges.
    graph->graph()->xAxis->setRange(100, 200);
    graph->graph()->yAxis->setRange(50, 60);
    QTest::mouseDClick(graph->graph(), Qt::LeftButton, {}, graph->graph()->rect().center());
    QCOMPARE(graph->graph()->xAxis->range().lower, 0.0);
    QCOMPARE(graph->graph()->xAxis->range().upper, 1000.0);
    QCOMPARE(graph->graph()->yAxis->range().lower, 10.0);
    QCOMPARE(graph->graph()->yAxis->range().upper, 210.0);

    graph->graph()->replot();
    const QPoint at(int(graph->graph()->xAxis->coordToPixel(250)), int(graph->graph()->yAxis->coordToPixel(110)));
    QMouseEvent move(QEvent::MouseMove, at, graph->graph()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(graph->graph(), &move);
    // The read-out names the nearest visible curve and gives its code there.
    const QStringList parts = graph->cursorText().split(QRegularExpression("\\s{2,}"));
    QCOMPARE(parts.size(), 3);
    QCOMPARE(parts[0], QString("Chan 5"));
    const int index = parts[1].section(' ', 1).toInt();
    QVERIFY(std::abs(index - 250) <= 2);
    QCOMPARE(parts[2], QString("Code %1").arg(samples[size_t(index)]));

    // Copy puts the page's picture on the clipboard.
    graph->CopyGraphImage();
    QCOMPARE(env.ui.clipboardImages.size(), size_t(1));
    QCOMPARE(env.ui.clipboardImages[0].size(), graph->size() * graph->devicePixelRatio());
    // Print with no box ticked.
    for (int id : kShowIds)
        graph->check(id)->setChecked(false);
    env.ui.clear();
    graph->PrintWaveGraph();
    QCOMPARE(env.messageTexts(), QStringList{"There is no graph showed!"});
}

void TestWavePages::savingWithNoColumnStillAsksForAFile()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    for (int i = 0; i < 2; ++i)
        env.ui.dialogHandlers.push_back([](QDialog *d) {
            static_cast<CVantorDialog *>(d)->OnOK();
            return d->result();
        });
    Data(env)->SaveWaveDataFile();
    Graph(env)->SaveWaveGraphFile();
    QCOMPARE(env.ui.fileDialogs.size(), size_t(2));
    QCOMPARE(env.ui.fileDialogs[0].title, QString("Save Wave Data File"));
    QCOMPARE(env.ui.fileDialogs[1].title, QString("Save Wave Graph File"));
}

enum SavePath { kSettingsSave, kSettingsSaveAs, kDataWdf, kGraphWdf, kGraphCsv, kPicturePng, kPicturePdf, kPreviewPdf };

void TestWavePages::aFullDiskKeepsTheOldFile_data()
{
    QTest::addColumn<int>("save");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");  // empty: the caller's return value says it
    QTest::newRow("settings Save") << int(kSettingsSave) << "kept.ssf"
                                   << "Try to Save Setting file failed!";
    QTest::newRow("settings Save As") << int(kSettingsSaveAs) << "as.ssf"
                                      << "Try to save as Setting file failed!";
    QTest::newRow("wave data .wdf") << int(kDataWdf) << "d.wdf"
                                    << "Try to save Wave Data file failed!";
    QTest::newRow("wave graph .wdf") << int(kGraphWdf) << "g.wdf"
                                     << "Try to save Wave Graph file failed!";
    QTest::newRow("wave graph .csv") << int(kGraphCsv) << "g.csv"
                                     << "Try to save Wave Graph file failed!";
    QTest::newRow("graph picture .png") << int(kPicturePng) << "p.png"
                                        << "";
    QTest::newRow("graph picture .pdf") << int(kPicturePdf) << "p.pdf"
                                        << "";
    QTest::newRow("print preview PDF") << int(kPreviewPdf) << "v.pdf"
                                       << "";
}

void TestWavePages::aFullDiskKeepsTheOldFile()
{
    QFETCH(int, save);
    QFETCH(QString, name);
    QFETCH(QString, message);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    LoadColumn(env, QStringLiteral("in.wdf"), 400, 3, kKindGraph, false);
    const QByteArray old("the old file, whole");
    WriteAll(env.path(name), old);
    g_szInitPath = env.path(".");
    g_bSettingHeld = 1;
    CBaseOperation *operation = env.frame->leftWnd()->page();
    operation->m_strCurrentFile = QStringLiteral("kept");
    env.ui.clear();
    bool returned = true;
    {
        FullDisk full;
        switch (save) {
        case kSettingsSave: operation->OnSave(); break;
        case kSettingsSaveAs:
            env.ui.fileAnswers = {env.path(name)};
            operation->OnSaveAs();
            break;
        case kDataWdf:
            env.ui.dialogHandlers.push_back(ChooseColumn(5));
            env.ui.fileAnswers = {env.path(name)};
            Data(env)->SaveWaveDataFile();
            break;
        case kGraphWdf:
        case kGraphCsv:
            env.ui.dialogHandlers.push_back(ChooseColumn(5));
            env.ui.fileAnswers = {env.path(name)};
            Graph(env)->SaveWaveGraphFile();
            break;
        case kPreviewPdf: {
            PrintRequest request;
            request.nItemCount = 1;
            returned = SaveDocumentPdf(WM_PRINT_WAVE_GRAPH, request, env.path(name));
            break;
        }
        default: returned = Graph(env)->SaveGraphPicture(env.path(name)); break;
        }
    }
    QCOMPARE(ReadAll(env.path(name)), old);
    QCOMPARE(QDir(env.path(".")).entryList({name + "*"}, QDir::Files | QDir::Hidden),
             QStringList{name});  // no partial file left
    QVERIFY(!env.frame->paneText(0).contains(QLatin1String("successed")));
    if (message.isEmpty())
        QVERIFY(!returned);
    else
        QCOMPARE(env.messageTexts(), QStringList{message});
}

void TestWavePages::everyControlHasItsOwnName()
{
    for (const char *setIni : {"", "[Set]\nLanguage=ZH\n"}) {
        AppEnv env(QString::fromLatin1(setIni));
        QVERIFY(env.CreateFrame());
        const QList<QWidget *> pages = {static_cast<QWidget *>(env.frame->leftWnd()->page()), Graph(env), Data(env)};
        for (QWidget *page : pages) {
            QStringList names;
            for (QAbstractButton *b : page->findChildren<QAbstractButton *>()) {
                if (!b->property("ctrlId").isValid())
                    continue;  // a table's corner button
                QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
                names << b->accessibleName();
            }
            for (const QString &name : names)
                QVERIFY2(names.count(name) == 1, qPrintable(name));
        }
        QVERIFY(!env.frame->findChild<QWidget *>("Link lamp")->accessibleDescription().isEmpty());
        QCOMPARE(env.frame->findChild<QWidget *>(IdName(IDC_BASE_FILE))->accessibleName(),
                 env.frame->findChild<QLabel *>(IdName(IDC_BASE_FILE_LABEL))->text().chopped(1));
    }
}

void TestWavePages::liveCurvesPlainExportsAntialiased()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.frame->resize(1200, 900);
    env.frame->rightWnd()->SelectTab(1);
    CViewWaveGraphDlg *graph = Graph(env);
    QTRY_VERIFY(graph->graph()->width() > 300);
    std::vector<uint8_t> samples(2000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = uint8_t(128 + 90 * std::sin(double(i) / 40));
    graph->PlotWaveColumn(samples.data(), int(samples.size()), 5);  // green
    graph->ShowGraphColumn(5);
    QCustomPlot *plot = graph->graph();
    auto live = [plot] {
        plot->replot(QCustomPlot::rpImmediateRefresh);
        return BlendedGreens(plot->grab().toImage());
    };
    QVERIFY(!graph->liveAntialiasing());
    QCOMPARE(live(), 0);
    QVERIFY(graph->SaveGraphPicture(env.path("g.png")));
    QVERIFY(BlendedGreens(QImage(env.path("g.png"))) > 50);
    graph->CopyGraphImage();
    QCOMPARE(env.ui.clipboardImages.size(), size_t(1));
    const QRect area(plot->mapTo(graph, QPoint(0, 0)) * graph->devicePixelRatio(),
                     plot->size() * graph->devicePixelRatio());
    QVERIFY(BlendedGreens(env.ui.clipboardImages[0].copy(area)) > 50);
    QCOMPARE(live(), 0);  // back to the plain look
    // The View menu's switch.
    QAction *item = env.frame->action(ID_VIEW_ANTIALIAS);
    QVERIFY(item && item->isCheckable() && !item->isChecked());
    item->trigger();
    QVERIFY(graph->liveAntialiasing());
    QVERIFY(live() > 50);
    item->trigger();
    QCOMPARE(live(), 0);
}

QTEST_MAIN(TestWavePages)
#include "tst_wave_pages.moc"
