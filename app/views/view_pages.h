// The pages of the right pane; the measurement page as far as the shell
// drives it today: the controls it enables and the calls it makes.
#pragma once

#include "bitmap_page.h"
#include "view_page.h"
#include "wave_data_page.h"
#include "wave_graph_page.h"

class TextTable;

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
