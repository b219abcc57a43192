// The instrument screen bitmap page in the real frame: refreshes from the
// virtual instrument over the virtual USB socket with every chunk failure,
// BMP files made and read back by ImageMagick, the save rules, rename, copy,
// the view modes and the printout on an image and a PDF.
#include "platform/control_ids.h"
#include "platform/gbk.h"
#include "print/preview.h"
#include "print/print_page.h"
#include "shell/base_operation.h"
#include "shell/panes.h"
#include "tests/app_test_support.h"
#include "tests/virtual_instrument.h"
#include "views/bitmap_page.h"
#include "views/page_dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QtEndian>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

using namespace apptest;

namespace {

CWaveUIBmpDlg *Page(AppEnv &env) { return env.frame->rightWnd()->bitmapPage(); }

uint32_t Le32(const QByteArray &b, int at) { return uint32_t(qFromLittleEndian<quint32>(b.constData() + at)); }
void Put32(QByteArray &b, int at, uint32_t v) { qToLittleEndian<quint32>(v, b.data() + at); }

bool HaveMagick() { return !QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty(); }

// ImageMagick's convert; its standard output.
QByteArray Magick(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("convert"), args);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        qWarning() << "convert" << args << p.readAllStandardError();
    return p.readAllStandardOutput();
}

// ImageMagick's own decoding: rows top first, 8-bit red, green, blue.
QByteArray MagickRgb(const QString &path) { return Magick({path, "-depth", "8", "rgb:-"}); }

QByteArray RgbOf(const QImage &image)
{
    QByteArray out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            out += char(qRed(c));
            out += char(qGreen(c));
            out += char(qBlue(c));
        }
    return out;
}

// A 4-bit file rewritten with one byte per pixel and its 16-entry table.
QByteArray EightBitOfSixteenColours(const QByteArray &four)
{
    const int w = int(Le32(four, 18)), h = int(Le32(four, 22));
    const int inRow = (w * 4 + 31) / 32 * 4, outRow = (w + 3) / 4 * 4;
    QByteArray out = four.left(54 + 64);
    out[28] = 8;
    for (int y = 0; y < h; ++y) {
        QByteArray row(outRow, 0);
        for (int x = 0; x < w; ++x)
            row[x] = char((uchar(four[int(Le32(four, 10)) + y * inRow + x / 2]) >> (x % 2 ? 0 : 4)) & 15);
        out += row;
    }
    Put32(out, 10, 54 + 64);
    Put32(out, 2, uint32_t(out.size()));
    Put32(out, 34, uint32_t(outRow * h));
    Put32(out, 46, 16);
    return out;
}

// A plain header for hand-made files; the body is up to the caller.
QByteArray Header(int width, int height, int bits, uint32_t compression = 0, uint32_t offBits = 54)
{
    QByteArray b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 10, offBits);
    Put32(b, 14, 40);
    Put32(b, 18, uint32_t(width));
    Put32(b, 22, uint32_t(height));
    b[26] = 1;
    b[28] = char(bits);
    Put32(b, 30, compression);
    return b;
}

// A surface over an image or a PDF printer that records the document calls.
class TestSurface : public PrintSurface {
public:
    explicit TestSurface(QPaintDevice *device, bool printer) : m_device(device), m_printer(printer)
    {
        if (!printer)
            m_painter.begin(device);
    }
    QPaintDevice *device() override { return m_device; }
    QPainter *painter() override { return &m_painter; }
    bool StartDoc(const QString &name) override
    {
        calls << "StartDoc " + name;
        return !failDoc && m_painter.begin(m_device);
    }
    bool StartPage() override
    {
        calls << "StartPage";
        return !failPage;
    }
    bool EndPage() override
    {
        calls << "EndPage";
        return true;
    }
    bool EndDoc() override
    {
        calls << "EndDoc";
        return !m_painter.isActive() || m_painter.end();
    }
    void AbortDoc() override
    {
        calls << "AbortDoc";
        m_painter.end();
    }
    QStringList calls;
    bool failDoc = false, failPage = false;

private:
    QPaintDevice *m_device;
    bool m_printer;
    QPainter m_painter;
};

}  // namespace

class TestBitmapPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void refresh_data();
    void refresh();
    void readerMatchesImageMagick_data();
    void readerMatchesImageMagick();
    void refusedFilesKeepThePicture_data();
    void refusedFilesKeepThePicture();
    void openFromThePageAndThePane();
    void defaultNamesAndSaveFailures();
    void renameCopyAndNoPicture();
    void viewModesAndChineseTexts();
    void printout();

private:
    QString MakeFile(AppEnv &env, const QString &name, const QStringList &magickArgs);
    apptest::VirtualInstrument m_sim;
};

void TestBitmapPage::initTestCase()
{
    QVERIFY(m_sim.Prepare());
    InstallLinkSleepRecorder();
}

void TestBitmapPage::init() { ClearUserSettings(); }

void TestBitmapPage::cleanup() { m_sim.Stop(); }

