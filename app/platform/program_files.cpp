#include "program_files.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vantor {

namespace {

bool FolderWritable(const QString &dir)
{
    const QFileInfo info(dir);
    return info.isDir() && info.isWritable();
}

// $XDG_CONFIG_HOME or $XDG_DATA_HOME, then the settings' names.
QString UserFolder(QStandardPaths::StandardLocation base)
{
    return QDir(QStandardPaths::writableLocation(base))
        .filePath(QLatin1String(kOrganisation) + QLatin1Char('/') + QLatin1String(kApplication));
}

QString UserLogDir()
{
    const QString dir = UserFolder(QStandardPaths::GenericDataLocation);
    QDir().mkpath(dir);
    return dir;
}

}  // namespace

ProgramFiles LocateProgramFiles(const QString &programDir)
{
    const QDir beside(programDir);
    const QString installed = QDir::cleanPath(beside.filePath(QStringLiteral("../share/vantor")));
    ProgramFiles files;
    if (beside.exists(QStringLiteral("set.ini")) || beside.exists(QStringLiteral("language")) ||
        !QFileInfo(installed).isDir()) {
        files.shareDir = programDir;
        files.logDir = FolderWritable(programDir) ? programDir : UserLogDir();
        files.startDir = programDir;
        return files;
    }
    files.shareDir = installed;
    files.userIni = QDir(UserFolder(QStandardPaths::GenericConfigLocation)).filePath(QStringLiteral("set.ini"));
    files.logDir = UserLogDir();
    files.startDir = QDir::homePath();
    return files;
}

StartupFile::StartupFile(const ProgramFiles &files)
    : m_shipped(QDir(files.shareDir).filePath(QStringLiteral("set.ini"))),
      m_user(files.userIni.isEmpty() ? IniFile(QByteArray(), true) : IniFile(files.userIni))
{
}

QString StartupFile::value(const QString &section, const QString &key, const QString &defaultValue,
                           int bufferSize) const
{
    return m_user.value(section, key, m_shipped.value(section, key, defaultValue, bufferSize), bufferSize);
}

}  // namespace vantor
