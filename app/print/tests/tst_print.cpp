// The print preview and the two table printouts, offscreen against the
// recording desktop: page counts, the paging buttons after every command,
// the go-to clamp, the wheel, the print question, a desktop without printer,
// fitting a page to a smaller sheet, the range dialog, and the printouts'
// texts on the right pages of the saved PDF. No printer of the machine is
// ever reached: CUPS_SERVER points at a socket that does not exist.
#include "platform/control_ids.h"
#include "platform/gbk.h"
#include "print/print_dialogs.h"
#include "print/print_surfaces.h"
#include "print/print_table.h"
#include "print_test_support.h"
#include "shell/panes.h"
#include "views/page_tables.h"
#include "views/view_pages.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPageLayout>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest>

using namespace apptest;
using namespace printtest;
using vantor::MsgButtons;
using vantor::MsgIcon;
using vantor::MsgResult;

namespace {

// A page that records its draw requests and draws a small table; on a
// printer, page failOn fails as a sheet that cannot start.
struct RecordingPage : CPrintablePage {
    std::vector<std::pair<int, int>> draws;  // page, to printer
    int failOn = 0;
    int OnPrintDraw(PrintSurface &surface, PrintRequest &request) override
    {
        draws.emplace_back(request.nCurrentPage, request.bToPrinter);
        if (request.bToPrinter && request.nCurrentPage == failOn) {
            surface.AbortDoc();
            return 0;
        }
        return DrawPrintoutPage(surface, request, QStringLiteral("Test"), [&](PrintTablePage &page) {
            page.Header({QString::number(request.nCurrentPage)}, true);
            page.Finish(PrintDateText(), QString());
        });
    }
    int printerDraws() const
    {
        return int(std::count_if(draws.begin(), draws.end(), [](const auto &d) { return d.second != 0; }));
    }
};

// First, previous, next, last and go-to enabled, as "FPNLG" bits.
QString ButtonStates(const CPreParent &preview)
{
    QString bits;
    for (int id : {ID_PREVIEW_FIRST, ID_PREVIEW_PREVIOUS, ID_PREVIEW_NEXT, ID_PREVIEW_LAST, ID_PREVIEW_GOTO})
        bits += preview.toolButton(id)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return bits;
}

// The footer as pdftotext reads it, without spaces (it guesses them from
// the gaps between glyphs): the recording clock's date and "page / pages".
QString Footer(int page, int pages) { return QStringLiteral("PrintDate:2026-03-05%1/%2").arg(page).arg(pages); }
QString FooterOf(const QString &pageText)
{
    for (const QString &line : pageText.split(QLatin1Char('\n')))
        if (line.contains(QLatin1String("Print Date:")))
            return QString(line).remove(QLatin1Char(' '));
    return {};
}

PrintRequest Request(int first, int rows, int extra = 0)
{
    PrintRequest request;
    request.nFirstItem = first;
    request.nItemCount = rows;
    request.nExtraPages = extra;
    return request;
}

// A printer that refuses one document step, and records the steps taken.
struct FailingPrinter : PrintSurface {
    QImage image{100, 100, QImage::Format_RGB32};
    QPainter paint{&image};
    QString refuse;  // "doc", "page" or "end"
    QStringList steps;
    QPaintDevice *device() override { return &image; }
    QPainter *painter() override { return &paint; }
    bool Step(const char *name, const char *kind)
    {
        steps << QString::fromLatin1(name);
        return refuse != QLatin1String(kind);
    }
    bool StartDoc(const QString &) override { return Step("StartDoc", "doc"); }
    bool StartPage() override { return Step("StartPage", "page"); }
    bool EndPage() override { return Step("EndPage", "sheet"); }
    bool EndDoc() override { return Step("EndDoc", "end"); }
    void AbortDoc() override { steps << QStringLiteral("AbortDoc"); }
};

}  // namespace

