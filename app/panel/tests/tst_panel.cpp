// The virtual front panel in the real frame against the virtual instrument
// over the virtual USB socket: every key and its lamps, every knob and what
// it turns, the knob display, the refusals, opening, the refresh tick, the
// layout of each model family, the keyboard and the Chinese texts.
#include "panel/panel_controls.h"
#include "panel/simulant_ui_dlg.h"
#include "platform/control_ids.h"
#include "shell/panes.h"
#include "tests/app_test_support.h"

#include "tests/virtual_instrument.h"

#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>
#include <array>
#include <cmath>
#include <functional>

using namespace apptest;

using Lamps = std::array<uint8_t, 10>;
Q_DECLARE_METATYPE(Lamps)
Q_DECLARE_METATYPE(std::vector<unsigned>)

namespace {

constexpr int kLampIds[10] = {IDC_PANEL_RUN_STOP, IDC_PANEL_LAMP, IDC_PANEL_SINGLE, IDC_PANEL_CH1, IDC_PANEL_CH2,
                              IDC_PANEL_CH3,      IDC_PANEL_CH4,  IDC_PANEL_MATH,   IDC_PANEL_REF, IDC_PANEL_CURSOR};

// How the panel must show lamp k with byte b: the two colours of a key, or
// the value of the lamp alone.
QString LookMismatch(CSimulantUIDlg *panel, const Lamps &lamps)
{
    const QColor face = panel->palette().color(QPalette::Button);
    for (int k = 0; k < 10; ++k) {
        CLampKey *key = panel->lampKey(kLampIds[k]);
        if (k == 1) {
            if (key->GetProperty(CLampKey::kValue).toBool() != (lamps[1] != 0))
                return QStringLiteral("lamp 1 value");
            continue;
        }
        QColor first = face, second = Qt::black;
        if (k == 0 && lamps[0] == 2) {
            first = QColor(255, 0, 0);
            second = Qt::white;
        } else if (k == 0 ? lamps[0] == 1 : lamps[size_t(k)] != 0) {
            first = QColor(0, 255, 0);
            second = QColor(255, 0, 255);
        }
        if (key->GetProperty(CLampKey::kFaceColour).value<QColor>() != first ||
            key->GetProperty(CLampKey::kCaptionColour).value<QColor>() != second)
            return QStringLiteral("lamp %1 (byte %2)").arg(k).arg(lamps[size_t(k)]);
    }
    return {};
}

Lamps StoredLamps()
{
    Lamps l;
    std::copy(std::begin(g_LedStatus), std::end(g_LedStatus), l.begin());
    return l;
}

// A knob's effect on the instrument, in detents.
enum Quantity {
    Volts1,
    Volts2,
    Volts3,
    Volts4,
    Offset1,
    Offset2,
    Offset3,
    Offset4,
    TimeBase,
    Position,
    Level,
    Holdoff
};

double Measure(const vsim::State &s, int q)
{
    const double detent = vsim::timePerDivSeconds(s.timeIndex) / 25.0;
    switch (q) {
    case TimeBase: return s.timeIndex;
    case Position: return s.horizontalPosition / detent;
    case Level: return s.channels[size_t(s.triggerSource)].triggerLevel;
    case Holdoff: return (s.holdoff - 100e-9) / detent;
    default: return q < Offset1 ? s.channels[size_t(q)].voltsIndex : s.channels[size_t(q - Offset1)].offset;
    }
}

void Wheel(QWidget *w, int angle)
{
    QWheelEvent e(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, angle), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

QList<QWidget *> NumberedControls(QWidget *root)
{
    QList<QWidget *> out;
    for (QWidget *w : root->findChildren<QWidget *>())
        if (w->property("ctrlId").isValid())
            out << w;
    return out;
}

// The widest stretch of a box, left to right, that no visible control covers.
int WidestHole(QGroupBox *box)
{
    std::vector<std::pair<int, int>> spans;
    const QMargins m = box->layout()->contentsMargins();
    spans.emplace_back(0, m.left());
    spans.emplace_back(box->width() - m.right(), box->width());
    for (QWidget *w : NumberedControls(box))
        if (w->isVisibleTo(box)) {
            const QRect r(w->mapTo(box, QPoint(0, 0)), w->size());
            spans.emplace_back(r.left(), r.right() + 1);
        }
    std::sort(spans.begin(), spans.end());
    int reach = 0, widest = 0;
    for (const auto &[a, b] : spans) {
        widest = std::max(widest, a - reach);
        reach = std::max(reach, b);
    }
    return widest;
}

}  // namespace

class TestPanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void keysSendTheirCommandAndShowTheLamps_data();
    void keysSendTheirCommandAndShowTheLamps();
    void knobStepsTurnTheInstrument_data();
    void knobStepsTurnTheInstrument();
    void lampLooks_data();
    void lampLooks();
    void knobPushAndKnobDone();
    void refusedKeysSendNothing_data();
    void refusedKeysSendNothing();
    void openingNeedsTheLamps();
    void tickAndRefreshShowTheInstrumentsLamps();
    void layoutOfEachFamily_data();
    void layoutOfEachFamily();
    void keyboardShortcuts_data();
    void keyboardShortcuts();
    void chineseTexts();

private:
    bool Connect(AppEnv &env, int code);
    void WithPanel(AppEnv &env, const std::function<void(CSimulantUIDlg *)> &body);
    apptest::VirtualInstrument m_sim;
};

