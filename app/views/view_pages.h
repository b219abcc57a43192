// The four view pages of the right pane and the virtual front panel, as far
// as the shell drives them: the controls it enables, shows or hides and the
// calls it makes. Their own work (graph, tables, files, bitmap) lives with
// each page.
#pragma once

#include <QDialog>
#include <QWidget>

class QPushButton;
class QCheckBox;

class CViewPage : public QWidget {
    Q_OBJECT
public:
    CViewPage(QWidget *parent, int dialogId, const QString &name);
    QPushButton *button(int id) const;
    QCheckBox *check(int id) const;

protected:
    QPushButton *AddButton(class QLayout *layout, int id, const QString &text, bool enabled = true);
    QCheckBox *AddCheck(class QLayout *layout, int id, const QString &text);
    void Localise();
    int m_nDialogId;
};

class CViewWaveGraphDlg : public CViewPage {
    Q_OBJECT
public:
    explicit CViewWaveGraphDlg(QWidget *parent);
    void RefreshWaveGraph();
    void LoadWaveGraphFile(const QString &path);
    void ShowChannel34(bool show);
    void SetModeButtons(bool autoEnabled, bool manuEnabled);
    void EnableOutputButtons();
    void OnAuto();
    void OnManu();
    int refreshCount() const { return m_nRefreshes; }

private:
    int m_nRefreshes = 0;
};

class CWaveUIBmpDlg : public CViewPage {
    Q_OBJECT
public:
    explicit CWaveUIBmpDlg(QWidget *parent);
    bool LoadBitmapFile(const QString &path, bool setTitle);
    void EnableRename(bool enable);
};

class CViewWavedataDlg : public CViewPage {
    Q_OBJECT
public:
    explicit CViewWavedataDlg(QWidget *parent);
    // false when the file cannot be opened.
    bool LoadWaveDataFile(const QString &path);
    void RefillChannelColumns();
    void EnableOutputButtons();
};

class CViewWaveparamDlg : public CViewPage {
    Q_OBJECT
public:
    explicit CViewWaveparamDlg(QWidget *parent);
    void LoadMeasurementFile(const QString &path);
    void RefreshPassFailColumns();
    void EnableOutputButtons();
};

class CVirtualPanelDlg : public QDialog {
    Q_OBJECT
public:
    explicit CVirtualPanelDlg(QWidget *parent);
    void RefreshPanel();
    int refreshCount() const { return m_nRefreshes; }

private:
    int m_nRefreshes = 0;
};
