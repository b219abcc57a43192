// The platform layer: design filters, the private-profile reader, GBK text,
// the link gate and the recording desktop.
#include "platform/gbk.h"
#include "platform/ini_file.h"
#include "platform/link_gate.h"
#include "platform/ui_services.h"

#include <QDialog>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <set>
#include <thread>

using namespace vantor;

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void designFiltersBecomeQtFilters_data();
    void designFiltersBecomeQtFilters();
    void iniLookUpRules();
    void iniValuesAreCutToTheBuffer();
    void iniAcceptsGbkWhenNotUtf8();
    void gbkBytesAndCuts();
    void gateRunsOnOneThreadInOrder();
    void gateKeepsEventsFlowingButIsBusy();
    void gateDefersWorkUntilIdle();
    void synchronousGateRunsInline();
    void gateRunsCommandsInTurn();
    void gatePausesACommandInItsModalWindow();
    void recordingServicesAnswerFromScripts();
};

void TestPlatform::designFiltersBecomeQtFilters_data()
{
    QTest::addColumn<QString>("design");
    QTest::addColumn<QString>("qt");
    QTest::newRow("bmp") << "bitmap file (*.bmp) |*.bmp| |"
                         << "bitmap file (*.bmp)";
    QTest::newRow("ssf") << "Scope setting file (*.ssf) |*.ssf| |"
                         << "Scope setting file (*.ssf)";
    QTest::newRow("graph") << "graph file( *.csv)|*.csv|wavedata file(*.wdf)|*.wdf| |"
                           << "graph file (*.csv);;wavedata file (*.wdf)";
    QTest::newRow("no parentheses") << "All|*.*| |"
                                    << "All (*.*)";
}

void TestPlatform::designFiltersBecomeQtFilters()
{
    QFETCH(QString, design);
    QFETCH(QString, qt);
    QCOMPARE(ConvertDesignFilter(design), qt);
}

void TestPlatform::iniLookUpRules()
{
    const QByteArray text = "; comment\r\n"
                            "key=outside\r\n"
                            "[Set]\r\n"
                            "  Provide =  Marlowe  \r\n"
                            "provide=second\r\n"
                            "Quoted=\"a b\"\r\n"
                            "Empty=\r\n"
                            "[OTHER]\r\n"
                            "Provide=other\r\n";
    IniFile ini(text, true);
    QCOMPARE(ini.value("set", "PROVIDE", "dflt", 256), QString("Marlowe"));  // case and first match
    QCOMPARE(ini.value("Set", "Quoted", "dflt", 256), QString("a b"));
    QCOMPARE(ini.value("Set", "Empty", "dflt", 256), QString(""));
    QCOMPARE(ini.value("Set", "Missing", "dflt", 256), QString("dflt"));
    QCOMPARE(ini.value("Other", "Provide", "dflt", 256), QString("other"));
    QCOMPARE(ini.value("", "key", "dflt", 256), QString("dflt"));  // no section, no match
    QCOMPARE(GetPrivateProfileText("Set", "Provide", "gone", 256, "/nonexistent/set.ini"), QString("gone"));
}

void TestPlatform::iniValuesAreCutToTheBuffer()
{
    const QString longValue(300, QLatin1Char('x'));
    IniFile ini(("[Set]\nModel=" + longValue + "\n").toUtf8(), true);
    QCOMPARE(ini.value("Set", "Model", "", 256).size(), 255);
    QCOMPARE(ini.value("Set", "Model", "", 0).size(), 300);
    QCOMPARE(ini.value("Set", "Missing", QString(400, 'd'), 256).size(), 255);
}

void TestPlatform::iniAcceptsGbkWhenNotUtf8()
{
    QByteArray gbk = "[String]\nIDD100_Title=" + ToGbk(QStringLiteral("关于软件")) + "\n";
    IniFile ini(gbk, true);
    QCOMPARE(ini.value("String", "IDD100_Title", "", 1000), QStringLiteral("关于软件"));
    IniFile utf8(QStringLiteral("[String]\nA=关于\n").toUtf8(), true);
    QCOMPARE(utf8.value("String", "A", "", 1000), QStringLiteral("关于"));
}

