// Start-up: set.ini and its defaults, the language rule, brands, the
// per-user settings, localisation, the About box and the single instance.
#include "app_test_support.h"
#include "platform/control_ids.h"
#include "platform/gbk.h"
#include "platform/ini_file.h"
#include "platform/program_files.h"
#include "print/print_dialogs.h"
#include "shell/base_operation.h"
#include "shell/command_line.h"
#include "shell/dialogs.h"
#include "shell/logs.h"
#include "shell/panes.h"
#include "views/page_dialogs.h"
#include "views/view_pages.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLockFile>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using namespace apptest;

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("FERRULE_SIM_SOCKET", "/nonexistent/vantor-test.sock");
        qputenv("XDG_DATA_HOME", m_dataHome.path().toLocal8Bit());
    }
    void init() { ClearUserSettings(); }
    void defaultsWithoutSetIni();
    void languageStringsPickMessagesAndFiles_data();
    void languageStringsPickMessagesAndFiles();
    void brandTable_data();
    void brandTable();
    void chineseStartLocalisesMenusAndPanes();
    void missingMenuKeyShowsNotFound();
    void localiseDialogSetsTitleAndControls();
    void languageFilesCoverEveryControl();
    void aboutBoxShowsTheBrand();
    void welcomePicturesFollowBrandAndSize();
    void registryDefaultsWhenKeyMissing();
    void registryRoundTrip();
    void registryIntervalCodes_data();
    void registryIntervalCodes();
    void secondInstanceLogsFatalAndStops();
    void windowIconHasTheDesktopSizes();
    void programFilesFollowTheFolder_data();
    void programFilesFollowTheFolder();
    void installedTreeReadsTheUsersStartupFileOverTheShippedOne();
    void commandLine_data();
    void commandLine();

private:
    QTemporaryDir m_dataHome;
};

void TestStartup::defaultsWithoutSetIni()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    QCOMPARE(env.app->m_strProvide, QString("Tressel"));
    QCOMPARE(env.app->m_strModel, QString("CA"));
    QCOMPARE(env.app->m_strLanguage, QString("EN"));
    QVERIFY(!IsChineseUi());
    QVERIFY(!NeedsLocalising());
    QVERIFY(g_strLanguageFile.endsWith("/language/en.ini"));
    QCOMPARE(env.frame->rightWnd()->welcome()->bitmapId(), 234);
    QCOMPARE(env.frame->paneText(0), QString("Welcome use Vantor 3.0"));
    QCOMPARE(env.frame->paneText(1), QString("Ready..."));
    QCOMPARE(env.frame->paneText(3), QString("The link is incorrect!"));
    QCOMPARE(env.frame->paneText(4), QString("2026-03-05"));  // the recording clock's day
    QCOMPARE(env.frame->action(ID_BIND_USB)->text(), QString("Connect\tCtrl+B"));
    QCOMPARE(env.frame->action(ID_BIND_USB)->iconText(), QString("Connect"));
    QCOMPARE(env.frame->action(ID_UNBIND_USB)->iconText(), QString("Disc"));
    QVERIFY(env.frame->action(ID_VIEW_TOOLBAR)->isChecked());
    QVERIFY(env.frame->action(ID_VIEW_STATUS_BAR)->isChecked());
    QVERIFY(env.frame->action(ID_VIEW_OPERATION_PANE)->isChecked());
    QCOMPARE(env.frame->splitter()->firstSize(), 175);
    QCOMPARE(env.frame->m_nToolBarState, 0);
    QCOMPARE(g_nWavePointsCH3, 200);
    QCOMPARE(g_szVoltsDivCH2, QString("0 V"));
    QCOMPARE(g_ProductTable[11], uint8_t(0xFF));
    // The tool-bar buttons share the size of the largest.
    QToolBar *bar = env.frame->toolBar();
    const QSize first = bar->widgetForAction(env.frame->action(ID_BIND_USB))->size();
    QCOMPARE(bar->widgetForAction(env.frame->action(ID_APP_ABOUT))->size(), first);
}