QString TestBitmapPage::MakeFile(AppEnv &env, const QString &name, const QStringList &magickArgs)
{
    // The last argument is the format prefix of the file written.
    const QString path = env.path(name);
    QStringList args = magickArgs;
    args.last() += path;
    Magick(args);
    return path;
}

// ---- refresh --------------------------------------------------------------------------------

enum class Setup {
    None,
    FailChunk,
    SmallScreen,
    NotABmp,
    RefuseBegin,
    RefuseBeginAndEnd,
    RefuseEnd,
    NoFolder,
    Unbound
};

void TestBitmapPage::refresh_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<int>("failAt");      // chunk index that fails (FailChunk)
    QTest::addColumn<int>("failTimes");   // consecutive failures of it
    QTest::addColumn<QString>("sleeps");  // the page's own pauses, in order
    QTest::addColumn<bool>("shown");      // the instrument's picture replaced the old one
    QTest::addColumn<QStringList>("logLines");
    QTest::addColumn<QString>("message");

    // Steps for begin, file and loop; 20 ms after every chunk; a step after
    // every second chunk and for the last; one more before loading.
    const QString whole = "2 2 2 20 20 2 20 20 2 20 20 2 20 20 2 20 20 2 2 5";
    const QString failed = "Try to refresh the DSO Bitmap failed";
    const QString endFailed = "WARNING:位图传输‘结束’请求通信失败！";
    QTest::newRow("the instrument's screen") << Setup::None << 0 << 0 << whole << true << QStringList() << "";
    QTest::newRow("chunk 0 fails 5 times") << Setup::FailChunk << 0 << 5
                                           << "2 2 2 20 20 20 20 20 20 20 2 20 20 2 20 "
                                              "20 2 20 20 2 20 20 2 2 5"
                                           << true << QStringList() << "";
    QTest::newRow("chunk 0 fails 6 times")
        << Setup::FailChunk << 0 << 6 << "2 2 2 20 20 20 20 20 20 2 2 2 2 200" << false
        << QStringList{"WARNING:Try to get the data piece failed：0", "ERROR  :更新‘设备界面位图’失败！"} << failed;
    QTest::newRow("chunk 3 fails 6 times")
        << Setup::FailChunk << 3 << 6 << "2 2 2 20 20 2 20 20 20 20 20 20 20 2 2 2 2 200" << false
        << QStringList{"WARNING:Try to get the data piece failed：3", "ERROR  :更新‘设备界面位图’失败！"} << failed;
    QTest::newRow("the first chunk is the last")
        << Setup::SmallScreen << 0 << 0 << "2 2 2 20 2 2 5" << true << QStringList() << "";
    QTest::newRow("the instrument sends no BMP") << Setup::NotABmp << 0 << 0 << "2 2 2 20 20 2 2 5" << false
                                                 << QStringList{"ERROR  :更新‘设备界面位图’失败！"} << failed;
    QTest::newRow("begin refused") << Setup::RefuseBegin << 0 << 0 << "2 2 2 2 2 2 2 5" << false
                                   << QStringList{"WARNING:更新失败：位图传输‘开始’请求通信失败！",
                                                  "WARNING:更新‘设备界面位图’失败！"}
                                   << "";
    QTest::newRow("begin and end refused")
        << Setup::RefuseBeginAndEnd << 0 << 0 << "2 2 2 2 2 2 2 5" << false
        << QStringList{"WARNING:更新失败：位图传输‘开始’请求通信失败！", endFailed, "WARNING:更新‘设备界面位图’失败！"}
        << "";
    QTest::newRow("end refused") << Setup::RefuseEnd << 0 << 0 << "2 2 2 20 20 2 20 20 2 20 20 2 20 20 2 20 20 2 5"
                                 << false << QStringList{"WARNING:更新失败：位图传输‘结束’请求通信失败！"} << "";
    QTest::newRow("no initial folder") << Setup::NoFolder << 0 << 0 << "2 2 2 2 2 2 2 2 5" << false
                                       << QStringList{"WARNING:创建‘位图’临时文件失败，取消更新‘位图’！"} << "";
    QTest::newRow("not bound") << Setup::Unbound << 0 << 0 << "" << false
                               << QStringList{"WARNING:更新失败：连接不正常！"}
                               << "The software is not link with device!";
}

