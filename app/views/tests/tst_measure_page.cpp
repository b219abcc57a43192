// The wave measurement page in the real frame: its fill from the virtual
// instrument's measurement blocks, the edge cases of the value texts and
// verdicts, the pass/fail dialog, .wmf files both ways and every file it
// refuses, the copy text, the printout, and the measurement trend log.
#include "platform/control_ids.h"
#include "platform/gbk.h"
#include "tests/app_test_support.h"
#include "tests/virtual_instrument.h"
#include "views/channel_files.h"
#include "views/pass_fail.h"

#include "page_test_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace apptest;

namespace {

CViewWaveparamDlg *Page(AppEnv &env) { return env.frame->rightWnd()->measurePage(); }
TextTable *Table(AppEnv &env) { return Page(env)->table(); }
uint8_t *Block(int n) { return Live(n).measure; }

void PutEntry(uint8_t *block, int row, bool present, float value, int unit, int digits)
{
    std::memset(block + 16 * row, 0x5A, 16);  // the bytes nobody reads
    measures::EncodeEntry(measures::Entry{present, value, unit, digits}, block + 16 * row);
}

QStringList Column(TextTable *table, int column)
{
    QStringList cells;
    for (int row = 0; row < 32; ++row)
        cells << table->text(row, column);
    return cells;
}

void FillColumn(TextTable *table, int column, const QString &text)
{
    for (int row = 0; row < 32; ++row)
        table->setText(row, column, text);
}

// A file of the channel layout with measurement texts "<tag>r<row>".
QByteArray MeasureFile(int count, const QString &tag, bool measured = true)
{
    ChannelFileContent content;
    content.kind = kKindMeasure;
    content.measured = measured;
    for (int i = 0; i < count; ++i)
        content.samples.append(char(uint8_t(40 + i)));
    const int order[10] = {0, 2, 9, 3, 4, 5, 6, 7, 8, 1};
    for (int i = 0; i < 10; ++i)
        content.lamps[size_t(i)] = g_LedStatus[order[i]];
    content.params = {QStringLiteral("1.0ms"), QStringLiteral("0s"), QStringLiteral("2V"), QStringLiteral("12"),
                      QStringLiteral("Stop")};
    for (int row = 0; row < 32; ++row)
        content.measures[size_t(row)] = QStringLiteral("%1r%2").arg(tag).arg(row);
    return EncodeChannelFile(content);
}

// The printing device a page draws on: an image for the preview, a PDF
// printer for printing; either can refuse its document or its page.
struct TestSurface : PrintSurface {
    QPaintDevice *target;
    QPainter painterOnTarget;
    bool docOk = true, pageOk = true, endOk = true;
    QStringList calls;
    explicit TestSurface(QPaintDevice *device, bool preview) : target(device)
    {
        if (preview)
            painterOnTarget.begin(target);
    }
    QPaintDevice *device() override { return target; }
    QPainter *painter() override { return &painterOnTarget; }
    bool StartDoc(const QString &name) override
    {
        calls << QStringLiteral("StartDoc ") + name;
        return docOk && painterOnTarget.begin(target);
    }
    bool StartPage() override { return calls << QStringLiteral("StartPage"), pageOk; }
    bool EndPage() override { return calls << QStringLiteral("EndPage"), true; }
    bool EndDoc() override { return calls << QStringLiteral("EndDoc"), painterOnTarget.end() && endOk; }
    void AbortDoc() override
    {
        calls << QStringLiteral("AbortDoc");
        painterOnTarget.end();
    }
};

}  // namespace

class TestMeasurePage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { m_sim.Stop(); }
    void pageButtonsAndLanguage();
    void fillFromTheInstrument_data();
    void fillFromTheInstrument();
    void rowTextsAndVerdicts_data();
    void rowTextsAndVerdicts();
    void passFailDialog();
    void limitValidation_data();
    void limitValidation();
    void wmfRoundTrips();
    void fourthLoadReusesChan7();
    void refusedFilesChangeNothing_data();
    void refusedFilesChangeNothing();
    void copyText();
    void printout();
    void trendLog();

private:
    void Connect(AppEnv &env);
    void Refresh(AppEnv &env, const char *measure);
    apptest::VirtualInstrument m_sim;
};

void TestMeasurePage::initTestCase()
{
    QVERIFY(m_sim.Prepare());
    InstallLinkSleepRecorder();
}

void TestMeasurePage::init() { ClearUserSettings(); }

void TestMeasurePage::Connect(AppEnv &env)
{
    QVERIFY(env.CreateFrame());
    env.frame->OnConnect();
    QVERIFY2(g_bDsoBound, "the virtual instrument did not bind");
    env.ui.clear();
}

// One refresh of the graph page with the Measure boxes ticked as "1010".
void TestMeasurePage::Refresh(AppEnv &env, const char *measure)
{
    CViewWaveGraphDlg *graph = env.frame->rightWnd()->graphPage();
    const int ids[4] = {IDC_GRAPH_MEASURE_CH1, IDC_GRAPH_MEASURE_CH2, IDC_GRAPH_MEASURE_CH3, IDC_GRAPH_MEASURE_CH4};
    for (int i = 0; i < 4; ++i)
        graph->check(ids[i])->setChecked(measure[i] == '1');
    graph->RefreshWaveGraph();
    QVERIFY(env.ui.messages.empty());
}