void TestPanel::initTestCase()
{
    QVERIFY(m_sim.Prepare());
    InstallLinkSleepRecorder();
}

void TestPanel::init()
{
    ClearUserSettings();
    LinkSleeps().clear();
}

void TestPanel::cleanup() { m_sim.Stop(); }

bool TestPanel::Connect(AppEnv &env, int code)
{
    m_sim.StartUsb(code);
    if (!env.CreateFrame())
        return false;
    env.frame->OnConnect();
    env.ui.clear();
    LinkSleeps().clear();
    return g_bDsoBound;
}

// Opens the panel from the frame's command and runs body while it is open.
void TestPanel::WithPanel(AppEnv &env, const std::function<void(CSimulantUIDlg *)> &body)
{
    bool opened = false;
    env.ui.dialogHandlers.push_back([&](QDialog *d) {
        opened = true;
        body(static_cast<CSimulantUIDlg *>(d));
        return int(QDialog::Rejected);
    });
    env.frame->OnShowPanel();
    QVERIFY2(opened, "the panel did not open");
    QVERIFY(!env.frame->rightWnd()->m_pPanel);
}

void TestPanel::keysSendTheirCommandAndShowTheLamps_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("log");
    QTest::addColumn<std::vector<unsigned>>("waits");     // the panel's own
    QTest::addColumn<std::vector<unsigned>>("protocol");  // the key's and the lamp read's
    struct Row {
        int id, code;
        const char *log;
        unsigned pause;
    };
    const Row rows[] = {
        {IDC_PANEL_DEFAULT_SETUP, 30, "DEFAULT_SETUP click down", 500},
        {IDC_PANEL_AUTO, 20, "AUTO click down", 500},
        {IDC_PANEL_SET50, 46, "SET_TO_50% click down", 300},
        {IDC_PANEL_FORCE, 15, "FORCE click down", 300},
        {IDC_PANEL_MB1, 38, "MB_1 click down", 300},
        {IDC_PANEL_MB2, 26, "MB_2 click down", 300},
        {IDC_PANEL_MB3, 13, "MB_3 click down", 300},
        {IDC_PANEL_MB4, 23, "MB_4 click down", 300},
        {IDC_PANEL_MB5, 43, "MB_5 click down", 300},
        {IDC_PANEL_HORI_MENU, 16, "HORI_MENU click down", 300},
        {IDC_PANEL_MEASURE, 50, "MEASURE click down", 300},
        {IDC_PANEL_ACQUIRE, 10, "ACQUIRE click down", 300},
        {IDC_PANEL_DISPLAY, 39, "DISPLAY click down", 300},
        {IDC_PANEL_SAVE_RECALL, 25, "SAVE_RECALL click down", 300},
        {IDC_PANEL_UTILITY, 36, "UTILITY click down", 300},
        {IDC_PANEL_TRIG_MENU, 28, "TRIG_MENU click down", 300},
        {IDC_PANEL_CURSOR, 45, "CURSOR click down", 300},
        {IDC_PANEL_RUN_STOP, 40, "RUN/STOP click down", 300},
        {IDC_PANEL_SINGLE, 35, "SINGLE click down", 300},
        {IDC_PANEL_CH1, 14, "CH1 click down", 300},
        {IDC_PANEL_CH2, 9, "CH2 click down", 300},
        {IDC_PANEL_CH3, 19, "CH3 click down", 300},
        {IDC_PANEL_CH4, 34, "CH4 click down", 300},
        {IDC_PANEL_MATH, 29, "MATH click down", 500},
        {IDC_PANEL_REF, 24, "REF click down", 300},
    };
    for (const Row &r : rows) {
        std::vector<unsigned> waits{200, r.pause};
        if (r.id == IDC_PANEL_MB3)
            waits.push_back(5);  // its progress is left at 80 %, the end tops it up
        QTest::newRow(r.log) << r.id << r.code << QString::fromLatin1(r.log) << waits
                             << std::vector<unsigned>{r.code == 20 ? 5000u : 100u, 50u};
    }
}

