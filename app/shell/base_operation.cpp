#include "base_operation.h"

#include "../platform/control_ids.h"
#include "../platform/globals.h"
#include "../platform/save_file.h"
#include "../views/view_pages.h"
#include "logs.h"
#include "main_frame.h"
#include "panes.h"
#include "vantor_app.h"

#include <tavlink.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cstring>

using vantor::MsgIcon;

namespace {

struct FileType {
    const char *filter;
    const char *openEn, *openZh, *saveEn, *saveZh;
};

const FileType kTypes[6] = {
    {"", "", "", "", ""},
    {"bitmap file (*.bmp) |*.bmp| |", "Open Bmp File", "打开位图文件", "Save Bmp File", "保存位图文件"},
    {"wavedata file (*.wdf) |*.wdf| |", "Open Wave Data File", "打开波形数据文件", "Save Wave Data File",
     "保存波形数据文件"},
    {"wave measurement file (*.wmf) |*.wmf| |", "Open Wave Measurement File", "打开波形测量值文件",
     "Save Wave Measurement File", "保存波形测量值文件"},
    {"Scope setting file (*.ssf) |*.ssf| |", "Open Setting File", "打开配置文件", "Save Setting File", "保存配置文件"},
    {"graph file( *.csv)|*.csv|wavedata file(*.wdf)|*.wdf| |", "Open Wave Graph File", "打开波形图像文件",
     "Save Wave Graph File", "保存波形图像文件"},
};

vantor::FileDialogRequest Request(int type, bool save)
{
    const FileType &t = kTypes[type];
    vantor::FileDialogRequest r;
    r.save = save;
    r.filter = QString::fromLatin1(t.filter);
    r.title = save ? Tr(t.saveEn, t.saveZh) : Tr(t.openEn, t.openZh);
    r.folder = g_szInitPath;
    if (type == 5) {
        r.initialName = QStringLiteral("*.csv");
        r.defaultExt = QStringLiteral("csv");
    }
    return r;
}

CMainFrame *Frame() { return AfxGetMainFrame(); }

void Log(const char *en, const char *zh)
{
    if (CMainFrame *f = Frame())
        f->LogOperation(Tr(en, zh));
}

bool WriteSettingFile(const QString &path, const char *createFailLine, const char *failMessage)
{
    // Written beside the target and renamed over it: a failed save leaves the
    // old file whole and is never reported as saved.
    QSaveFile file(path);
    const char *failLine = nullptr;
    if (!file.open(QIODevice::WriteOnly))
        failLine = createFailLine;
    else if (file.write(reinterpret_cast<const char *>(g_SettingData), kSettingBytes) != kSettingBytes ||
             !vantor::CommitWhole(file))
        failLine = "写‘设备配置数据’文件失败";
    if (!failLine)
        return true;
    file.cancelWriting();
    DebugLog(QString::fromUtf8(failLine), kNormal);
    AfxGetApp()->ui().messageBox(Frame(), QStringLiteral("Error"), QString::fromUtf8(failMessage),
                                 MsgIcon::Information);
    return false;
}

}  // namespace

int OpenFileDialogFor(int type)
{
    if (type < 1 || type > 5)
        return 0;
    const QString path = AfxGetApp()->ui().fileDialog(Frame(), Request(type, false));
    if (path.isEmpty())
        return 0;
    g_szOpenFilePath = path.left(kPathBytes - 1);
    g_szCurrentFolder = QFileInfo(path).absolutePath();
    return 1;
}

int SaveFileDialogFor(int type)
{
    if (type < 1 || type > 5)
        return 0;
    QString path = AfxGetApp()->ui().fileDialog(Frame(), Request(type, true));
    if (path.isEmpty())
        return 0;
    if (type == 5 && !path.contains(QLatin1String(".csv")) && !path.contains(QLatin1String(".wdf")))
        path += QStringLiteral(".wdf");
    g_szSaveFilePath = path.left(kPathBytes - 1);
    g_szCurrentFolder = QFileInfo(path).absolutePath();
    return 1;
}

