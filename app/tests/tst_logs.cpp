// The operation log's batches and switch, the debug log's lines, and their
// bytes on disk.
#include "app_test_support.h"
#include "platform/control_ids.h"
#include "platform/gbk.h"
#include "shell/logs.h"

#include <QAction>
#include <QFile>
#include <QtTest>

using namespace apptest;

namespace {

QList<QByteArray> Lines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back();
    return lines;
}

}  // namespace

class TestLogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("FERRULE_SIM_SOCKET", "/nonexistent/vantor-test.sock"); }
    void init() { ClearUserSettings(); }
    void timeStampsAndTags();
    void debugLogLineBytes();
    void debugLogPathIsFilledOnce();
    void tenOperationsStayPendingTheEleventhWritesAll();
    void welcomeLineFillsTheFirstSlot();
    void logOffOnlyUpdatesThePane();
    void switchingOffWithThreePendingWritesFour();
    void switchingOffWithTenPendingUsesThePlainStamp();
    void switchingOnAddsALine();
    void longOperationTextIsCutToItsSlot();
    void exitFlushesPendingLines();
    void exitWithAnUnwritableLogStillCloses();
    void unwritableLogKeepsLinesAndTellsTheUser();
    void switchingOnWithTenUnwritableLinesTellsTheUser();
};

void TestLogs::timeStampsAndTags()
{
    const QDateTime when(QDate(2026, 3, 5), QTime(14, 7, 9, 123));
    QCOMPARE(LogTimeStamp(when), vantor::ToGbk(QStringLiteral("20260305-14时07分09秒123毫秒")) + "\xA1\xAA\xA1\xAA");
    QCOMPARE(LogTimeStamp(when, true), QByteArray("20260305-14H07M09S123ms\xA1\xAA\xA1\xAA"));
    QCOMPARE(LogTimeStamp(QDateTime(QDate(999, 1, 2), QTime(3, 4, 5, 6)), true),
             QByteArray("09990102-03H04M05S006ms\xA1\xAA\xA1\xAA"));
    QCOMPARE(LevelTag(0), QByteArray("NORMAL :"));
    QCOMPARE(LevelTag(1), QByteArray("WARNING:"));
    QCOMPARE(LevelTag(2), QByteArray("ERROR  :"));
    QCOMPARE(LevelTag(3), QByteArray("FATAL  :"));
    for (int level = 0; level < 4; ++level)
        QCOMPARE(LevelTag(level).size(), 8);
}

void TestLogs::debugLogLineBytes()
{
    AppEnv env;
    DebugLog(QStringLiteral("创建分割条失败"), kError);
    env.ui.clock = env.ui.clock.addSecs(1);
    DebugLog(QStringLiteral("plain"), kNormal);
    const QByteArray bytes = env.readFile("BlogFile.txt");
    const QByteArray first = LogTimeStamp(QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9, 123))) +
                             "ERROR  :" + QByteArray("\xB4\xB4\xBD\xA8\xB7\xD6\xB8\xEE\xCC\xF5\xCA\xA7\xB0\xDC") +
                             "\r\n";
    const QByteArray second = LogTimeStamp(QDateTime(QDate(2026, 3, 5), QTime(14, 7, 10, 123))) + "NORMAL :plain\r\n";
    QCOMPARE(bytes, first + second);
}

void TestLogs::debugLogPathIsFilledOnce()
{
    AppEnv env;
    QVERIFY(g_szDebugLogPath.isEmpty());
    DebugLog("x", 0);
    QCOMPARE(g_szDebugLogPath, env.path("BlogFile.txt"));
}

void TestLogs::tenOperationsStayPendingTheEleventhWritesAll()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    g_bSaveOperateFile = 8;
    for (int i = 1; i <= 10; ++i)
        env.frame->LogOperation(QStringLiteral("op %1").arg(i));
    QVERIFY(!QFile::exists(env.path("Operate File.txt")));
    QCOMPARE(g_nOperateLineCount, 10);
    env.frame->LogOperation(QStringLiteral("op 11"));
    const QList<QByteArray> lines = Lines(env.readFile("Operate File.txt"));
    QCOMPARE(lines.size(), 11);
    for (int i = 0; i < 11; ++i) {
        QVERIFY(lines[i].endsWith("op " + QByteArray::number(i + 1) + "\r"));
        QVERIFY(lines[i].startsWith(LogTimeStamp(env.ui.clock)));
    }
    QCOMPARE(g_nOperateLineCount, 0);
    QCOMPARE(env.frame->paneText(0), QString("op 11"));
}

void TestLogs::welcomeLineFillsTheFirstSlot()
{
    WriteUserSettings("2000", 8, "/tmp");
    AppEnv env;
    QVERIFY(env.CreateFrame());
    QVERIFY(QFile::exists(env.path("Operate File.txt")));  // created empty at start
    QCOMPARE(env.readFile("Operate File.txt"), QByteArray());
    for (int i = 1; i <= 9; ++i)
        env.frame->LogOperation(QStringLiteral("op %1").arg(i));
    QCOMPARE(env.readFile("Operate File.txt"), QByteArray());
    env.frame->LogOperation(QStringLiteral("op 10"));
    const QList<QByteArray> lines = Lines(env.readFile("Operate File.txt"));
    QCOMPARE(lines.size(), 11);
    QVERIFY(lines[0].endsWith("\xA1\xAA\xA1\xAAWelcome use Vantor 3.0\r"));
}