void TestPlatform::gbkBytesAndCuts()
{
    QCOMPARE(ToGbk(QStringLiteral("——")), QByteArray("\xA1\xAA\xA1\xAA"));
    QCOMPARE(ToGbk(QStringLiteral("错误")), QByteArray("\xB4\xED\xCE\xF3"));
    QCOMPARE(FromGbk(QByteArray("\xB4\xED\xCE\xF3")), QStringLiteral("错误"));
    QCOMPARE(ToGbk("abc"), QByteArray("abc"));
    const QByteArray mixed = "ab" + ToGbk(QStringLiteral("错误"));  // 6 bytes
    QCOMPARE(CutGbk(mixed, 5), QByteArray("ab\xB4\xED"));           // never half a character
    QCOMPARE(CutGbk(mixed, 4), QByteArray("ab\xB4\xED"));
    QCOMPARE(CutGbk(mixed, 3), QByteArray("ab"));
    QCOMPARE(CutGbk(mixed, 10), mixed);
}

void TestPlatform::gateRunsOnOneThreadInOrder()
{
    RecordingUiServices ui;
    LinkGate gate(ui, LinkGate::Mode::Threaded);
    std::vector<int> order;
    std::set<std::thread::id> threads;
    for (int i = 0; i < 5; ++i) {
        const int got = gate.run([&, i] {
            order.push_back(i);
            threads.insert(std::this_thread::get_id());
            return i * 10;
        });
        QCOMPARE(got, i * 10);
    }
    QCOMPARE(order, (std::vector<int>{0, 1, 2, 3, 4}));
    QCOMPARE(threads.size(), size_t(1));
    QVERIFY(*threads.begin() != std::this_thread::get_id());
    QCOMPARE(ui.waitCursorBegins, 5);
    QCOMPARE(ui.waitCursorDepth, 0);
    gate.pause(300);
    QCOMPARE(ui.sleeps, (std::vector<unsigned>{300}));
}

void TestPlatform::gateKeepsEventsFlowingButIsBusy()
{
    RecordingUiServices ui;
    LinkGate gate(ui, LinkGate::Mode::Threaded);
    std::atomic<bool> release{false};
    bool sawBusy = false;
    // A queued event on the UI thread while the command is running: it must be
    // delivered (the window keeps painting) and see the gate busy.
    QTimer::singleShot(0, [&] {
        sawBusy = gate.busy();
        release = true;
    });
    gate.run([&] {
        while (!release.load())
            std::this_thread::yield();
    });
    QVERIFY(sawBusy);
    QVERIFY(!gate.busy());
}

void TestPlatform::gateDefersWorkUntilIdle()
{
    RecordingUiServices ui;
    LinkGate gate(ui, LinkGate::Mode::Threaded);
    std::vector<QString> events;
    std::atomic<bool> release{false};
    QTimer::singleShot(0, [&] {
        gate.whenIdle([&] { events.push_back("notice"); });
        events.push_back("queued");
        release = true;
    });
    gate.run([&] {
        while (!release.load())
            std::this_thread::yield();
        events.push_back("command");
    });
    QCOMPARE(events, (std::vector<QString>{"queued", "command", "notice"}));
    gate.whenIdle([&] { events.push_back("now"); });
    QCOMPARE(events.back(), QString("now"));
}

void TestPlatform::synchronousGateRunsInline()
{
    RecordingUiServices ui;
    LinkGate gate(ui, LinkGate::Mode::Synchronous);
    std::thread::id where;
    gate.run([&] { where = std::this_thread::get_id(); });
    QCOMPARE(where, std::this_thread::get_id());
    std::vector<int> order;
    gate.run([&] {
        QVERIFY(gate.busy());
        gate.whenIdle([&] { order.push_back(2); });
        order.push_back(1);
    });
    QCOMPARE(order, (std::vector<int>{1, 2}));
}