void TestBitmapPage::refresh()
{
    QFETCH(Setup, setup);
    QFETCH(int, failAt);
    QFETCH(int, failTimes);
    QFETCH(QString, sleeps);
    QFETCH(bool, shown);
    QFETCH(QStringList, logLines);
    QFETCH(QString, message);
    if (!HaveMagick())
        QSKIP("ImageMagick's convert is missing");

    m_sim.StartUsb(70);
    AppEnv env;
    // The instrument's screen as it is now, fixed for the comparison.
    const QByteArray small = Magick({"rose:", "-resize", "40x30!", "-type", "TrueColor", "BMP3:-"});
    const std::vector<uint8_t> rendered = m_sim.instrument->renderBitmap();
    QByteArray screen(reinterpret_cast<const char *>(rendered.data()), int(rendered.size()));
    if (setup == Setup::SmallScreen)
        screen = small;
    if (setup == Setup::NotABmp)
        screen = QByteArray(30000, 0x5A);
    m_sim.instrument->setScreenImage(std::vector<uint8_t>(screen.begin(), screen.end()));
    QVERIFY2(ConnectFrame(env), "the virtual instrument did not bind");
    CWaveUIBmpDlg *page = Page(env);

    // An older picture and its title, which a failed refresh keeps.
    const QString old = MakeFile(env, "old.bmp", {"rose:", "-type", "TrueColor", "BMP3:"});
    QVERIFY(page->LoadBitmapFile(old, true));
    const std::vector<uint8_t> oldBits = page->bits();
    const QByteArray logBefore = env.readFile("BlogFile.txt");

    if (setup == Setup::Unbound)
        g_bDsoBound = 0;
    if (setup == Setup::NoFolder)
        g_szInitPath = env.path("missing");
    using vsim::Fault;
    if (setup == Setup::RefuseBegin || setup == Setup::RefuseBeginAndEnd)
        m_sim.instrument->inject({Fault::Refuse, vsim::CmdBmpBegin});
    if (setup == Setup::RefuseEnd || setup == Setup::RefuseBeginAndEnd)
        m_sim.instrument->inject({Fault::Refuse, vsim::CmdBmpEnd});
    // A chunk fails from the pause after the chunk before it on.
    int pauses = 0;
    env.ui.onSleep = [&](unsigned ms) {
        if (setup == Setup::FailChunk && ms == 20 && pauses++ == failAt - 1)
            m_sim.instrument->inject({Fault::ChunkFail, 0, failTimes});
    };
    if (setup == Setup::FailChunk && failAt == 0)
        m_sim.instrument->inject({Fault::ChunkFail, 0, failTimes});
    env.ui.clear();
    page->button(IDC_BITMAP_REFRESH)->click();
    env.ui.onSleep = nullptr;

    QCOMPARE(env.frame->paneText(0), QStringLiteral("Refresh the DSO Bitmap"));
    QStringList waited;
    for (unsigned ms : env.ui.sleeps)
        waited << QString::number(ms);
    QCOMPARE(waited.join(' '), sleeps);
    QCOMPARE(env.messageTexts(), message.isEmpty() ? QStringList() : QStringList{message});
    for (const auto &m : env.ui.messages) {
        QCOMPARE(m.title, QStringLiteral("Error"));
        QCOMPARE(m.icon, vantor::MsgIcon::Warning);
    }
    QStringList logged;  // the page's own lines; the link's say why an exchange failed
    for (const QString &line : vantor::FromGbk(env.readFile("BlogFile.txt").mid(logBefore.size())).split("\r\n"))
        if (!line.isEmpty() && !line.contains(QStringLiteral("通信失败（命令")))
            logged << line.mid(line.indexOf(QStringLiteral("——")) + 2);
    QCOMPARE(logged, logLines);
    QCOMPARE(env.ui.waitCursorDepth, 0);
    QCOMPARE(env.frame->progressBar()->value(), 0);
    QVERIFY(!QFile::exists(env.path("myTempBmp.bmp")));
    // One begin (2000 ms) and one end (2500 ms), also after a refused begin.
    QCOMPARE(std::count(LinkSleeps().begin(), LinkSleeps().end(), 2000u), setup == Setup::Unbound ? 0 : 1);
    QCOMPARE(std::count(LinkSleeps().begin(), LinkSleeps().end(), 2500u), setup == Setup::Unbound ? 0 : 1);

    if (!shown) {
        QVERIFY(page->bits() == oldBits);
        QCOMPARE(page->title(), old);
        return;
    }
    // Pixel for pixel what the instrument sent, and a time-stamp title.
    const uint32_t width = Le32(screen, 18), height = Le32(screen, 22);
    QCOMPARE(page->infoHeader().biWidth, int32_t(width));
    QCOMPARE(page->infoHeader().biHeight, int32_t(height));
    QVERIFY(QByteArray(reinterpret_cast<const char *>(page->bits().data()), int(page->bits().size())) ==
            screen.mid(54));
    QCOMPARE(page->title(), env.ui.clock.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QCOMPARE(page->findChild<QLabel *>(IdName(IDC_BITMAP_TITLE))->text(), page->title());
}

// ---- the reader against ImageMagick --------------------------------------------------------

void TestBitmapPage::readerMatchesImageMagick_data()
{
    QTest::addColumn<QStringList>("make");  // convert's arguments before the file name
    QTest::addColumn<QString>("variant");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("colours");  // the used-colour count of the file read
    const QStringList rose{"rose:", "-resize", "37x23!"};
    QTest::newRow("1 bit, odd width") << (rose + QStringList{"-colors", "2", "-type", "Palette", "BMP3:"}) << "" << 1
                                      << 2;
    QTest::newRow("4 bits, 16 colours, odd width")
        << (rose + QStringList{"-colors", "16", "-type", "Palette", "BMP3:"}) << "" << 4 << 16;
    QTest::newRow("8 bits, 16 colours") << (rose + QStringList{"-colors", "16", "-type", "Palette", "BMP3:"}) << "eight"
                                        << 8 << 16;
    QTest::newRow("8 bits, 256 colours") << (rose + QStringList{"-colors", "200", "-type", "Palette", "-compress",
                                                                "none", "BMP3:"})
                                         << "" << 8 << 256;
    QTest::newRow("8 bits, 0 colours: a full table")
        << (rose + QStringList{"-colors", "200", "-type", "Palette", "-compress", "none", "BMP3:"}) << "zero" << 8 << 0;
    QTest::newRow("8 bits behind a 124-byte header")
        << (rose + QStringList{"-colors", "200", "-type", "Palette", "-compress", "none", "BMP:"}) << "" << 8 << 256;
    QTest::newRow("24 bits, odd width") << (rose + QStringList{"-type", "TrueColor", "BMP3:"}) << "" << 24 << 0;
    QTest::newRow("24 bits, 320 x 240") << QStringList{"rose:", "-resize", "320x240!", "-type", "TrueColor", "BMP3:"}
                                        << "" << 24 << 0;
}

void TestBitmapPage::readerMatchesImageMagick()
{
    QFETCH(QStringList, make);
    QFETCH(QString, variant);
    QFETCH(int, bits);
    QFETCH(int, colours);
    if (!HaveMagick())
        QSKIP("ImageMagick's convert is missing");
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CWaveUIBmpDlg *page = Page(env);
    const QString path = MakeFile(env, "made.bmp", make);
    if (!variant.isEmpty()) {
        QByteArray b = env.readFile("made.bmp");
        if (variant == "eight")
            b = EightBitOfSixteenColours(b);
        else
            Put32(b, 46, 0);
        env.writeFile("made.bmp", b);
    }
    const QByteArray file = env.readFile("made.bmp");
    QCOMPARE(int(uchar(file[28])), bits);
    QCOMPARE(int(Le32(file, 46)), colours);

    QVERIFY(page->LoadBitmapFile(path, true));
    const QByteArray expected = MagickRgb(path);
    QVERIFY(!expected.isEmpty());
    QVERIFY(RgbOf(page->image()) == expected);
    QCOMPARE(page->title(), path);
    QVERIFY(g_bBitmapHasData);
    for (int id : {IDC_BITMAP_RENAME, IDC_BITMAP_SAVE, IDC_BITMAP_COPY, IDC_BITMAP_PRINT})
        QVERIFY(page->button(id)->isEnabled());

    // Saved as BMP and as PNG, ImageMagick reads the same pixels back.
    for (const char *name : {"saved.bmp", "saved.png"}) {
        env.ui.fileAnswers.push_back(env.path(name));
        page->SaveBitmapFile();
        QCOMPARE(env.frame->paneText(0), QStringLiteral("Save DSO Bitmap successed！"));
        QVERIFY2(MagickRgb(env.path(name)) == expected, name);
    }
    const QByteArray saved = env.readFile("saved.bmp");
    const int row = (page->image().width() * 3 + 3) / 4 * 4;
    QCOMPARE(saved.size(), 54 + row * page->image().height());
    QCOMPARE(Le32(saved, 2), uint32_t(saved.size()));
    QCOMPARE(Le32(saved, 10), 54u);
    QCOMPARE(Le32(saved, 14), 40u);
    QCOMPARE(int(uchar(saved[28])), 24);
    QCOMPARE(Le32(saved, 34), uint32_t(saved.size() - 54));
    QCOMPARE(Le32(saved, 46), 0u);
}

void TestBitmapPage::refusedFilesKeepThePicture_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason");
    const QByteArray rle = Magick({"rose:", "-colors", "200", "-type", "Palette", "BMP3:-"});
    const QByteArray alpha = Magick({"rose:", "-alpha", "on", "-define", "bmp3:alpha=true", "BMP3:-"});
    QByteArray badIndex = EightBitOfSixteenColours(Magick({"rose:", "-colors", "16", "-type", "Palette", "BMP3:-"}));
    badIndex[54 + 64 + 5] = char(16);
    QByteArray huge = Header(1, 1, 24);
    Put32(huge, 18, 20000);
    Put32(huge, 22, 20000);
    QByteArray overflow = Header(1, 1, 24);
    Put32(overflow, 18, 0x7FFFFFFF);
    Put32(overflow, 22, 0x7FFFFFFF);
    QByteArray core = Header(4, 4, 24) + QByteArray(48, 0);
    Put32(core, 14, 12);

    QTest::newRow("RLE8 by ImageMagick") << rle << "compressed";
    QTest::newRow("32 bits by ImageMagick") << alpha << "32 bits per pixel";
    QTest::newRow("16 bits") << Header(4, 4, 16) + QByteArray(32, 0) << "16 bits per pixel";
    QTest::newRow("a colour past the table") << badIndex << "colour table";
    QTest::newRow("20000 x 20000") << huge << "larger than 16384";
    QTest::newRow("sides that overflow") << overflow << "larger than 16384";
    QTest::newRow("16384 x 16384 in 60 bytes") << Header(16384, 16384, 24) + "pixels"
                                               << "ends before";
    QTest::newRow("a row short") << Header(5, 3, 24) + QByteArray(16 * 2 + 14, 0) << "ends before";
    QTest::newRow("a short colour table") << Header(5, 3, 8) + QByteArray(100, 0) << "ends before";
    QTest::newRow("pixels inside the headers") << Header(2, 2, 24, 0, 40) + QByteArray(16, 0) << "inside its headers";
    QTest::newRow("no BM") << QByteArray("XY") + Header(2, 2, 24).mid(2) + QByteArray(16, 0) << "not a BMP";
    QTest::newRow("a 12-byte header") << core << "not a BMP";
    QTest::newRow("width 0") << Header(0, 2, 24) + QByteArray(16, 0) << "not above 0";
    QTest::newRow("top-down") << Header(2, -2, 24) + QByteArray(16, 0) << "not above 0";
    QTest::newRow("empty") << QByteArray() << "ends before";
}

