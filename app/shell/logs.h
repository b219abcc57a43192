// The operation log (batched, switchable) and the debug log (always on).
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

enum DebugLevel { kNormal = 0, kWarning = 1, kError = 2, kFatal = 3 };

// "%04d%02d%02d-%02d时%02d分%02d秒%03d毫秒——" in GBK, or the plain form.
QByteArray LogTimeStamp(const QDateTime &when, bool plain = false);
QByteArray LevelTag(int level);

void DebugLog(const QString &text, int level);

QString OperateLogPath();
QString DebugLogPath();

// Operation log steps; each returns false when the file could not be opened
// so that the frame can tell the user.
namespace operate_log {
// Frame creation with the log on.
void Start();
// LogOperation after the status pane: false when a full batch could not be
// written.
bool Add(const QString &text);
// Command 32825: flips g_bSaveOperateFile, returns the new state (8 or 0).
int Toggle();
// Exit guard: false when pending lines could not be written.
bool FlushAtExit();
}  // namespace operate_log