class TestPrint : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void pageCountsAndFirstStates_data();
    void pageCountsAndFirstStates();
    void pagingCommands_data();
    void pagingCommands();
    void wheel_data();
    void wheel();
    void printQuestionAndNoPrinter_data();
    void printQuestionAndNoPrinter();
    void fitToSheet_data();
    void fitToSheet();
    void rangeDialog_data();
    void rangeDialog();
    void dataPrintoutPages_data();
    void dataPrintoutPages();
    void graphPrintoutPages();
    void pdfSaveKeepsWhatItReplaces();
    void printerDocumentSteps_data();
    void printerDocumentSteps();
    void everyControlHasItsOwnName_data();
    void everyControlHasItsOwnName();

private:
    RecordingPage m_page;
};

void TestPrint::initTestCase()
{
    QTemporaryDir *none = new QTemporaryDir;
    qputenv("CUPS_SERVER", (none->path() + QStringLiteral("/no-cups.sock")).toLocal8Bit());
    qputenv("CUPS_SERVERROOT", none->path().toLocal8Bit());
}

void TestPrint::cleanup()
{
    SetPrintPageFinder(nullptr);
    m_page.draws.clear();
}

void TestPrint::pageCountsAndFirstStates_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("extra");
    QTest::addColumn<int>("pages");
    for (auto [rows, extra, pages] : {std::tuple{1, 0, 1},
                                      {32, 0, 1},
                                      {39, 0, 1},
                                      {40, 0, 2},
                                      {79, 0, 2},
                                      {80, 0, 3},
                                      {119, 0, 3},
                                      {120, 0, 4},
                                      {10, 2, 3}})
        QTest::addRow("%d rows + %d", rows, extra) << rows << extra << pages;
}

void TestPrint::pageCountsAndFirstStates()
{
    QFETCH(int, rows);
    QFETCH(int, extra);
    QFETCH(int, pages);
    AppEnv env;
    SetPrintPageFinder([this](int) -> CPrintablePage * { return &m_page; });
    QCOMPARE(PrintPageCount(Request(1, rows, extra)), pages);
    bool ran = false;
    ScriptPreview(env, [&](CPreParent &preview) {
        ran = true;
        QCOMPARE(preview.request().nPageCount, pages);
        QCOMPARE(preview.view()->totalPages(), pages);
        QCOMPARE(preview.view()->currentPage(), 1);
        const QString several = pages > 1 ? QStringLiteral("111") : QStringLiteral("000");
        QCOMPARE(ButtonStates(preview), QStringLiteral("00") + several);
        QVERIFY(preview.windowState() & Qt::WindowMaximized);
        preview.view()->RenderPage(1);
    });
    QCOMPARE(RunPrintPreview(nullptr, WM_PRINT_WAVE_DATA, Request(1, rows, extra)), 0);
    QVERIFY(ran);
    QCOMPARE(m_page.draws, (std::vector<std::pair<int, int>>{{1, 0}}));
    // An empty request never opens; another draw message draws nothing.
    QCOMPARE(RunPrintPreview(nullptr, WM_PRINT_WAVE_DATA, Request(1, 0)), 0);
    QCOMPARE(env.ui.dialogHandlers.size(), size_t(0));
    ScriptPreview(env, [](CPreParent &preview) { preview.view()->RenderPage(1); });
    RunPrintPreview(nullptr, 1128, Request(1, rows));
    QCOMPARE(m_page.draws.size(), size_t(1));
}

void TestPrint::pagingCommands_data()
{
    // Steps "<command>=<page>:<FPNLG>"; G<n> types n into the go-to dialog.
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("extra");
    QTest::addColumn<QString>("steps");
    QTest::newRow("three pages") << 80 << 0
                                 << "N=2:11111 N=3:11001 P=2:11111 P=1:00111 L=3:11001 F=1:00111 G2=2:11111 "
                                    "G0=1:00111 G3=3:11001 G-5=1:00111 G9=3:11001 Gx=1:00111";
    QTest::newRow("two pages") << 40 << 0 << "N=2:11001 P=1:00111 G2=2:11001 G1=1:00111 L=2:11001 F=1:00111";
    QTest::newRow("graph printout") << 10 << 2 << "N=2:11111 N=3:11001 G2=2:11111 P=1:00111 G7=3:11001";
}

