// The wave data printout in the real frame, with seven full columns: the
// preview's rendering of one page of 40 rows (its bitmap at the screen's
// resolution, as the view paints it) and the PDF of a 4000-row printout,
// 101 pages at the printer's high resolution, written and renamed.
#include "platform/control_ids.h"
#include "print/preview.h"
#include "shell/panes.h"
#include "tests/app_test_support.h"
#include "views/page_tables.h"
#include "views/view_pages.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTableView>

namespace {

apptest::AppEnv *g_env = nullptr;
CViewWavedataDlg *Data() { return g_env->frame->rightWnd()->dataPage(); }

PrintRequest WaveDataRequest(int rows)
{
    PrintRequest request;
    request.nFirstItem = 1;
    request.nItemCount = rows;
    request.hOwner = Data();
    request.hList = Data()->view();
    return request;
}

void BM_PreviewPage40Rows(benchmark::State &state)
{
    CPreView view(nullptr);
    PrintRequest request = WaveDataRequest(4000);
    request.nPageCount = PrintPageCount(request);
    view.SetDocument(WM_PRINT_WAVE_DATA, request);
    int page = 2;  // 40 rows
    for (auto _ : state) {
        const QImage image = view.RenderPage(page);
        benchmark::DoNotOptimize(image.constBits());
        page = page == 100 ? 2 : page + 1;
    }
    state.counters["page_px"] = double(view.pageSize().width() * view.pageSize().height());
}
BENCHMARK(BM_PreviewPage40Rows)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SavePdf4000Rows(benchmark::State &state)
{
    const QString path = g_env->path(QStringLiteral("rows.pdf"));
    const PrintRequest request = WaveDataRequest(4000);
    for (auto _ : state)
        if (!SaveDocumentPdf(WM_PRINT_WAVE_DATA, request, path))
            state.SkipWithError("the PDF was not written");
    state.counters["pages"] = PrintPageCount(request);
    state.counters["pdf_kb"] = double(QFileInfo(path).size()) / 1024.0;
}
BENCHMARK(BM_SavePdf4000Rows)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication qapp(argc, argv);
    apptest::AppEnv env;
    g_env = &env;
    if (!env.CreateFrame())
        return 1;
    // Seven full columns: every cell of the printout holds a number.
    uint8_t samples[kWaveRows];
    for (int i = 0; i < kWaveRows; ++i)
        samples[i] = uint8_t(i * 37 + 11);
    for (int c = 1; c <= kWaveColumns; ++c)
        Data()->table()->setNumbers(c, samples, kWaveRows);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