void TestBitmapPage::refusedFilesKeepThePicture()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    if (!HaveMagick())
        QSKIP("ImageMagick's convert is missing");
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CWaveUIBmpDlg *page = Page(env);
    const QString good = MakeFile(env, "good.bmp", {"rose:", "-type", "TrueColor", "BMP3:"});
    QVERIFY(page->LoadBitmapFile(good, true));
    const QByteArray before = RgbOf(page->image());
    const QString bad = env.path("bad.bmp");
    env.writeFile("bad.bmp", file);
    env.ui.clear();

    QVERIFY(!page->LoadBitmapFile(bad, true));
    QVERIFY(RgbOf(page->image()) == before);
    QCOMPARE(page->title(), good);
    QCOMPARE(env.ui.messages.size(), size_t(1));
    QVERIFY2(env.ui.messages[0].text.contains(bad) && env.ui.messages[0].text.contains(reason),
             qPrintable(env.ui.messages[0].text));
    // From Refresh the user is told by the refresh; the load says nothing.
    env.ui.clear();
    QVERIFY(!page->LoadBitmapFile(bad, false));
    QVERIFY(env.ui.messages.empty());
}

// ---- open, save, rename, copy ------------------------------------------------------------------

void TestBitmapPage::openFromThePageAndThePane()
{
    if (!HaveMagick())
        QSKIP("ImageMagick's convert is missing");
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CWaveUIBmpDlg *page = Page(env);
    // Nothing to offer before a picture, and a failed first load offers nothing either.
    for (int id : {IDC_BITMAP_RENAME, IDC_BITMAP_SAVE, IDC_BITMAP_COPY, IDC_BITMAP_PRINT})
        QVERIFY(!page->button(id)->isEnabled());
    env.writeFile("junk.bmp", "junk");
    env.ui.fileAnswers = {env.path("junk.bmp")};
    page->button(IDC_BITMAP_OPEN)->click();
    QCOMPARE(env.ui.fileDialogs.back().title, QStringLiteral("Open Bmp File"));
    QCOMPARE(env.ui.fileDialogs.back().filter, QStringLiteral("bitmap file (*.bmp) |*.bmp| |"));
    QVERIFY(!page->button(IDC_BITMAP_SAVE)->isEnabled());
    QVERIFY(!g_bBitmapHasData);

    // Open disables Rename; a file that cannot be shown changes nothing.
    const QString a = MakeFile(env, "a.bmp", {"rose:", "BMP3:"});
    env.ui.fileAnswers = {a, env.path("junk.bmp")};
    page->button(IDC_BITMAP_OPEN)->click();
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Open DSO Bitmap file"));
    QCOMPARE(page->title(), a);
    QVERIFY(!page->button(IDC_BITMAP_RENAME)->isEnabled());
    QVERIFY(page->button(IDC_BITMAP_SAVE)->isEnabled());
    page->EnableRename(true);
    env.ui.clear();
    page->button(IDC_BITMAP_OPEN)->click();
    QCOMPARE(page->title(), a);
    QVERIFY(page->button(IDC_BITMAP_RENAME)->isEnabled());
    QCOMPARE(env.ui.messages.size(), size_t(1));

    // The operation pane's "Bitmap file" row: the same load through the right pane.
    const QString b = MakeFile(env, "b.bmp", {"rose:", "-resize", "50x20!", "BMP3:"});
    CBaseOperation *oper = env.frame->leftWnd()->page();
    for (const QString &path : {b, env.path("junk.bmp")}) {
        env.ui.clear();
        env.ui.fileAnswers = {path};
        oper->findChild<QPushButton *>(IdName(IDC_BASE_OPEN_BITMAP))->click();
        QCOMPARE(env.frame->rightWnd()->CurrentTab(), TAB_BITMAP);
        QCOMPARE(page->title(), b);
        QCOMPARE(page->image().size(), QSize(50, 20));
        QVERIFY(!page->button(IDC_BITMAP_RENAME)->isEnabled());
        QCOMPARE(env.ui.messages.size(), size_t(path == b ? 0 : 1));
    }
    // Cancelled: nothing but the log.
    env.ui.clear();
    page->OpenBitmapFile();
    QCOMPARE(page->title(), b);
    QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt")).contains(QStringLiteral("NORMAL :取消打开选定‘位图’文件！")));
}

