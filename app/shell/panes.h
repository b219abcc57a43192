// The frame's client area: a two-column splitter, the operation pane on the
// left and the tabbed right pane with the welcome picture and the pages.
#pragma once

#include <QLabel>
#include <QWidget>
#include <vector>

class QTabBar;
class CBaseOperation;
class CViewWaveGraphDlg;
class CWaveUIBmpDlg;
class CViewWavedataDlg;
class CViewWaveparamDlg;
class CSimulantUIDlg;

class CRTSplitterWnd : public QWidget {
    Q_OBJECT
public:
    explicit CRTSplitterWnd(QWidget *parent);
    void AttachPanes(QWidget *first, QWidget *second, int firstWidth);
    int firstSize() const { return m_nFirstSize; }
    QRect barRect() const { return m_rcBar; }

    QWidget *m_pFirst = nullptr;
    QWidget *m_pSecond = nullptr;
    int m_nBarWidth = 4;
    int m_nFirstSize = 0;

protected:
    void resizeEvent(QResizeEvent *) override;
    void paintEvent(QPaintEvent *) override;

private:
    void Layout();
    QRect m_rcBar;
};

// Tab headers lie under the pages; the page shown changes at the next paint
// after the selection changes.
class CRTTabCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CRTTabCtrl(QWidget *parent);
    int AddPage(const QString &title, int index, int image, QWidget *page);
    void SetCurSel(int index);
    int GetCurSel() const;
    int count() const;
    QWidget *page(int index) const;
    QString title(int index) const;
    int m_nShown = -1;

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;

private:
    QRect DisplayRect() const;
    QTabBar *m_bar;
    std::vector<QWidget *> m_pages;
};

class CLeftWnd : public QWidget {
    Q_OBJECT
public:
    explicit CLeftWnd(QWidget *parent);
    CBaseOperation *page() const { return m_pPage; }
    CRTTabCtrl *tabs() const { return m_tabs; }

protected:
    void resizeEvent(QResizeEvent *) override;

private:
    CRTTabCtrl *m_tabs;
    CBaseOperation *m_pPage = nullptr;
};

class CWelcomePicture : public QLabel {
public:
    explicit CWelcomePicture(QWidget *parent);
    int bitmapId() const;

protected:
    void paintEvent(QPaintEvent *) override;
};

// Draws the brand picture of a welcome bitmap identifier at a size.
QImage RenderWelcomeBitmap(int bitmapId, const QSize &size);

class CRightWnd : public QWidget {
    Q_OBJECT
public:
    explicit CRightWnd(QWidget *parent);
    ~CRightWnd() override;

    void SelectTab(int index);
    int CurrentTab() const;
    CRTTabCtrl *tabs() const { return m_tabs; }
    CViewWaveGraphDlg *graphPage() const { return m_pGraph; }
    CWaveUIBmpDlg *bitmapPage() const { return m_pBitmap; }
    CViewWavedataDlg *dataPage() const { return m_pData; }
    CViewWaveparamDlg *measurePage() const { return m_pMeasure; }
    CWelcomePicture *welcome() const { return m_pWelcome; }

    // Requests of the operation pane; the path is in g_szOpenFilePath.
    void OpenBitmapFile();       // 0x465
    void OpenWaveDataFile();     // 0x466
    void OpenMeasurementFile();  // 0x467
    void OpenWaveGraphFile();    // 0x468
    void UpdatePageButtons();

    CSimulantUIDlg *m_pPanel = nullptr;

protected:
    void resizeEvent(QResizeEvent *) override;

private:
    CRTTabCtrl *m_tabs;
    CWelcomePicture *m_pWelcome;
    CViewWaveGraphDlg *m_pGraph = nullptr;
    CWaveUIBmpDlg *m_pBitmap = nullptr;
    CViewWavedataDlg *m_pData = nullptr;
    CViewWaveparamDlg *m_pMeasure = nullptr;
};