void TestStartup::languageStringsPickMessagesAndFiles_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<bool>("localised");
    QTest::addColumn<QString>("file");
    QTest::newRow("EN") << "EN" << false << false << "en.ini";
    QTest::newRow("ZH") << "ZH" << true << true << "zh.ini";
    QTest::newRow("ZH-CN") << "ZH-CN" << true << true << "zh.ini";
    QTest::newRow("FR") << "FR" << false << true << "en.ini";
    QTest::newRow("lower zh") << "zh" << false << true << "en.ini";
}

void TestStartup::languageStringsPickMessagesAndFiles()
{
    QFETCH(QString, language);
    QFETCH(bool, chinese);
    QFETCH(bool, localised);
    QFETCH(QString, file);
    AppEnv env("[Set]\nLanguage=" + language + "\n");
    env.app->ReadStartupFile();
    QCOMPARE(IsChineseUi(), chinese);
    QCOMPARE(NeedsLocalising(), localised);
    QCOMPARE(g_strLanguageFile, env.path("language/" + file));
    QCOMPARE(Tr("Error", "错误"), chinese ? QStringLiteral("错误") : QStringLiteral("Error"));
}

void TestStartup::brandTable_data()
{
    QTest::addColumn<QString>("provide");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("bitmap");
    QTest::addColumn<QString>("pane");
    QTest::addColumn<QString>("about");
    QTest::newRow("Marlowe zh") << "Marlowe"
                                << "ZH" << 179 << "Marlowe"
                                << "Marlowe";
    QTest::newRow("Tressel en") << "Tressel"
                                << "EN" << 234 << "Tressel"
                                << "Tressel";
    QTest::newRow("Tressel zh") << "Tressel"
                                << "ZH" << 234 << QStringLiteral("瑞索科技") << "Tressel";
    QTest::newRow("Orvik fr") << "Orvik"
                              << "FR" << 236 << ""
                              << "Orvik";
    QTest::newRow("embedded") << "xOrvikY"
                              << "EN" << 236 << "Orvik"
                              << "Orvik";
    QTest::newRow("lower case") << "tressel"
                                << "EN" << 232 << ""
                                << "";
    QTest::newRow("first in order") << "OrvikMarlowe"
                                    << "EN" << 179 << "Marlowe"
                                    << "Marlowe";
}

void TestStartup::brandTable()
{
    QFETCH(QString, provide);
    QFETCH(QString, language);
    QFETCH(int, bitmap);
    QFETCH(QString, pane);
    QFETCH(QString, about);
    AppEnv env("[Set]\nProvide=" + provide + "\nLanguage=" + language + "\n");
    QVERIFY(env.CreateFrame());
    QCOMPARE(env.frame->rightWnd()->welcome()->bitmapId(), bitmap);
    QCOMPARE(BrandStatusText(provide, language), pane);
    CAboutDlg dialog(env.frame);
    QString shown;
    env.ui.dialogHandlers.push_back([&](QDialog *d) {
        shown = static_cast<CAboutDlg *>(d)->brandText();
        return int(QDialog::Accepted);
    });
    env.ui.runDialog(&dialog);
    QCOMPARE(shown, about);
}