void TestBitmapPage::defaultNamesAndSaveFailures()
{
    const std::pair<QString, QString> names[] = {
        {"/home/u/screens/Scope.BMP", "Scope.BMP"}, {"C:\\shots\\a.bmp", "a.bmp"},
        {"20260305-140709", "20260305-140709.bmp"}, {"shot.bmp", "shot.bmp"},
        {"notes.bmp.txt", "notes.bmp.txt"},         {"", ".bmp"}};
    for (const auto &[title, name] : names)
        QCOMPARE(CWaveUIBmpDlg::DefaultFileName(title), name);
    if (!HaveMagick())
        QSKIP("ImageMagick's convert is missing");

    AppEnv env;
    QVERIFY(env.CreateFrame());
    CWaveUIBmpDlg *page = Page(env);
    const QString a = MakeFile(env, "a.bmp", {"rose:", "-resize", "320x240!", "BMP3:"});
    QVERIFY(page->LoadBitmapFile(a, true));
    env.ui.clear();
    page->button(IDC_BITMAP_SAVE)->click();
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Save DSO Bitmap file"));
    const vantor::FileDialogRequest &r = env.ui.fileDialogs.back();
    QVERIFY(r.save);
    QCOMPARE(r.title, QStringLiteral("Save Bmp File"));
    QCOMPARE(r.initialName, QStringLiteral("a.bmp"));
    QCOMPARE(r.defaultExt, QStringLiteral("bmp"));
    QCOMPARE(r.folder, g_szInitPath);
    QVERIFY(r.filter.startsWith(QStringLiteral("bitmap file (*.bmp) |*.bmp|")) && r.filter.contains("*.png"));
    QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt")).contains(QStringLiteral("NORMAL :取消保存当前‘位图’文件")));

    // A folder that is not there: nothing is made, the user is told.
    env.ui.clear();
    env.ui.fileAnswers = {env.path("none/x.bmp")};
    page->SaveBitmapFile();
    QCOMPARE(env.messageTexts(), QStringList{"Try to save the DSO Bitmap file failed!"});
    QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt"))
                .contains(QStringLiteral("WARNING:创建位图文件失败,请检查文件格式或路径是否正确？")));

    // The disk fills up half-way (a file-size limit): the old file stays whole.
    env.writeFile("keep.bmp", "the old file");
    const QByteArray log = env.readFile("BlogFile.txt");
    env.ui.clear();
    env.ui.fileAnswers = {env.path("keep.bmp")};
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    page->SaveBitmapFile();
    setrlimit(RLIMIT_FSIZE, &before);
    QCOMPARE(env.readFile("keep.bmp"), QByteArray("the old file"));
    QCOMPARE(QDir(env.dir.path()).entryList({"keep.bmp*"}, QDir::Files | QDir::Hidden), QStringList{"keep.bmp"});
    QCOMPARE(env.messageTexts(), QStringList{"Try to save the DSO Bitmap file failed!"});
    QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt").mid(log.size()))
                .contains(QStringLiteral("WARNING:保存位图文件失败: 写位图颜色数据失败？")));
}

