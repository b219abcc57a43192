#include "debug_log.h"

#include "app_context.h"
#include "gbk.h"
#include "globals.h"
#include "ui_services.h"

#include <QDir>
#include <QFile>

QDateTime LogClock()
{
    const vantor::AppContext *context = vantor::Context();
    return context && context->ui ? context->ui->now() : QDateTime::currentDateTime();
}

QString LogFolder()
{
    const vantor::AppContext *context = vantor::Context();
    return context ? context->logDir : QDir::currentPath();
}

QByteArray LogTimeStamp(const QDateTime &when, bool plain)
{
    const QDate d = when.date();
    const QTime t = when.time();
    const QString text =
        QString::asprintf(plain ? "%04d%02d%02d-%02dH%02dM%02dS%03dms" : "%04d%02d%02d-%02d时%02d分%02d秒%03d毫秒",
                          d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec());
    return vantor::ToGbk(text) + QByteArray("\xA1\xAA\xA1\xAA");
}

QByteArray LevelTag(int level)
{
    static const char *const tags[4] = {"NORMAL :", "WARNING:", "ERROR  :", "FATAL  :"};
    return tags[(level >= 0 && level <= 3) ? level : 0];
}

QString DebugLogPath()
{
    if (g_szDebugLogPath.isEmpty())
        g_szDebugLogPath = QDir(LogFolder()).filePath(QStringLiteral("BlogFile.txt"));
    return g_szDebugLogPath;
}

void DebugLog(const QString &text, int level)
{
    QFile file(DebugLogPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(LogTimeStamp(LogClock()) + LevelTag(level) + vantor::ToGbk(text) + "\r\n");
}