void TestPanel::keysSendTheirCommandAndShowTheLamps()
{
    QFETCH(int, id);
    QFETCH(int, code);
    QFETCH(QString, log);
    QFETCH(std::vector<unsigned>, waits);
    QFETCH(std::vector<unsigned>, protocol);
    AppEnv env;
    QVERIFY(Connect(env, 70));
    WithPanel(env, [&](CSimulantUIDlg *panel) {
        QCOMPARE(LookMismatch(panel, m_sim.instrument->lamps()), QString());
        const Lamps before = m_sim.instrument->lamps();
        const size_t keys = m_sim.instrument->keysPressed().size();
        env.ui.clear();
        LinkSleeps().clear();

        panel->findChild<QAbstractButton *>(IdName(id))->click();

        const std::vector<vsim::KeyPress> pressed = m_sim.instrument->keysPressed();
        QCOMPARE(pressed.size(), keys + 1);
        QCOMPARE(int(pressed.back().code), code);
        QCOMPARE(int(pressed.back().count), 1);
        const Lamps after = m_sim.instrument->lamps();
        QCOMPARE(StoredLamps(), after);
        QCOMPARE(LookMismatch(panel, after), QString());
        // The toggles light and go dark; the run controls follow lamps 0 and 2.
        for (int k : {3, 4, 5, 6, 7, 8, 9})
            if (kLampIds[k] == id)
                QCOMPARE(after[size_t(k)], uint8_t(!before[size_t(k)]));
        if (id == IDC_PANEL_RUN_STOP)
            QCOMPARE(after[0], uint8_t(before[0] == 1 ? 2 : 1));
        QCOMPARE(env.frame->paneText(0), log);
        QCOMPARE(env.ui.sleeps, waits);
        QCOMPARE(LinkSleeps(), protocol);
        QVERIFY(env.ui.messages.empty());
        QCOMPARE(env.frame->progressBar()->value(), 0);
        QCOMPARE(env.ui.waitCursorDepth, 0);
        QCOMPARE(panel->knobName(), QString("There is no Knob oper"));
    });
}

void TestPanel::knobStepsTurnTheInstrument_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("delta");
    QTest::addColumn<bool>("wheel");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("quantity");
    QTest::addColumn<double>("change");
    QTest::newRow("S/div up") << IDC_PANEL_HORI_LARGE << 2 << false << 144 << 2 << int(TimeBase) << 2.0;
    QTest::newRow("S/div down, wheel") << IDC_PANEL_HORI_LARGE << -1 << true << 135 << 1 << int(TimeBase) << -1.0;
    QTest::newRow("position later") << IDC_PANEL_HORI_SMALL << 25 << false << 177 << 25 << int(Position) << 25.0;
    QTest::newRow("position earlier") << IDC_PANEL_HORI_SMALL << -5 << false << 186 << 5 << int(Position) << -5.0;
    QTest::newRow("CH1 V/div up, wheel") << IDC_PANEL_CH1_LARGE << 1 << true << 92 << 1 << int(Volts1) << 1.0;
    QTest::newRow("CH1 up") << IDC_PANEL_CH1_SMALL << 10 << false << 62 << 10 << int(Offset1) << -10.0;
    QTest::newRow("CH2 V/div down") << IDC_PANEL_CH2_LARGE << -2 << false << 95 << 2 << int(Volts2) << -2.0;
    QTest::newRow("CH2 down") << IDC_PANEL_CH2_SMALL << -3 << false << 81 << 3 << int(Offset2) << 3.0;
    QTest::newRow("CH3 V/div up") << IDC_PANEL_CH3_LARGE << 1 << false << 146 << 1 << int(Volts3) << 1.0;
    QTest::newRow("CH3 up") << IDC_PANEL_CH3_SMALL << 4 << false << 114 << 4 << int(Offset3) << -4.0;
    QTest::newRow("CH4 V/div down") << IDC_PANEL_CH4_LARGE << -1 << false << 179 << 1 << int(Volts4) << -1.0;
    QTest::newRow("CH4 down") << IDC_PANEL_CH4_SMALL << -2 << false << 165 << 2 << int(Offset4) << 2.0;
    QTest::newRow("universal: holdoff") << IDC_PANEL_ALL_CAN << 3 << false << 219 << 3 << int(Holdoff) << 3.0;
    QTest::newRow("level up") << IDC_PANEL_LEVEL << 4 << false << 93 << 4 << int(Level) << 4.0;
    // 300 detents go out as 300 truncated to 8 bits.
    QTest::newRow("level down 300") << IDC_PANEL_LEVEL << -300 << false << 102 << 44 << int(Level) << -44.0;
}