void TestBitmapPage::renameCopyAndNoPicture()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CWaveUIBmpDlg *page = Page(env);
    // Without a picture each command says so in the debug log (Print also to the user).
    page->RenameBitmap();
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Alter the default tab"));
    page->CopyBitmap();
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Copy DSO Bitmap"));
    page->PrintBitmap();
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Print the DSO Bitmap"));
    QCOMPARE(env.messageTexts(), QStringList{"there is no DSO Bitmap data for print"});
    QCOMPARE(env.ui.messages[0].icon, vantor::MsgIcon::Information);
    QVERIFY(env.ui.clipboardImages.empty());
    const QString log = vantor::FromGbk(env.readFile("BlogFile.txt"));
    for (const char *line : {"当前没有位图资源可供修改图片标签", "当前没有可进行复制操作的位图资源！",
                             "打印失败：波形位图界面上当前没有位图数据"})
        QVERIFY2(log.contains(QStringLiteral("NORMAL :") + QString::fromUtf8(line)), line);

    QImage picture(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            picture.setPixel(x, y, qRgb(x * 4, y * 5, (x ^ y) & 0xFF));
    QByteArray file = Header(64, 48, 24);
    Put32(file, 2, 54 + 64 * 48 * 3);
    for (int y = 47; y >= 0; --y)
        for (int x = 0; x < 64; ++x) {
            const QRgb c = picture.pixel(x, y);
            file += char(qBlue(c));
            file += char(qGreen(c));
            file += char(qRed(c));
        }
    env.writeFile("p.bmp", file);
    QVERIFY(page->LoadBitmapFile(env.path("p.bmp"), true));

    // Rename: blanks are trimmed, blanks only keep the title, cancel keeps it.
    const std::pair<QString, QString> renames[] = {{"  screen one  ", "screen one"}, {"   ", "screen one"}};
    for (const auto &[typing, title] : renames) {
        env.ui.dialogHandlers.push_back([typed = typing](QDialog *d) {
            auto *dialog = static_cast<CAlterLableNameDlg *>(d);
            dialog->newTitleEdit()->setText(typed);
            return dialog->OnOK() ? int(QDialog::Accepted) : int(QDialog::Rejected);
        });
        page->button(IDC_BITMAP_RENAME)->click();
        QCOMPARE(page->title(), title);
    }
    QString shown;
    env.ui.dialogHandlers.push_back([&shown](QDialog *d) {
        shown = d->findChild<QLineEdit *>(IdName(IDC_TITLE_CURRENT))->text();
        return int(QDialog::Rejected);
    });
    page->RenameBitmap();
    QCOMPARE(shown, QStringLiteral("screen one"));
    QCOMPARE(page->title(), QStringLiteral("screen one"));
    QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt")).contains(QStringLiteral("NORMAL :取消修改当前‘位图’标签！")));

    // Copy: the picture itself at its own size, whatever the frame shows.
    page->frame()->resize(500, 300);
    page->button(IDC_BITMAP_COPY)->click();
    QCOMPARE(env.ui.clipboardImages.size(), size_t(1));
    QCOMPARE(env.ui.clipboardImages[0].convertToFormat(QImage::Format_RGB32), picture);
    QCOMPARE(env.ui.waitCursorDepth, 0);
}

