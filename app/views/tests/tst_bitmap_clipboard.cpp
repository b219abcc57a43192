// End to end under a real X server: the application with its own desktop
// services and threaded link gate fetches the virtual instrument's screen,
// copies it, and another program (xclip) reads the clipboard as a PNG.
#include "platform/control_ids.h"
#include "platform/globals.h"
#include "shell/main_frame.h"
#include "shell/panes.h"
#include "shell/vantor_app.h"
#include "tests/virtual_instrument.h"
#include "views/bitmap_page.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

class TestBitmapClipboard : public QObject {
    Q_OBJECT
private slots:
    void copiedPictureReadByXclip();
};

void TestBitmapClipboard::copiedPictureReadByXclip()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under Xvfb)");
    apptest::VirtualInstrument sim;
    QVERIFY(sim.Prepare());
    sim.StartUsb(70);
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    ResetAllGlobals();
    CVantorApp::Options options;  // the application's own desktop services
    options.programDir = dir.path();
    options.logDir = dir.path();
    options.lockPath = dir.filePath(QStringLiteral("Vantor.lock"));
    CVantorApp app(options);
    app.ReadStartupFile();
    CMainFrame *frame = app.CreateMainFrame();
    QVERIFY(frame);
    frame->ShowAtStart();
    // A message box would wait for a click that never comes: close it and fail.
    QTimer watchdog;
    bool modal = false;
    connect(&watchdog, &QTimer::timeout, [&modal] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            modal = true;
            box->close();
        }
    });
    watchdog.start(200);

    frame->OnConnect();
    QVERIFY(g_bDsoBound);
    frame->rightWnd()->SelectTab(TAB_BITMAP);
    CWaveUIBmpDlg *page = frame->rightWnd()->bitmapPage();
    QTest::mouseClick(page->button(IDC_BITMAP_REFRESH), Qt::LeftButton);
    QVERIFY(page->hasPicture());
    QTest::mouseClick(page->button(IDC_BITMAP_COPY), Qt::LeftButton);

    // The clipboard's owner is this process: keep serving it while xclip reads.
    QProcess xclip;
    QSignalSpy finished(&xclip, &QProcess::finished);
    xclip.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "image/png", "-o"});
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 1, 20000);
    QCOMPARE(xclip.exitCode(), 0);
    const QByteArray png = xclip.readAllStandardOutput();
    QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n"));
    const QImage read = QImage::fromData(png, "PNG");
    QCOMPARE(read.size(), QSize(320, 240));
    QCOMPARE(read.convertToFormat(QImage::Format_RGB32), page->image());
    QVERIFY(!modal);
    frame->OnDisconnect();
    frame->close();
}

QTEST_MAIN(TestBitmapClipboard)
#include "tst_bitmap_clipboard.moc"
