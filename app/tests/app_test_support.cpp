#include "app_test_support.h"

#include <tavlink_testing.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <cstdlib>

namespace {

// Per-user settings of this test program only: the test programs run in
// parallel and must not share one settings file. Set before anything reads
// the settings location.
struct PrivateConfigHome {
    QByteArray path;
    PrivateConfigHome()
    {
        QByteArray templ = QDir::tempPath().toLocal8Bit() + "/vantor-test-config.XXXXXX";
        if (char *made = mkdtemp(templ.data())) {
            path = made;
            qputenv("XDG_CONFIG_HOME", path);
        }
    }
    ~PrivateConfigHome()
    {
        if (!path.isEmpty())
            QDir(QString::fromLocal8Bit(path)).removeRecursively();
    }
} g_configHome;

}  // namespace

namespace apptest {

std::vector<unsigned> &LinkSleeps()
{
    static std::vector<unsigned> sleeps;
    return sleeps;
}

static void RecordSleep(unsigned ms) { LinkSleeps().push_back(ms); }

void InstallLinkSleepRecorder() { TavlinkSetSleep(&RecordSleep); }

void ClearUserSettings()
{
    QSettings settings(QStringLiteral("Marlowe Vantor Application"), QStringLiteral("Vantor"));
    settings.clear();
    settings.sync();
}

void WriteUserSettings(const QString &interval, int operateCheck, const QString &initPath, bool withInterval)
{
    QSettings settings(QStringLiteral("Marlowe Vantor Application"), QStringLiteral("Vantor"));
    settings.beginGroup(QStringLiteral("Settings"));
    if (withInterval)
        settings.setValue(QStringLiteral("Interval time"), interval);
    settings.setValue(QStringLiteral("Operate File check"), operateCheck);
    if (!initPath.isNull())
        settings.setValue(QStringLiteral("FileInit Path"), initPath);
    settings.endGroup();
    settings.sync();
}

AppEnv::AppEnv(const QString &setIni, bool withLanguageFiles, vantor::LinkGate::Mode gateMode)
{
    ResetAllGlobals();
    if (!setIni.isNull())
        writeFile(QStringLiteral("set.ini"), setIni.toUtf8());
    if (withLanguageFiles) {
        QDir().mkpath(path(QStringLiteral("language")));
        for (const char *name : {"en.ini", "zh.ini"})
            QFile::copy(QStringLiteral(VANTOR_LANGUAGE_SOURCE_DIR "/") + QLatin1String(name),
                        path(QStringLiteral("language/") + QLatin1String(name)));
    }
    CVantorApp::Options options;
    options.ui = &ui;
    options.gateMode = gateMode;
    options.programDir = dir.path();
    options.logDir = dir.path();
    options.lockPath = path(QStringLiteral("Vantor.lock"));
    app = std::make_unique<CVantorApp>(options);
}

AppEnv::~AppEnv()
{
    app.reset();
    ResetAllGlobals();
}

CMainFrame *AppEnv::CreateFrame()
{
    app->ReadStartupFile();
    frame = app->CreateMainFrame();
    if (frame)
        frame->ShowAtStart();
    return frame;
}

bool ConnectFrame(AppEnv &env)
{
    if (!env.CreateFrame())
        return false;
    env.frame->OnConnect();
    env.ui.clear();
    LinkSleeps().clear();
    return g_bDsoBound != 0;
}

QString AppEnv::path(const QString &name) const { return QDir(dir.path()).filePath(name); }

QByteArray AppEnv::readFile(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void AppEnv::writeFile(const QString &name, const QByteArray &bytes) const
{
    QFile file(path(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QStringList AppEnv::messageTexts() const
{
    QStringList texts;
    for (const auto &m : ui.messages)
        texts << m.text;
    return texts;
}

}  // namespace apptest
