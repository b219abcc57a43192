// The operation pane: going to views, the file dialogs' requests, opening
// files into pages, and the settings-file commands that need no instrument.
#include "app_test_support.h"
#include "platform/control_ids.h"
#include "platform/gbk.h"
#include "shell/base_operation.h"
#include "shell/panes.h"
#include "views/view_pages.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace apptest;
using vantor::MsgIcon;

class TestBaseOperation : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("FERRULE_SIM_SOCKET", "/nonexistent/vantor-test.sock"); }
    void init() { ClearUserSettings(); }
    void initialButtonStates();
    void gotoButtonsSelectTabsAtTheNextPaint();
    void fileDialogRequests_data();
    void fileDialogRequests();
    void graphSaveDialogAddsWdf();
    void cancelledDialogChangesNothing();
    void openSettingFileReplacesOnlyWhatItHolds();
    void openMissingSettingFile();
    void saveUsesTheInitialFolderAndCurrentName();
    void saveAsAddsTheExtensionUnlessPresent();
    void saveFailureReported();
    void openWaveDataFileNeedsItsExtension();
    void openWaveDataFileThatCannotBeRead();
    void pageButtonsFollowTheChannelSlots();
};

void TestBaseOperation::initialButtonStates()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CBaseOperation *page = env.frame->leftWnd()->page();
    for (int id : {IDC_BASE_UPLOAD, IDC_BASE_DOWNLOAD, IDC_BASE_SAVE, IDC_BASE_SAVE_AS})
        QVERIFY2(!page->button(id)->isEnabled(), qPrintable(QString::number(id)));
    QVERIFY(page->button(IDC_BASE_OPEN)->isEnabled());
    QCOMPARE(env.frame->leftWnd()->tabs()->title(0), QString("Base Oper"));
    CRTTabCtrl *tabs = env.frame->rightWnd()->tabs();
    QCOMPARE(tabs->count(), 5);
    const QStringList titles = {QStringLiteral("欢迎"), QStringLiteral("示波器"), QStringLiteral("界面"),
                                QStringLiteral("数据"), QStringLiteral("测量值")};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(tabs->title(i), titles[i]);
}

void TestBaseOperation::gotoButtonsSelectTabsAtTheNextPaint()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    QVERIFY(QTest::qWaitForWindowExposed(env.frame));
    CRTTabCtrl *tabs = env.frame->rightWnd()->tabs();
    tabs->repaint();
    QCOMPARE(tabs->m_nShown, 0);
    const std::tuple<int, int, const char *> cases[] = {{IDC_BASE_GOTO_GRAPH, 1, "Goto the Wave Graph View"},
                                                        {IDC_BASE_GOTO_BITMAP, 2, "Goto the DSO Bitmap View"},
                                                        {IDC_BASE_GOTO_DATA, 3, "Goto the Wave Data View"},
                                                        {IDC_BASE_GOTO_MEASURE, 4, "Goto the Wave Measurement View"}};
    for (auto [button, tab, log] : cases) {
        const int before = tabs->m_nShown;
        env.frame->leftWnd()->page()->button(button)->click();
        QCOMPARE(tabs->GetCurSel(), tab);
        QCOMPARE(tabs->m_nShown, before);  // not yet painted
        QVERIFY(tabs->page(before)->isVisible());
        tabs->repaint();
        QCOMPARE(tabs->m_nShown, tab);
        QVERIFY(tabs->page(tab)->isVisible());
        QVERIFY(!tabs->page(before)->isVisible());
        QCOMPARE(env.frame->paneText(0), QString(log));
        QCOMPARE(tabs->page(tab)->geometry(), tabs->rect().adjusted(5, 5, -5, -5));
    }
}

void TestBaseOperation::fileDialogRequests_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("tab");
    QTest::newRow("graph") << IDC_BASE_OPEN_GRAPH << "Open Wave Graph File"
                           << "graph file( *.csv)|*.csv|wavedata file(*.wdf)|*.wdf| |" << 1;
    QTest::newRow("data") << IDC_BASE_OPEN_DATA << "Open Wave Data File"
                          << "wavedata file (*.wdf) |*.wdf| |" << 3;
    QTest::newRow("measure") << IDC_BASE_OPEN_MEASURE << "Open Wave Measurement File"
                             << "wave measurement file (*.wmf) |*.wmf| |" << 4;
    QTest::newRow("bitmap") << IDC_BASE_OPEN_BITMAP << "Open Bmp File"
                            << "bitmap file (*.bmp) |*.bmp| |" << 2;
    QTest::newRow("setting") << IDC_BASE_OPEN << "Open Setting File"
                             << "Scope setting file (*.ssf) |*.ssf| |" << 0;
}