void TestPanel::knobStepsTurnTheInstrument()
{
    QFETCH(int, id);
    QFETCH(int, delta);
    QFETCH(bool, wheel);
    QFETCH(int, code);
    QFETCH(int, count);
    QFETCH(int, quantity);
    QFETCH(double, change);
    AppEnv env;
    QVERIFY(Connect(env, 70));
    WithPanel(env, [&](CSimulantUIDlg *panel) {
        CKnobSpin *knob = panel->knob(id);
        QCOMPARE(knob->value(), 0);
        QCOMPARE(knob->maximum(), (id == IDC_PANEL_HORI_LARGE || id == IDC_PANEL_CH1_LARGE ||
                                   id == IDC_PANEL_CH2_LARGE || id == IDC_PANEL_CH3_LARGE || id == IDC_PANEL_CH4_LARGE)
                                      ? 100
                                      : 1000);
        QCOMPARE(knob->minimum(), -knob->maximum());
        const vsim::State before = m_sim.instrument->state();
        const Lamps lamps = StoredLamps();
        const QString pane = env.frame->paneText(0);
        const size_t keys = m_sim.instrument->keysPressed().size();
        env.ui.clear();
        LinkSleeps().clear();

        if (wheel) {
            // Half a notch turns nothing yet; the second half makes one step.
            Wheel(knob, 60 * delta);
            QCOMPARE(m_sim.instrument->keysPressed().size(), keys);
            Wheel(knob, 60 * delta);
        } else {
            knob->stepBy(delta);
        }

        const std::vector<vsim::KeyPress> pressed = m_sim.instrument->keysPressed();
        QCOMPARE(pressed.size(), keys + 1);
        QCOMPARE(int(pressed.back().code), code);
        QCOMPARE(int(pressed.back().count), count);
        QCOMPARE(knob->value(), delta);
        const vsim::State after = m_sim.instrument->state();
        QVERIFY2(std::fabs(Measure(after, quantity) - Measure(before, quantity) - change) < 1e-6,
                 qPrintable(QString::number(Measure(after, quantity) - Measure(before, quantity))));
        // Not logged, no lamp read, nothing shown.
        QCOMPARE(env.frame->paneText(0), pane);
        QCOMPARE(LinkSleeps(), std::vector<unsigned>{100});
        QVERIFY(env.ui.sleeps.empty());
        QVERIFY(env.ui.messages.empty());
        QCOMPARE(StoredLamps(), lamps);
    });
}