void TestStartup::chineseStartLocalisesMenusAndPanes()
{
    AppEnv env("[Set]\nLanguage=ZH\n");
    QVERIFY(env.CreateFrame());
    QCOMPARE(env.frame->topMenu(0)->title(), QStringLiteral("面板"));
    QCOMPARE(env.frame->topMenu(3)->title(), QStringLiteral("帮助"));
    QCOMPARE(env.frame->action(ID_BIND_USB)->text(), QStringLiteral("连接\tCtrl+B"));
    QCOMPARE(env.frame->action(ID_RATE_500MS)->text(), QString("0.5 s"));  // rate items keep their texts
    QCOMPARE(env.frame->action(ID_BIND_USB)->iconText(), QStringLiteral("连接"));
    QCOMPARE(env.frame->action(ID_VIEW_OPERATION_PANE)->iconText(), QStringLiteral("切换"));
    QCOMPARE(env.frame->paneText(0), QStringLiteral("欢迎使用 Vantor 3.0"));
    QCOMPARE(env.frame->paneText(1), QStringLiteral("就绪..."));
    QCOMPARE(env.frame->paneText(3), QStringLiteral("未连接!"));
    auto *upload = env.frame->leftWnd()->page()->button(IDC_BASE_UPLOAD);
    QCOMPARE(upload->text(), QStringLiteral("上传"));
    auto *group = env.frame->leftWnd()->page()->findChild<QGroupBox *>(IdName(IDC_BASE_DEVICE_GROUP));
    QCOMPARE(group->title(), QStringLiteral("设备配置操作"));
    QCOMPARE(env.frame->rightWnd()->graphPage()->button(IDC_GRAPH_AUTO)->text(), QStringLiteral("自动"));
    // Qt's own texts too, and the tool bar's fly-by texts.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("确定"));
    QCOMPARE(env.frame->action(ID_BIND_USB)->statusTip(), QStringLiteral("连接示波器"));
}

void TestStartup::missingMenuKeyShowsNotFound()
{
    AppEnv env("[Set]\nLanguage=FR\n", false);
    QDir().mkpath(env.path("language"));
    env.writeFile("language/en.ini", "[String]\nIDS_MENU_PANEL=Panel\\nTwo\nIDS_MENU_BIND_USB=Go\n");
    QVERIFY(env.CreateFrame());
    QCOMPARE(env.frame->topMenu(0)->title(), QString("Panel\nTwo"));
    QCOMPARE(env.frame->action(ID_BIND_USB)->text(), QString("Go"));
    QCOMPARE(env.frame->topMenu(3)->title(), QString("Not found"));
    QCOMPARE(env.frame->action(ID_APP_ABOUT)->text(), QString("Not found"));
    QCOMPARE(LoadUiString("IDS_NOTHING"), QString("Not found"));
    // Dialog texts without keys stay as built.
    QCOMPARE(env.frame->leftWnd()->page()->button(IDC_BASE_UPLOAD)->text(), QString("Upload"));
}

void TestStartup::localiseDialogSetsTitleAndControls()
{
    AppEnv env("[Set]\nLanguage=FR\n", false);
    QDir().mkpath(env.path("language"));
    env.writeFile("language/en.ini", "[String]\nIDD182_Title=Tempo\nIDD182_1193=Type it\nIDD182_1=Fine\n");
    env.app->ReadStartupFile();
    CSetCustomTimeDlg dialog(nullptr);
    dialog.initDialog();
    QCOMPARE(dialog.windowTitle(), QString("Tempo"));
    QCOMPARE(dialog.findChild<QLabel *>(IdName(IDC_CUSTOM_TIME_NOTE))->text(), QString("Type it"));
    QCOMPARE(dialog.findChild<QPushButton *>(IdName(IDC_OK))->text(), QString("Fine"));
    QCOMPARE(dialog.findChild<QPushButton *>(IdName(IDC_CANCEL))->text(), QString("Cancel"));
}