void TestPrint::pagingCommands()
{
    QFETCH(int, rows);
    QFETCH(int, extra);
    QFETCH(QString, steps);
    AppEnv env;
    SetPrintPageFinder([this](int) -> CPrintablePage * { return &m_page; });
    ScriptPreview(env, [&](CPreParent &preview) {
        const std::map<QChar, int> commands = {{'N', ID_PREVIEW_NEXT},
                                               {'P', ID_PREVIEW_PREVIOUS},
                                               {'F', ID_PREVIEW_FIRST},
                                               {'L', ID_PREVIEW_LAST},
                                               {'G', ID_PREVIEW_GOTO}};
        for (const QString &step : steps.split(QLatin1Char(' '))) {
            const QString command = step.section(QLatin1Char('='), 0, 0);
            const int page = step.section(QLatin1Char('='), 1).section(QLatin1Char(':'), 0, 0).toInt();
            const QString states = step.section(QLatin1Char(':'), 1);
            if (command[0] == QLatin1Char('G'))
                env.ui.dialogHandlers.push_back([&preview, typed = command.mid(1)](QDialog *d) {
                    auto *go = static_cast<CPreGotoDlg *>(d);
                    // Opened on the page shown, bounded by the page count.
                    if (go->edit()->text() != QString::number(preview.currentPage()) ||
                        go->m_nMaxPage != preview.request().nPageCount)
                        return int(QDialog::Rejected);
                    go->edit()->setText(typed);
                    return go->OnOK() ? int(QDialog::Accepted) : int(QDialog::Rejected);
                });
            preview.toolButton(commands.at(command[0]))->click();
            QVERIFY2(env.ui.dialogHandlers.empty(), qPrintable(step));
            QCOMPARE(preview.currentPage(), page);
            QCOMPARE(preview.view()->currentPage(), page);
            QVERIFY2(ButtonStates(preview) == states,
                     qPrintable(step + QStringLiteral(" gave ") + ButtonStates(preview)));
        }
    });
    RunPrintPreview(nullptr, WM_PRINT_WAVE_DATA, Request(1, rows, extra));
    QVERIFY(env.ui.messages.empty());
}

void TestPrint::wheel_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<QList<int>>("deltas");
    QTest::addColumn<int>("position");
    // From position 300; a line is 15 pixels, a step 120 / lines of delta.
    QTest::newRow("no lines: no scroll") << 0 << QList<int>{-120, -120, 120} << 300;
    QTest::newRow("3 lines down") << 3 << QList<int>{-120} << 345;
    QTest::newRow("3 lines up, then one step") << 3 << QList<int>{120, 40} << 240;
    QTest::newRow("half steps add up") << 1 << QList<int>{-60, -60} << 315;
    QTest::newRow("small deltas add up") << 3 << QList<int>{-20, -20, -20} << 315;
}

void TestPrint::wheel()
{
    QFETCH(int, lines);
    QFETCH(QList<int>, deltas);
    QFETCH(int, position);
    AppEnv env;
    SetPrintPageFinder([this](int) -> CPrintablePage * { return &m_page; });
    ScriptPreview(env, [&](CPreParent &preview) {
        preview.resize(800, 600);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        // Qt reads a setting of 0 as "the platform's default": set the
        // view's copy, as the desktop would hand it over.
        preview.view()->SetWheelScrollLines(lines);
        QScrollBar *bar = preview.view()->verticalScrollBar();
        QVERIFY(bar->maximum() > 400);
        QCOMPARE(bar->singleStep(), 15);
        QCOMPARE(bar->pageStep(), preview.view()->viewport()->height());
        bar->setValue(300);
        QWidget *viewport = preview.view()->viewport();
        const QPointF at(viewport->width() / 2, viewport->height() / 2);
        for (int delta : deltas) {
            QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(viewport, &event);
        }
        QCOMPARE(bar->value(), position);
        QCOMPARE(preview.view()->scrollOrigin().y(), position);
        // A new size starts the view at its origin again.
        preview.view()->resize(preview.view()->size() - QSize(50, 50));
        QCOMPARE(preview.view()->scrollOrigin(), QPoint(0, 0));
    });
    RunPrintPreview(nullptr, WM_PRINT_WAVE_DATA, Request(1, 80));
}

