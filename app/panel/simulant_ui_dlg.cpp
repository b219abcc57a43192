#include "simulant_ui_dlg.h"

#include "../platform/app_context.h"
#include "../platform/control_ids.h"
#include "../platform/globals.h"
#include "../platform/language.h"
#include "../platform/link_gate.h"
#include "../platform/ui_services.h"
#include "../views/page_host.h"
#include "panel_controls.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <array>
#include <cstring>
#include <tavlink.h>

namespace {

const char kNoKnob[] = "There is no Knob oper";

// One key of the panel: what it sends, what it logs, and its progress steps
// and pause (the progress call after the lamps: -1 none, else its step).
struct PanelKey {
    int id;
    const char *label;
    const char *log;
    bool (*send)();
    int startFifth;
    int sentFifth;
    int lampsStep;
    unsigned pauseMs;
    bool lamp;  // a key with a lamp
    Qt::Key shortcut;
};

constexpr PanelKey kKeys[] = {
    {IDC_PANEL_DEFAULT_SETUP, "DEF/SET", "DEFAULT_SETUP click down", DefaultSetupButton, 2, 3, 1, 500, false, {}},
    {IDC_PANEL_AUTO, "AUTO", "AUTO click down", AutoButton, 2, 4, 0, 500, false, Qt::Key_A},
    {IDC_PANEL_SET50, "SET 50%", "SET_TO_50% click down", Setto50Button, 2, 5, -1, 300, false, {}},
    {IDC_PANEL_FORCE, "FORCE", "FORCE click down", ForceButton, 2, 4, 1, 300, false, {}},
    {IDC_PANEL_MB1, "MB_1", "MB_1 click down", MenuButton1, 2, 4, 1, 300, false, {}},
    {IDC_PANEL_MB2, "MB_2", "MB_2 click down", MenuButton2, 2, 4, 1, 300, false, {}},
    {IDC_PANEL_MB3, "MB_3", "MB_3 click down", MenuButton3, 2, 4, -1, 300, false, {}},
    {IDC_PANEL_MB4, "MB_4", "MB_4 click down", MenuButton4, 2, 3, 1, 300, false, {}},
    {IDC_PANEL_MB5, "MB_5", "MB_5 click down", MenuButton5, 2, 3, 1, 300, false, {}},
    {IDC_PANEL_HORI_MENU, "H_MENU", "HORI_MENU click down", HorizontalMenuButton, 2, 3, 1, 300, false, {}},
    {IDC_PANEL_MEASURE, "MEASURE", "MEASURE click down", MeasureButton, 1, 3, 0, 300, false, {}},
    {IDC_PANEL_ACQUIRE, "ACQUIRE", "ACQUIRE click down", AcquireButton, 1, 3, 0, 300, false, {}},
    {IDC_PANEL_DISPLAY, "DISPLAY", "DISPLAY click down", DisplayButton, 1, 3, 0, 300, false, {}},
    {IDC_PANEL_SAVE_RECALL, "SAVE", "SAVE_RECALL click down", SaveRecallButton, 1, 3, 0, 300, false, {}},
    {IDC_PANEL_UTILITY, "UTILITY", "UTILITY click down", UtilityButton, 1, 3, 0, 300, false, {}},
    {IDC_PANEL_TRIG_MENU, "T_MENU", "TRIG_MENU click down", TrigMenuButton, 1, 3, 0, 300, false, {}},
    {IDC_PANEL_CURSOR, "CURSOR", "CURSOR click down", CursorsButton, 2, 4, 0, 300, true, Qt::Key_C},
    {IDC_PANEL_RUN_STOP, "RUN/STOP", "RUN/STOP click down", RunStopButton, 2, 3, 0, 300, true, Qt::Key_Space},
    {IDC_PANEL_SINGLE, "SINGLE", "SINGLE click down", SingleButton, 2, 3, 0, 300, true, Qt::Key_S},
    {IDC_PANEL_CH1, "CH1", "CH1 click down", Ch1Button, 2, 3, 0, 300, true, Qt::Key_1},
    {IDC_PANEL_CH2, "CH2", "CH2 click down", Ch2Button, 2, 3, 0, 300, true, Qt::Key_2},
    {IDC_PANEL_CH3, "CH3", "CH3 click down", Ch3Button, 2, 3, 0, 300, true, Qt::Key_3},
    {IDC_PANEL_CH4, "CH4", "CH4 click down", Ch4Button, 2, 3, 0, 300, true, Qt::Key_4},
    {IDC_PANEL_MATH, "MATH", "MATH click down", MathButton, 2, 3, 0, 500, true, Qt::Key_M},
    {IDC_PANEL_REF, "REF", "REF click down", RefButton, 2, 3, 0, 300, true, Qt::Key_R},
};

struct PanelKnob {
    int id;
    int range;
    bool (*turn)(int);
};

constexpr PanelKnob kKnobs[] = {
    {IDC_PANEL_HORI_LARGE, 100, DeltaposHorizontalLargeSpin},
    {IDC_PANEL_HORI_SMALL, 1000, DeltaposHorizontalSmallSpin},
    {IDC_PANEL_CH1_LARGE, 100, DeltaposCh1VerLargeSpin},
    {IDC_PANEL_CH1_SMALL, 1000, DeltaposCh1VerSmallSpin},
    {IDC_PANEL_CH2_LARGE, 100, DeltaposCh2VerLargeSpin},
    {IDC_PANEL_CH2_SMALL, 1000, DeltaposCh2VerSmallSpin},
    {IDC_PANEL_CH3_LARGE, 100, DeltaposCh3VerLargeSpin},
    {IDC_PANEL_CH3_SMALL, 1000, DeltaposCh3VerSmallSpin},
    {IDC_PANEL_CH4_LARGE, 100, DeltaposCh4VerLargeSpin},
    {IDC_PANEL_CH4_SMALL, 1000, DeltaposCh4VerSmallSpin},
    {IDC_PANEL_ALL_CAN, 1000, DeltaposAllCanSpin},
    {IDC_PANEL_LEVEL, 1000, DeltaposLevelSpin},
};

struct PanelPush {
    int id;
    const char *name;  // the knob display's text
    const char *log;
    bool (*send)();
};

constexpr PanelPush kPushes[] = {
    {IDC_PANEL_HORI_PUSH, "S/div knob", "S/div knob click down", HorizontalLargeSpinClickDown},
    {IDC_PANEL_CH1_PUSH, "CH1 V/div knob", "CH1 V/div knob click down", Ch1VerLargeSpinClickDown},
    {IDC_PANEL_CH2_PUSH, "CH2 V/div knob", "CH2 V/div knob click down", Ch2VerLargeSpinClickDown},
    {IDC_PANEL_CH3_PUSH, "CH3 V/div knob", "CH3 V/div knob click down", Ch3VerLargeSpinClickDown},
    {IDC_PANEL_CH4_PUSH, "CH4 V/div knob", "CH4 V/div knob click down", Ch4VerLargeSpinClickDown},
};

// Lamp byte k of the instrument and the key that shows it.
struct LampOfKey {
    int lamp;
    int id;
};
constexpr LampOfKey kLampKeys[] = {
    {2, IDC_PANEL_SINGLE}, {3, IDC_PANEL_CH1},  {4, IDC_PANEL_CH2}, {5, IDC_PANEL_CH3},
    {6, IDC_PANEL_CH4},    {7, IDC_PANEL_MATH}, {8, IDC_PANEL_REF}, {9, IDC_PANEL_CURSOR},
};
constexpr int kRunStopLamp = 0;
constexpr int kLampOnlyLamp = 1;

// What a two-channel model does not have.
constexpr int kChannel34Ids[] = {IDC_PANEL_CH3_LARGE, IDC_PANEL_CH3_SMALL, IDC_PANEL_CH3_PUSH, IDC_PANEL_CH3,
                                 IDC_PANEL_CH4_LARGE, IDC_PANEL_CH4_SMALL, IDC_PANEL_CH4_PUSH, IDC_PANEL_CH4};

template <class T, size_t N> const T *FindById(const T (&table)[N], int id)
{
    for (const T &t : table)
        if (t.id == id)
            return &t;
    return nullptr;
}

// The lamp bytes of a fresh status reply, copied out of the library's
// storage inside the job.
bool ReadLamps(uint8_t (&out)[TAVLINK_LAMP_COUNT])
{
    return vantor::Link().run([&out] {
        unsigned char *lamps = nullptr;
        if (!GetTheLedStatus(&lamps) || !lamps)
            return false;
        std::memcpy(out, lamps, TAVLINK_LAMP_COUNT);
        return true;
    });
}

bool Linked()
{
    const CPageHost *host = views::Host();
    return g_bDsoBound && host && host->LinkKnown();
}

// The application's icon on the knobs' push buttons; until the program has
// one of its own, a knob cap.
QIcon PushIcon()
{
    const QIcon app = QApplication::windowIcon();
    if (!app.availableSizes().isEmpty())
        return app;
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient cap(QPointF(6, 6), 9);
    cap.setColorAt(0, QColor(235, 235, 235));
    cap.setColorAt(1, QColor(120, 120, 128));
    p.setBrush(cap);
    p.setPen(QPen(QColor(60, 60, 66), 1));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(QColor(40, 40, 44), 1.6));
    p.drawLine(QPointF(8, 3.5), QPointF(8, 7.5));
    return QIcon(pm);
}