CBaseOperation::CBaseOperation(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CBaseOperation"));
    // The groups keep their natural height and scroll in a low window.
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    outer->addWidget(scroll);
    auto *content = new QWidget(scroll);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(6, 8, 6, 6);

    auto addButton = [this](QLayout *into, int id, const QString &text) {
        auto *b = Ctrl(new QPushButton(text, this), id);
        into->addWidget(b);
        return b;
    };

    auto *gotoBox = Ctrl(new QGroupBox(QStringLiteral("Goto View"), this), IDC_BASE_GOTO_GROUP);
    auto *gotoLayout = new QVBoxLayout(gotoBox);
    const std::pair<int, const char *> gotoButtons[] = {{IDC_BASE_GOTO_GRAPH, "Wave Graph"},
                                                        {IDC_BASE_GOTO_DATA, "Wave Data"},
                                                        {IDC_BASE_GOTO_MEASURE, "Wave Measure"},
                                                        {IDC_BASE_GOTO_BITMAP, "DSO Bitmap"}};
    for (const auto &[id, text] : gotoButtons) {
        const int button = id;
        connect(addButton(gotoLayout, id, QString::fromLatin1(text)), &QPushButton::clicked, this,
                [this, button] { OnGotoView(button); });
    }
    layout->addWidget(gotoBox);

    auto *openBox = Ctrl(new QGroupBox(QStringLiteral("Open Files"), this), IDC_BASE_OPEN_GROUP);
    auto *openGrid = new QGridLayout(openBox);
    const std::tuple<int, int, const char *> openRows[] = {
        {IDC_BASE_OPEN_GRAPH, IDC_BASE_LABEL_GRAPH, "Graph file"},
        {IDC_BASE_OPEN_DATA, IDC_BASE_LABEL_DATA, "Data file"},
        {IDC_BASE_OPEN_MEASURE, IDC_BASE_LABEL_MEASURE, "Measure file"},
        {IDC_BASE_OPEN_BITMAP, IDC_BASE_LABEL_BITMAP, "Bitmap file"}};
    int row = 0;
    for (const auto &[id, labelId, text] : openRows) {
        auto *label = Ctrl(new QLabel(QString::fromLatin1(text), openBox), labelId);
        openGrid->addWidget(label, row, 0);
        auto *b = Ctrl(new QPushButton(QStringLiteral("..."), this), id);
        label->setBuddy(b);
        b->setMaximumWidth(40);
        openGrid->addWidget(b, row++, 1);
        const int button = id;
        connect(b, &QPushButton::clicked, this, [this, button] { OnOpenFileView(button); });
    }
    layout->addWidget(openBox);

    auto *deviceBox = Ctrl(new QGroupBox(QStringLiteral("Device Setting Oper"), this), IDC_BASE_DEVICE_GROUP);
    auto *deviceLayout = new QVBoxLayout(deviceBox);
    // Upload, Download and Save As reach the instrument: they wait for the command in progress.
    vantor::ConnectCommand(addButton(deviceLayout, IDC_BASE_UPLOAD, QStringLiteral("Upload")), &QPushButton::clicked,
                           this, &CBaseOperation::OnUpload);
    vantor::ConnectCommand(addButton(deviceLayout, IDC_BASE_DOWNLOAD, QStringLiteral("Download")),
                           &QPushButton::clicked, this, &CBaseOperation::OnDownload);
    connect(addButton(deviceLayout, IDC_BASE_OPEN, QStringLiteral("Open")), &QPushButton::clicked, this,
            &CBaseOperation::OnOpen);
    connect(addButton(deviceLayout, IDC_BASE_SAVE, QStringLiteral("Save")), &QPushButton::clicked, this,
            &CBaseOperation::OnSave);
    vantor::ConnectCommand(addButton(deviceLayout, IDC_BASE_SAVE_AS, QStringLiteral("Save As")), &QPushButton::clicked,
                           this, &CBaseOperation::OnSaveAs);
    auto *fileLabel = Ctrl(new QLabel(QStringLiteral("Current file："), deviceBox), IDC_BASE_FILE_LABEL);
    deviceLayout->addWidget(fileLabel);
    m_edit = Ctrl(new QLineEdit(deviceBox), IDC_BASE_FILE);
    fileLabel->setBuddy(m_edit);
    m_edit->setReadOnly(true);
    m_edit->setStyleSheet(QStringLiteral("QLineEdit { background: white; }"));
    deviceLayout->addWidget(m_edit);
    layout->addWidget(deviceBox);
    layout->addStretch(1);
    scroll->setWidget(content);

    if (!g_bDsoBound) {
        button(IDC_BASE_UPLOAD)->setEnabled(false);
        button(IDC_BASE_DOWNLOAD)->setEnabled(false);
    }
    if (!g_bSettingHeld) {
        button(IDC_BASE_SAVE)->setEnabled(false);
        button(IDC_BASE_SAVE_AS)->setEnabled(false);
    }
    if (NeedsLocalising())
        LocaliseDialog(this, IDD_BASE_OPERATION);
    NameControls(this);
}