void TestPrint::printQuestionAndNoPrinter_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("yes");
    QTest::newRow("print, No") << ID_PREVIEW_PRINT << false;
    QTest::newRow("print, Yes, no printer") << ID_PREVIEW_PRINT << true;
    QTest::newRow("print all, No") << ID_PREVIEW_PRINT_ALL << false;
    QTest::newRow("print all, Yes, no printer") << ID_PREVIEW_PRINT_ALL << true;
}

void TestPrint::printQuestionAndNoPrinter()
{
    QFETCH(int, command);
    QFETCH(bool, yes);
    AppEnv env;
    SetPrintPageFinder([this](int) -> CPrintablePage * { return &m_page; });
    env.ui.messageAnswers = {yes ? MsgResult::Yes : MsgResult::No};
    ScriptPreview(env, [&](CPreParent &preview) {
        preview.toolButton(ID_PREVIEW_NEXT)->click();
        preview.toolButton(command)->click();
        QCOMPARE(preview.currentPage(), 2);
    });
    RunPrintPreview(nullptr, WM_PRINT_WAVE_DATA, Request(1, 80));
    QVERIFY(!env.ui.messages.empty());
    const auto &question = env.ui.messages.front();
    QCOMPARE(question.title, QStringLiteral("Print Info"));
    QCOMPARE(question.text, QStringLiteral("Are you sure to printing current date?"));
    QCOMPARE(question.icon, MsgIcon::Question);
    QCOMPARE(question.buttons, MsgButtons::YesNoDefaultNo);
    QCOMPARE(m_page.printerDraws(), 0);
    const QString log = vantor::FromGbk(env.readFile(QStringLiteral("BlogFile.txt")));
    QCOMPARE(log.contains(QStringLiteral("WARNING:打印机初始化失败")), yes);
    if (!yes) {
        QCOMPARE(env.ui.messages.size(), size_t(1));
        return;
    }
    QCOMPARE(env.ui.messages.size(), size_t(2));
    QCOMPARE(env.ui.messages[1].title, QStringLiteral("错误"));
    QCOMPARE(env.ui.messages[1].text, QStringLiteral("Initialize the printer failed!"));
    QCOMPARE(env.ui.messages[1].icon, MsgIcon::Stop);
}

void TestPrint::fitToSheet_data()
{
    QTest::addColumn<QPageSize>("paper");
    QTest::addColumn<double>("margin");
    QTest::addColumn<double>("scale");
    const QPageSize own(QSizeF(223, 315), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    QTest::newRow("A4, 10 mm margins") << QPageSize(QPageSize::A4) << 10.0 << 190.0 / 223.0;
    QTest::newRow("Letter, no margins") << QPageSize(QPageSize::Letter) << 0.0 << 279.4 / 315.0;
    QTest::newRow("the page's own size") << own << 0.0 << 1.0;
    QTest::newRow("A3 is not enlarged") << QPageSize(QPageSize::A3) << 5.0 << 1.0;
}

void TestPrint::fitToSheet()
{
    QFETCH(QPageSize, paper);
    QFETCH(double, margin);
    QFETCH(double, scale);
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("fit.pdf")));
    printer.setPageLayout(
        QPageLayout(paper, QPageLayout::Portrait, QMarginsF(margin, margin, margin, margin), QPageLayout::Millimeter));
    PrinterSurface surface(printer);
    QVERIFY(surface.StartDoc(QStringLiteral("fit")));
    QVERIFY(surface.StartPage());
    const QTransform fit = surface.pageTransform();
    QVERIFY2(qAbs(fit.m11() - scale) < 1e-3 && qAbs(fit.m22() - scale) < 1e-3, qPrintable(QString::number(fit.m11())));
    QCOMPARE(surface.painter()->worldTransform(), fit);
    // The whole page lands inside the printable area, centred when scaled.
    const QRectF page = fit.mapRect(QRectF(QPointF(0, 0), PrintPageSize(printer)));
    const QRectF area(0, 0, printer.width(), printer.height());
    QVERIFY(area.adjusted(-1, -1, 1, 1).contains(page));
    if (scale < 1)
        QVERIFY(qAbs(page.center().x() - area.center().x()) < 2 && qAbs(page.center().y() - area.center().y()) < 2);
    QVERIFY(surface.EndPage());
    QVERIFY(surface.EndDoc());
}

