#include "bitmap_page.h"

#include "../platform/app_context.h"
#include "../platform/control_ids.h"
#include "../platform/debug_log.h"
#include "../platform/globals.h"
#include "../platform/language.h"
#include "../platform/link_gate.h"
#include "../platform/save_file.h"
#include "../platform/ui_services.h"
#include "page_dialogs.h"
#include "page_host.h"

#include <tavlink.h>

#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QVBoxLayout>
#include <algorithm>

using namespace views;
using vantor::MsgIcon;
using vantor::Ui;

namespace {

constexpr int kChunkBufferBytes = 25600;  // what the link copies back per chunk
constexpr int kChunkRetries = 5;
constexpr int kPrintedWidth = 320, kPrintedHeight = 240;
const char *const kBitmapFilter = "bitmap file (*.bmp) |*.bmp|PNG image (*.png)|*.png| |";

QString U(const char *text) { return QString::fromUtf8(text); }

// The page's rows (bottom row first) as an image with its top row first.
QImage ImageOf(const bmp::InfoHeader &info, const std::vector<uint8_t> &bits)
{
    const QImage rows(bits.data(), info.biWidth, info.biHeight, int(bmp::RowBytes(info.biWidth)),
                      QImage::Format_BGR888);
    return rows.mirrored(false, true).convertToFormat(QImage::Format_RGB32);
}

QString ReasonText(bmp::Error error, int bitCount)
{
    switch (error) {
    case bmp::Error::None: break;
    case bmp::Error::ShortFile: return Tr("The file ends before its picture does.", "文件在图像结束之前就结束了。");
    case bmp::Error::NotBmp: return Tr("It is not a BMP file.", "这不是 BMP 文件。");
    case bmp::Error::Compressed:
        return Tr("It is compressed; only uncompressed files can be shown.", "文件是压缩的，只能显示未压缩的文件。");
    case bmp::Error::BitCount:
        return Tr("It has %1 bits per pixel; only 1, 4, 8 and 24 can be shown.",
                  "每像素 %1 位，只能显示 1、4、8 和 24 位的文件。")
            .arg(bitCount);
    case bmp::Error::BadSize: return Tr("Its width or height is not above 0.", "图像的宽度或高度不大于 0。");
    case bmp::Error::TooLarge:
        return Tr("It is larger than %1 x %1 pixels.", "图像大于 %1 x %1 像素。").arg(bmp::kMaxSide);
    case bmp::Error::DataOverlap: return Tr("Its pixel data starts inside its headers.", "像素数据起始于文件头之内。");
    case bmp::Error::ColourIndex:
        return Tr("A pixel names a colour its colour table does not hold.", "有像素引用了颜色表中没有的颜色。");
    }
    return {};
}

}  // namespace

// ---- picture frame ---------------------------------------------------------------------

