#include "page_host.h"

#include "../platform/language.h"

namespace views {

namespace {
CPageHost *g_host = nullptr;
}

CPageHost *Host() { return g_host; }

void SetHost(CPageHost *host) { g_host = host; }

void LogText(const QString &text)
{
    if (g_host)
        g_host->LogOperation(text);
}

void Log(const char *english, const char *chinese) { LogText(Tr(english, chinese)); }

void Progress(int mode, int step, int fifth)
{
    if (g_host)
        g_host->RunProgress(mode, step, fifth);
}

void RefreshLamps()
{
    if (g_host)
        g_host->RefreshLinkLamp();
}

ViewPages Pages() { return g_host ? g_host->pages() : ViewPages{}; }

}  // namespace views