void TestPanel::lampLooks_data()
{
    QTest::addColumn<Lamps>("lamps");
    QTest::newRow("all dark, RUN/STOP other") << Lamps{0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("running, all lit") << Lamps{1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    QTest::newRow("stopped, some lit") << Lamps{2, 0, 1, 0, 7, 0, 255, 0, 1, 0};
    QTest::newRow("RUN/STOP 3 is dark") << Lamps{3, 1, 0, 1, 0, 1, 0, 1, 0, 1};
}

void TestPanel::lampLooks()
{
    QFETCH(Lamps, lamps);
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CSimulantUIDlg panel(env.frame);
    std::copy(lamps.begin(), lamps.end(), g_LedStatus);
    g_bChOpen[0] = g_bChOpen[3] = 1;
    for (int n = 1; n <= 4; ++n) {
        Live(n).vertPos = 17;
        Live(n).voltsText = QStringLiteral("1.000000V");
    }
    g_szTimeBase = g_szHoriPos = QStringLiteral("5.000000us");
    g_nTrigState = 3;

    panel.ShowLamps();

    QCOMPARE(LookMismatch(&panel, lamps), QString());
    // Lit keys are checked for assistive tools and painted readable: their
    // caption stands out on their face.
    for (int k = 0; k < 10; ++k) {
        CLampKey *key = panel.lampKey(kLampIds[k]);
        QCOMPARE(key->isChecked(), k == 0 ? (lamps[0] == 1 || lamps[0] == 2) : lamps[size_t(k)] != 0);
        if (k != 1) {
            const QColor face = key->GetProperty(CLampKey::kFaceColour).value<QColor>();
            QVERIFY(std::abs(qGray(key->textColour().rgb()) - qGray(face.rgb())) > 90);
        }
    }
    // The wave graph page reads everything again at its next refresh.
    for (int n = 1; n <= 4; ++n) {
        QCOMPARE(g_bChOpen[n - 1], uint8_t(0));
        QCOMPARE(Live(n).vertPos, 0);
        QCOMPARE(Live(n).voltsText, QString("0 V"));
    }
    QCOMPARE(g_szTimeBase, QString("0 s"));
    QCOMPARE(g_szHoriPos, QString("0 s"));
    QCOMPARE(g_nTrigState, uint8_t(255));
}

void TestPanel::knobPushAndKnobDone()
{
    AppEnv env;
    QVERIFY(Connect(env, 70));
    vsim::State s = m_sim.instrument->state();
    s.channels[0].offset = 90;
    m_sim.instrument->setState(s);
    WithPanel(env, [&](CSimulantUIDlg *panel) {
        auto *scale = panel->findChild<QLabel *>(IdName(IDC_PANEL_KNOB_SCALE));
        auto *name = panel->findChild<QLabel *>(IdName(IDC_PANEL_KNOB_NAME));
        QCOMPARE(name->text(), QString("There is no Knob oper"));
        QCOMPARE(scale->text(), QString("0"));
        // Knob Done without a pushed knob: nothing at all.
        env.frame->LogOperation(QStringLiteral("before"));
        panel->button(IDC_PANEL_KNOB_DONE)->click();
        QCOMPARE(env.frame->paneText(0), QString("before"));

        const struct {
            int id, code;
            const char *name;
        } pushes[] = {{IDC_PANEL_HORI_PUSH, 21, "S/div knob"},
                      {IDC_PANEL_CH1_PUSH, 17, "CH1 V/div knob"},
                      {IDC_PANEL_CH2_PUSH, 27, "CH2 V/div knob"},
                      {IDC_PANEL_CH3_PUSH, 37, "CH3 V/div knob"},
                      {IDC_PANEL_CH4_PUSH, 47, "CH4 V/div knob"}};
        for (const auto &p : pushes) {
            LinkSleeps().clear();
            QVERIFY(!panel->button(p.id)->icon().isNull());
            panel->button(p.id)->click();
            QCOMPARE(int(m_sim.instrument->keysPressed().back().code), p.code);
            QCOMPARE(name->text(), QString::fromLatin1(p.name));
            QCOMPARE(scale->text(), QString("0"));
            QCOMPARE(env.frame->paneText(0), QString::fromLatin1(p.name) + " click down");
            QCOMPARE(LinkSleeps(), std::vector<unsigned>{100});  // no lamp read
        }
        QCOMPARE(m_sim.instrument->state().channels[0].offset, 129);  // the pushed knob recentred CH1
        QVERIFY(env.ui.messages.empty());

        panel->button(IDC_PANEL_KNOB_DONE)->click();
        QCOMPARE(env.frame->paneText(0), QString("Simulant Pane Oper is Complete"));
        QCOMPARE(name->text(), QString("There is no Knob oper"));

        // A key ends a knob operation too, without the completion line.
        panel->button(IDC_PANEL_CH1_PUSH)->click();
        panel->button(IDC_PANEL_MB1)->click();
        QCOMPARE(panel->knobName(), QString("There is no Knob oper"));
        QCOMPARE(env.frame->paneText(0), QString("MB_1 click down"));
    });
}

void TestPanel::refusedKeysSendNothing_data()
{
    QTest::addColumn<bool>("bound");
    QTest::addColumn<bool>("linkKnown");
    QTest::newRow("not bound") << false << true;
    QTest::newRow("link lamp off") << true << false;
}

void TestPanel::refusedKeysSendNothing()
{
    QFETCH(bool, bound);
    QFETCH(bool, linkKnown);
    AppEnv env;
    QVERIFY(Connect(env, 70));
    WithPanel(env, [&](CSimulantUIDlg *panel) {
        g_bDsoBound = bound;
        env.frame->m_bLinkKnown = linkKnown;
        const Lamps lamps = StoredLamps();
        const size_t keys = m_sim.instrument->keysPressed().size();
        env.ui.clear();
        LinkSleeps().clear();

        panel->lampKey(IDC_PANEL_CH3)->click();

        QCOMPARE(m_sim.instrument->keysPressed().size(), keys);
        QVERIFY(LinkSleeps().empty());
        QCOMPARE(env.messageTexts(), QStringList{"The software is not link with device!"});
        QCOMPARE(env.ui.messages[0].title, QString("Error"));
        QCOMPARE(env.ui.messages[0].icon, vantor::MsgIcon::Warning);
        QCOMPARE(StoredLamps(), lamps);
        QCOMPARE(LookMismatch(panel, lamps), QString());
        QCOMPARE(env.frame->progressBar()->value(), 0);
        QCOMPARE(env.ui.waitCursorDepth, 0);

        // Knob steps and pushes ask nothing of the link state.
        panel->knob(IDC_PANEL_CH2_LARGE)->stepBy(1);
        QCOMPARE(int(m_sim.instrument->keysPressed().back().code), 104);
        panel->button(IDC_PANEL_CH2_PUSH)->click();
        QCOMPARE(int(m_sim.instrument->keysPressed().back().code), 27);
        QCOMPARE(env.ui.messages.size(), size_t(1));
        g_bDsoBound = 1;
        env.frame->m_bLinkKnown = 1;
    });
    env.frame->OnDisconnect();
}

void TestPanel::openingNeedsTheLamps()
{
    AppEnv env;
    QVERIFY(Connect(env, 70));
    // Opening: the lamp read, then the status exchange, each a status request.
    WithPanel(env, [&](CSimulantUIDlg *panel) {
        QCOMPARE(LinkSleeps(), (std::vector<unsigned>{50, 50}));
        QCOMPARE(env.ui.sleeps, std::vector<unsigned>(10, 2));
        QCOMPARE(env.frame->rightWnd()->m_pPanel, panel);
        QCOMPARE(env.frame->rightWnd()->CurrentTab(), 1);
        QCOMPARE(env.ui.waitCursorDepth, 0);
        QCOMPARE(panel->windowTitle(), QString("Virtual Pane"));
        QCOMPARE(StoredLamps(), m_sim.instrument->lamps());
    });

    // A refused lamp read: no panel, no message, the lamps cleared.
    std::fill(std::begin(g_LedStatus), std::end(g_LedStatus), uint8_t(1));
    m_sim.instrument->inject({vsim::Fault::Refuse, vsim::CmdRead, 1, 1});
    env.ui.clear();
    env.ui.dialogHandlers.push_back([](QDialog *) { return int(QDialog::Rejected); });
    env.frame->OnShowPanel();
    QCOMPARE(env.ui.dialogHandlers.size(), size_t(1));
    QVERIFY(env.ui.messages.empty());
    QCOMPARE(StoredLamps(), Lamps{});
    QCOMPARE(env.ui.waitCursorDepth, 0);
    QVERIFY(!env.frame->rightWnd()->m_pPanel);
    env.ui.dialogHandlers.clear();
    env.frame->OnDisconnect();
}

void TestPanel::tickAndRefreshShowTheInstrumentsLamps()
{
    AppEnv env;
    QVERIFY(Connect(env, 70));
    WithPanel(env, [&](CSimulantUIDlg *panel) {
        // The instrument changes on its own (its own keys, an acquisition).
        vsim::State s = m_sim.instrument->state();
        s.math = true;
        s.running = false;
        m_sim.instrument->setState(s);
        env.ui.clear();
        env.frame->OnRefreshTick();
        QCOMPARE(StoredLamps(), m_sim.instrument->lamps());
        QCOMPARE(LookMismatch(panel, m_sim.instrument->lamps()), QString());
        QVERIFY(panel->lampKey(IDC_PANEL_MATH)->lit());
        QCOMPARE(env.ui.sleeps.back(), 500u);
        QCOMPARE(g_nTrigState, uint8_t(255));  // the lamps were shown after the graph's refresh

        s.math = false;
        s.cursor = true;
        m_sim.instrument->setState(s);
        env.ui.clear();
        LinkSleeps().clear();
        panel->button(IDC_PANEL_REFRESH)->click();
        QCOMPARE(LookMismatch(panel, m_sim.instrument->lamps()), QString());
        QVERIFY(panel->lampKey(IDC_PANEL_CURSOR)->lit());
        QCOMPARE(LinkSleeps(), std::vector<unsigned>{50});
        QCOMPARE(env.ui.sleeps, std::vector<unsigned>{300});
        QCOMPARE(env.frame->progressBar()->value(), 0);
    });
}

void TestPanel::layoutOfEachFamily_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("two");
    QTest::newRow("family 0") << 10 << true;
    QTest::newRow("family 1") << 58 << true;
    QTest::newRow("family 4") << 78 << true;
    QTest::newRow("family 3") << 70 << false;
}

void TestPanel::layoutOfEachFamily()
{
    QFETCH(int, code);
    QFETCH(bool, two);
    AppEnv env;
    QVERIFY(Connect(env, code));
    WithPanel(env, [&](CSimulantUIDlg *panel) {
        panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        const QList<int> ch34 = {IDC_PANEL_CH3_LARGE, IDC_PANEL_CH3_SMALL, IDC_PANEL_CH3_PUSH, IDC_PANEL_CH3,
                                 IDC_PANEL_CH4_LARGE, IDC_PANEL_CH4_SMALL, IDC_PANEL_CH4_PUSH, IDC_PANEL_CH4};
        for (QWidget *w : NumberedControls(panel)) {
            const int id = w->property("ctrlId").toInt();
            QVERIFY2(w->isVisibleTo(panel) == !(two && ch34.contains(id)), qPrintable(w->objectName()));
            QVERIFY2(!w->accessibleName().isEmpty() || !w->isVisibleTo(panel), qPrintable(w->objectName()));
        }
        // The boxes sit side by side, vertical, horizontal, trigger, and none
        // holds a hole where hidden controls were.
        QGroupBox *boxes[3] = {panel->box(IDC_PANEL_VERTICAL_BOX), panel->box(IDC_PANEL_HORIZONTAL_BOX),
                               panel->box(IDC_PANEL_TRIGGER_BOX)};
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(WidestHole(boxes[i]) <= 16, qPrintable(QString::number(WidestHole(boxes[i]))));
            if (i > 0) {
                QVERIFY(boxes[i]->x() > boxes[i - 1]->geometry().right());
                QVERIFY(boxes[i]->x() - boxes[i - 1]->geometry().right() <= 16);
            }
        }
        QVERIFY(panel->width() - boxes[2]->geometry().right() <= 24);
        QVERIFY(panel->width() <= 1366 && panel->height() <= 740);
        panel->hide();
    });
}