CBitmapFrame::CBitmapFrame(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setMinimumSize(160, 120);
    // The paint fills only what the picture leaves uncovered.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CBitmapFrame::setImage(const QImage *image)
{
    m_image = image;
    m_pan = QPoint();
    update();
}

void CBitmapFrame::setMode(Mode mode)
{
    m_mode = mode;
    m_pan = QPoint();
    setCursor(mode == Mode::Actual ? Qt::OpenHandCursor : Qt::ArrowCursor);
    update();
}

QPoint CBitmapFrame::ClampedPan(QPoint pan) const
{
    if (!m_image)
        return {};
    const QRect area = contentsRect();
    const int spareX = std::max(0, m_image->width() - area.width());
    const int spareY = std::max(0, m_image->height() - area.height());
    return {std::clamp(pan.x(), 0, spareX), std::clamp(pan.y(), 0, spareY)};
}

QRect CBitmapFrame::pictureRect() const
{
    if (!m_image || m_image->isNull())
        return {};
    const QRect area = contentsRect();
    const QSize size = m_image->size();
    switch (m_mode) {
    case Mode::Stretch: return area;
    case Mode::Fit: {
        const QSize fitted = size.scaled(area.size(), Qt::KeepAspectRatio);
        return QRect(area.topLeft() +
                         QPoint((area.width() - fitted.width()) / 2, (area.height() - fitted.height()) / 2),
                     fitted);
    }
    case Mode::Actual: {
        // Centred while it fits; otherwise its corner follows the pan.
        const QPoint pan = ClampedPan(m_pan);
        const int x = size.width() <= area.width() ? (area.width() - size.width()) / 2 : -pan.x();
        const int y = size.height() <= area.height() ? (area.height() - size.height()) / 2 : -pan.y();
        return QRect(area.topLeft() + QPoint(x, y), size);
    }
    }
    return {};
}

void CBitmapFrame::paintEvent(QPaintEvent *event)
{
    const QRect picture = pictureRect().intersected(contentsRect());
    {
        QPainter p(this);
        p.setClipRegion(QRegion(rect()) - picture);
        p.fillRect(rect(), QColor(0x10, 0x14, 0x1a));
    }
    QFrame::paintEvent(event);
    QPainter p(this);
    if (picture.isEmpty()) {
        p.setPen(QColor(0x7f, 0x8c, 0x99));
        p.drawText(contentsRect(), Qt::AlignCenter | Qt::TextWordWrap,
                   Tr("No picture yet: Refresh fetches the instrument's screen, Open loads a BMP file.",
                      "还没有图像：“刷新”读取设备屏幕，“打开”载入 BMP 文件。"));
        return;
    }
    // Pixels are copied, not blended: the screen's text stays sharp.
    p.setClipRect(contentsRect());
    p.drawImage(pictureRect(), *m_image);
}

void CBitmapFrame::mousePressEvent(QMouseEvent *event)
{
    if (m_mode == Mode::Actual && event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragFrom = event->position().toPoint();
        setCursor(Qt::ClosedHandCursor);
    }
}

void CBitmapFrame::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return;
    const QPoint at = event->position().toPoint();
    m_pan = ClampedPan(m_pan - (at - m_dragFrom));
    m_dragFrom = at;
    update();
}

void CBitmapFrame::mouseReleaseEvent(QMouseEvent *)
{
    if (m_dragging) {
        m_dragging = false;
        setCursor(m_mode == Mode::Actual ? Qt::OpenHandCursor : Qt::ArrowCursor);
    }
}

// ---- page ----------------------------------------------------------------------------------