void TestPrint::rangeDialog_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("message");
    QTest::newRow("the default") << "1"
                                 << "4000"
                                 << "";
    QTest::newRow("one row") << "7"
                             << "7"
                             << "";
    QTest::newRow("start 0") << "0"
                             << "10"
                             << "Please enter an integer between 1 and 3999.";
    QTest::newRow("start 4000") << "4000"
                                << "4000"
                                << "Please enter an integer between 1 and 3999.";
    QTest::newRow("end 1") << "1"
                           << "1"
                           << "Please enter an integer between 2 and 4000.";
    QTest::newRow("end 4001") << "1"
                              << "4001"
                              << "Please enter an integer between 2 and 4000.";
    QTest::newRow("not a number") << "abc"
                                  << "5"
                                  << "Please enter an integer.";
    QTest::newRow("end before start") << "50"
                                      << "40"
                                      << "The end item must not be less than the start item.";
}

void TestPrint::rangeDialog()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, message);
    AppEnv env;
    CSetPrntItemDlg dialog(nullptr);
    dialog.initDialog();
    QCOMPARE(dialog.startEdit()->text(), QStringLiteral("1"));
    QCOMPARE(dialog.endEdit()->text(), QStringLiteral("4000"));
    dialog.startEdit()->setText(start);
    dialog.endEdit()->setText(end);
    QCOMPARE(dialog.OnOK(), message.isEmpty());
    QCOMPARE(env.messageTexts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (message.isEmpty()) {
        QCOMPARE(dialog.m_nStartItem, start.toInt());
        QCOMPARE(dialog.m_nEndItem, end.toInt());
    }
}

void TestPrint::dataPrintoutPages_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QList<int>>("pageRows");  // first and last row of each page
    QTest::newRow("rows 1..80") << 1 << 80 << QList<int>{1, 39, 40, 79, 80, 80};
    QTest::newRow("rows 41..120") << 41 << 120 << QList<int>{41, 79, 80, 119, 120, 120};
    QTest::newRow("rows 5..43") << 5 << 43 << QList<int>{5, 43};
}