void TestPlatform::gateRunsCommandsInTurn()
{
    // Input during a command's wait: what needs no link runs at once, a
    // command that needs it waits its turn with the wait cursor (so does one
    // arriving while a queued one runs), one whose window has gone is
    // dropped, and a job's steps run before run() returns.
    RecordingUiServices ui;
    LinkGate gate(ui, LinkGate::Mode::Threaded);
    std::vector<QString> events, wire;
    std::atomic<bool> inputDone{false};
    auto gone = std::make_unique<QObject>();
    int cursorsWhileQueued = 0;
    QTimer::singleShot(0, [&] {
        events.push_back("input");
        QVERIFY(gate.busy());
        gate.command(nullptr, [&] {
            // A third command arriving while this one, once queued, waits.
            std::atomic<bool> thirdQueued{false};
            QTimer::singleShot(0, [&] {
                gate.command(nullptr, [&] {
                    gate.run([&] { wire.push_back("third"); });
                    events.push_back("third");
                });
                thirdQueued = true;
            });
            gate.run([&] {
                while (!thirdQueued.load())
                    std::this_thread::yield();
                wire.push_back("second");
            });
            events.push_back("second");
        });
        gate.command(gone.get(), [&] { events.push_back("dropped"); });
        gone.reset();
        cursorsWhileQueued = ui.waitCursorDepth;
        inputDone = true;
    });
    gate.command(nullptr, [&] {
        gate.run([&] {
            while (!inputDone.load())
                std::this_thread::yield();
            wire.push_back("first a");
            gate.post([&] { events.push_back("step"); });
        });
        events.push_back("between");
        QVERIFY(gate.busy());
        gate.run([&] { wire.push_back("first b"); });
        events.push_back("first");
    });
    QCOMPARE(wire, (std::vector<QString>{"first a", "first b", "second", "third"}));
    QCOMPARE(events, (std::vector<QString>{"input", "step", "between", "first", "second", "third"}));
    QCOMPARE(cursorsWhileQueued, 3);  // the job's and the two queued commands'
    QCOMPARE(ui.waitCursorDepth, 0);
    QVERIFY(!gate.busy());
}

void TestPlatform::gatePausesACommandInItsModalWindow()
{
    // The window's own commands run while it is open; one queued before it
    // opened waits until it closed and its command ended.
    RecordingUiServices ui;
    LinkGate gate(ui, LinkGate::Mode::Threaded);
    std::vector<QString> events;
    std::atomic<bool> queued{false};
    QTimer::singleShot(0, [&] {
        gate.command(nullptr, [&] { events.push_back("queued before"); });
        queued = true;
    });
    gate.command(nullptr, [&] {
        gate.run([&] {
            while (!queued.load())
                std::this_thread::yield();
        });
        QDialog dialog;
        QTimer::singleShot(0, &dialog, [&] {
            events.push_back(gate.busy() ? "busy" : "free");
            gate.command(nullptr, [&] {
                gate.run([] {});
                events.push_back("from the window");
            });
            dialog.accept();
        });
        dialog.exec();
        events.push_back("closed");
    });
    QCOMPARE(events, (std::vector<QString>{"free", "from the window", "closed", "queued before"}));
}

void TestPlatform::recordingServicesAnswerFromScripts()
{
    RecordingUiServices ui;
    ui.fileAnswers = {"/tmp/a.ssf"};
    FileDialogRequest r;
    r.title = "Open";
    QCOMPARE(ui.fileDialog(nullptr, r), QString("/tmp/a.ssf"));
    QCOMPARE(ui.fileDialog(nullptr, r), QString());  // cancel once the script is spent
    QCOMPARE(ui.fileDialogs.size(), size_t(2));
    const QDateTime before = ui.now();
    ui.sleep(250);
    QCOMPARE(before.msecsTo(ui.now()), 250);
    UiServices &services = ui;
    QCOMPARE(services.messageBox(nullptr, "t", "x", MsgIcon::Stop), MsgResult::Ok);
    QCOMPARE(ui.messages.front().icon, MsgIcon::Stop);
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
