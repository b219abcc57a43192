// The debug log (always on) and the time stamp both logs share. Lines are
// written in GBK, as the logs have always been.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

enum DebugLevel { kNormal = 0, kWarning = 1, kError = 2, kFatal = 3 };

// "%04d%02d%02d-%02d时%02d分%02d秒%03d毫秒——" in GBK, or the plain form.
QByteArray LogTimeStamp(const QDateTime &when, bool plain = false);
QByteArray LevelTag(int level);

void DebugLog(const QString &text, int level);
QString DebugLogPath();

// The clock and the folder the logs use (the application's, else the system's).
QDateTime LogClock();
QString LogFolder();