void TestPrint::dataPrintoutPages()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QList<int>, pageRows);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    LoadFileColumns(env, {100, 60, 10});
    const QString pdf = env.path(QStringLiteral("data.pdf"));
    env.ui.dialogHandlers.push_back([&](QDialog *d) {
        auto *range = static_cast<CSetPrntItemDlg *>(d);
        range->startEdit()->setText(QString::number(first));
        range->endEdit()->setText(QString::number(last));
        return range->OnOK() ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    env.ui.fileAnswers = {pdf.chopped(4)};
    ScriptPreview(env, [](CPreParent &preview) { preview.toolButton(ID_PREVIEW_SAVE_PDF)->click(); });
    env.frame->rightWnd()->dataPage()->button(IDC_DATA_PRINT)->click();
    QVERIFY2(env.ui.messages.empty(), qPrintable(env.messageTexts().join(QLatin1Char('|'))));
    QCOMPARE(env.ui.fileDialogs.back().filter, QStringLiteral("PDF file (*.pdf)|*.pdf| |"));

    const int pages = int(pageRows.size() / 2);
    const PdfInfo info = ReadPdfInfo(pdf);
    QCOMPARE(info.pages, pages);
    QVERIFY(qAbs(info.pointSize.width() - 223 * 72 / 25.4) < 0.5 &&
            qAbs(info.pointSize.height() - 315 * 72 / 25.4) < 0.5);
    for (int p = 1; p <= pages; ++p) {
        const QString text = PdfPageText(pdf, p);
        QCOMPARE(text.contains(QStringLiteral("Print the Wave Data")), p == 1);
        QCOMPARE(FooterOf(text), Footer(p, pages));
        QCOMPARE(LineStartingWith(text, QStringLiteral("#")),
                 (QStringList{"#", "CH1", "CH2", "CH3", "CH4", "Chan5", "Chan6", "Chan7"}));
        const int from = pageRows[2 * (p - 1)], to = pageRows[2 * (p - 1) + 1];
        for (int row = from - 1; row <= to + 1; ++row) {
            QStringList expected;
            if (row >= from && row <= to) {
                expected << QString::number(row);
                for (int c = 5; c <= 7; ++c)
                    if (row <= QList<int>{100, 60, 10}[c - 5])
                        expected << QString::number(Sample(c, row - 1));
            }
            QVERIFY2(LineStartingWith(text, QString::number(row)) == expected,
                     qPrintable(QStringLiteral("page %1 row %2: %3")
                                    .arg(p)
                                    .arg(row)
                                    .arg(LineStartingWith(text, QString::number(row)).join(' '))));
        }
    }
}

void TestPrint::graphPrintoutPages()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    LoadFileColumns(env, {45, 60, 50});
    CViewWaveGraphDlg *graph = env.frame->rightWnd()->graphPage();
    graph->check(IDC_GRAPH_SHOW_CHAN6)->setChecked(false);
    // Chinese prints, searchable, in the design's faces.
    graph->params()->setText(0, 7, QStringLiteral("五毫秒"));
    const QString pdf = env.path(QStringLiteral("graph.pdf"));
    env.ui.fileAnswers = {pdf};
    ScriptPreview(env, [](CPreParent &preview) {
        // 50 rows (the longest ticked curve): two sample pages, then two more.
        QCOMPARE(preview.request().nPageCount, 4);
        preview.toolButton(ID_PREVIEW_SAVE_PDF)->click();
    });
    graph->button(IDC_GRAPH_PRINT)->click();
    QVERIFY2(env.ui.messages.empty(), qPrintable(env.messageTexts().join(QLatin1Char('|'))));
    QCOMPARE(ReadPdfInfo(pdf).pages, 4);
    const QStringList header{"Item", "Name", "CH1", "CH2", "CH3", "CH4", "Chan5", "Chan6", "Chan7"};
    // Column 6 is unticked: its cells stay empty on every page.
    const auto cells = [](const QString &label, const std::function<QString(int)> &cell) {
        return QStringList{label} << cell(5) << cell(7);
    };
    for (int p = 1; p <= 4; ++p) {
        const QString text = PdfPageText(pdf, p);
        QCOMPARE(text.contains(QStringLiteral("Print the Wave Graph Data")), p == 1);
        QCOMPARE(LineStartingWith(text, QStringLiteral("Item")), header);
        QCOMPARE(FooterOf(text), Footer(p, 4));
    }
    const QString page1 = PdfPageText(pdf, 1), page2 = PdfPageText(pdf, 2);
    for (auto [text, row, present] : {std::tuple{page1, 1, true},
                                      {page1, 39, true},
                                      {page1, 40, false},
                                      {page2, 40, true},
                                      {page2, 45, true},
                                      {page2, 50, true},
                                      {page2, 51, false}}) {
        const QStringList expected =
            !present ? QStringList()
                     : QStringList{QString::number(row)}
                           << (row <= 45 ? QStringList{QString::number(Sample(5, row - 1))} : QStringList())
                           << QString::number(Sample(7, row - 1));
        QCOMPARE(LineStartingWith(text, QString::number(row)), expected);
    }
    const QString measures = PdfPageText(pdf, 3), params = PdfPageText(pdf, 4);
    for (int r = 0; r <= 10; ++r)
        QCOMPARE(LineStartingWith(measures, QString::fromLatin1(kMeasureItemNames[r])),
                 cells(QString::fromLatin1(kMeasureItemNames[r]),
                       [r](int c) { return QStringLiteral("m%1.%2").arg(c).arg(r); }));
    QVERIFY(!measures.contains(QStringLiteral("ROV")));
    QCOMPARE(LineStartingWith(params, QStringLiteral("Sec/div")), (QStringList{"Sec/div", "p5.0", "五毫秒"}));
    QCOMPARE(LineStartingWith(params, QStringLiteral("Volts/div")), (QStringList{"Volts/div", "p5.2", "p7.2"}));
}