void TestStartup::languageFilesCoverEveryControl()
{
    // Every labelled control of every shell window has a text in both files,
    // and the Chinese text is a translation.
    AppEnv env;
    QVERIFY(env.CreateFrame());
    vantor::IniFile en(QStringLiteral(VANTOR_LANGUAGE_SOURCE_DIR "/en.ini"));
    vantor::IniFile zh(QStringLiteral(VANTOR_LANGUAGE_SOURCE_DIR "/zh.ini"));
    std::vector<std::pair<QWidget *, int>> windows = {{env.frame->leftWnd()->page(), 156},
                                                      {env.frame->rightWnd()->graphPage(), 173},
                                                      {env.frame->rightWnd()->bitmapPage(), 158},
                                                      {env.frame->rightWnd()->dataPage(), 147},
                                                      {env.frame->rightWnd()->measurePage(), 159}};
    CRS232Dlg rs(nullptr);
    CSetCustomTimeDlg custom(nullptr);
    CAlterFilePathDlg path(nullptr);
    CAlterLableNameDlg title(nullptr);
    CSelectChanDlg chan(nullptr);
    CAboutDlg about(nullptr);
    CSetPrntItemDlg items(nullptr);
    CPreGotoDlg go(nullptr);
    for (CVantorDialog *d :
         std::initializer_list<CVantorDialog *>{&rs, &custom, &path, &title, &chan, &about, &items, &go})
        windows.push_back({d, d->dialogId()});
    int checked = 0;
    for (auto [window, id] : windows) {
        for (QWidget *child : window->findChildren<QWidget *>()) {
            bool ok = false;
            const int ctrl = child->property("ctrlId").toInt(&ok);
            if (!ok ||
                !(child->inherits("QAbstractButton") || child->inherits("QGroupBox") || child->inherits("QLabel")))
                continue;
            if (child->inherits("QLabel") && static_cast<QLabel *>(child)->text().isEmpty())
                continue;
            const QString key = QStringLiteral("IDD%1_%2").arg(id).arg(ctrl);
            QVERIFY2(!en.value("String", key, "", 1000).isEmpty(), qPrintable(key));
            QVERIFY2(!zh.value("String", key, "", 1000).isEmpty(), qPrintable(key));
            ++checked;
        }
        const QString titleKey = QStringLiteral("IDD%1_Title").arg(id);
        QVERIFY2(!zh.value("String", titleKey, "", 1000).isEmpty(), qPrintable(titleKey));
    }
    QVERIFY(checked > 80);
    for (const char *key : {"IDS_MENU_PANEL", "IDS_MENU_SETTTING", "IDS_MENU_SETTIME", "IDS_MENU_HELP",
                            "IDS_MENU_TEST_USB_LINK", "IDS_MENU_SET_OPENFILE_DLG_ORI_PATH"}) {
        QVERIFY2(!en.value("String", key, "", 1000).isEmpty(), key);
        QVERIFY2(zh.value("String", key, "", 1000) != en.value("String", key, "", 1000), key);
    }
    QCOMPARE(zh.value("String", "IDD156_1068", "", 1000), QStringLiteral("上传"));
}

void TestStartup::aboutBoxShowsTheBrand()
{
    AppEnv env("[Set]\nProvide=Orvik\nLanguage=ZH\n");
    QVERIFY(env.CreateFrame());
    QString brand, title;
    env.ui.dialogHandlers.push_back([&](QDialog *d) {
        brand = static_cast<CAboutDlg *>(d)->brandText();
        title = d->windowTitle();
        return int(QDialog::Accepted);
    });
    env.frame->action(ID_APP_ABOUT)->trigger();
    QCOMPARE(brand, QString("Orvik"));
    QCOMPARE(title, QStringLiteral("关于 Vantor"));
}

void TestStartup::welcomePicturesFollowBrandAndSize()
{
    const QSize size(320, 240);
    std::vector<QImage> images;
    for (int id : {179, 234, 236, 232}) {
        images.push_back(RenderWelcomeBitmap(id, size));
        QCOMPARE(images.back().size(), size);
    }
    for (size_t i = 0; i < images.size(); ++i)
        for (size_t j = i + 1; j < images.size(); ++j)
            QVERIFY(images[i] != images[j]);
    QCOMPARE(RenderWelcomeBitmap(234, QSize(800, 500)).size(), QSize(800, 500));
    QVERIFY(!RenderWelcomeBitmap(234, QSize(0, 0)).isNull());
    // The picture control paints the picture at its own size.
    AppEnv env("[Set]\nProvide=Orvik\n");
    QVERIFY(env.CreateFrame());
    CWelcomePicture *picture = env.frame->rightWnd()->welcome();
    picture->resize(size);
    QCOMPARE(picture->grab().toImage().convertToFormat(QImage::Format_RGB32),
             RenderWelcomeBitmap(236, size).convertToFormat(QImage::Format_RGB32));
}