CWaveUIBmpDlg::CWaveUIBmpDlg(QWidget *parent) : CViewPage(parent, IDD_WAVE_BITMAP, QStringLiteral("CWaveUIBmpDlg"))
{
    // The design's weight 16 is far below thin; its face then shows at its
    // regular weight, which is what is asked for here.
    m_fontTitle = font();
    m_fontTitle.setFamilies({QStringLiteral("黑体"), QStringLiteral("Noto Sans CJK SC")});
    m_fontTitle.setPixelSize(16);
    m_fontTitle.setWeight(QFont::Normal);

    auto *grid = new QGridLayout(this);
    m_heading = Ctrl(new QLabel(QStringLiteral("DSO Bitmap"), this), IDC_BITMAP_HEADING);
    m_heading->setFont(m_fontTitle);
    m_heading->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; padding: 2px 8px; }")
                                 .arg(QColor(232, 116, 0).name(), QColor(98, 176, 255).name()));
    grid->addWidget(m_heading, 0, 0, Qt::AlignLeft);

    m_frame = Ctrl(new CBitmapFrame(this), IDC_BITMAP_FRAME);
    grid->addWidget(m_frame, 1, 0);

    auto *column = new QVBoxLayout;
    grid->addLayout(column, 1, 1);
    const std::pair<int, const char *> buttons[] = {{IDC_BITMAP_REFRESH, "Refresh"},
                                                    {IDC_BITMAP_OPEN, "Open"},
                                                    {IDC_BITMAP_SAVE, "Save"},
                                                    {IDC_BITMAP_COPY, "Copy"},
                                                    {IDC_BITMAP_PRINT, "Print"}};
    for (const auto &[id, text] : buttons)
        AddButton(column, id, QString::fromLatin1(text));
    vantor::ConnectCommand(button(IDC_BITMAP_REFRESH), &QPushButton::clicked, this, &CWaveUIBmpDlg::RefreshBitmap);
    connect(button(IDC_BITMAP_OPEN), &QPushButton::clicked, this, &CWaveUIBmpDlg::OpenBitmapFile);
    connect(button(IDC_BITMAP_SAVE), &QPushButton::clicked, this, &CWaveUIBmpDlg::SaveBitmapFile);
    connect(button(IDC_BITMAP_COPY), &QPushButton::clicked, this, &CWaveUIBmpDlg::CopyBitmap);
    connect(button(IDC_BITMAP_PRINT), &QPushButton::clicked, this, &CWaveUIBmpDlg::PrintBitmap);

    auto *view = Ctrl(new QGroupBox(QStringLiteral("View"), this), IDC_BITMAP_VIEW_GROUP);
    auto *viewLayout = new QVBoxLayout(view);
    auto *modes = new QButtonGroup(this);
    const std::tuple<int, const char *, CBitmapFrame::Mode> choices[] = {
        {IDC_BITMAP_VIEW_STRETCH, "Stretch", CBitmapFrame::Mode::Stretch},
        {IDC_BITMAP_VIEW_FIT, "Fit", CBitmapFrame::Mode::Fit},
        {IDC_BITMAP_VIEW_ACTUAL, "1:1", CBitmapFrame::Mode::Actual}};
    for (const auto &[id, text, mode] : choices) {
        auto *radio = Ctrl(new QRadioButton(QString::fromLatin1(text), view), id);
        radio->setChecked(mode == CBitmapFrame::Mode::Stretch);
        modes->addButton(radio);
        viewLayout->addWidget(radio);
        connect(radio, &QRadioButton::toggled, this, [this, m = mode](bool on) {
            if (on)
                m_frame->setMode(m);
        });
    }
    column->addWidget(view);
    column->addStretch(1);

    auto *bottom = new QHBoxLayout;
    grid->addLayout(bottom, 2, 0, 1, 2);
    m_title = Ctrl(new QLabel(this), IDC_BITMAP_TITLE);
    m_title->setFont(m_fontTitle);
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_title->setStyleSheet(
        QStringLiteral("QLabel { color: white; background: %1; padding: 2px 6px; }").arg(QColor(0, 64, 128).name()));
    bottom->addWidget(m_title, 1);
    AddButton(bottom, IDC_BITMAP_RENAME, QStringLiteral("Rename"));
    connect(button(IDC_BITMAP_RENAME), &QPushButton::clicked, this, &CWaveUIBmpDlg::RenameBitmap);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(1, 1);

    if (!g_bBitmapHasData)
        for (int id : {IDC_BITMAP_RENAME, IDC_BITMAP_SAVE, IDC_BITMAP_COPY, IDC_BITMAP_PRINT})
            button(id)->setEnabled(false);
    Localise();
    for (QAbstractButton *b : findChildren<QAbstractButton *>())
        b->setAccessibleName(b->text());
    view->setAccessibleName(view->title());
    m_heading->setAccessibleName(m_heading->text());
    m_frame->setAccessibleName(Tr("Instrument screen picture", "设备屏幕图像"));
    m_title->setAccessibleName(Tr("Picture title", "图像标题"));
}

void CWaveUIBmpDlg::ShowTitle() { m_title->setText(m_strTitle); }

void CWaveUIBmpDlg::EnableOutputButtons()
{
    for (int id : {IDC_BITMAP_RENAME, IDC_BITMAP_SAVE, IDC_BITMAP_COPY, IDC_BITMAP_PRINT})
        button(id)->setEnabled(true);
}