void TestBaseOperation::fileDialogRequests()
{
    QFETCH(int, button);
    QFETCH(QString, title);
    QFETCH(QString, filter);
    QFETCH(int, tab);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    g_szInitPath = env.dir.path();
    env.writeFile("f.wdf", "x");
    env.ui.fileAnswers = {env.path("f.wdf")};
    env.frame->leftWnd()->page()->button(button)->click();
    QCOMPARE(env.ui.fileDialogs.size(), size_t(1));
    const vantor::FileDialogRequest &r = env.ui.fileDialogs[0];
    QVERIFY(!r.save);
    QCOMPARE(r.title, title);
    QCOMPARE(r.filter, filter);
    QCOMPARE(r.folder, env.dir.path());
    QCOMPARE(g_szOpenFilePath, env.path("f.wdf"));
    QCOMPARE(env.frame->rightWnd()->CurrentTab(), tab);
    if (button == IDC_BASE_OPEN_GRAPH) {
        QCOMPARE(r.initialName, QString("*.csv"));
        QCOMPARE(r.defaultExt, QString("csv"));
    }
}

void TestBaseOperation::graphSaveDialogAddsWdf()
{
    AppEnv env("[Set]\nLanguage=ZH\n");
    QVERIFY(env.CreateFrame());
    env.ui.fileAnswers = {"/tmp/curve", "/tmp/curve.csv", "/tmp/a.wdf.bak"};
    QCOMPARE(SaveFileDialogFor(5), 1);
    QCOMPARE(g_szSaveFilePath, QString("/tmp/curve.wdf"));
    QCOMPARE(env.ui.fileDialogs[0].title, QStringLiteral("保存波形图像文件"));
    QVERIFY(env.ui.fileDialogs[0].save);
    QCOMPARE(SaveFileDialogFor(5), 1);
    QCOMPARE(g_szSaveFilePath, QString("/tmp/curve.csv"));
    QCOMPARE(SaveFileDialogFor(5), 1);
    QCOMPARE(g_szSaveFilePath, QString("/tmp/a.wdf.bak"));
    QCOMPARE(SaveFileDialogFor(5), 0);  // cancelled
    QCOMPARE(g_szSaveFilePath, QString("/tmp/a.wdf.bak"));
    QCOMPARE(OpenFileDialogFor(9), 0);
}

void TestBaseOperation::cancelledDialogChangesNothing()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    g_szOpenFilePath = "/before";
    for (int button :
         {IDC_BASE_OPEN_GRAPH, IDC_BASE_OPEN_DATA, IDC_BASE_OPEN_MEASURE, IDC_BASE_OPEN_BITMAP, IDC_BASE_OPEN}) {
        env.frame->leftWnd()->page()->button(button)->click();
        QCOMPARE(env.frame->rightWnd()->CurrentTab(), 0);
    }
    QCOMPARE(g_szOpenFilePath, QString("/before"));
    QCOMPARE(g_bSettingHeld, uint8_t(0));
    QVERIFY(env.ui.messages.empty());
}

void TestBaseOperation::openSettingFileReplacesOnlyWhatItHolds()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    std::memset(g_SettingData, 0x5A, sizeof g_SettingData);
    env.writeFile("short.ssf", QByteArray(100, '\x11'));
    env.ui.fileAnswers = {env.path("short.ssf")};
    CBaseOperation *page = env.frame->leftWnd()->page();
    page->button(IDC_BASE_OPEN)->click();
    QCOMPARE(g_SettingData[0], uint8_t(0x11));
    QCOMPARE(g_SettingData[99], uint8_t(0x11));
    QCOMPARE(g_SettingData[100], uint8_t(0x5A));
    QCOMPARE(g_SettingData[2499], uint8_t(0x5A));
    QCOMPARE(g_bSettingHeld, uint8_t(1));
    QCOMPARE(page->m_strCurrentFile, env.path("short.ssf"));
    QCOMPARE(page->findChild<QLineEdit *>(IdName(IDC_BASE_FILE))->text(), env.path("short.ssf"));
    QVERIFY(!page->button(IDC_BASE_SAVE)->isEnabled());
    QVERIFY(page->button(IDC_BASE_SAVE_AS)->isEnabled());
    QVERIFY(!page->button(IDC_BASE_DOWNLOAD)->isEnabled());  // not bound
    QCOMPARE(env.frame->paneText(0), QString("Open a Setting file"));
}

void TestBaseOperation::openMissingSettingFile()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.ui.fileAnswers = {env.path("absent.ssf")};
    env.frame->leftWnd()->page()->OnOpen();
    QCOMPARE(env.messageTexts(), QStringList{"Try to open a Setting file failed!"});
    QCOMPARE(env.ui.messages[0].title, QString("Error"));
    QCOMPARE(env.ui.messages[0].icon, MsgIcon::Information);
    QCOMPARE(g_bSettingHeld, uint8_t(0));
    QVERIFY(
        vantor::FromGbk(env.readFile("BlogFile.txt")).contains(QStringLiteral("NORMAL :打开‘设备配置数据’文件失败")));
}