void TestMeasurePage::pageButtonsAndLanguage()
{
    for (bool chinese : {false, true}) {
        AppEnv env(chinese ? QStringLiteral("[Set]\nLanguage=ZH\n") : QString());
        QVERIFY(env.CreateFrame());
        CViewWaveparamDlg *page = Page(env);
        for (int id : {IDC_MEASURE_SAVE_AS, IDC_MEASURE_COPY, IDC_MEASURE_PRINT})
            QVERIFY(!page->button(id)->isEnabled());
        QVERIFY(page->button(IDC_MEASURE_PASS_FAIL)->isEnabled());
        QCOMPARE(page->findChild<QLabel *>(IdName(IDC_MEASURE_TITLE))->text(),
                 chinese ? QStringLiteral("测量值") : QStringLiteral("Measurement"));
        QCOMPARE(page->button(IDC_MEASURE_COPY)->text(), chinese ? QStringLiteral("复制") : QStringLiteral("Copy"));
        QCOMPARE(page->caption(), QStringLiteral("The current Wave to 'Pass|Fail':  "));
        QCOMPARE(Table(env)->columnCount(), 9);
        QCOMPARE(Table(env)->headerData(8, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Pass | Fail"));
        QCOMPARE(Table(env)->text(16, 0), QStringLiteral("Positive Width"));
        QCOMPARE(page->view()->columnWidth(0), 100);
        QCOMPARE(page->view()->columnWidth(8), 80);

        // The English-only messages of an empty page.
        page->CopyMeasurement();
        page->PrintMeasurement();
        QCOMPARE(env.messageTexts(),
                 (QStringList{"There is no measuremnt for copy", "There is no measurement for print!"}));
        QCOMPARE(env.ui.messages[0].icon, vantor::MsgIcon::Warning);
        QCOMPARE(env.ui.messages[1].icon, vantor::MsgIcon::Information);
        QCOMPARE(env.frame->paneText(0), chinese ? QStringLiteral("打印测量值") : QStringLiteral("Print measurement"));
        QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt"))
                    .contains(QStringLiteral("打印失败：波形测量值数据列表中当前没有数据")));

        // The list takes every pixel the page grows by.
        page->layout()->setGeometry(QRect(0, 0, 900, 700));
        const QSize before = page->view()->size();
        page->layout()->setGeometry(QRect(0, 0, 1000, 760));
        QCOMPARE(page->view()->size() - before, QSize(100, 60));
    }
}

void TestMeasurePage::fillFromTheInstrument_data()
{
    QTest::addColumn<QString>("on");
    QTest::addColumn<QString>("measure");
    QTest::addColumn<int>("last");  // the channel named by the caption, 0 none
    QTest::newRow("Measure off") << "1111"
                                 << "0000" << 0;
    QTest::newRow("CH1 and CH2") << "1111"
                                 << "1100" << 2;
    QTest::newRow("CH1 alone, CH2 on") << "1100"
                                       << "1000" << 1;
    QTest::newRow("CH2 switched off") << "1000"
                                      << "1100" << 2;
    QTest::newRow("CH3 off, CH4 last") << "1101"
                                       << "1011" << 4;
}

void TestMeasurePage::fillFromTheInstrument()
{
    QFETCH(QString, on);
    QFETCH(QString, measure);
    QFETCH(int, last);
    m_sim.StartUsb(70);
    vsim::State state = m_sim.instrument->state();
    for (int i = 0; i < 4; ++i)
        state.channels[size_t(i)].on = on[i] == '1';
    m_sim.instrument->setState(state);
    AppEnv env;
    Connect(env);
    for (int c = 1; c <= 8; ++c)
        FillColumn(Table(env), c, QStringLiteral("old"));
    Refresh(env, measure.toLatin1().constData());
    Page(env)->FillMeasurementPage();

    QCOMPARE(env.frame->rightWnd()->CurrentTab(), 4);
    const char *const captions[5] = {"The current Wave to 'Pass|Fail':  ", "The current Wave to 'Pass|Fail':  CH1",
                                     "The current Wave to 'Pass|Fail':  CH2", "The current Wave to 'Pass |Fail': CH3",
                                     "The current Wave to 'Pass |Fail': CH4"};
    QCOMPARE(Page(env)->caption(), QString::fromLatin1(captions[last]));
    QCOMPARE(g_bPassFailLimitsSet, uint8_t(last != 0));
    const bool pairOn = on[0] == '1' && on[1] == '1';
    for (int n = 1; n <= 4; ++n) {
        const QStringList cells = Column(Table(env), n);
        if (measure[n - 1] != '1') {
            QCOMPARE(cells, QStringList(32, QStringLiteral("old")));
            QCOMPARE(g_ChannelSlots[n].bMeasured, uint8_t(0));
            continue;
        }
        QCOMPARE(g_ChannelSlots[n].bMeasured, uint8_t(1));
        if (on[n - 1] != '1') {
            QCOMPARE(cells, QStringList(32, QStringLiteral("**")));
            continue;
        }
        for (int row = 0; row < 32; ++row) {
            const measures::Entry e = measures::DecodeEntry(Block(n) + 16 * row);
            const bool shown = e.present && (row < 23 || pairOn);
            QCOMPARE(cells[row], shown ? QString::fromStdString(measures::ValueText(e)) : QStringLiteral("****"));
        }
        // A sine or square of these amplitudes has its Vpp and frequency.
        QVERIFY(cells[0].endsWith(QLatin1String("V")));
        QVERIFY(cells[15].endsWith(QLatin1String("Hz")));
    }
    const QStringList verdicts = Column(Table(env), 8);
    if (!last) {
        QCOMPARE(verdicts, QStringList(32, QStringLiteral("old")));
        return;
    }
    // Column 8 judges the last channel evaluated: a switched-off one judges nothing.
    int judged = last;
    while (on[judged - 1] != '1' || measure[judged - 1] != '1')
        --judged;
    for (int row = 0; row < 32; ++row) {
        const measures::Entry e = measures::DecodeEntry(Block(judged) + 16 * row);
        if (!e.present || (row >= 23 && !pairOn)) {
            QCOMPARE(verdicts[row], QStringLiteral("Fail"));
        } else if (row >= 10 && row <= 13) {
            // Percent limits 0..100 against the instrument's bare numbers.
            QCOMPARE(verdicts[row], e.value >= 0 && e.value <= 100 ? QStringLiteral("Pass") : QStringLiteral("Fail"));
        }
    }
    QCOMPARE(verdicts[0], QStringLiteral("Fail"));   // Vpp of volts beyond 999 mV
    QCOMPARE(verdicts[15], QStringLiteral("Pass"));  // a few kHz
    env.frame->OnDisconnect();
}

void TestMeasurePage::rowTextsAndVerdicts_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("present");
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("limit");  // "min unit max unit", empty: the default
    QTest::addColumn<bool>("pairOn");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("verdict");
    QTest::newRow("present flag 0") << 0 << false << 5.0f << 6 << 2 << "" << true << "****"
                                    << "Fail";
    QTest::newRow("digits 0 keeps the point") << 0 << true << 12.5f << 6 << 0 << "" << true << "12.mV"
                                              << "Pass";
    QTest::newRow("digits 6") << 0 << true << 1.25f << 7 << 6 << "" << true << "1.250000V"
                              << "Fail";
    QTest::newRow("digits 9") << 0 << true << 1.25f << 6 << 9 << "" << true << "1.250000mV"
                              << "Pass";
    QTest::newRow("cut, not rounded") << 0 << true << 1.999f << 7 << 2 << "" << true << "1.99V"
                                      << "Fail";
    QTest::newRow("Vmin default mV") << 2 << true << -500.0f << 6 << 1 << "" << true << "-500.0mV"
                                     << "Pass";
    QTest::newRow("Vamp default mV") << 3 << true << 0.9f << 7 << 2 << "" << true << "0.90V"
                                     << "Pass";
    QTest::newRow("Frequent default KHz") << 15 << true << 500.0f << 10 << 2 << "" << true << "500.00Hz"
                                          << "Pass";
    QTest::newRow("Frequent above 999 KHz") << 15 << true << 1.0f << 12 << 2 << "" << true << "1.00MHz"
                                            << "Fail";
    QTest::newRow("limit in div") << 0 << true << 1.0f << 6 << 2 << "-999 div 999 div" << true << "1.00mV"
                                  << "Fail";
    QTest::newRow("unknown limit unit") << 0 << true << 1.0f << 6 << 2 << "-999 mv 999 mV" << true << "1.00mV"
                                        << "Fail";
    QTest::newRow("equal to nMin") << 0 << true << -999.0f << 6 << 2 << "" << true << "-999.00mV"
                                   << "Pass";
    QTest::newRow("equal to nMax in V") << 0 << true << 0.3f << 7 << 2 << "-999 mV 300 mV" << true << "0.30V"
                                        << "Pass";
    QTest::newRow("below nMin in us") << 14 << true << 0.5f << 1 << 1 << "1 us 999 us" << true << "0.5ns"
                                      << "Fail";
    QTest::newRow("percent row") << 10 << true << 12.5f << 9 << 1 << "" << true << "12.5?"
                                 << "Pass";
    QTest::newRow("percent above 100") << 21 << true << 100.5f << 9 << 1 << "" << true << "100.5?"
                                       << "Fail";
    QTest::newRow("phase in degrees") << 23 << true << 90.0f << 9 << 2 << "" << true << "90.00?"
                                      << "Pass";
    QTest::newRow("delay without CH2") << 24 << true << 10.0f << 2 << 2 << "" << false << "****"
                                       << "Fail";
    QTest::newRow("delay with CH2") << 24 << true << 10.0f << 2 << 2 << "" << true << "10.00us"
                                    << "Pass";
}