void TestPrint::pdfSaveKeepsWhatItReplaces()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    LoadFileColumns(env, {45, 0, 0});
    const QString old = env.path(QStringLiteral("old.pdf"));
    env.writeFile(QStringLiteral("old.pdf"), "the old file");
    QVERIFY(QDir().mkpath(env.path(QStringLiteral("taken.pdf"))));
    const auto pdfs = [&] {
        return QDir(env.dir.path()).entryList({QStringLiteral("*pdf*")}, QDir::AllEntries | QDir::Hidden);
    };
    QCOMPARE(pdfs(), (QStringList{"old.pdf", "taken.pdf"}));
    env.ui.fileAnswers = {env.path(QStringLiteral("taken.pdf")), old};
    ScriptPreview(env, [](CPreParent &preview) {
        preview.toolButton(ID_PREVIEW_SAVE_PDF)->click();
        preview.toolButton(ID_PREVIEW_SAVE_PDF)->click();
    });
    env.frame->rightWnd()->graphPage()->button(IDC_GRAPH_PRINT)->click();
    // A name that cannot be replaced: a message, and nothing left behind.
    QCOMPARE(env.messageTexts(), QStringList{"Try to save the PDF file failed!"});
    QVERIFY(QFileInfo(env.path(QStringLiteral("taken.pdf"))).isDir());
    QCOMPARE(pdfs(), (QStringList{"old.pdf", "taken.pdf"}));
    const QByteArray saved = env.readFile(QStringLiteral("old.pdf"));
    QVERIFY(saved.startsWith("%PDF-"));
    QCOMPARE(ReadPdfInfo(old).pages, 4);
    // A page that fails half-way through the document: the file it would
    // have replaced stays byte for byte, and no temporary file is left.
    m_page.failOn = 2;
    SetPrintPageFinder([this](int) -> CPrintablePage * { return &m_page; });
    QVERIFY(!SaveDocumentPdf(WM_PRINT_WAVE_DATA, Request(1, 80), old));
    m_page.failOn = 0;
    QCOMPARE(m_page.draws, (std::vector<std::pair<int, int>>{{1, 1}, {2, 1}}));
    QCOMPARE(env.readFile(QStringLiteral("old.pdf")), saved);
    QCOMPARE(pdfs(), (QStringList{"old.pdf", "taken.pdf"}));
}

void TestPrint::printerDocumentSteps_data()
{
    QTest::addColumn<QString>("refuse");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("log");  // the debug log line, and the message after "|"
    QTest::newRow("printed") << ""
                             << "StartDoc StartPage EndPage EndDoc" << 1 << "";
    QTest::newRow("no document") << "doc"
                                 << "StartDoc" << 0 << "连接到打印机失败|Initialize printer failed";
    QTest::newRow("no page") << "page"
                             << "StartDoc StartPage AbortDoc" << 0 << "Print page 3 failed|Print failed!";
    QTest::newRow("not ended") << "end"
                               << "StartDoc StartPage EndPage EndDoc" << 0 << "Print page 3 failed|Print failed!";
}

