// The one top-level window: menu, tool bar, status bar with its progress
// bar, the two lamps, the splitter with both panes, the link settings and
// the connection commands, and the refresh timer.
#pragma once

#include "../views/page_host.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <ferrule.h>
#include <map>

class QLabel;
class QProgressBar;
class QToolBar;
class QAction;
class QMenu;
class CRTSplitterWnd;
class CLeftWnd;
class CRightWnd;
class CLinkLamps;

namespace vantor {
class LinkGate;
class UiServices;
enum class MsgIcon;
}  // namespace vantor

class CMainFrame : public QMainWindow, public CPageHost {
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;

    bool Create();
    void ShowAtStart();

    // Shared with the panes and pages
    void LogOperation(const QString &text) override;
    void RunProgress(int mode, int step, int fifth) override;
    void RefreshLinkLamp() override;
    bool LinkKnown() const override { return m_bLinkKnown != 0; }
    bool SelectTab(int tab) override;
    int OpenFileDialogFor(int type) override;
    int SaveFileDialogFor(int type) override;
    void UpdatePageButtons() override;
    void StartRefreshTimer() override;
    void StopRefreshTimer() override;
    QWidget *ownerWindow() override { return this; }
    const ViewPages &pages() const override { return m_pages; }
    void ApplyRefreshRate(int code);

    // Commands
    void OnConnect();
    void OnDisconnect();
    void OnConnectSetting();
    void OnTestConnection();
    void OnRefreshTick();
    void OnShowPanel();
    void OnExit();
    void OnToggleToolBar();
    void OnToggleStatusBar();
    void OnToggleLeftPane();
    void OnToggleAntialias();
    void OnRefreshRate(int code);
    void OnCustomRate();
    void OnFileDestination();
    void OnOperateFile();
    void OnDefaultSetting();
    // A device-change notice, on the UI thread (copied header).
    void OnDeviceChange(uint32_t event, const FerruleDeviceBroadcast &header);

    void LoadSettings();
    void SaveSettings();

    QAction *action(int id) const;
    QString paneText(int pane) const;
    QMenu *topMenu(int index) const;
    CLeftWnd *leftWnd() const { return m_wndLeft; }
    CRightWnd *rightWnd() const { return m_wndRight; }
    CRTSplitterWnd *splitter() const { return m_wndSplitter; }
    QToolBar *toolBar() const { return m_wndToolBar; }
    QProgressBar *progressBar() const { return m_wndProgress; }
    QTimer &refreshTimer() { return m_timer; }
    // Auto refresh waits for the instrument to come back.
    bool autoPaused() const { return m_bAutoPaused; }
    QTimer &probeTimer() { return m_probe; }
    bool linkLampGreen() const;
    bool bindLampGreen() const;
    FerruleNotifyTarget *notifyTarget() { return &m_notify; }

    // Link state
    uint8_t m_bLinkKnown = 0;
    uint8_t m_bUsbMode = 1;
    uint8_t m_bPortMode = 0;
    uint8_t m_bUsbPresent = 0;
    int m_nLinkType = 1;
    int m_nComIndex = 0;
    int m_nBaudIndex = 3;
    int m_nComPort = 1;
    int m_nBaudRate = 9600;
    QString m_strIpAddress;
    int m_nIpPort = 8001;
    int m_nLinkRadio = 0;
    QString m_strProduct;
    int m_cxScreen = 0;
    int m_cyScreen = 0;
    int m_nToolBarState = 0;
    int m_nStatusBarState = 0;
    int m_nLeftPaneState = 8;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildMenu();
    void BuildToolBar();
    void BuildStatusBar();
    void LocaliseMenu();
    void EnterNotLinked();
    void RefreshTick();
    void TakeUpBinding();
    void PauseAuto();
    void ResumeAuto();
    void EndAutoPause();
    void OnProbe();
    void OnLinkClosed();
    void MarkLinkLost();
    void UpdateCommandStates();
    void SetPane(int pane, const QString &text);
    void PlaceProgress();
    void SetProgressValue(int value);
    void PlaceLamps();
    void Message(const QString &text, const QString &title, vantor::MsgIcon icon);
    void MapSerialPorts();
    bool ExitGuard();
    vantor::LinkGate &link();
    vantor::UiServices &ui();
    static void DeviceChangeThunk(void *context, uint32_t event, const FerruleDeviceBroadcast *header);

    CRTSplitterWnd *m_wndSplitter = nullptr;
    CLeftWnd *m_wndLeft = nullptr;
    CRightWnd *m_wndRight = nullptr;
    QToolBar *m_wndToolBar = nullptr;
    QLabel *m_pane[5] = {};
    QProgressBar *m_wndProgress = nullptr;
    CLinkLamps *m_lamps = nullptr;
    std::map<int, QAction *> m_actions;
    QMenu *m_menus[4] = {};
    QMenu *m_rateMenu = nullptr;
    QTimer m_timer;
    // The instrument went away under Auto refresh: the ticks stop, and a USB
    // arrival or the network probe takes the refresh up again.
    bool m_bAutoPaused = false;
    QTimer m_probe;
    int m_nProbeDelay = 0;
    bool m_tickMessageOpen = false;
    bool m_closing = false;
    FerruleNotifyTarget m_notify{};
    ViewPages m_pages;
};

CMainFrame *AfxGetMainFrame();