void TestMeasurePage::rowTextsAndVerdicts()
{
    QFETCH(int, row);
    QFETCH(bool, present);
    QFETCH(float, value);
    QFETCH(int, unit);
    QFETCH(int, digits);
    QFETCH(QString, limit);
    QFETCH(bool, pairOn);
    QFETCH(QString, text);
    QFETCH(QString, verdict);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    SetDefaultPassFailLimits();
    g_bPassFailLimitsSet = 1;
    if (!limit.isEmpty()) {
        const QStringList parts = limit.split(' ');
        PassFailLimit &l = g_PassFailLimits[row];
        l.nMin = parts[0].toInt();
        l.nMax = parts[2].toInt();
        std::memset(l.szMinUnit, 0, 4);
        std::memset(l.szMaxUnit, 0, 4);
        std::memcpy(l.szMinUnit, parts[1].toLatin1().constData(), std::min<size_t>(parts[1].size(), 3));
        std::memcpy(l.szMaxUnit, parts[3].toLatin1().constData(), std::min<size_t>(parts[3].size(), 3));
    }
    PutEntry(g_MeasureCH1, row, present, value, unit, digits);
    g_bMeasureOn[0] = 1;
    g_bChOpen[0] = 1;
    g_bChOpen[1] = pairOn;
    Page(env)->FillMeasurementPage();
    QCOMPARE(Table(env)->text(row, 1), text);
    QCOMPARE(Table(env)->text(row, 8), verdict);
}

