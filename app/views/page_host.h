// What the view pages need of the main frame, and how they find each other.
// The shell implements the host; the pages never include the shell.
#pragma once

#include <QString>

class QWidget;
class CViewWaveGraphDlg;
class CWaveUIBmpDlg;
class CViewWavedataDlg;
class CViewWaveparamDlg;

// The four pages of the right pane, once it has made them.
struct ViewPages {
    CViewWaveGraphDlg *graph = nullptr;
    CWaveUIBmpDlg *bitmap = nullptr;
    CViewWavedataDlg *data = nullptr;
    CViewWaveparamDlg *measure = nullptr;
};

class CPageHost {
public:
    virtual ~CPageHost() = default;

    // Status pane 0 and the operation log.
    virtual void LogOperation(const QString &text) = 0;
    virtual void RunProgress(int mode, int step, int fifth) = 0;
    // Repaints the link and bind lamps.
    virtual void RefreshLinkLamp() = 0;
    // The link lamp's own state (the frame's m_bLinkKnown).
    virtual bool LinkKnown() const = 0;
    // Tab of the right pane, without notification; false when it cannot be selected.
    virtual bool SelectTab(int tab) = 0;
    // The shared file dialogs (types 1..5): 1 with the path in
    // g_szOpenFilePath / g_szSaveFilePath, 0 when cancelled.
    virtual int OpenFileDialogFor(int type) = 0;
    virtual int SaveFileDialogFor(int type) = 0;
    // Enables the output buttons of every page that now holds data.
    virtual void UpdatePageButtons() = 0;
    virtual void StartRefreshTimer() = 0;
    virtual void StopRefreshTimer() = 0;
    // The window that owns the pages' message boxes.
    virtual QWidget *ownerWindow() = 0;
    virtual const ViewPages &pages() const = 0;
};

namespace views {

// The installed host, or null (before the frame exists and after it went).
CPageHost *Host();
void SetHost(CPageHost *host);

// Shortcuts for the host's calls that do nothing without a host.
void LogText(const QString &text);
void Log(const char *english, const char *chinese);
void Progress(int mode, int step, int fifth);
void RefreshLamps();
ViewPages Pages();

}  // namespace views