void TestBitmapPage::viewModesAndChineseTexts()
{
    AppEnv env("[Set]\nLanguage=ZH\n");
    QVERIFY(env.CreateFrame());
    CWaveUIBmpDlg *page = Page(env);
    const std::pair<int, const char *> texts[] = {{IDC_BITMAP_REFRESH, "刷新"}, {IDC_BITMAP_OPEN, "打开"},
                                                  {IDC_BITMAP_SAVE, "保存"},    {IDC_BITMAP_COPY, "复制"},
                                                  {IDC_BITMAP_PRINT, "打印"},   {IDC_BITMAP_RENAME, "重命名"}};
    for (const auto &[id, text] : texts) {
        QCOMPARE(page->button(id)->text(), QString::fromUtf8(text));
        QCOMPARE(page->button(id)->accessibleName(), QString::fromUtf8(text));
    }
    QCOMPARE(page->findChild<QLabel *>(IdName(IDC_BITMAP_HEADING))->text(), QStringLiteral("设备位图"));
    page->RefreshBitmap();
    QCOMPARE(env.frame->paneText(0), QStringLiteral("刷新位图"));
    QCOMPARE(env.messageTexts(), QStringList{"没有连接设备!"});
    QCOMPARE(env.ui.messages[0].title, QStringLiteral("错误"));
    env.ui.clear();
    env.writeFile("junk.bmp", "BM");
    QVERIFY(!page->LoadBitmapFile(env.path("junk.bmp"), true));
    QVERIFY(env.ui.messages[0].text.startsWith(QStringLiteral("无法显示位图文件")));

    // A 320 x 240 picture in an 800 x 400 frame, in each view.
    QByteArray file = Header(320, 240, 24) + QByteArray(320 * 240 * 3, char(0x40));
    for (int x = 0; x < 320; ++x)  // the top row blue-green-red = (10, 200, 250)
        file.replace(54 + 239 * 960 + 3 * x, 3, QByteArray("\x0a\xc8\xfa", 3));
    env.writeFile("p.bmp", file);
    QVERIFY(page->LoadBitmapFile(env.path("p.bmp"), false));
    // The page's switch sets its frame's mode; a frame of a known size draws it.
    CBitmapFrame standalone(nullptr);
    CBitmapFrame *frame = &standalone;
    frame->setFrameShape(QFrame::NoFrame);
    frame->setImage(&page->image());
    frame->resize(800, 400);
    const std::tuple<int, CBitmapFrame::Mode, QRect> modes[] = {
        {IDC_BITMAP_VIEW_FIT, CBitmapFrame::Mode::Fit, QRect(133, 0, 533, 400)},
        {IDC_BITMAP_VIEW_ACTUAL, CBitmapFrame::Mode::Actual, QRect(240, 80, 320, 240)},
        {IDC_BITMAP_VIEW_STRETCH, CBitmapFrame::Mode::Stretch, QRect(0, 0, 800, 400)}};
    for (const auto &[id, mode, rect] : modes) {
        page->findChild<QRadioButton *>(IdName(id))->click();
        QCOMPARE(page->frame()->mode(), mode);
        frame->setMode(mode);
        QCOMPARE(frame->pictureRect(), rect);
        const QImage shot = frame->grab().toImage();
        QCOMPARE(QColor(shot.pixel(rect.center().x(), rect.top())), QColor(250, 200, 10));
        QCOMPARE(QColor(shot.pixel(rect.center().x(), rect.top() + rect.height() / 2)), QColor(0x40, 0x40, 0x40));
    }
    // At 1:1 a picture larger than the frame is panned by dragging.
    frame->setMode(CBitmapFrame::Mode::Actual);
    frame->resize(200, 120);
    QTest::mousePress(frame, Qt::LeftButton, {}, QPoint(150, 90));
    QTest::mouseMove(frame, QPoint(50, 40));
    QTest::mouseRelease(frame, Qt::LeftButton, {}, QPoint(50, 40));
    QCOMPARE(frame->pictureRect(), QRect(-100, -50, 320, 240));
    QTest::mousePress(frame, Qt::LeftButton, {}, QPoint(0, 0));
    QTest::mouseMove(frame, QPoint(-500, -500));
    QCOMPARE(frame->pictureRect(), QRect(-120, -120, 320, 240));
}