void TestBaseOperation::saveUsesTheInitialFolderAndCurrentName()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    for (int i = 0; i < kSettingBytes; ++i)
        g_SettingData[i] = uint8_t(i * 7);
    g_szInitPath = env.dir.path();
    CBaseOperation *page = env.frame->leftWnd()->page();
    page->m_strCurrentFile = "20260305-140709";
    page->OnSave();
    const QByteArray written = env.readFile("20260305-140709.ssf");
    QCOMPARE(written.size(), 2500);
    QCOMPARE(written, QByteArray(reinterpret_cast<const char *>(g_SettingData), 2500));
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Save Setting file successed！"));
}

void TestBaseOperation::saveAsAddsTheExtensionUnlessPresent()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    std::memset(g_SettingData, 0x33, sizeof g_SettingData);
    env.ui.fileAnswers = {env.path("plain"), env.path("keep.ssf.old")};
    CBaseOperation *page = env.frame->leftWnd()->page();
    page->OnSaveAs();
    QCOMPARE(env.readFile("plain.ssf"), QByteArray(2500, '\x33'));
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Save As Setting file successed！"));
    page->OnSaveAs();
    QCOMPARE(env.readFile("keep.ssf.old").size(), 2500);
    QVERIFY(!QFile::exists(env.path("keep.ssf.old.ssf")));
    QCOMPARE(env.ui.fileDialogs[0].title, QString("Save Setting File"));
}

void TestBaseOperation::saveFailureReported()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    g_szInitPath = env.path("no/such/folder");
    CBaseOperation *page = env.frame->leftWnd()->page();
    page->m_strCurrentFile = "x";
    page->OnSave();
    QCOMPARE(env.messageTexts(), QStringList{"Try to Save Setting file failed!"});
    env.ui.fileAnswers = {env.path("no/such/y")};
    page->OnSaveAs();
    QCOMPARE(env.messageTexts().last(), QString("Try to save as Setting file failed!"));
    const QString log = vantor::FromGbk(env.readFile("BlogFile.txt"));
    QVERIFY(log.contains(QStringLiteral("保存‘设备配置数据’文件失败")));
    QVERIFY(log.contains(QStringLiteral("另存‘设备配置数据’文件失败")));
}

void TestBaseOperation::openWaveDataFileNeedsItsExtension()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.writeFile("data.txt", "x");
    g_szOpenFilePath = env.path("data.txt");
    env.frame->rightWnd()->OpenWaveDataFile();
    QCOMPARE(env.messageTexts(), QStringList{QStringLiteral("打开文件类型不匹配，请确认！")});
    QCOMPARE(env.ui.messages[0].title, QStringLiteral("提示信息"));
    QCOMPARE(env.ui.messages[0].icon, MsgIcon::Information);
    QVERIFY(
        vantor::FromGbk(env.readFile("BlogFile.txt")).contains(QStringLiteral("WARNING:打开文件类型与‘.wdf’不匹配")));
}

void TestBaseOperation::openWaveDataFileThatCannotBeRead()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    g_szOpenFilePath = env.path("gone.wdf");
    env.frame->rightWnd()->OpenWaveDataFile();
    QCOMPARE(env.messageTexts(),
             QStringList{QStringLiteral("打开选定文件失败，请确定文件是否被破坏、文件格式是否正确？")});
    QCOMPARE(env.ui.messages[0].title, QStringLiteral("提示信息"));
}

void TestBaseOperation::pageButtonsFollowTheChannelSlots()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CRightWnd *right = env.frame->rightWnd();
    right->UpdatePageButtons();
    QVERIFY(!right->dataPage()->button(IDC_DATA_COPY)->isEnabled());
    QCOMPARE(g_bWaveDataHasData, uint8_t(0));
    g_ChannelSlots[6].bHasData = 1;
    g_ChannelSlots[2].bMeasured = 1;
    right->UpdatePageButtons();
    for (int id : {IDC_DATA_COPY, IDC_DATA_PRINT, IDC_DATA_SAVE_AS})
        QVERIFY(right->dataPage()->button(id)->isEnabled());
    for (int id : {IDC_MEASURE_COPY, IDC_MEASURE_PRINT, IDC_MEASURE_SAVE_AS})
        QVERIFY(right->measurePage()->button(id)->isEnabled());
    for (int id : {IDC_GRAPH_SAVE, IDC_GRAPH_COPY, IDC_GRAPH_PRINT})
        QVERIFY(!right->graphPage()->button(id)->isEnabled());
    QCOMPARE(g_bWaveDataHasData, uint8_t(1));
    QCOMPARE(g_bMeasureHasData, uint8_t(1));
    QCOMPARE(g_bGraphHasData, uint8_t(0));
    g_ChannelSlots[6] = ChannelSlot{};
    right->UpdatePageButtons();
    QCOMPARE(g_bWaveDataHasData, uint8_t(1));  // never cleared here
}

QTEST_MAIN(TestBaseOperation)
#include "tst_base_operation.moc"