void TestLogs::logOffOnlyUpdatesThePane()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    for (int i = 0; i < 30; ++i)
        env.frame->LogOperation(QStringLiteral("op"));
    QCOMPARE(g_nOperateLineCount, 0);
    QVERIFY(!QFile::exists(env.path("Operate File.txt")));
}

void TestLogs::switchingOffWithThreePendingWritesFour()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.frame->action(ID_OPERATE_FILE)->trigger();  // on: adds its own line
    QVERIFY(env.frame->action(ID_OPERATE_FILE)->isChecked());
    QCOMPARE(env.frame->paneText(0), QString("Select save Operate File"));
    env.frame->LogOperation("a");
    env.frame->LogOperation("b");
    QCOMPARE(g_nOperateLineCount, 3);
    env.frame->action(ID_OPERATE_FILE)->trigger();  // off
    QVERIFY(!env.frame->action(ID_OPERATE_FILE)->isChecked());
    QCOMPARE(env.frame->paneText(0), QString("Not save Operate File"));
    const QList<QByteArray> lines = Lines(env.readFile("Operate File.txt"));
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].endsWith("Select save Operate File\r"));
    QVERIFY(lines[3].endsWith("\xA1\xAA\xA1\xAANot save Operate File\r"));
    QVERIFY(lines[3].startsWith(LogTimeStamp(env.ui.clock)));
    QCOMPARE(g_nOperateLineCount, 0);
}

void TestLogs::switchingOffWithTenPendingUsesThePlainStamp()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.frame->action(ID_OPERATE_FILE)->trigger();
    for (int i = 0; i < 9; ++i)
        env.frame->LogOperation("x");
    QCOMPARE(g_nOperateLineCount, 10);
    env.frame->action(ID_OPERATE_FILE)->trigger();
    const QList<QByteArray> lines = Lines(env.readFile("Operate File.txt"));
    QCOMPARE(lines.size(), 11);
    QCOMPARE(lines[10], QByteArray("20260305-14H07M09S123ms\xA1\xAA\xA1\xAANot save Operate File\r"));
}

void TestLogs::switchingOnAddsALine()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.frame->action(ID_OPERATE_FILE)->trigger();
    QCOMPARE(g_bSaveOperateFile, uint8_t(8));
    QCOMPARE(g_nOperateLineCount, 1);
    QVERIFY(g_OperateLines[0].endsWith("Select save Operate File"));
    QVERIFY(QFile::exists(env.path("Operate File.txt")));
}

void TestLogs::longOperationTextIsCutToItsSlot()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    g_bSaveOperateFile = 8;
    env.frame->LogOperation(QString(300, QLatin1Char('z')));
    QCOMPARE(g_OperateLines[0].size(), 259);
    QVERIFY(g_OperateLines[0].startsWith(LogTimeStamp(env.ui.clock)));
    env.frame->LogOperation(QString(300, QChar(0x9519)));  // a double-byte character each
    QVERIFY(g_OperateLines[1].size() <= 259);
    QCOMPARE(vantor::FromGbk(g_OperateLines[1]).right(3), QString(3, QChar(0x9519)));
}

void TestLogs::exitFlushesPendingLines()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    g_bSaveOperateFile = 8;
    env.frame->LogOperation("one");
    env.frame->LogOperation("two");
    env.frame->close();
    const QList<QByteArray> lines = Lines(env.readFile("Operate File.txt"));
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[2].endsWith("Exit\r"));
    QCOMPARE(g_nOperateLineCount, 0);
}

void TestLogs::exitWithAnUnwritableLogStillCloses()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    g_bSaveOperateFile = 8;
    env.frame->LogOperation("pending");
    g_szOperateFilePath = env.path("missing-folder/Operate File.txt");
    QVERIFY(env.frame->close());
    QCOMPARE(env.messageTexts(), QStringList{"Try to open Operate File failed!"});
    QCOMPARE(g_nOperateLineCount, 2);  // lost with the program
}

void TestLogs::unwritableLogKeepsLinesAndTellsTheUser()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    g_bSaveOperateFile = 8;
    g_szOperateFilePath = env.path("missing-folder/Operate File.txt");
    for (int i = 0; i < 10; ++i)
        env.frame->LogOperation("kept");
    env.frame->LogOperation("lost");
    QCOMPARE(g_nOperateLineCount, 10);
    QVERIFY(g_OperateLines[9].endsWith("kept"));
    QCOMPARE(env.ui.messages.size(), size_t(1));
    QCOMPARE(env.ui.messages[0].text, QString("Try to open Operate File failed!"));
    QCOMPARE(env.ui.messages[0].title, QString("Error"));
    QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt")).contains(QStringLiteral("WARNING:打开操作记录文件失败")));
}

void TestLogs::switchingOnWithTenUnwritableLinesTellsTheUser()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    env.frame->action(ID_OPERATE_FILE)->trigger();  // on: one line
    for (int i = 0; i < 8; ++i)
        env.frame->LogOperation("kept");
    g_szOperateFilePath = env.path("missing-folder/Operate File.txt");
    env.frame->action(ID_OPERATE_FILE)->trigger();  // off: the tenth line, not written
    QCOMPARE(g_nOperateLineCount, 10);
    QVERIFY(env.ui.messages.empty());
    env.frame->action(ID_OPERATE_FILE)->trigger();  // on: the flush fails, and the user hears of it
    QCOMPARE(env.messageTexts(), QStringList{"Try to open Operate File failed!"});
    QCOMPARE(g_nOperateLineCount, 10);
}

QTEST_MAIN(TestLogs)
#include "tst_logs.moc"