void CWaveUIBmpDlg::EnableRename(bool enable) { button(IDC_BITMAP_RENAME)->setEnabled(enable); }

QString CWaveUIBmpDlg::TransferFilePath() { return QDir(g_szInitPath).filePath(QStringLiteral("myTempBmp.bmp")); }

// ---- refresh -------------------------------------------------------------------------------

void CWaveUIBmpDlg::RefreshBitmap()
{
    Log("Refresh the DSO Bitmap", "刷新位图");
    if (!g_bDsoBound) {
        Ui().messageBox(this, Tr("Error", "错误"), Tr("The software is not link with device!", "没有连接设备!"),
                        MsgIcon::Warning);
        DebugLog(U("更新失败：连接不正常！"), kWarning);
        return;
    }
    vantor::LinkGate &link = vantor::Link();
    auto sendEnd = [&link](const char *failure) {
        if (!link.run([] { return Send_Bmp_End_Invoke(); }))
            DebugLog(U(failure), kWarning);
    };

    Ui().beginWaitCursor();
    Progress(10, 1, 0);
    uint32_t total = 0;
    if (!link.run([&] { return Send_Bmp_Begin_Invoke(&total); })) {
        DebugLog(U("更新失败：位图传输‘开始’请求通信失败！"), kWarning);
        Progress(10, 3, 0);
        sendEnd("位图传输‘结束’请求通信失败！");
        Progress(10, 3, 0);
        DebugLog(U("更新‘设备界面位图’失败！"), kWarning);
        Progress(10, 0, 0);
        Ui().endWaitCursor();
        return;
    }

    Progress(10, 1, 0);
    // A scratch file, read back at once and deleted; written beside its name
    // like every other file, so a picture is only read once it is whole.
    const QString path = TransferFilePath();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        Progress(10, 3, 0);
        DebugLog(U("创建‘位图’临时文件失败，取消更新‘位图’！"), kWarning);
        Progress(10, 3, 0);
        sendEnd("位图传输‘结束’请求通信失败！");
        Progress(10, 0, 0);
        Ui().endWaitCursor();
        return;
    }
    auto discard = [&file] { file.cancelWriting(); };

    Progress(10, 1, 0);
    std::vector<uint8_t> chunk(kChunkBufferBytes);
    int index = 0, retries = 0;
    for (;;) {
        std::fill(chunk.begin(), chunk.end(), uint8_t(0));
        uint32_t length = 0;
        const int result = link.run([&] { return Send_Bmp_Trans_Invoke(index, index, chunk.data(), &length); });
        link.pause(20);
        if (result == 0 || result == 2) {
            const qint64 bytes = std::min<qint64>(length, kChunkBufferBytes);
            if (result == 2)
                Progress(10, 1, 0);
            file.write(reinterpret_cast<const char *>(chunk.data()), bytes);
            if (result == 2)
                break;
            retries = 0;
            ++index;
            if (index % 2 == 0)
                Progress(10, 1, 0);
            continue;
        }
        if (++retries <= kChunkRetries)
            continue;
        const QString text = U("Try to get the data piece failed：") + QString::number(index);
        Progress(10, 2, 0);
        DebugLog(text, kWarning);
        Progress(10, 2, 0);
        sendEnd("位图传输‘结束’请求通信失败！");
        discard();
        Progress(10, 0, 5);
        link.pause(200);
        Progress(10, 0, 0);
        Ui().endWaitCursor();
        RefreshFailed();
        return;
    }

    if (!link.run([] { return Send_Bmp_End_Invoke(); })) {
        DebugLog(U("更新失败：位图传输‘结束’请求通信失败！"), kWarning);
        Progress(10, 0, 0);
        discard();
        Ui().endWaitCursor();
        return;
    }

    Progress(10, 1, 0);
    const bool written = vantor::CommitWhole(file);
    const bool loaded = written && LoadBitmapFile(path, false);
    QFile::remove(path);
    Progress(10, 0, 0);
    if (loaded) {
        const QDateTime now = Ui().now();
        const QDate d = now.date();
        const QTime t = now.time();
        m_strTitle = QString::asprintf("%04d%02d%02d-%02d%02d%02d", d.year(), d.month(), d.day(), t.hour(), t.minute(),
                                       t.second());
        ShowTitle();
    }
    Ui().endWaitCursor();
    // What arrived is not a picture the page can show: the old one and its
    // title stay, and the refresh says that it failed.
    if (!loaded)
        RefreshFailed();
    m_frame->update();
}