void TestStartup::registryDefaultsWhenKeyMissing()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    QCOMPARE(g_nRefreshInterval, 2000);
    QVERIFY(env.frame->action(ID_RATE_2S)->isChecked());
    QCOMPARE(g_bSaveOperateFile, uint8_t(0));
    QVERIFY(!env.frame->action(ID_OPERATE_FILE)->isChecked());
    QCOMPARE(g_szInitPath, env.dir.path());
    const QString log = vantor::FromGbk(env.readFile("BlogFile.txt"));
    QVERIFY(log.contains(QStringLiteral("NORMAL :打开注册表读取软件配置参数失败\r\n")));
    // Saving finds no key either, creates it and writes every value.
    env.frame->SaveSettings();
    const QString saved = vantor::FromGbk(env.readFile("BlogFile.txt"));
    QCOMPARE(saved.count(QStringLiteral("NORMAL :打开注册表以保存软件配置参数失败\r\n")), 1);
    QVERIFY(!saved.contains(QStringLiteral("写注册表")));
    QCOMPARE(QSettings("Marlowe Vantor Application", "Vantor").value("Settings/Interval time").toString(),
             QString("2000"));
}

void TestStartup::registryRoundTrip()
{
    WriteUserSettings("3000", 8, "/srv/scope");
    {
        AppEnv env;
        QVERIFY(env.CreateFrame());
        QCOMPARE(g_nRefreshInterval, 3000);
        QVERIFY(env.frame->action(ID_RATE_3S)->isChecked());
        QCOMPARE(g_bSaveOperateFile, uint8_t(8));
        QVERIFY(env.frame->action(ID_OPERATE_FILE)->isChecked());
        QCOMPARE(g_szInitPath, QString("/srv/scope"));
        QCOMPARE(g_nOperateLineCount, 1);          // the welcome line
        env.frame->action(ID_RATE_1S)->trigger();  // 1 s
        g_szInitPath = "/home/me/data";
        env.frame->action(ID_OPERATE_FILE)->trigger();  // off
    }                                                   // the frame saves on destruction
    QSettings settings("Marlowe Vantor Application", "Vantor");
    settings.beginGroup("Settings");
    QCOMPARE(settings.value("Interval time").toString(), QString("1000"));
    QCOMPARE(settings.value("Operate File check").toInt(), 0);
    QCOMPARE(settings.value("FileInit Path").toString(), QString("/home/me/data"));
    settings.endGroup();
    AppEnv again;
    QVERIFY(again.CreateFrame());
    QCOMPARE(g_nRefreshInterval, 1000);
    QCOMPARE(g_szInitPath, QString("/home/me/data"));
}

void TestStartup::registryIntervalCodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("item");
    QTest::newRow("750 custom") << "750" << 750 << ID_RATE_CUSTOM;
    QTest::newRow("2000") << "2000" << 2000 << ID_RATE_2S;
    QTest::newRow("500") << "500" << 500 << ID_RATE_500MS;
    QTest::newRow("10000") << "10000" << 10000 << ID_RATE_10S;
    QTest::newRow("4000 custom") << "4000" << 4000 << ID_RATE_CUSTOM;
    QTest::newRow("number then text") << "1000ms" << 1000 << ID_RATE_1S;
}

