#include "vantor_app.h"

#include "../platform/app_icon.h"
#include "../platform/control_ids.h"
#include "../platform/globals.h"
#include "dialogs.h"
#include "logs.h"
#include "main_frame.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLibraryInfo>
#include <QStandardPaths>

namespace {

CVantorApp *g_theApp = nullptr;

const BrandInfo kBrands[] = {
    {"Marlowe", "Marlowe", IDB_WELCOME_MARLOWE},
    {"Tressel", "瑞索科技", IDB_WELCOME_TRESSEL},
    {"Orvik", "欧维克", IDB_WELCOME_ORVIK},
};

}  // namespace

int MatchBrand(const QString &provide)
{
    for (int i = 0; i < 3; ++i)
        if (provide.contains(QLatin1String(kBrands[i].name), Qt::CaseSensitive))
            return i;
    return -1;
}

const BrandInfo &BrandAt(int index) { return kBrands[index]; }

int WelcomeBitmapId(const QString &provide)
{
    const int brand = MatchBrand(provide);
    return brand < 0 ? IDB_WELCOME_NONE : kBrands[brand].bitmapId;
}

QString BrandStatusText(const QString &provide, const QString &language)
{
    const int b = MatchBrand(provide);
    if (b == 0)
        return QStringLiteral("Marlowe");
    if (b > 0 && language.contains(QLatin1String("EN")))
        return QString::fromLatin1(kBrands[b].name);
    if (b > 0 && language.contains(QLatin1String("ZH")))
        return QString::fromUtf8(kBrands[b].chineseName);
    return {};
}

CVantorApp *AfxGetApp() { return g_theApp; }

CVantorApp::CVantorApp(const Options &options)
    : m_ui(options.ui),
      m_files(vantor::LocateProgramFiles(options.programDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                                                      : options.programDir)),
      m_lockPath(options.lockPath)
{
    if (!m_ui) {
        m_ownUi = std::make_unique<vantor::QtUiServices>();
        m_ui = m_ownUi.get();
    }
    if (!options.logDir.isEmpty())
        m_files.logDir = options.logDir;
    if (m_lockPath.isEmpty()) {
        QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (runtime.isEmpty())
            runtime = QDir::tempPath();
        m_lockPath = QDir(runtime).filePath(QStringLiteral("Vantor.lock"));
    }
    m_link = std::make_unique<vantor::LinkGate>(*m_ui, options.gateMode);
    m_context.ui = m_ui;
    m_context.link = m_link.get();
    m_context.programDir = m_files.shareDir;
    m_context.logDir = m_files.logDir;
    vantor::InstallContext(&m_context);
    g_theApp = this;
}

CMainFrame *CVantorApp::mainFrame() const { return static_cast<CMainFrame *>(m_frame.data()); }

CVantorApp::~CVantorApp()
{
    delete m_frame.data();
    if (g_theApp == this) {
        g_theApp = nullptr;
        vantor::InstallContext(nullptr);
    }
}

bool CVantorApp::AcquireInstance()
{
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    DebugLog(QStringLiteral("已有该软件的实例打开，不支持重复打开该软件。启动软件失败！"), kFatal);
    m_lock.reset();
    return false;
}

void CVantorApp::ReadStartupFile()
{
    const vantor::StartupFile ini(m_files);
    m_strProvide = ini.value(QStringLiteral("Set"), QStringLiteral("Provide"), QStringLiteral("Tressel"), 256);
    m_strModel = ini.value(QStringLiteral("Set"), QStringLiteral("Model"), QStringLiteral("CA"), 256);
    m_strLanguage = ini.value(QStringLiteral("Set"), QStringLiteral("Language"), QStringLiteral("EN"), 256);
    m_context.language = m_strLanguage;
    // Qt's own texts (message box buttons, file dialogs) follow the messages.
    if (m_qtTexts) {
        QCoreApplication::removeTranslator(m_qtTexts.get());
        m_qtTexts.reset();
    }
    if (IsChineseUi() && QCoreApplication::instance()) {
        auto texts = std::make_unique<QTranslator>();
        if (texts->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(texts.get());
            m_qtTexts = std::move(texts);
        }
    }
    const QString file =
        m_strLanguage.contains(QLatin1String("ZH")) ? QStringLiteral("zh.ini") : QStringLiteral("en.ini");
    g_strLanguageFile = QDir(m_files.shareDir).filePath(QStringLiteral("language/") + file);
}

CMainFrame *CVantorApp::CreateMainFrame()
{
    auto *frame = new CMainFrame();
    if (!frame->Create()) {
        delete frame;
        return nullptr;
    }
    m_frame = frame;
    return frame;
}

CVantorApp::Start CVantorApp::InitInstance()
{
    if (!AcquireInstance())
        return Start::SecondInstance;
    ReadStartupFile();
    CMainFrame *frame = CreateMainFrame();
    if (!frame)
        return Start::Failed;
    // The main window's icon, and every dialog's.
    QApplication::setWindowIcon(vantor::AppIcon());
    frame->ShowAtStart();
    return Start::Ok;
}

void CVantorApp::OnAppAbout()
{
    CAboutDlg dialog(mainFrame());
    ui().runDialog(&dialog);
}