void TestMeasurePage::passFailDialog()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    auto units = [](QComboBox *box) {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    };
    {
        // Opened before anything was filled: the defaults, every field disabled.
        CSetPassFailDlg dialog(Page(env));
        dialog.initDialog();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Pass|Fail setting"));
        QCOMPARE(dialog.typeBox()->count(), 32);
        QCOMPARE(dialog.typeBox()->currentIndex(), 0);
        QCOMPARE(units(dialog.minUnitBox()), (QStringList{"uV", "mV", "V", "kV"}));
        QCOMPARE(dialog.minUnitBox()->currentText(), QStringLiteral("mV"));
        QCOMPARE(dialog.minEdit()->text(), QStringLiteral("-999"));
        QCOMPARE(dialog.maxEdit()->text(), QStringLiteral("999"));
        QVERIFY(!dialog.minEdit()->isEnabled());
        QCOMPARE(QByteArray(g_PassFailLimits[15].szMinUnit), QByteArray("KHz"));
        dialog.enableBox()->click();
        QVERIFY(dialog.minEdit()->isEnabled() && dialog.maxUnitBox()->isEnabled());

        // Each family's units and note; the stored limits shown, Enable cleared.
        const struct {
            int item;
            QStringList units;
            int shown;  // the unit box's entry
            QString note, min, max;
        } types[] = {{10, {"%"}, 0, "-100~100", "0", "100"},
                     {23, {QStringLiteral("°")}, 0, "-100~100", "0", "100"},
                     {15, {"Hz", "KHz", "MHz", "GHz", "THz"}, 1, "-999~999", "-999", "999"},
                     {14, {"ps", "ns", "us", "ms", "s"}, 2, "-999~999", "-999", "999"}};
        for (const auto &t : types) {
            dialog.typeBox()->setCurrentIndex(t.item);
            dialog.OnSelchangeType();
            QCOMPARE(units(dialog.minUnitBox()), t.units);
            QCOMPARE(units(dialog.maxUnitBox()), t.units);
            QCOMPARE(dialog.minUnitBox()->currentIndex(), t.shown);
            QCOMPARE(dialog.note()->text(),
                     QStringLiteral("Note: The valid number that can input into the edit box is ") + t.note);
            QCOMPARE(dialog.minEdit()->text(), t.min);
            QCOMPARE(dialog.maxEdit()->text(), t.max);
            QVERIFY(!dialog.enableBox()->isChecked() && !dialog.minEdit()->isEnabled());
        }
        // "Period": a unit chosen and a maximum typed are stored at once.
        dialog.enableBox()->click();
        dialog.minUnitBox()->setCurrentIndex(3);
        dialog.OnSelchangeMinUnit();
        QTest::keyClicks(dialog.maxEdit(), QStringLiteral("5"));  // "9995" is out of range: nothing stored
        QCOMPARE(env.messageTexts(), QStringList{"Please enter an integer between -999 and 999."});
        QCOMPARE(g_PassFailLimits[14].nMax, 999);
        dialog.maxEdit()->clear();
        QTest::keyClicks(dialog.maxEdit(), QStringLiteral("-5"));  // "-" is still being typed
        QCOMPARE(env.messageTexts().size(), 1);
        QCOMPARE(g_PassFailLimits[14].nMax, -5);
        QCOMPARE(QByteArray(g_PassFailLimits[14].szMinUnit), QByteArray("ms"));
        // The degree sign goes to the table in GB2312.
        dialog.typeBox()->setCurrentIndex(23);
        dialog.OnSelchangeType();
        dialog.OnSelchangeMaxUnit();
        QCOMPARE(QByteArray(g_PassFailLimits[23].szMaxUnit), QByteArray("\xA1\xE3"));
        QCOMPARE(g_bPassFailLimitsSet, uint8_t(0));
        dialog.findChild<QPushButton *>(IdName(IDC_CANCEL))->click();
    }
    // Cancel kept what the handlers stored and marked the table as set.
    QCOMPARE(g_bPassFailLimitsSet, uint8_t(1));
    QCOMPARE(g_PassFailLimits[14].nMax, -5);
    QCOMPARE(QByteArray(g_PassFailLimits[14].szMinUnit), QByteArray("ms"));

    // The page's button runs it again: row 0 as stored; OK stores the selected item whole.
    g_PassFailLimits[0].nMin = -10;
    std::strcpy(g_PassFailLimits[0].szMaxUnit, "V");
    env.ui.clear();
    QStringList shown;
    env.ui.dialogHandlers.push_back([&](QDialog *d) {
        auto *dialog = static_cast<CSetPassFailDlg *>(d);
        shown << dialog->minEdit()->text() << dialog->maxUnitBox()->currentText();
        dialog->minEdit()->setText(QStringLiteral("20"));
        dialog->minUnitBox()->setCurrentIndex(0);
        return dialog->OnOK() ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    Page(env)->button(IDC_MEASURE_PASS_FAIL)->click();
    QCOMPARE(shown, (QStringList{"-10", "V"}));
    QVERIFY(env.ui.messages.empty());
    QCOMPARE(g_PassFailLimits[0].nMin, 20);
    QCOMPARE(QByteArray(g_PassFailLimits[0].szMinUnit), QByteArray("uV"));
    QCOMPARE(QByteArray(g_PassFailLimits[0].szMaxUnit), QByteArray("V"));
}

void TestMeasurePage::limitValidation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("stored");
    QTest::newRow("valid") << "-5"
                           << "" << -5;
    QTest::newRow("lower bound") << "-999"
                                 << "" << -999;
    QTest::newRow("upper bound") << " 999 "
                                 << "" << 999;
    QTest::newRow("above the range") << "1000"
                                     << "Please enter an integer between -999 and 999." << 7;
    QTest::newRow("below the range") << "-1000"
                                     << "Please enter an integer between -999 and 999." << 7;
    QTest::newRow("not a number") << "12x"
                                  << "Please enter an integer." << 7;
    QTest::newRow("being typed") << "-"
                                 << "" << 7;
}