void TestStartup::registryIntervalCodes()
{
    QFETCH(QString, text);
    QFETCH(int, interval);
    QFETCH(int, item);
    WriteUserSettings(text, 0, QString());
    AppEnv env;
    QVERIFY(env.CreateFrame());
    QCOMPARE(g_nRefreshInterval, interval);
    for (int id = ID_RATE_500MS; id <= ID_RATE_CUSTOM; ++id)
        QCOMPARE(env.frame->action(id)->isChecked(), id == item);
    QCOMPARE(g_szInitPath, env.dir.path());  // absent path value: the program's folder
}

void TestStartup::secondInstanceLogsFatalAndStops()
{
    AppEnv env;
    QLockFile first(env.path("Vantor.lock"));
    QVERIFY(first.tryLock(0));
    QCOMPARE(env.app->InitInstance(), CVantorApp::Start::SecondInstance);
    QVERIFY(!env.app->mainFrame());
    const QByteArray log = env.readFile("BlogFile.txt");
    QCOMPARE(log.count("\r\n"), 1);
    const QByteArray expected =
        "FATAL  :" + vantor::ToGbk(QStringLiteral("已有该软件的实例打开，不支持重复打开该软件。启动软件失败！")) +
        "\r\n";
    QVERIFY(log.endsWith(expected));
    QVERIFY(log.startsWith(LogTimeStamp(env.ui.clock)));
    first.unlock();
    QCOMPARE(env.app->InitInstance(), CVantorApp::Start::Ok);
    QVERIFY(env.app->mainFrame());
}

void TestStartup::windowIconHasTheDesktopSizes()
{
    AppEnv env;
    QCOMPARE(env.app->InitInstance(), CVantorApp::Start::Ok);
    const QList<QSize> sizes = QApplication::windowIcon().availableSizes();
    QCOMPARE(sizes.size(), 8);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
    QVERIFY(!env.app->mainFrame()->windowIcon().isNull());
}