QPushButton *CBaseOperation::button(int id) const { return findChild<QPushButton *>(QStringLiteral("id%1").arg(id)); }

void CBaseOperation::SetCurrentFile(const QString &text)
{
    m_strCurrentFile = text;
    m_edit->setText(text);
}

void CBaseOperation::GotoView(int tab)
{
    CMainFrame *frame = Frame();
    if (!frame) {
        DebugLog(QStringLiteral("基本操作面板中，获取主框架窗口指针失败"), kNormal);
        return;
    }
    CRightWnd *right = frame->rightWnd();
    if (!right || tab < 0 || tab >= right->tabs()->count()) {
        DebugLog(QStringLiteral("转到选定的视图界面失败"), kWarning);
        return;
    }
    right->SelectTab(tab);
    if (tab == TAB_WAVE_DATA && right->dataPage())
        right->dataPage()->RefillChannelColumns();
    if (tab == TAB_MEASURE && right->measurePage())
        right->measurePage()->FillMeasurementPage();
}

void CBaseOperation::SetDeviceButtons(bool enable)
{
    button(IDC_BASE_UPLOAD)->setEnabled(enable);
    button(IDC_BASE_DOWNLOAD)->setEnabled(enable && g_bSettingHeld);
}

void CBaseOperation::OnGotoView(int buttonId)
{
    switch (buttonId) {
    case IDC_BASE_GOTO_GRAPH:
        GotoView(TAB_WAVE_GRAPH);
        Log("Goto the Wave Graph View", "波形图像视图");
        break;
    case IDC_BASE_GOTO_DATA:
        GotoView(TAB_WAVE_DATA);
        Log("Goto the Wave Data View", "波形数据视图");
        break;
    case IDC_BASE_GOTO_MEASURE:
        GotoView(TAB_MEASURE);
        Log("Goto the Wave Measurement View", "波形测量值视图");
        break;
    case IDC_BASE_GOTO_BITMAP:
        GotoView(TAB_BITMAP);
        Log("Goto the DSO Bitmap View", "设备位图视图");
        break;
    default: break;
    }
}

void CBaseOperation::OnOpenFileView(int buttonId)
{
    int type = 0, tab = 0;
    switch (buttonId) {
    case IDC_BASE_OPEN_GRAPH:
        Log("Open a Wave Graph file and show the view", "打开波形图像文件并显示");
        type = 5;
        tab = TAB_WAVE_GRAPH;
        break;
    case IDC_BASE_OPEN_DATA:
        Log("Open a Wave Data file and show the view", "打开波形数据文件并显示");
        type = 2;
        tab = TAB_WAVE_DATA;
        break;
    case IDC_BASE_OPEN_MEASURE:
        Log("Open a Wave Measurement file and show the view", "打开波形测量值文件并显示");
        type = 3;
        tab = TAB_MEASURE;
        break;
    case IDC_BASE_OPEN_BITMAP:
        Log("Open a DSO Bitmap file and show the view", "打开位图文件并显示");
        type = 1;
        tab = TAB_BITMAP;
        break;
    default: return;
    }
    if (!OpenFileDialogFor(type))
        return;
    GotoView(tab);
    CMainFrame *frame = Frame();
    CRightWnd *right = frame ? frame->rightWnd() : nullptr;
    if (!right) {
        DebugLog(QStringLiteral("基本操作面板中，获取左窗口指针失败"), kNormal);
        return;
    }
    switch (tab) {
    case TAB_WAVE_GRAPH: right->OpenWaveGraphFile(); break;
    case TAB_WAVE_DATA: right->OpenWaveDataFile(); break;
    case TAB_MEASURE: right->OpenMeasurementFile(); break;
    case TAB_BITMAP: right->OpenBitmapFile(); break;
    }
}