// ---- printout --------------------------------------------------------------------------------

void TestBitmapPage::printout()
{
    AppEnv env;
    QVERIFY(env.CreateFrame());
    CWaveUIBmpDlg *page = Page(env);
    // 640 x 480: quarters red (lower left), green, blue and white.
    QByteArray file = Header(640, 480, 24);
    for (int y = 0; y < 480; ++y)  // bottom row first
        for (int x = 0; x < 640; ++x)
            file += y < 240 ? (x < 320 ? QByteArray("\0\0\xff", 3) : QByteArray("\0\xff\0", 3))
                            : (x < 320 ? QByteArray("\xff\0\0", 3) : QByteArray("\xff\xff\xff", 3));
    env.writeFile("p.bmp", file);
    QVERIFY(page->LoadBitmapFile(env.path("p.bmp"), true));
    env.ui.clear();
    // The preview's one page: outline, then only the lower-left 320 x 240.
    QImage sheet;
    int pages = 0;
    env.ui.dialogHandlers.push_back([&](QDialog *dialog) {
        auto *preview = qobject_cast<CPreParent *>(dialog);
        if (preview) {
            pages = preview->view()->totalPages();
            sheet = preview->view()->RenderPage(1);
        }
        return int(QDialog::Rejected);
    });
    page->button(IDC_BITMAP_PRINT)->click();
    QCOMPARE(env.frame->paneText(0), QStringLiteral("Print the DSO Bitmap"));
    QVERIFY(env.ui.messages.empty());
    QCOMPARE(pages, 1);
    auto mm = [&](double v) { return MmToDeviceX(sheet, v); };
    QCOMPARE(QColor(sheet.pixel(0, int(mm(100)))), QColor(Qt::black));
    const double s = (mm(183) - mm(20)) / 320;
    for (const QPoint p : {QPoint(1, 1), QPoint(318, 1), QPoint(1, 238), QPoint(318, 238)})
        QCOMPARE(QColor(sheet.pixel(int(mm(20) + (p.x() + 0.5) * s), int(mm(40) + (p.y() + 0.5) * s))),
                 QColor(Qt::red));
    QCOMPARE(QColor(sheet.pixel(int(mm(20) + 160 * s), int(mm(40) + 242 * s))), QColor(Qt::white));

    // On a printer: no outline; a document that will not start, then a page.
    PrintRequest request;
    request.nItemCount = 1;
    const std::tuple<bool, bool, QStringList, QString, QString, int> runs[] = {
        {true, false, {"StartDoc Print the DSO Bitmap", "EndDoc"}, "Error", "Initialize printer failed", 0},
        {false, true, {"StartDoc Print the DSO Bitmap", "StartPage", "AbortDoc"}, "错误提示", "Print failed!", 0},
        {false, false, {"StartDoc Print the DSO Bitmap", "StartPage", "EndPage", "EndDoc"}, "", "", 1}};
    request.bToPrinter = 1;
    request.hOwner = env.frame;
    for (const auto &[failDoc, failPage, calls, title, text, result] : runs) {
        env.ui.clear();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(env.path("page.pdf"));
        TestSurface surface(&printer, true);
        surface.failDoc = failDoc;
        surface.failPage = failPage;
        QCOMPARE(page->OnPrintDraw(surface, request), result);
        QCOMPARE(surface.calls, calls);
        QCOMPARE(env.messageTexts(), text.isEmpty() ? QStringList() : QStringList{text});
        if (!text.isEmpty()) {
            QCOMPARE(env.ui.messages[0].title, title);
            QCOMPARE(env.ui.messages[0].icon, vantor::MsgIcon::Stop);
        }
    }
    QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt")).contains(QStringLiteral("WARNING:连接到打印机失败")));
    QVERIFY(vantor::FromGbk(env.readFile("BlogFile.txt")).contains(QStringLiteral("WARNING:打印位图图像失败")));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {env.path("page.pdf"), "-"});
    if (!text.waitForFinished(20000))
        QSKIP("pdftotext is missing");
    // The body face's figures do not come back out of the PDF: the date's
    // digits are left to the look at the page.
    const QString words = QString::fromUtf8(text.readAllStandardOutput()).remove(' ');
    for (const char *expected : {"PrinttheDSOBitmap", "PrintDate:", "1/1"})
        QVERIFY2(words.contains(QLatin1String(expected)), qPrintable(words));
}

QTEST_MAIN(TestBitmapPage)
#include "tst_bitmap_page.moc"