void CWaveUIBmpDlg::RefreshFailed()
{
    Ui().messageBox(this, QStringLiteral("Error"), QStringLiteral("Try to refresh the DSO Bitmap failed"),
                    MsgIcon::Warning);
    DebugLog(U("更新‘设备界面位图’失败！"), kError);
}

// ---- files ----------------------------------------------------------------------------------

bool CWaveUIBmpDlg::LoadBitmapFile(const QString &path, bool setTitle)
{
    QFile file(path);
    bmp::Picture picture;
    bmp::Error error = bmp::Error::ShortFile;
    QString why;
    if (!file.open(QIODevice::ReadOnly)) {
        why = Tr("The file cannot be opened.", "无法打开文件。");
    } else {
        const qint64 size = file.size();
        QByteArray read;
        const uchar *data = size > 0 ? file.map(0, size) : nullptr;
        size_t length = size_t(size);
        if (!data) {
            read = file.readAll();
            data = reinterpret_cast<const uchar *>(read.constData());
            length = size_t(read.size());
        }
        error = bmp::Decode(data, length, picture);
        if (error != bmp::Error::None)
            why = ReasonText(error, length >= 30 ? data[28] | data[29] << 8 : 0);
    }
    const bool loaded = error == bmp::Error::None;
    if (loaded) {
        m_pBits = std::move(picture.bits);
        m_nBitsSize = int32_t(m_pBits.size());
        m_bmfHeader = picture.file;
        m_bmiHeader = picture.info;
        m_image = ImageOf(m_bmiHeader, m_pBits);
        m_frame->setImage(&m_image);
    }
    if (setTitle) {
        if (loaded) {
            m_strTitle = path;
            ShowTitle();
        } else {
            TellUnreadable(path, why);
        }
    }
    update();
    // A file that could not be read changes nothing: a page without a picture
    // offers nothing to save, copy or print, and Rename stays as it was.
    if (loaded) {
        EnableOutputButtons();
        g_bBitmapHasData = 1;
    }
    return loaded;
}

void CWaveUIBmpDlg::TellUnreadable(const QString &path, const QString &why)
{
    DebugLog(U("打开位图文件失败：") + path, kWarning);
    Ui().messageBox(this, Tr("Error", "错误"),
                    Tr("The bitmap file cannot be shown:\n%1\n\n%2", "无法显示位图文件：\n%1\n\n%2").arg(path, why),
                    MsgIcon::Warning);
}

void CWaveUIBmpDlg::OpenBitmapFile()
{
    Log("Open DSO Bitmap file", "打开位图文件");
    if (!Host() || !Host()->OpenFileDialogFor(1)) {
        DebugLog(U("取消打开选定‘位图’文件！"), kNormal);
        return;
    }
    if (LoadBitmapFile(g_szOpenFilePath, true))
        EnableRename(false);
}

QString CWaveUIBmpDlg::DefaultFileName(const QString &title)
{
    if (!title.contains(QLatin1String(".bmp")) && !title.contains(QLatin1String(".BMP")))
        return title + QStringLiteral(".bmp");
    const int cut = std::max(title.lastIndexOf(QLatin1Char('\\')), title.lastIndexOf(QLatin1Char('/')));
    return title.mid(cut + 1);
}