void CBaseOperation::OnUpload()
{
    Log("UpLoad a Setting file from device", "从设备上传配置文件");
    // Fetched into a scratch block so that a failure leaves the held block alone.
    uint8_t block[kSettingBytes];
    std::memcpy(block, g_SettingData, sizeof block);
    const bool ok = AfxGetApp()->link().run([&] { return GetParameter_SettingData(block); });
    if (ok) {
        std::memcpy(g_SettingData, block, sizeof block);
        const QDateTime now = AfxGetApp()->ui().now();
        const QDate d = now.date();
        const QTime t = now.time();
        SetCurrentFile(QString::asprintf("%04d%02d%02d-%02d%02d%02d", d.year(), d.month(), d.day(), t.hour(),
                                         t.minute(), t.second()));
        g_bSettingHeld = 1;
        button(IDC_BASE_SAVE)->setEnabled(true);
        button(IDC_BASE_SAVE_AS)->setEnabled(true);
        button(IDC_BASE_DOWNLOAD)->setEnabled(true);
    } else {
        DebugLog(QStringLiteral("从设备下载设备配置数据失败"), kWarning);
        AfxGetApp()->ui().messageBox(Frame(), QStringLiteral("Error"),
                                     QStringLiteral("Try to up load a Setting file from device failed！"),
                                     MsgIcon::Information);
        if (CMainFrame *f = Frame())
            f->RefreshLinkLamp();
        button(IDC_BASE_SAVE)->setEnabled(false);
        button(IDC_BASE_SAVE_AS)->setEnabled(false);
        button(IDC_BASE_DOWNLOAD)->setEnabled(false);
    }
}

void CBaseOperation::OnDownload()
{
    Log("Down Load a Setting file to device", "下载配置文件到设备");
    CMainFrame *frame = Frame();
    vantor::LinkGate &link = AfxGetApp()->link();
    link.pause(80);
    if (frame)
        frame->RunProgress(2, 1, 0);
    link.pause(80);
    if (frame)
        frame->RunProgress(2, 1, 0);
    // The block as it is now: Open may replace the held one while it is sent.
    uint8_t block[kSettingBytes];
    std::memcpy(block, g_SettingData, sizeof block);
    if (!link.run([&] { return SendParameter_SettingData(block); }) && frame)
        frame->RefreshLinkLamp();
}

void CBaseOperation::OnOpen()
{
    Log("Open a Setting file", "打开配置文件");
    if (!OpenFileDialogFor(4))
        return;
    QFile file(g_szOpenFilePath);
    if (!file.open(QIODevice::ReadOnly)) {
        DebugLog(QStringLiteral("打开‘设备配置数据’文件失败"), kNormal);
        AfxGetApp()->ui().messageBox(Frame(), QStringLiteral("Error"),
                                     QStringLiteral("Try to open a Setting file failed!"), MsgIcon::Information);
        return;
    }
    const qint64 got = file.read(reinterpret_cast<char *>(g_SettingData), kSettingBytes);
    if (got < 0)
        DebugLog(QStringLiteral("读取‘设备配置数据’文件失败"), kNormal);
    file.close();
    button(IDC_BASE_SAVE)->setEnabled(false);
    button(IDC_BASE_SAVE_AS)->setEnabled(true);
    button(IDC_BASE_DOWNLOAD)->setEnabled(g_bDsoBound != 0);
    SetCurrentFile(g_szOpenFilePath);
    g_bSettingHeld = 1;
}

void CBaseOperation::OnSave()
{
    Log("Save a Setting file", "保存配置文件");
    const QString path = g_szInitPath + QLatin1Char('/') + m_strCurrentFile + QStringLiteral(".ssf");
    if (WriteSettingFile(path, "保存‘设备配置数据’文件失败", "Try to Save Setting file failed!"))
        if (CMainFrame *f = Frame())
            f->LogOperation(QStringLiteral("Save Setting file successed！"));
}

void CBaseOperation::OnSaveAs()
{
    Log("Save As a Setting file", "配置文件另存为");
    if (!SaveFileDialogFor(4))
        return;
    // Refetched first; the result does not decide the save, and a failed
    // fetch leaves the held block as it was.
    uint8_t block[kSettingBytes];
    if (AfxGetApp()->link().run([&] { return GetParameter_SettingData(block); }))
        std::memcpy(g_SettingData, block, sizeof block);
    QString path = g_szSaveFilePath;
    if (!path.contains(QLatin1String(".ssf")))
        path += QStringLiteral(".ssf");
    if (WriteSettingFile(path, "另存‘设备配置数据’文件失败", "Try to save as Setting file failed!"))
        if (CMainFrame *f = Frame())
            f->LogOperation(QStringLiteral("Save As Setting file successed！"));
}