void TestPanel::keyboardShortcuts_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("code");  // 0: nothing sent
    QTest::addColumn<QString>("tip");
    QTest::addColumn<bool>("knobFocused");
    QTest::newRow("Space") << 70 << int(Qt::Key_Space) << IDC_PANEL_RUN_STOP << 40 << QStringLiteral("RUN/STOP (Space)")
                           << false;
    QTest::newRow("S") << 70 << int(Qt::Key_S) << IDC_PANEL_SINGLE << 35 << QStringLiteral("SINGLE (S)") << false;
    QTest::newRow("A") << 70 << int(Qt::Key_A) << IDC_PANEL_AUTO << 20 << QStringLiteral("AUTO (A)") << false;
    QTest::newRow("1") << 70 << int(Qt::Key_1) << IDC_PANEL_CH1 << 14 << QStringLiteral("CH1 (1)") << false;
    QTest::newRow("2") << 70 << int(Qt::Key_2) << IDC_PANEL_CH2 << 9 << QStringLiteral("CH2 (2)") << false;
    QTest::newRow("3") << 70 << int(Qt::Key_3) << IDC_PANEL_CH3 << 19 << QStringLiteral("CH3 (3)") << false;
    QTest::newRow("4") << 70 << int(Qt::Key_4) << IDC_PANEL_CH4 << 34 << QStringLiteral("CH4 (4)") << false;
    QTest::newRow("M") << 70 << int(Qt::Key_M) << IDC_PANEL_MATH << 29 << QStringLiteral("MATH (M)") << false;
    QTest::newRow("R") << 70 << int(Qt::Key_R) << IDC_PANEL_REF << 24 << QStringLiteral("REF (R)") << false;
    QTest::newRow("C") << 70 << int(Qt::Key_C) << IDC_PANEL_CURSOR << 45 << QStringLiteral("CURSOR (C)") << false;
    QTest::newRow("1 over a knob") << 70 << int(Qt::Key_1) << IDC_PANEL_CH1 << 14 << QStringLiteral("CH1 (1)") << true;
    QTest::newRow("Space over a knob") << 70 << int(Qt::Key_Space) << IDC_PANEL_RUN_STOP << 40
                                       << QStringLiteral("RUN/STOP (Space)") << true;
    QTest::newRow("3 on two channels") << 10 << int(Qt::Key_3) << IDC_PANEL_CH3 << 0 << QStringLiteral("CH3 (3)")
                                       << false;
}