void TestMeasurePage::limitValidation()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(int, stored);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    SetDefaultPassFailLimits();
    g_bPassFailLimitsSet = 1;
    g_PassFailLimits[0].nMin = 7;
    CSetPassFailDlg dialog(Page(env));
    dialog.initDialog();
    dialog.enableBox()->click();
    dialog.minEdit()->setText(text);
    dialog.OnChangeMin();
    QCOMPARE(env.messageTexts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(g_PassFailLimits[0].nMin, stored);
    // OK takes only a whole number in range, and then the focus stays put.
    env.ui.clear();
    const bool closes = message.isEmpty() && text != QLatin1String("-");
    QCOMPARE(dialog.OnOK(), closes);
    QCOMPARE(env.ui.messages.empty(), closes);
    if (!closes)
        QCOMPARE(env.ui.messages[0].title, QStringLiteral("Vantor"));
}

void TestMeasurePage::wmfRoundTrips()
{
    m_sim.StartUsb(70);
    AppEnv env;
    Connect(env);
    Refresh(env, "1000");
    Page(env)->FillMeasurementPage();
    CRightWnd *right = env.frame->rightWnd();
    const int count = g_ChannelSlots[1].nCount;
    QVERIFY(count > 200);
    QVERIFY(Page(env)->button(IDC_MEASURE_SAVE_AS)->isEnabled());

    // A measured channel: header, samples, record, texts with 27 and 28 swapped.
    Table(env)->setText(27, 1, QStringLiteral("fff"));
    Table(env)->setText(28, 1, QStringLiteral("lrr"));
    env.ui.dialogHandlers.push_back(ChooseColumn(1));
    env.ui.fileAnswers = {env.path("one")};
    Page(env)->button(IDC_MEASURE_SAVE_AS)->click();
    QVERIFY(env.ui.messages.empty());
    QCOMPARE(env.ui.fileDialogs.back().filter, QStringLiteral("wave measurement file (*.wmf) |*.wmf| |"));
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Save measurement successed！"));
    const QByteArray first = ReadAll(env.path("one.wmf"));
    QCOMPARE(first.size(), 64 + count + 320);
    int32_t header[2];
    std::memcpy(header, first.constData(), 8);
    QCOMPARE(header[0], count);
    QCOMPARE(header[1], 320);
    QCOMPARE(int(first[8]), 1);
    QCOMPARE(int(first[9]), int(kKindMeasure));
    QCOMPARE(first.mid(12, count), QByteArray(reinterpret_cast<const char *>(g_WaveCH1), count));
    const QByteArray text = first.mid(64 + count);
    QCOMPARE(QByteArray(text.constData() + 270), QByteArray("lrr"));
    QCOMPARE(QByteArray(text.constData() + 280), QByteArray("fff"));

    g_szOpenFilePath = env.path("one.wmf");
    right->OpenMeasurementFile();
    QVERIFY(env.ui.messages.empty());
    const ChannelSlot &five = g_ChannelSlots[5];
    QCOMPARE(std::make_tuple(five.bHasWave, five.bHasData, five.bMeasured, five.nCount),
             std::make_tuple(uint8_t(0), uint8_t(1), uint8_t(1), count));
    QStringList cut;
    for (const QString &cell : Column(Table(env), 1))
        cut << cell.left(9);
    QCOMPARE(Column(Table(env), 5), cut);
    QCOMPARE(right->dataPage()->table()->text(count - 1, 5), QString::number(g_WaveCH1[count - 1]));
    QCOMPARE(right->graphPage()->params()->text(2, 5), right->graphPage()->params()->text(2, 1).left(9));
    env.ui.dialogHandlers.push_back(ChooseColumn(5));
    env.ui.fileAnswers = {env.path("two.wmf")};
    Page(env)->SaveMeasurementFile();
    QCOMPARE(ReadAll(env.path("two.wmf")), first);

    // An unmeasured channel: no text block; its column keeps what it held,
    // the measurement save does not offer it, its writer gives the same bytes.
    const QByteArray bare = MeasureFile(300, QStringLiteral("u"), false);
    QCOMPARE(bare.size(), 64 + 300);
    WriteAll(env.path("bare.wmf"), bare);
    FillColumn(Table(env), 6, QStringLiteral("kept"));
    QCOMPARE(Page(env)->LoadMeasurementFile(env.path("bare.wmf")), 1);
    QCOMPARE(g_ChannelSlots[6].bMeasured, uint8_t(0));
    QCOMPARE(g_ChannelSlots[6].nCount, 300);
    QCOMPARE(Column(Table(env), 6), QStringList(32, QStringLiteral("kept")));
    CSelectChanDlg choice(nullptr);
    choice.m_nPurpose = 1;
    choice.initDialog();
    QVERIFY(choice.radio(4)->isEnabled());
    QVERIFY(!choice.radio(5)->isEnabled());
    QVERIFY(right->dataPage()->WriteWaveFile(6, kKindMeasure, env.path("bare2.wmf")));
    QCOMPARE(ReadAll(env.path("bare2.wmf")), bare);

    // A file that cannot be created.
    env.ui.clear();
    env.ui.dialogHandlers.push_back(ChooseColumn(1));
    env.ui.fileAnswers = {env.path("missing/dir/x.wmf")};
    Page(env)->SaveMeasurementFile();
    QCOMPARE(env.messageTexts(), QStringList{"Try to save measurement file failed!"});
    QCOMPARE(env.ui.waitCursorDepth, 0);
    env.frame->OnDisconnect();
}