QLabel *Caption(const char *english, const char *chinese, QWidget *parent)
{
    auto *label = new QLabel(Tr(english, chinese), parent);
    label->setAlignment(Qt::AlignCenter);
    QFont f = label->font();
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * 0.85);
    f.setBold(true);
    label->setFont(f);
    return label;
}

// The rows every section of the panel shares, so that its places line up
// across the boxes: a caption over a knob, a key, a caption, and a bottom
// row of two controls. (A braced list makes the controls in order, which is
// also their tab order.)
void SectionRows(QWidget *section, const std::array<QWidget *, 6> &c)
{
    auto *grid = new QGridLayout(section);
    grid->setVerticalSpacing(4);
    for (int row = 0; row < 4; ++row)
        grid->addWidget(c[size_t(row)], row, 0, 1, 2);
    grid->addWidget(c[4], 4, 0);
    grid->addWidget(c[5], 4, 1);
}

constexpr int kKeyWidth = 76;
constexpr int kKeyHeight = 30;

}  // namespace

CSimulantUIDlg::CSimulantUIDlg(QWidget *parent)
    : CVantorDialog(parent, IDD_SIMULANT_PANE, QStringLiteral("Virtual Pane")),
      m_strKnobName(QString::fromLatin1(kNoKnob))
{
    auto *layout = new QVBoxLayout(this);
    // The panel is as large as its controls: hidden channels leave no hole.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto *upper = new QHBoxLayout;
    upper->addWidget(BuildDisplay());
    auto *menu = new QVBoxLayout;
    menu->setSpacing(4);
    for (int id : {IDC_PANEL_MB1, IDC_PANEL_MB2, IDC_PANEL_MB3, IDC_PANEL_MB4, IDC_PANEL_MB5})
        menu->addWidget(Key(id, this));
    upper->addLayout(menu);
    upper->addSpacing(12);
    upper->addWidget(BuildFunctionKeys(), 1);
    layout->addLayout(upper);

    auto *lower = new QHBoxLayout;
    lower->addWidget(BuildVertical());
    lower->addWidget(BuildHorizontal());
    lower->addWidget(BuildTrigger());
    layout->addLayout(lower);

    auto *row = new QHBoxLayout;
    row->addStretch(1);
    const struct {
        int id;
        const char *text;
    } commands[] = {{IDC_PANEL_KNOB_DONE, "Knob Done"}, {IDC_PANEL_REFRESH, "Refresh"}, {IDC_PANEL_CLOSE, "Close"}};
    for (const auto &c : commands) {
        auto *b = Ctrl(new QPushButton(QString::fromLatin1(c.text), this), c.id);
        b->setAutoDefault(false);
        row->addWidget(b);
    }
    layout->addLayout(row);
    // Each of the panel's controls talks to the instrument: a command, in turn with the refresh tick's.
    vantor::ConnectCommand(button(IDC_PANEL_KNOB_DONE), &QPushButton::clicked, this, &CSimulantUIDlg::OnKnobDone);
    vantor::ConnectCommand(button(IDC_PANEL_REFRESH), &QPushButton::clicked, this, &CSimulantUIDlg::OnRefresh);
    connect(button(IDC_PANEL_CLOSE), &QPushButton::clicked, this, &QDialog::reject);

    for (const PanelKey &k : kKeys) {
        if (!k.shortcut)
            continue;
        auto *shortcut = new QShortcut(QKeySequence(k.shortcut), this);
        const int id = k.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] {
            if (m_keys[id]->isVisibleTo(this))
                vantor::Link().command(this, [this, id] { PressKey(id); });
        });
        m_shortcuts[id] = shortcut;
    }
    NamesAndTips();
}

