// The wave graph page: fetches the channels from the instrument, draws up to
// seven curves with the four level markers, keeps the parameter table, and
// saves or opens one curve as a .csv or .wdf file.
#pragma once

#include "page_tables.h"
#include "view_page.h"

#include "../print/print_page.h"

#include <QString>
#include <QVector>
#include <array>
#include <cstdint>
#include <memory>

class QCustomPlot;
class QCPGraph;
class QCPGraphData;
class QCPItemStraightLine;
class QCPItemText;
class QLabel;
class QScrollArea;
class QTableView;
class TextTable;
namespace vantor {
class LinkGate;
}

// The first free file column of 5, 6, 7; when none is free, column 7 with
// its state cleared.
int PickFileColumn();

// Plot colours as 0x00BBGGRR, curves 1..7.
extern const uint32_t kPlotColours[7];
// The design's vertical coordinate of a level marker.
double MarkerCoordinate(double level);

class CViewWaveGraphDlg : public CViewPage, public CPrintablePage {
    Q_OBJECT
public:
    explicit CViewWaveGraphDlg(QWidget *parent);
    ~CViewWaveGraphDlg() override;

    // False when the instrument did not answer; what is on screen stays.
    bool RefreshWaveGraph();
    void PlotWaveColumn(const uint8_t *samples, int count, int column);
    // params: the file's five texts for columns 5..7; unused for 1..4.
    void FillParamColumn(const std::array<QString, 5> *params, int column);
    void LoadWaveGraphFile(const QString &path);
    void ShowGraphColumn(int column);
    void SaveWaveGraphFile();
    void OpenWaveGraphFile();
    void CopyGraphImage();
    void PrintWaveGraph();
    // One page of the graph data printout (draw message 1130): the sample
    // pages, then the measurement rows, then the parameter table.
    int OnPrintDraw(PrintSurface &surface, PrintRequest &request) override;
    // PNG or PDF by the path's extension; false when it cannot be written.
    bool SaveGraphPicture(const QString &path);

    void ShowChannel34(bool show);
    void SetModeButtons(bool autoEnabled, bool manuEnabled);
    void EnableOutputButtons();
    void OnAuto();
    void OnManu();
    void OnShowBox(int column);
    // Back to the ranges of the last plotted curve (double-click).
    void RestoreRanges();
    // The live curves are drawn without antialiasing unless this is on;
    // copies and exported pictures are always antialiased.
    void SetLiveAntialiasing(bool on);
    bool liveAntialiasing() const { return m_bLiveAntialiased; }

    int refreshCount() const { return m_nRefreshes; }
    QCustomPlot *graph() const { return m_graph; }
    QCPGraph *plot(int column) const;
    QCPItemStraightLine *marker(int channel) const { return m_markers[size_t(channel - 1)]; }
    TextTable *params() const { return m_params; }
    QString cursorText() const;

    // The drawing that ends a refresh with at least one channel open.
    void DrawAfterRefresh();

private:
    struct RefreshWork;
    class ExportLook;
    void FetchChannels(RefreshWork &work, vantor::LinkGate &link);
    void StoreFetched(const RefreshWork &work);
    void PrepareCurve(int channel, const uint8_t *samples, int count);
    static QVector<QCPGraphData> CurvePoints(const uint8_t *samples, int count);
    static void FillCurvePoints(QVector<QCPGraphData> &points, const uint8_t *samples, int count);
    void SetCurvePoints(int column, int count, const QVector<QCPGraphData> &points);
    void SetMarker(int channel, double y);
    void ShowMarker(int channel, bool visible);
    void OnGraphMouseMove(double key, double value);
    void OfferPictureSave();

    int m_nRefreshes = 0;
    int m_nXRange = 0;
    std::array<int, 7> m_bShow{};
    std::array<int, 4> m_bMeasure{};
    int m_bGetAllData = 0;
    QCustomPlot *m_graph = nullptr;
    std::array<QCPItemStraightLine *, 4> m_markers{};
    std::array<QCPItemText *, 4> m_markerLabels{};
    QTableView *m_paramView = nullptr;
    TextTable *m_params = nullptr;
    QLabel *m_cursor = nullptr;
    QScrollArea *m_commandScroll = nullptr;
    bool m_bLiveAntialiased = false;
    std::unique_ptr<RefreshWork> m_work;
    // A channel's curve and sample texts, built while the link fetched the
    // next one.
    struct PreparedCurve {
        int count = -1;
        QVector<QCPGraphData> points;
        // What the plot was handed last: once the plot lets go of it, it is
        // the next refresh's block, already in memory.
        QVector<QCPGraphData> shown;
        bool hasTexts = false;
        WaveDataTable::Column texts;
    };
    std::array<PreparedCurve, 4> m_prepared;
};