void TestMeasurePage::fourthLoadReusesChan7()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    const int expected[4] = {5, 6, 7, 7};
    for (int k = 0; k < 4; ++k) {
        const QString name = env.path(QStringLiteral("f%1.wmf").arg(k));
        WriteAll(name, MeasureFile(250 + k, QStringLiteral("f%1").arg(k)));
        g_szOpenFilePath = name;
        env.frame->rightWnd()->OpenMeasurementFile();
        QVERIFY(env.ui.messages.empty());
        QCOMPARE(g_ChannelSlots[expected[k]].nCount, 250 + k);
        QCOMPARE(Table(env)->text(27, expected[k]), QStringLiteral("f%1r27").arg(k));
        QCOMPARE(Table(env)->text(28, expected[k]), QStringLiteral("f%1r28").arg(k));
    }
    QCOMPARE(Table(env)->text(0, 5), QStringLiteral("f0r0"));
    QCOMPARE(Table(env)->text(0, 6), QStringLiteral("f1r0"));
    QCOMPARE(g_bMeasureHasData, uint8_t(1));
    QVERIFY(Page(env)->button(IDC_MEASURE_COPY)->isEnabled());
}

void TestMeasurePage::refusedFilesChangeNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("typeMismatch");
    const QByteArray good = MeasureFile(300, QStringLiteral("g"));
    auto withInt = [&](int offset, int32_t value) {
        QByteArray b = good;
        std::memcpy(b.data() + offset, &value, 4);
        return b;
    };
    QByteArray big = withInt(0, 24001);
    big.insert(12, QByteArray(24001 - 300, '\x40'));
    QTest::newRow("not a .wmf name") << "good.wdf" << good << true;
    QTest::newRow("missing") << "none.wmf" << QByteArray() << false;
    QTest::newRow("empty") << "empty.wmf" << QByteArray("", 0) << false;
    QTest::newRow("above 24000 samples") << "big.wmf" << big << false;
    QTest::newRow("fewer samples than announced") << "short.wmf" << withInt(0, 1000) << false;
    QTest::newRow("text block of 64") << "text64.wmf" << withInt(4, 64) << false;
    QTest::newRow("text block cut off") << "cut.wmf" << good.left(good.size() - 1) << false;
}

void TestMeasurePage::refusedFilesChangeNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, typeMismatch);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    for (int k = 0; k < 3; ++k) {  // every file column taken: a refused file must not clear Chan7
        WriteAll(env.path(QStringLiteral("held%1.wmf").arg(k)), MeasureFile(300, QStringLiteral("h%1").arg(k)));
        QCOMPARE(Page(env)->LoadMeasurementFile(env.path(QStringLiteral("held%1.wmf").arg(k))), 1);
    }
    if (name != QLatin1String("none.wmf"))
        WriteAll(env.path(name), bytes);
    const PageSnapshot before = PageSnapshot::Take(env.frame->rightWnd());
    env.ui.clear();
    g_szOpenFilePath = env.path(name);
    env.frame->rightWnd()->OpenMeasurementFile();
    QCOMPARE(Page(env)->LoadMeasurementFile(env.path(name)), 0);
    const QString text = typeMismatch ? QStringLiteral("打开文件类型不匹配，请确认！")
                                      : QStringLiteral("打开选定文件失败，请确定文件是否被破坏、文件格式是否正确？");
    QCOMPARE(env.messageTexts(), (QStringList{text, text}));
    QCOMPARE(env.ui.messages[0].title, QStringLiteral("提示信息"));
    QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt"))
                .contains(typeMismatch ? QStringLiteral("打开文件类型与‘.wmf’不匹配")
                                       : QStringLiteral("打开选定文件‘*.wmf’失败")));
    QVERIFY(PageSnapshot::Take(env.frame->rightWnd()) == before);
}

void TestMeasurePage::copyText()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    PutEntry(g_MeasureCH1, 0, true, 12.345f, 6, 2);     // "12.34mV"
    PutEntry(g_MeasureCH1, 1, true, 123456.5f, 6, 6);   // 15 characters: wider than its field
    PutEntry(g_MeasureCH1, 2, true, 1234567.5f, 6, 6);  // 16 characters: cut to 15
    g_bMeasureOn[0] = 1;
    g_bChOpen[0] = 1;
    Page(env)->FillMeasurementPage();
    Table(env)->setText(5, 7, QStringLiteral("f"));
    env.frame->UpdatePageButtons();
    QVERIFY(Page(env)->button(IDC_MEASURE_COPY)->isEnabled());
    Page(env)->button(IDC_MEASURE_COPY)->click();
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Copy Measurement"));
    QCOMPARE(env.ui.clipboardTexts.size(), 1);
    const QString copied = env.ui.clipboardTexts[0];
    const QStringList lines = copied.split('\n');
    QCOMPARE(lines.size(), 1 + 1 + 32 + 2);
    QCOMPARE(lines[0], QStringLiteral("The current Wave to 'Pass|Fail':  CH1"));
    auto field = [](const QString &text, int width) { return text + QString(width - text.size(), ' '); };
    QString header = field("Item Name", 15);
    for (const char *title : {"CH1", "CH2", "CH3", "CH4", "Chan5", "Chan6", "Chan7", "Pass | Fail"})
        header += field(title, 11);
    QCOMPARE(lines[1], header);
    QCOMPARE(lines[1].size(), 103);
    QCOMPARE(lines[2], field("Vpp", 15) + field("12.34mV", 11) + QString(66, ' ') + field("Pass", 11));
    QCOMPARE(lines[3].mid(15, 15), QStringLiteral("123456.500000mV"));
    QCOMPARE(lines[4].mid(15, 16), QStringLiteral("1234567.500000m "));
    QCOMPARE(lines[7].mid(15 + 6 * 11, 11), QStringLiteral("f          "));
    for (int row = 5; row < 34; ++row)
        QCOMPARE(lines[row].size(), 103);
    QCOMPARE(lines[34], QString());
    QCOMPARE(copied.size(), lines[0].size() + 1 + 33 * 104 + 4 + 4 + 1);
}