void CWaveUIBmpDlg::SaveBitmapFile()
{
    Log("Save DSO Bitmap file", "保存位图文件");
    if (!hasPicture())
        return;
    vantor::FileDialogRequest request;
    request.save = true;
    request.title = Tr("Save Bmp File", "保存位图文件");
    request.filter = QString::fromLatin1(kBitmapFilter);
    request.folder = g_szInitPath;
    request.initialName = DefaultFileName(m_strTitle);
    request.defaultExt = QStringLiteral("bmp");
    const QString path = Ui().fileDialog(this, request);
    if (path.isEmpty()) {
        DebugLog(U("取消保存当前‘位图’文件"), kNormal);
        return;
    }
    Ui().beginWaitCursor();
    bool saved = false;
    if (path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
        QSaveFile file(path);
        saved = file.open(QIODevice::WriteOnly) && QImageWriter(&file, "png").write(m_image) && file.commit();
        if (!saved)
            DebugLog(U("保存位图文件失败：") + path, kWarning);
    } else {
        saved = WriteBmp(path);
    }
    Ui().endWaitCursor();
    if (!saved) {
        // The old file at that path, if any, is still whole.
        Ui().messageBox(this, Tr("Error", "错误"), Tr("Try to save the DSO Bitmap file failed!", "保存位图文件失败！"),
                        MsgIcon::Information);
        return;
    }
    Log("Save DSO Bitmap successed！", "保存位图文件成功！");
    DebugLog(U("保存设备界面位图文件成功！"), kNormal);
}

bool CWaveUIBmpDlg::WriteBmp(const QString &path)
{
    // Through a file beside the target: a failed write leaves nothing behind
    // and the file it would replace stays whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        DebugLog(U("创建位图文件失败,请检查文件格式或路径是否正确？"), kWarning);
        return false;
    }
    const auto fileHeader = bmp::EncodeFileHeader(m_bmfHeader, m_pBits.size());
    const auto infoHeader = bmp::EncodeInfoHeader(m_bmiHeader);
    const struct {
        const uint8_t *data;
        qint64 size;
        const char *failure;
    } parts[] = {{fileHeader.data(), qint64(fileHeader.size()), "保存位图文件失败: 写 BitmapFileHeader失败？"},
                 {infoHeader.data(), qint64(infoHeader.size()), "保存位图文件失败: 写 BitmapInfoHeader失败？"},
                 {m_pBits.data(), qint64(m_pBits.size()), "保存位图文件失败: 写位图颜色数据失败？"}};
    for (const auto &part : parts) {
        if (file.write(reinterpret_cast<const char *>(part.data), part.size) != part.size) {
            DebugLog(U(part.failure), kWarning);
            file.cancelWriting();
            return false;
        }
    }
    // Most write failures only show when the data reaches the disk.
    if (!file.commit()) {
        DebugLog(U(parts[2].failure), kWarning);
        return false;
    }
    return true;
}

// ---- rename, copy, print ----------------------------------------------------------------------

void CWaveUIBmpDlg::RenameBitmap()
{
    LogText(QStringLiteral("Alter the default tab"));
    if (!hasPicture()) {
        DebugLog(U("当前没有位图资源可供修改图片标签"), kNormal);
        return;
    }
    CAlterLableNameDlg dialog(this);
    dialog.m_strCurrentTitle = m_strTitle;
    if (Ui().runDialog(&dialog) != QDialog::Accepted) {
        DebugLog(U("取消修改当前‘位图’标签！"), kNormal);
        return;
    }
    const QString title = dialog.m_strNewTitle.trimmed();
    if (!title.isEmpty())
        m_strTitle = title;
    ShowTitle();
}

void CWaveUIBmpDlg::CopyBitmap()
{
    Log("Copy DSO Bitmap", "复制位图到剪贴板");
    if (!hasPicture()) {
        DebugLog(U("当前没有可进行复制操作的位图资源！"), kNormal);
        return;
    }
    // The picture itself, at its own size, whatever the frame shows.
    Ui().beginWaitCursor();
    Ui().setClipboardImage(m_image);
    Ui().endWaitCursor();
}

