// The four view pages of the right pane and the virtual front panel, as far
// as the shell drives them: the controls it enables, shows or hides and the
// calls it makes. Their own work (graph, tables, files, bitmap) lives with
// each page.
#pragma once

#include "view_page.h"
#include "wave_data_page.h"
#include "wave_graph_page.h"

#include <QDialog>

class TextTable;

class CWaveUIBmpDlg : public CViewPage {
    Q_OBJECT
public:
    explicit CWaveUIBmpDlg(QWidget *parent);
    bool LoadBitmapFile(const QString &path, bool setTitle);
    void EnableRename(bool enable);
};

class CViewWaveparamDlg : public CViewPage {
    Q_OBJECT
public:
    explicit CViewWaveparamDlg(QWidget *parent);
    void LoadMeasurementFile(const QString &path);
    void RefreshPassFailColumns();
    void EnableOutputButtons();
    // The 32-row table the channel files read and write.
    TextTable *table() const { return m_table; }

private:
    TextTable *m_table;
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