QWidget *CSimulantUIDlg::BuildDisplay()
{
    // A small screen: which knob was pushed and its scale.
    auto *screen = new QFrame(this);
    screen->setFrameShape(QFrame::Panel);
    screen->setFrameShadow(QFrame::Sunken);
    screen->setLineWidth(2);
    screen->setAutoFillBackground(true);
    QPalette pal = screen->palette();
    pal.setColor(QPalette::Window, QColor(14, 28, 36));
    pal.setColor(QPalette::WindowText, QColor(130, 235, 205));
    screen->setPalette(pal);
    screen->setMinimumSize(260, 150);
    auto *grid = new QGridLayout(screen);
    grid->setContentsMargins(14, 12, 14, 12);
    m_knobNameLabel = Ctrl(new QLabel(m_strKnobName, screen), IDC_PANEL_KNOB_NAME);
    m_knobScaleLabel = Ctrl(new QLabel(m_strKnobScale, screen), IDC_PANEL_KNOB_SCALE);
    QFont big = m_knobNameLabel->font();
    if (big.pointSizeF() > 0)
        big.setPointSizeF(big.pointSizeF() * 1.15);
    big.setBold(true);
    m_knobNameLabel->setFont(big);
    m_knobScaleLabel->setFont(big);
    grid->addWidget(new QLabel(Tr("Knob", "旋钮"), screen), 0, 0);
    grid->addWidget(m_knobNameLabel, 0, 1);
    grid->addWidget(new QLabel(Tr("Scale", "刻度"), screen), 1, 0);
    grid->addWidget(m_knobScaleLabel, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    return screen;
}

QWidget *CSimulantUIDlg::BuildFunctionKeys()
{
    auto *keys = new QWidget(this);
    auto *grid = new QGridLayout(keys);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    const int rows[3][3] = {
        {IDC_PANEL_MEASURE, IDC_PANEL_ACQUIRE, IDC_PANEL_SAVE_RECALL},
        {IDC_PANEL_CURSOR, IDC_PANEL_DISPLAY, IDC_PANEL_UTILITY},
        {0, 0, IDC_PANEL_DEFAULT_SETUP},
    };
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            if (rows[r][c])
                grid->addWidget(Key(rows[r][c], keys), r, c);
    // The universal knob under the keys whose menus it serves.
    auto *universal = new QVBoxLayout;
    universal->setSpacing(2);
    universal->addWidget(Caption("UNIVERSAL", "通用旋钮", keys));
    universal->addWidget(Knob(IDC_PANEL_ALL_CAN, "UNIVERSAL", "通用旋钮", keys), 0, Qt::AlignHCenter);
    grid->addLayout(universal, 2, 0, 2, 2);
    grid->setColumnMinimumWidth(3, 12);
    // Run control.
    grid->addWidget(Key(IDC_PANEL_AUTO, keys), 0, 4);
    grid->addWidget(Key(IDC_PANEL_RUN_STOP, keys), 1, 4);
    grid->addWidget(Key(IDC_PANEL_SINGLE, keys), 2, 4);
    auto *lamp = Ctrl(new CLampKey(QStringLiteral("TRIG'D"), CLampKey::Kind::Lamp, keys), IDC_PANEL_LAMP);
    grid->addWidget(lamp, 3, 4, Qt::AlignHCenter);
    grid->setRowStretch(4, 1);
    return keys;
}

QGroupBox *CSimulantUIDlg::BuildVertical()
{
    auto *box = Ctrl(new QGroupBox(QStringLiteral("VERTICAL"), this), IDC_PANEL_VERTICAL_BOX);
    auto *grid = new QGridLayout(box);
    grid->setVerticalSpacing(4);
    const struct {
        int key, small, large, push;
    } channels[4] = {
        {IDC_PANEL_CH1, IDC_PANEL_CH1_SMALL, IDC_PANEL_CH1_LARGE, IDC_PANEL_CH1_PUSH},
        {IDC_PANEL_CH2, IDC_PANEL_CH2_SMALL, IDC_PANEL_CH2_LARGE, IDC_PANEL_CH2_PUSH},
        {IDC_PANEL_CH3, IDC_PANEL_CH3_SMALL, IDC_PANEL_CH3_LARGE, IDC_PANEL_CH3_PUSH},
        {IDC_PANEL_CH4, IDC_PANEL_CH4_SMALL, IDC_PANEL_CH4_LARGE, IDC_PANEL_CH4_PUSH},
    };
    for (int n = 0; n < 4; ++n) {
        // A column per channel: position knob, channel key, V/div knob.
        auto *column = new QWidget(box);
        SectionRows(column,
                    {Caption("POSITION", "位移", column), Knob(channels[n].small, "POSITION", "位移", column),
                     Key(channels[n].key, column), Caption("VOLTS/DIV", "伏/格", column),
                     Knob(channels[n].large, "VOLTS/DIV", "伏/格", column), KnobPush(channels[n].push, column)});
        column->layout()->setContentsMargins(0, 0, 0, 0);
        m_channelColumns[n] = column;
        grid->addWidget(column, 0, n);
    }
    auto *maths = new QVBoxLayout;
    maths->addStretch(1);
    maths->addWidget(Key(IDC_PANEL_MATH, box));
    maths->addSpacing(10);
    maths->addWidget(Key(IDC_PANEL_REF, box));
    maths->addStretch(1);
    grid->addLayout(maths, 0, 4);
    return box;
}

QGroupBox *CSimulantUIDlg::BuildHorizontal()
{
    auto *box = Ctrl(new QGroupBox(QStringLiteral("HORIZONTAL"), this), IDC_PANEL_HORIZONTAL_BOX);
    SectionRows(box,
                {Caption("POSITION", "位移", box), Knob(IDC_PANEL_HORI_SMALL, "HORIZONTAL POSITION", "水平位移", box),
                 Key(IDC_PANEL_HORI_MENU, box), Caption("SEC/DIV", "秒/格", box),
                 Knob(IDC_PANEL_HORI_LARGE, "SEC/DIV", "秒/格", box), KnobPush(IDC_PANEL_HORI_PUSH, box)});
    return box;
}

QGroupBox *CSimulantUIDlg::BuildTrigger()
{
    // The same places as the horizontal controls: level for position, the
    // trigger menu for the time base knob.
    auto *box = Ctrl(new QGroupBox(QStringLiteral("TRIGGER"), this), IDC_PANEL_TRIGGER_BOX);
    SectionRows(box,
                {Caption("LEVEL", "电平", box), Knob(IDC_PANEL_LEVEL, "LEVEL", "电平", box), Key(IDC_PANEL_SET50, box),
                 new QWidget(box), Key(IDC_PANEL_TRIG_MENU, box), Key(IDC_PANEL_FORCE, box)});
    return box;
}

QWidget *CSimulantUIDlg::Key(int id, QWidget *parent)
{
    const PanelKey *k = FindById(kKeys, id);
    const QString text = QString::fromLatin1(k->label);
    QAbstractButton *key = nullptr;
    if (k->lamp)
        key = new CLampKey(text, CLampKey::Kind::Key, parent);
    else
        key = new QPushButton(text, parent);
    if (auto *push = qobject_cast<QPushButton *>(key))
        push->setAutoDefault(false);
    key->setMinimumSize(kKeyWidth, kKeyHeight);
    key->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    Ctrl(key, id);
    connect(key, &QAbstractButton::clicked, this,
            [this, id] { vantor::Link().command(this, [this, id] { PressKey(id); }); });
    m_keys[id] = key;
    return key;
}

QWidget *CSimulantUIDlg::Knob(int id, const char *english, const char *chinese, QWidget *parent)
{
    const PanelKnob *k = FindById(kKnobs, id);
    auto *knob = Ctrl(new CKnobSpin(k->range, parent), id);
    knob->setMinimumWidth(84);
    knob->setMaximumWidth(124);
    knob->setProperty("caption", Tr(english, chinese));
    connect(knob, &CKnobSpin::turned, this,
            [this, id](int delta) { vantor::Link().command(this, [this, id, delta] { TurnKnob(id, delta); }); });
    m_knobs[id] = knob;
    return knob;
}

QPushButton *CSimulantUIDlg::KnobPush(int id, QWidget *parent)
{
    auto *push = Ctrl(new QPushButton(parent), id);
    push->setIcon(PushIcon());
    push->setAutoDefault(false);
    push->setFixedSize(kKeyHeight, kKeyHeight - 4);
    connect(push, &QPushButton::clicked, this,
            [this, id] { vantor::Link().command(this, [this, id] { PushKnob(id); }); });
    return push;
}

void CSimulantUIDlg::NamesAndTips()
{
    // Every control carries its label's text; the keys with a keyboard
    // shortcut show it in their tool tip.
    for (auto &[id, key] : m_keys) {
        const QString text = static_cast<QAbstractButton *>(key)->text();
        key->setAccessibleName(text);
        const PanelKey *k = FindById(kKeys, id);
        key->setToolTip(k->shortcut ? QStringLiteral("%1 (%2)").arg(
                                          text, QKeySequence(k->shortcut).toString(QKeySequence::NativeText))
                                    : text);
    }
    for (auto &[id, knob] : m_knobs) {
        QString name = knob->property("caption").toString();
        // The channel knobs share their captions; their names say whose they are.
        for (int n = 0; n < 4; ++n)
            if (m_channelColumns[n] && m_channelColumns[n]->isAncestorOf(knob))
                name = QStringLiteral("CH%1 %2").arg(n + 1).arg(name);
        knob->setAccessibleName(name);
        knob->setToolTip(name);
    }
    for (const PanelPush &p : kPushes) {
        QWidget *push = button(p.id);
        push->setAccessibleName(Tr("Push the ", "按下") + QString::fromLatin1(p.name));
        push->setToolTip(push->accessibleName());
    }
    for (int id : {IDC_PANEL_KNOB_DONE, IDC_PANEL_REFRESH, IDC_PANEL_CLOSE})
        button(id)->setAccessibleName(button(id)->text());
    for (int id : {IDC_PANEL_VERTICAL_BOX, IDC_PANEL_HORIZONTAL_BOX, IDC_PANEL_TRIGGER_BOX})
        box(id)->setAccessibleName(box(id)->title());
    if (auto *lamp = lampKey(IDC_PANEL_LAMP))
        lamp->setAccessibleName(lamp->text());
    m_knobNameLabel->setAccessibleName(Tr("Current knob", "当前旋钮"));
    m_knobScaleLabel->setAccessibleName(Tr("Knob scale", "旋钮刻度"));
}

void CSimulantUIDlg::OnInitDialog()
{
    for (const PanelKnob &k : kKnobs) {
        m_knobs[k.id]->setRange(-k.range, k.range);
        m_knobs[k.id]->setValue(0);
    }
    ShowLamps();
    button(IDC_PANEL_REFRESH)->show();
    if (HasTwoChannels(g_ProductType)) {
        for (int id : kChannel34Ids)
            findChild<QWidget *>(QStringLiteral("id%1").arg(id))->hide();
        // Their captions go with them; the layout closes up behind.
        m_channelColumns[2]->hide();
        m_channelColumns[3]->hide();
        m_shortcuts[IDC_PANEL_CH3]->setEnabled(false);
        m_shortcuts[IDC_PANEL_CH4]->setEnabled(false);
    }
    NamesAndTips();
}

CLampKey *CSimulantUIDlg::lampKey(int id) const { return findChild<CLampKey *>(QStringLiteral("id%1").arg(id)); }

CKnobSpin *CSimulantUIDlg::knob(int id) const
{
    auto it = m_knobs.find(id);
    return it == m_knobs.end() ? nullptr : it->second;
}

QPushButton *CSimulantUIDlg::button(int id) const { return findChild<QPushButton *>(QStringLiteral("id%1").arg(id)); }

QGroupBox *CSimulantUIDlg::box(int id) const { return findChild<QGroupBox *>(QStringLiteral("id%1").arg(id)); }

// ---- opening ------------------------------------------------------------------------

int CSimulantUIDlg::ShowPanel()
{
    vantor::UiServices &ui = vantor::Ui();
    ui.beginWaitCursor();
    std::memset(g_LedStatus, 0, sizeof g_LedStatus);
    uint8_t lamps[TAVLINK_LAMP_COUNT];
    if (!ReadLamps(lamps)) {
        ui.endWaitCursor();
        return 0;
    }
    std::memcpy(g_LedStatus, lamps, sizeof g_LedStatus);
    if (views::Host()) {
        views::Progress(2, 1, 0);
        vantor::Link().run([] { return IsGetDataFromInStruct(0); });
        views::Progress(2, 1, 0);
    }
    ui.endWaitCursor();
    return ui.runDialog(this);
}

// ---- lamps --------------------------------------------------------------------------

void CSimulantUIDlg::ShowLamps()
{
    const QColor face = palette().color(QPalette::Button);
    const QColor green(0, 255, 0), magenta(255, 0, 255);
    auto paint = [this](int id, const QColor &first, const QColor &second) {
        CLampKey *key = lampKey(id);
        key->SetProperty(CLampKey::kFaceColour, first);
        key->SetProperty(CLampKey::kCaptionColour, second);
    };
    for (const LampOfKey &l : kLampKeys) {
        if (g_LedStatus[l.lamp])
            paint(l.id, green, magenta);
        else
            paint(l.id, face, Qt::black);
    }
    switch (g_LedStatus[kRunStopLamp]) {
    case 1: paint(IDC_PANEL_RUN_STOP, green, magenta); break;
    case 2: paint(IDC_PANEL_RUN_STOP, QColor(255, 0, 0), Qt::white); break;
    default: paint(IDC_PANEL_RUN_STOP, face, Qt::black); break;
    }
    lampKey(IDC_PANEL_LAMP)->SetProperty(CLampKey::kValue, g_LedStatus[kLampOnlyLamp] != 0);

    // Keys change what the instrument shows: the wave graph's next refresh
    // reads every parameter again.
    for (int n = 1; n <= 4; ++n) {
        g_bChOpen[n - 1] = 0;
        const LiveChannel live = Live(n);
        live.vertPos = 0;
        live.voltsText = QStringLiteral("0 V");
    }
    g_szTimeBase = QStringLiteral("0 s");
    g_szHoriPos = QStringLiteral("0 s");
    g_nTrigState = 255;
}

void CSimulantUIDlg::RefreshFromTick()
{
    uint8_t lamps[TAVLINK_LAMP_COUNT];
    if (ReadLamps(lamps))
        std::memcpy(g_LedStatus, lamps, sizeof g_LedStatus);
    ShowLamps();
}

// ---- keys and knobs -----------------------------------------------------------------

void CSimulantUIDlg::PressKey(int id)
{
    const PanelKey *key = FindById(kKeys, id);
    if (!key)
        return;
    views::LogText(QString::fromLatin1(key->log));
    ResetKnobDisplay();
    vantor::UiServices &ui = vantor::Ui();
    vantor::LinkGate &link = vantor::Link();
    ui.beginWaitCursor();
    views::Progress(4, 1, key->startFifth);
    if (Linked() && link.run([key] { return key->send(); })) {
        views::Progress(4, 2, key->sentFifth);
        link.pause(200);
        uint8_t lamps[TAVLINK_LAMP_COUNT];
        if (Linked() && ReadLamps(lamps)) {
            std::memcpy(g_LedStatus, lamps, sizeof g_LedStatus);
            ShowLamps();
            if (key->lampsStep >= 0)
                views::Progress(4, key->lampsStep, 5);
            link.pause(key->pauseMs);
            views::Progress(4, 0, 0);
            ui.endWaitCursor();
            return;
        }
    }
    ui.messageBox(this, Tr("Error", "错误"), Tr("The software is not link with device!", "没有连接设备!"),
                  vantor::MsgIcon::Warning);
    views::RefreshLamps();
    views::Progress(4, 0, 0);
    ui.endWaitCursor();
}

void CSimulantUIDlg::PushKnob(int id)
{
    const PanelPush *push = FindById(kPushes, id);
    if (!push)
        return;
    m_strKnobScale = QStringLiteral("0");
    m_strKnobName = QString::fromLatin1(push->name);
    ShowKnobDisplay();
    views::LogText(QString::fromLatin1(push->log));
    vantor::Link().run([push] { return push->send(); });
}

void CSimulantUIDlg::TurnKnob(int id, int delta)
{
    if (const PanelKnob *knob = FindById(kKnobs, id))
        vantor::Link().run([knob, delta] { return knob->turn(delta); });
}

void CSimulantUIDlg::OnRefresh()
{
    vantor::UiServices &ui = vantor::Ui();
    ui.beginWaitCursor();
    views::Progress(3, 1, 2);
    // The status read that also hands out the lamps, so that they are the
    // ones shown.
    uint8_t lamps[TAVLINK_LAMP_COUNT];
    if (ReadLamps(lamps)) {
        std::memcpy(g_LedStatus, lamps, sizeof g_LedStatus);
        views::Progress(3, 1, 5);
        ShowLamps();
        vantor::Link().pause(300);
    }
    views::Progress(3, 0, 0);
    ui.endWaitCursor();
}

void CSimulantUIDlg::OnKnobDone()
{
    if (m_strKnobName == QLatin1String(kNoKnob))
        return;
    views::LogText(QStringLiteral("Simulant Pane Oper is Complete"));
    ResetKnobDisplay();
}

void CSimulantUIDlg::ResetKnobDisplay()
{
    m_strKnobScale = QStringLiteral("0");
    m_strKnobName = QString::fromLatin1(kNoKnob);
    ShowKnobDisplay();
}

void CSimulantUIDlg::ShowKnobDisplay()
{
    m_knobNameLabel->setText(m_strKnobName);
    m_knobScaleLabel->setText(m_strKnobScale);
}