void TestMeasurePage::printout()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    PutEntry(g_MeasureCH1, 0, true, 12.345f, 6, 2);
    PutEntry(g_MeasureCH1, 5, true, -980.0f, 6, 2);  // wider than its 17 mm column
    g_bMeasureOn[0] = g_bChOpen[0] = 1;
    Page(env)->FillMeasurementPage();
    PrintRequest request;
    request.nItemCount = 32;
    request.hOwner = Page(env);
    request.hList = Page(env)->view();

    // The preview's page: outline, title band, grid from 20 to 203 mm.
    QImage image(843, 1191, QImage::Format_RGB32);  // 223 x 315 mm at 96 dpi
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    image.fill(Qt::darkGray);
    {
        TestSurface preview(&image, true);
        QCOMPARE(Page(env)->OnPrintDraw(preview, request), 1);
        QVERIFY(preview.calls.isEmpty());
    }
    auto px = [](double mm) { return int(mm * 96 / 25.4 + 0.5); };
    QCOMPARE(image.pixelColor(px(100), px(5)), QColor(Qt::white));
    QCOMPARE(image.pixelColor(px(20), px(100)), QColor(Qt::black));           // left border
    QCOMPARE(image.pixelColor(px(203), px(100)), QColor(Qt::black));          // right border
    QCOMPARE(image.pixelColor(px(100), px(30 + 7 * 33)), QColor(Qt::black));  // below the last row
    QCOMPARE(image.pixelColor(px(100), px(300)), QColor(Qt::white));
    // The wide value ends short of its cell's edge instead of running into it.
    for (int y = px(72) + 3; y < px(79) - 2; ++y)
        for (int x = px(67) - 4; x < px(67) - 1; ++x)
            QVERIFY2(qGray(image.pixel(x, y)) > 160, qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));

    // Printed as a document of its own, read back from the PDF.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(env.path("m.pdf"));
    printer.setPageSize(QPageSize(QSizeF(223, 315), QPageSize::Millimeter));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0));
    request.bToPrinter = 1;
    TestSurface print(&printer, false);
    QCOMPARE(Page(env)->OnPrintDraw(print, request), 1);
    QCOMPARE(print.calls, (QStringList{"StartDoc Print The Measurement", "StartPage", "EndPage", "EndDoc"}));
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), env.path("m.pdf"), QStringLiteral("-")});
    QVERIFY(pdftotext.waitForFinished(20000));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    for (const char *expected : {"Print The Measurement", "Item Name", "Chan7", "Pass | Fail", "Positive Width",
                                 "12.34mV", "Print Date:2026-03-05"})
        QVERIFY2(text.contains(QLatin1String(expected)), expected);
    QVERIFY(QRegularExpression(QStringLiteral("Vpp\\s+12\\.34mV\\s+Pass\\n")).match(text).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("Print Date:2026-03-05\\s+1\\s*/\\s*1\\s")).match(text).hasMatch());

    // A printer that refuses its document, then its page.
    TestSurface noDoc(&printer, false);
    noDoc.docOk = false;
    env.ui.clear();
    QCOMPARE(Page(env)->OnPrintDraw(noDoc, request), 1);
    TestSurface noPage(&printer, false);
    noPage.pageOk = false;
    QCOMPARE(Page(env)->OnPrintDraw(noPage, request), 0);
    QCOMPARE(noPage.calls, (QStringList{"StartDoc Print The Measurement", "StartPage", "AbortDoc"}));
    TestSurface noEnd(&printer, false);
    noEnd.endOk = false;
    QCOMPARE(Page(env)->OnPrintDraw(noEnd, request), 0);
    QCOMPARE(env.messageTexts(), (QStringList{"Initialize printer failed", "Print failed!", "Print failed!"}));
    QCOMPARE(env.ui.messages[1].icon, vantor::MsgIcon::Stop);
    const QString log = vantor::FromGbk(env.readFile("BlogFile.txt"));
    QVERIFY(log.contains(QStringLiteral("连接到打印机失败")) &&
            log.contains(QStringLiteral("打印波形测量值数据列表失败")));
}

