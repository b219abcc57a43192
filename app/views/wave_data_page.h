// The wave data page: the samples of all seven columns as a table, its
// fixed-width copy, and the .wdf writer and reader shared with the graph page.
#pragma once

#include "view_page.h"

#include "../print/print_page.h"

#include <QString>

class QTableView;
class QLabel;
class WaveDataTable;

class CViewWavedataDlg : public CViewPage, public CPrintablePage {
    Q_OBJECT
public:
    explicit CViewWavedataDlg(QWidget *parent);

    void FillWaveDataColumn(int column, bool allRows);
    // False when the file cannot be created.
    bool WriteWaveFile(int column, int origin, const QString &path);
    // False when the file cannot be opened or is refused (refused then set);
    // a refused file changes nothing.
    bool LoadWaveDataFile(const QString &path, bool *refused = nullptr);
    QString CopyWaveDataText() const;
    void CopyWaveData();
    void SaveWaveDataFile();
    void PrintWaveData();
    // One page of the wave data printout (draw message 1129).
    int OnPrintDraw(PrintSurface &surface, PrintRequest &request) override;
    void OnEdit();
    // Going to the page: the live columns 1, 3, 2, 4 from their buffers.
    void RefillChannelColumns();
    void EnableOutputButtons();

    WaveDataTable *table() const { return m_table; }
    QTableView *view() const { return m_view; }

private:
    WaveDataTable *m_table;
    QTableView *m_view;
    QLabel *m_title;
};