void TestPanel::keyboardShortcuts()
{
    QFETCH(int, family);
    QFETCH(int, key);
    QFETCH(int, id);
    QFETCH(int, code);
    QFETCH(QString, tip);
    QFETCH(bool, knobFocused);
    AppEnv env;
    QVERIFY(Connect(env, family));
    WithPanel(env, [&](CSimulantUIDlg *panel) {
        panel->show();
        panel->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(panel));
        QAbstractButton *target = panel->findChild<QAbstractButton *>(IdName(id));
        QCOMPARE(target->toolTip(), tip);
        QWidget *focus =
            knobFocused ? static_cast<QWidget *>(panel->knob(IDC_PANEL_HORI_LARGE)) : panel->button(IDC_PANEL_MB1);
        focus->setFocus();
        QVERIFY(focus->hasFocus());
        const size_t keys = m_sim.instrument->keysPressed().size();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        const std::vector<vsim::KeyPress> pressed = m_sim.instrument->keysPressed();
        if (code == 0) {
            QCOMPARE(pressed.size(), keys);
        } else {
            QCOMPARE(pressed.size(), keys + 1);
            QCOMPARE(int(pressed.back().code), code);
        }
        QCOMPARE(panel->knob(IDC_PANEL_HORI_LARGE)->value(), 0);
        panel->hide();
    });
}