void TestMeasurePage::trendLog()
{
    m_sim.StartUsb(70);
    AppEnv env;
    Connect(env);
    CViewWaveparamDlg *page = Page(env);
    QCheckBox *log = page->check(IDC_MEASURE_LOG);
    // Cancelled, or a file that cannot be made: the switch stays off.
    log->click();
    QVERIFY(!log->isChecked());
    env.ui.fileAnswers = {env.path("no/such/dir/t.csv")};
    log->click();
    QVERIFY(!log->isChecked());
    QCOMPARE(env.messageTexts(), QStringList{"Try to open the measurement log failed!"});
    // A foreign file chosen is replaced by the log.
    WriteAll(env.path("trend.csv"), "a,b\n1,2\n");
    env.ui.clear();
    env.ui.fileAnswers = {env.path("trend")};
    log->click();
    QVERIFY(log->isChecked());
    QCOMPARE(env.ui.fileDialogs.back().filter, QStringLiteral("measurement log (*.csv)|*.csv| |"));

    Refresh(env, "1100");
    env.frame->rightWnd()->graphPage()->button(IDC_GRAPH_AUTO)->click();
    for (int i = 1; i < 20; ++i)
        env.frame->OnRefreshTick();
    env.frame->rightWnd()->graphPage()->button(IDC_GRAPH_MANU)->click();
    page->FillMeasurementPage();

#ifdef VANTOR_PYTHON
    // Read by another program: 20 rows a measured channel, times in order,
    // and the last rows as the page shows them (its texts are cut, not rounded).
    QStringList args{QStringLiteral("-c"), QStringLiteral(R"(
import csv, sys, datetime, re
rows = list(csv.DictReader(open(sys.argv[1], newline='', encoding='utf-8')))
assert len(rows) == 40, len(rows)
assert all(len(r) == 66 for r in rows)
for ch in ('1', '2'):
    mine = [r for r in rows if r['channel'] == ch]
    assert len(mine) == 20
    times = [datetime.datetime.fromisoformat(r['time']) for r in mine]
    assert times == sorted(times)
scale = {'p': 1e-12, 'n': 1e-9, 'u': 1e-6, 'm': 1e-3, 'K': 1e3, 'k': 1e3, 'M': 1e6, 'G': 1e9, 'T': 1e12}
names = [k[:-len(' verdict')] for k in rows[0] if k.endswith(' verdict')]
for ch, texts in ((1, sys.argv[2]), (2, sys.argv[3])):
    last = [r for r in rows if r['channel'] == str(ch)][-1]
    for name, text in zip(names, texts.split('|')):
        value = [v for k, v in last.items() if k.startswith(name + ' (')][0]
        m = re.fullmatch(r'(-?\d+\.(\d*))([a-zA-Z]*)\??', text)
        if not m:
            assert value == '', (name, text, value)
            continue
        unit = m.group(3)
        factor = scale.get(unit[0], 1) if len(unit) > 1 or unit in ('K',) else 1
        step = 10 ** -len(m.group(2)) * factor
        assert abs(float(value) - float(m.group(1)) * factor) <= step * 1.0001 + abs(float(value)) * 1e-6, (name, text, value)
print(','.join(r for r in [rows[-1][n + ' verdict'] for n in names]))
)"),
                     env.path("trend.csv"), Column(Table(env), 1).join('|'), Column(Table(env), 2).join('|')};
    QProcess python;
    python.start(QStringLiteral(VANTOR_PYTHON), args);
    QVERIFY(python.waitForFinished(20000));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    // The verdicts of the last row are the page's column 8 (CH2 was judged last).
    QCOMPARE(QString::fromLatin1(python.readAllStandardOutput()).trimmed(), Column(Table(env), 8).join(','));
#endif

    // The trend of one item: 20 points, its figures.
    QCOMPARE(page->trend().FiguresOf(1, 0).count, 20);
    QCOMPARE(page->trendPlot()->graph(0)->data()->size(), 20);
    QVERIFY2(page->trendFigures().contains(QStringLiteral("fails 20 of 20")), qPrintable(page->trendFigures()));
    QVERIFY(page->trendFigures().contains(QStringLiteral("max ")));

    // Switched off the file stops growing; on again with it, the log goes on.
    const int lines = ReadAll(env.path("trend.csv")).count('\n');
    QCOMPARE(lines, 41);
    log->click();
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Stop the measurement log"));
    Refresh(env, "1000");
    QCOMPARE(ReadAll(env.path("trend.csv")).count('\n'), 41);
    env.ui.fileAnswers = {env.path("trend.csv")};
    log->click();
    Refresh(env, "1000");
    Refresh(env, "0000");  // no blocks, no row
    const QByteArray grown = ReadAll(env.path("trend.csv"));
    QCOMPARE(grown.count('\n'), 42);
    QCOMPARE(grown.count("time,channel"), 1);
    QCOMPARE(page->trend().FiguresOf(1, 0).count, 22);

    // A log that cannot grow (a full disk): the refresh's rows are refused
    // whole, the user is told, the switch goes off and the file stays whole.
    env.ui.clear();
    rlimit was{};
    getrlimit(RLIMIT_FSIZE, &was);
    rlimit full = was;
    full.rlim_cur = rlim_t(grown.size());
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &full);
    env.frame->rightWnd()->graphPage()->check(IDC_GRAPH_MEASURE_CH1)->setChecked(true);
    env.frame->rightWnd()->graphPage()->RefreshWaveGraph();
    setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, SIG_DFL);
    QCOMPARE(env.messageTexts(), QStringList{"Try to write the measurement log failed!"});
    QVERIFY(!log->isChecked() && !page->trend().logging());
    QCOMPARE(ReadAll(env.path("trend.csv")), grown);
    env.frame->OnDisconnect();
}

QTEST_MAIN(TestMeasurePage)
#include "tst_measure_page.moc"
