#include "logs.h"

#include "../platform/debug_log.h"
#include "../platform/gbk.h"
#include "../platform/globals.h"

#include <QDir>
#include <QFile>

namespace {

QByteArray Stamped(const QString &text, bool plain = false)
{
    return vantor::CutGbk(LogTimeStamp(LogClock(), plain) + vantor::ToGbk(text), kPathBytes - 1);
}

bool AppendLines(const QByteArray *lines, int count, const QByteArray *extra)
{
    QFile file(OperateLogPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    for (int i = 0; i < count; ++i)
        file.write(lines[i] + "\r\n");
    if (extra)
        file.write(*extra + "\r\n");
    return true;
}

void ClearSlots()
{
    for (auto &line : g_OperateLines)
        line.clear();
    g_nOperateLineCount = 0;
}

void EnsureOperateFile()
{
    QFile file(OperateLogPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        DebugLog(QStringLiteral("打开操作记录文件失败"), kWarning);
}

}  // namespace

QString OperateLogPath()
{
    if (g_szOperateFilePath.isEmpty())
        g_szOperateFilePath = QDir(LogFolder()).filePath(QStringLiteral("Operate File.txt"));
    return g_szOperateFilePath;
}

namespace operate_log {

void Start()
{
    g_OperateLines[0] = Stamped(QStringLiteral("Welcome use Vantor 3.0"));
    g_nOperateLineCount = 1;
    OperateLogPath();
    EnsureOperateFile();
}

bool Add(const QString &text)
{
    if (g_bSaveOperateFile == 0)
        return true;
    if (g_nOperateLineCount < kOperateSlots) {
        g_OperateLines[g_nOperateLineCount++] = Stamped(text);
        return true;
    }
    const QByteArray line = Stamped(text);
    if (!AppendLines(g_OperateLines, kOperateSlots, &line)) {
        DebugLog(QStringLiteral("打开操作记录文件失败"), kWarning);
        return false;
    }
    ClearSlots();
    return true;
}

int Toggle(bool *flushFailed)
{
    if (flushFailed)
        *flushFailed = false;
    g_bSaveOperateFile = g_bSaveOperateFile ? 0 : 8;
    const QString offText = QStringLiteral("Not save Operate File");
    if (g_bSaveOperateFile) {
        if (g_nOperateLineCount == 0 && g_szOperateFilePath.isEmpty()) {
            OperateLogPath();
            EnsureOperateFile();
        }
        if (g_nOperateLineCount >= kOperateSlots) {
            if (AppendLines(g_OperateLines, kOperateSlots, nullptr)) {
                ClearSlots();
            } else {
                DebugLog(QStringLiteral("打开操作记录文件失败"), kWarning);
                if (flushFailed)
                    *flushFailed = true;
            }
        } else {
            g_OperateLines[g_nOperateLineCount++] = Stamped(QStringLiteral("Select save Operate File"));
        }
        return g_bSaveOperateFile;
    }

    const bool full = g_nOperateLineCount >= kOperateSlots;
    if (!full)
        g_OperateLines[g_nOperateLineCount++] = Stamped(offText);
    const QByteArray plainLine = Stamped(offText, true);
    if (!AppendLines(g_OperateLines, g_nOperateLineCount, full ? &plainLine : nullptr)) {
        DebugLog(QStringLiteral("打开操作记录文件失败"), kWarning);
        return g_bSaveOperateFile;
    }
    ClearSlots();
    return g_bSaveOperateFile;
}

bool FlushAtExit()
{
    if (g_nOperateLineCount == 0)
        return true;
    if (!AppendLines(g_OperateLines, g_nOperateLineCount, nullptr)) {
        DebugLog(QStringLiteral("打开操作记录文件失败"), kWarning);
        return false;
    }
    ClearSlots();
    return true;
}

}  // namespace operate_log