void CWaveUIBmpDlg::PrintBitmap()
{
    Log("Print the DSO Bitmap", "打印位图");
    if (!hasPicture()) {
        DebugLog(U("打印失败：波形位图界面上当前没有位图数据"), kNormal);
        Ui().messageBox(this, QStringLiteral("Error"), QStringLiteral("there is no DSO Bitmap data for print"),
                        MsgIcon::Information);
        return;
    }
    PrintRequest request;
    request.nFirstItem = 1;
    request.nItemCount = 1;
    request.nCurrentPage = 1;
    request.bToPrinter = 0;
    request.hOwner = this;
    request.hList = nullptr;
    request.nExtraPages = 0;
    RunPrintPreview(this, WM_PRINT_BITMAP, request);
}

int CWaveUIBmpDlg::DrawBitmapPage(PrintSurface &surface, const PrintRequest &request)
{
    const bool printer = request.bToPrinter != 0;
    QWidget *owner = request.hOwner ? request.hOwner : this;
    if (printer) {
        if (!surface.StartDoc(QStringLiteral("Print the DSO Bitmap"))) {
            DebugLog(U("连接到打印机失败"), kWarning);
            Ui().messageBox(owner, QStringLiteral("Error"), QStringLiteral("Initialize printer failed"), MsgIcon::Stop);
            surface.EndDoc();
            return 0;
        }
        if (!surface.StartPage()) {
            DebugLog(U("打印位图图像失败"), kWarning);
            Ui().messageBox(owner, U("错误提示"), QStringLiteral("Print failed!"), MsgIcon::Stop);
            surface.AbortDoc();
            return 0;
        }
    }
    QPainter &p = *surface.painter();
    const QPaintDevice &device = *surface.device();
    auto x = [&device](double mm) { return MmToDeviceX(device, mm); };
    auto y = [&device](double mm) { return MmToDeviceY(device, mm); };
    p.save();
    p.setPen(QPen(Qt::black, 2, Qt::SolidLine));
    if (!printer) {
        p.setBrush(Qt::white);
        p.drawRect(QRectF(x(0), y(0), x(223), y(315)));
    }
    p.setFont(PrintFont(U("黑体"), 14, 400, device));
    p.drawText(QRectF(x(0), y(15), x(223), y(30) - y(15)), Qt::AlignCenter, QStringLiteral("Print the DSO Bitmap"));

    // The 320 x 240 area at the picture's origin, which a bottom-up bitmap
    // has at its lower-left corner; what lies outside the picture stays white.
    const double s = (x(183) - x(20)) / kPrintedWidth;
    const QRectF target(x(20), y(40), x(183) - x(20), kPrintedHeight * s);
    const QRect area(0, m_image.height() - kPrintedHeight, kPrintedWidth, kPrintedHeight);
    const QRect shown = area.intersected(m_image.rect());
    if (!shown.isEmpty()) {
        const double kx = target.width() / kPrintedWidth, ky = target.height() / kPrintedHeight;
        p.drawImage(QRectF(target.left() + (shown.left() - area.left()) * kx,
                           target.top() + (shown.top() - area.top()) * ky, shown.width() * kx, shown.height() * ky),
                    m_image, shown);
    }

    const double d = y(40) + 250 * s;
    p.drawLine(QPointF(x(20), d + y(3)), QPointF(x(183), d + y(3)));
    p.setFont(PrintFont(U("宋体"), 10, 400, device));
    const QRectF footer(x(20), d + y(7), x(183) - x(20), y(14) - y(7));
    const QDate today = Ui().now().date();
    p.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter,
               QString::asprintf("Print Date:%04d-%02d-%02d", today.year(), today.month(), today.day()));
    p.drawText(footer, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("1 / 1"));
    p.restore();
    if (printer) {
        surface.EndPage();
        surface.EndDoc();
    }
    return 1;
}
