#include "link_trace.h"

#include "debug_log.h"

#include <tavlink_diag.h>

#include <QCoreApplication>
#include <QThread>

namespace {

std::function<void()> &ClosedHandler()
{
    static std::function<void()> handler;
    return handler;
}

QString CommandText(const TavlinkTraceEvent &e)
{
    QString text = QStringLiteral("0x%1").arg(e.command, 2, 16, QLatin1Char('0'));
    if (e.readKind >= 0)
        text += QStringLiteral("/%1").arg(e.readKind);
    return text;
}

QString LineFor(const TavlinkTraceEvent &e)
{
    const QString cause = QString::fromLatin1(TavlinkCauseText(e.cause));
    if (e.cause == TAVLINK_CAUSE_RECORD_CUT)
        return QStringLiteral("波形记录声明 %1 点，超出本机型的 %2 点，已截断（命令 %3）")
            .arg(e.value)
            .arg(e.limit)
            .arg(CommandText(e));
    if (e.notice)
        return QStringLiteral("通信提示（命令 %1）：%2").arg(CommandText(e), cause);
    return QStringLiteral("通信失败（命令 %1）：%2").arg(CommandText(e), cause);
}

void OnTrace(void *, const TavlinkTraceEvent *event)
{
    const QString line = LineFor(*event);
    const int level = event->notice ? kNormal : kWarning;
    const bool closed = !event->notice && event->cause == TAVLINK_CAUSE_CLOSED;
    auto onUi = [line, level, closed] {
        DebugLog(line, level);
        if (closed && ClosedHandler())
            ClosedHandler()();
    };
    QCoreApplication *app = QCoreApplication::instance();
    // The hook runs on the link thread: the log and the handler are the UI thread's.
    if (!app || QThread::currentThread() == app->thread())
        onUi();
    else
        QMetaObject::invokeMethod(app, onUi, Qt::QueuedConnection);
}

}  // namespace

void vantor::InstallLinkTrace() { TavlinkSetTrace(&OnTrace, nullptr); }

void vantor::RemoveLinkTrace() { TavlinkSetTrace(nullptr, nullptr); }

void vantor::SetLinkClosedHandler(std::function<void()> handler) { ClosedHandler() = std::move(handler); }
