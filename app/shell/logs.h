// The operation log: batched in ten slots, switchable from the menu.
#pragma once

#include "../platform/debug_log.h"

#include <QString>

QString OperateLogPath();

// Operation log steps; each returns false when the file could not be opened
// so that the frame can tell the user.
namespace operate_log {
// Frame creation with the log on.
void Start();
// LogOperation after the status pane: false when a full batch could not be
// written.
bool Add(const QString &text);
// Command 32825: flips g_bSaveOperateFile, returns the new state (8 or 0).
// Switching on with ten lines pending flushes them; flushFailed then tells
// that the file could not be opened, for the frame to say so.
int Toggle(bool *flushFailed = nullptr);
// Exit guard: false when pending lines could not be written.
bool FlushAtExit();
}  // namespace operate_log