void TestPrint::printerDocumentSteps()
{
    QFETCH(QString, refuse);
    QFETCH(QString, steps);
    QFETCH(int, result);
    QFETCH(QString, log);
    AppEnv env;
    FailingPrinter printer;
    printer.refuse = refuse;
    PrintRequest request = Request(1, 120);
    request.nCurrentPage = 3;
    request.bToPrinter = 1;
    bool drew = false;
    QCOMPARE(DrawPrintoutPage(printer, request, QStringLiteral("Doc"), [&](PrintTablePage &) { drew = true; }), result);
    QCOMPARE(printer.steps.join(QLatin1Char(' ')), steps);
    QCOMPARE(drew, refuse.isEmpty() || refuse == QLatin1String("end"));
    QCOMPARE(env.messageTexts().join(QString()), log.section(QLatin1Char('|'), 1));
    if (!log.isEmpty()) {
        QCOMPARE(env.ui.messages.front().icon, MsgIcon::Stop);
        QCOMPARE(env.ui.messages.front().title, QStringLiteral("Error"));
        const QString debug = vantor::FromGbk(env.readFile(QStringLiteral("BlogFile.txt")));
        QVERIFY2(debug.contains(QStringLiteral("WARNING:") + log.section(QLatin1Char('|'), 0, 0)), qPrintable(debug));
    }
}

void TestPrint::everyControlHasItsOwnName_data()
{
    QTest::addColumn<QString>("setIni");
    QTest::addColumn<QStringList>("expected");  // first page, go-to title and edit, range start edit
    QTest::newRow("English") << "" << QStringList{"First page", "Goto Page", "Page", "Start item"};
    QTest::newRow("Chinese") << "[Set]\nLanguage=ZH\n" << QStringList{"首页", "转到页", "页码", "起始行"};
}

void TestPrint::everyControlHasItsOwnName()
{
    QFETCH(QString, setIni);
    QFETCH(QStringList, expected);
    AppEnv env(setIni);
    QVERIFY(env.CreateFrame());
    CPreParent preview(nullptr);
    preview.SetRequest(WM_PRINT_WAVE_DATA, Request(1, 80));
    CPreGotoDlg go(&preview);
    CSetPrntItemDlg range(nullptr);
    for (CVantorDialog *dialog : std::initializer_list<CVantorDialog *>{&preview, &go, &range}) {
        dialog->initDialog();
        QStringList names;
        for (QWidget *w : dialog->findChildren<QWidget *>()) {
            // Qt's own parts of a tool bar, and the hidden wheel catcher's insides.
            if (w->objectName().startsWith(QLatin1String("qt_")) || w->inherits("QLabel") ||
                (!w->property("ctrlId").isValid() && !w->inherits("QAbstractButton") && !w->inherits("QScrollBar")) ||
                (w->parentWidget() && w->parentWidget()->objectName().startsWith(QLatin1String("qt_"))) ||
                (w->parentWidget() && w->parentWidget()->parentWidget() &&
                 w->parentWidget()->parentWidget()->inherits("QListWidget")))
                continue;
            QVERIFY2(!w->accessibleName().isEmpty(),
                     qPrintable(dialog->objectName() + QLatin1Char(' ') + w->objectName()));
            names << w->accessibleName();
        }
        for (const QString &name : names)
            QVERIFY2(names.count(name) == 1, qPrintable(name));
    }
    QCOMPARE((QStringList{preview.toolButton(ID_PREVIEW_FIRST)->accessibleName(), go.windowTitle(),
                          go.edit()->accessibleName(), range.startEdit()->accessibleName()}),
             expected);
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