void TestPanel::chineseTexts()
{
    AppEnv env("[Set]\nLanguage=ZH\n");
    QVERIFY(Connect(env, 70));
    WithPanel(env, [&](CSimulantUIDlg *panel) {
        QCOMPARE(panel->windowTitle(), QString("虚拟面板"));
        QAbstractButton *run = panel->lampKey(IDC_PANEL_RUN_STOP);
        QCOMPARE(run->text(), QString("运行/停止"));
        QCOMPARE(run->accessibleName(), QString("运行/停止"));
        // The key's name as Qt gives it in the interface's language ("空格").
        QCOMPARE(run->toolTip(),
                 QString("运行/停止 (%1)").arg(QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText)));
        QCOMPARE(panel->box(IDC_PANEL_VERTICAL_BOX)->title(), QString("垂直"));
        QCOMPARE(panel->button(IDC_PANEL_KNOB_DONE)->text(), QString("旋钮完成"));
        QCOMPARE(panel->knob(IDC_PANEL_CH2_LARGE)->accessibleName(), QString("CH2 伏/格"));
        g_bDsoBound = 0;
        panel->button(IDC_PANEL_MEASURE)->click();
        QCOMPARE(env.messageTexts(), QStringList{"没有连接设备!"});
        QCOMPARE(env.ui.messages[0].title, QString("错误"));
        QCOMPARE(env.frame->paneText(0), QString("MEASURE click down"));
        g_bDsoBound = 1;
    });
    env.frame->OnDisconnect();
}

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
