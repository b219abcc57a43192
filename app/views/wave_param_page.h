// The wave measurement page: the instrument's 32 measurements of each live
// channel judged against the pass/fail limits, measurement files (.wmf) in
// the file columns, the fixed-width copy, the printout, and the trend of
// the measurements with its CSV log.
#pragma once

#include "measure_trend.h"
#include "view_page.h"

#include "../print/print_page.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QCustomPlot;
class QLabel;
class QTableView;
class TextTable;

class CViewWaveparamDlg : public CViewPage, public CPrintablePage {
    Q_OBJECT
public:
    explicit CViewWaveparamDlg(QWidget *parent);
    ~CViewWaveparamDlg() override;

    // Columns 1..4 and the verdicts from the live channels.
    void FillMeasurementPage();
    void SaveMeasurementFile();
    // 1 when loaded; 0 after the page's own message.
    int LoadMeasurementFile(const QString &path);
    void CopyMeasurement();
    QString CopyMeasurementText() const;
    void PrintMeasurement();
    void OnPassFail();
    // The printout of draw message 1131.
    int OnPrintDraw(PrintSurface &surface, PrintRequest &request) override;
    void EnableOutputButtons();

    // The end of a wave graph refresh: the blocks that came go to the trend.
    void OnMeasurementsArrived();
    // The "Log" switch: on asks for the CSV file.
    void OnLogSwitch(bool on);

    TextTable *table() const { return m_table; }
    QTableView *view() const { return m_view; }
    QString caption() const { return m_strCaption; }
    MeasureTrend &trend() { return m_trend; }
    QCustomPlot *trendPlot() const { return m_trendPlot; }
    QString trendFigures() const;

private:
    int DrawMeasurementPage(PrintSurface &surface, const PrintRequest &request);
    void SetCaption(const QString &caption);
    void ShowTrend();

    TextTable *m_table;
    QTableView *m_view;
    QLabel *m_title;
    QLabel *m_captionLabel;
    QString m_strCaption;
    QCheckBox *m_log;
    QComboBox *m_trendItem;
    QComboBox *m_trendChannel;
    QCustomPlot *m_trendPlot;
    QLabel *m_trendStats;
    MeasureTrend m_trend;
};