namespace {

// A program folder bin/ inside a tree that may hold share/vantor.
struct Tree {
    QTemporaryDir root;
    QString bin() const { return root.filePath("bin"); }
    QString share() const { return root.filePath("share/vantor"); }
    void write(const QString &path, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

// The user's folders of the program under the test's XDG folders.
QString UserFolder(const char *xdgVariable)
{
    return QDir(qEnvironmentVariable(xdgVariable)).filePath("Marlowe Vantor Application/Vantor");
}

}  // namespace

void TestStartup::programFilesFollowTheFolder_data()
{
    QTest::addColumn<QString>("beside");  // what the program's folder holds
    QTest::addColumn<bool>("shared");     // share/vantor exists
    QTest::addColumn<bool>("installed");
    QTest::newRow("set.ini beside") << "set.ini" << true << false;
    QTest::newRow("language files beside") << "language/en.ini" << true << false;
    QTest::newRow("installed tree") << QString() << true << true;
    QTest::newRow("nothing anywhere: defaults beside") << QString() << false << false;
}

void TestStartup::programFilesFollowTheFolder()
{
    QFETCH(QString, beside);
    QFETCH(bool, shared);
    QFETCH(bool, installed);
    Tree tree;
    QDir().mkpath(tree.bin());
    if (!beside.isEmpty())
        tree.write(QDir(tree.bin()).filePath(beside), "[Set]\n");
    if (shared)
        tree.write(QDir(tree.share()).filePath("set.ini"), "[Set]\n");
    const vantor::ProgramFiles files = vantor::LocateProgramFiles(tree.bin());
    if (installed) {
        QCOMPARE(files.shareDir, tree.share());
        QCOMPARE(files.userIni, UserFolder("XDG_CONFIG_HOME") + "/set.ini");
        QCOMPARE(files.logDir, UserFolder("XDG_DATA_HOME"));
        QVERIFY(QFileInfo(files.logDir).isDir());
        QCOMPARE(files.startDir, QDir::homePath());
    } else {
        QCOMPARE(files.shareDir, tree.bin());
        QVERIFY(files.userIni.isEmpty());
        QCOMPARE(files.logDir, tree.bin());
        QCOMPARE(files.startDir, tree.bin());
    }
}

void TestStartup::installedTreeReadsTheUsersStartupFileOverTheShippedOne()
{
    Tree tree;
    QDir().mkpath(tree.bin());
    tree.write(QDir(tree.share()).filePath("set.ini"), "[Set]\nProvide=Orvik\nLanguage=EN\n");
    const QString userIni = UserFolder("XDG_CONFIG_HOME") + "/set.ini";
    tree.write(userIni, "[Set]\nLanguage=ZH\n");
    vantor::RecordingUiServices ui;
    CVantorApp::Options options;
    options.ui = &ui;
    options.gateMode = vantor::LinkGate::Mode::Synchronous;
    options.programDir = tree.bin();
    options.lockPath = tree.root.filePath("Vantor.lock");
    {
        CVantorApp app(options);
        app.ReadStartupFile();
        QCOMPARE(app.m_strProvide, QString("Orvik"));  // shipped
        QCOMPARE(app.m_strLanguage, QString("ZH"));    // the user's
        QCOMPARE(app.m_strModel, QString("CA"));       // neither: the default
        QCOMPARE(g_strLanguageFile, tree.share() + "/language/zh.ini");
        QVERIFY(app.CreateMainFrame());
        QCOMPARE(g_szInitPath, QDir::homePath());
        DebugLog(QStringLiteral("x"), kNormal);
        QVERIFY(QFile::exists(UserFolder("XDG_DATA_HOME") + "/BlogFile.txt"));
    }
    QFile::remove(userIni);
    ResetAllGlobals();
}

void TestStartup::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("help");
    QTest::addColumn<bool>("connect");
    QTest::addColumn<bool>("autoRefresh");
    QTest::addColumn<int>("view");
    QTest::addColumn<QString>("error");
    auto row = [](const char *name, QStringList args, bool help, bool connect, bool autoRefresh, int view,
                  const char *error = "") {
        QTest::newRow(name) << args << help << connect << autoRefresh << view << QString(error);
    };
    row("nothing", {}, false, false, false, 0);
    row("connect", {"--connect"}, false, true, false, 0);
    row("a page", {"--view", "data"}, false, false, false, IDC_BASE_GOTO_DATA);
    row("a page with =", {"--view=bitmap"}, false, false, false, IDC_BASE_GOTO_BITMAP);
    row("auto shows the graph", {"--connect", "--auto"}, false, true, true, IDC_BASE_GOTO_GRAPH);
    row("auto keeps the page named", {"--auto", "--view", "measure", "--connect"}, false, true, true,
        IDC_BASE_GOTO_MEASURE);
    row("auto without connect", {"--auto"}, false, false, true, IDC_BASE_GOTO_GRAPH, "--auto needs --connect");
    row("unknown page", {"--view", "scope"}, false, false, false, 0,
        "unknown page 'scope' for --view (graph, data, measure or bitmap)");
    row("page missing", {"--view"}, false, false, false, 0, "--view needs a page: graph, data, measure or bitmap");
    row("unknown argument", {"--conect"}, false, false, false, 0, "unknown argument '--conect'");
    row("help after an error", {"--conect", "-h"}, true, false, false, 0, "unknown argument '--conect'");
}

void TestStartup::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(bool, help);
    QFETCH(bool, connect);
    QFETCH(bool, autoRefresh);
    QFETCH(int, view);
    QFETCH(QString, error);
    const CommandLine options = ParseCommandLine(args);
    QCOMPARE(options.help, help);
    QCOMPARE(options.connect, connect);
    QCOMPARE(options.autoRefresh, autoRefresh);
    QCOMPARE(options.viewButton, view);
    QCOMPARE(options.error, error);
    QVERIFY(!options.version);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
