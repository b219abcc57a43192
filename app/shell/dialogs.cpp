#include "dialogs.h"

#include "globals.h"
#include "vantor_app.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

QLabel *Label(const QString &text, int id, QWidget *parent) { return Ctrl(new QLabel(text, parent), id); }

}  // namespace

// ---- base -------------------------------------------------------------------------

CVantorDialog::CVantorDialog(QWidget *parent, int dialogId, const QString &title) : QDialog(parent), m_nId(dialogId)
{
    setObjectName(QStringLiteral("IDD%1").arg(dialogId));
    setWindowTitle(title);
}

void CVantorDialog::initDialog()
{
    if (m_bInited)
        return;
    m_bInited = true;
    if (NeedsLocalising())
        LocaliseDialog(this, m_nId);
    OnInitDialog();
}

bool CVantorDialog::OnOK()
{
    if (!DoDataExchange())
        return false;
    accept();
    return true;
}

void CVantorDialog::showEvent(QShowEvent *event)
{
    initDialog();
    QDialog::showEvent(event);
}

void CVantorDialog::AddOkCancel(QBoxLayout *layout)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    auto *ok = Ctrl(new QPushButton(QStringLiteral("OK"), this), 1);
    auto *cancel = Ctrl(new QPushButton(QStringLiteral("Cancel"), this), 2);
    ok->setDefault(true);
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

// ---- About -------------------------------------------------------------------------

CAboutDlg::CAboutDlg(QWidget *parent) : CVantorDialog(parent, 100, QStringLiteral("About Vantor"))
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label(QStringLiteral("Vantor Version 3.0"), 1211, this));
    m_brand = Label(QString(), 1212, this);
    layout->addWidget(m_brand);
    layout->addWidget(Label(QStringLiteral("Oscilloscope companion for the desktop"), 1213, this));
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    auto *ok = Ctrl(new QPushButton(QStringLiteral("OK"), this), 1);
    row->addWidget(ok);
    layout->addLayout(row);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CAboutDlg::OnInitDialog()
{
    const int brand = MatchBrand(AfxGetApp()->m_strProvide);
    m_brand->setText(brand < 0 ? QString() : QString::fromLatin1(BrandAt(brand).name));
}

QString CAboutDlg::brandText() const { return m_brand->text(); }

// ---- connect setting -----------------------------------------------------------------

CRS232Dlg::CRS232Dlg(QWidget *parent) : CVantorDialog(parent, 220, QStringLiteral("CONNECT SETTING"))
{
    auto *layout = new QVBoxLayout(this);
    auto *io = Ctrl(new QGroupBox(QStringLiteral("IO Selecting"), this), 1186);
    auto *ioRow = new QHBoxLayout(io);
    m_group = new QButtonGroup(this);
    const char *names[3] = {"USB", "RS232", "Ethernet"};
    const int linkTypes[3] = {1, 0, 2};
    for (int i = 0; i < 3; ++i) {
        auto *r = Ctrl(new QRadioButton(QString::fromLatin1(names[i]), io), 1161 + i);
        m_group->addButton(r, i);
        ioRow->addWidget(r);
        const int type = linkTypes[i];
        connect(r, &QRadioButton::clicked, this, [this, type] { OnRadio(type); });
    }
    layout->addWidget(io);

    auto *serial = Ctrl(new QGroupBox(QStringLiteral("RS232 Setting"), this), 1187);
    auto *serialForm = new QFormLayout(serial);
    m_com = Ctrl(new QComboBox(serial), 1136);
    for (int i = 1; i <= 7; ++i)
        m_com->addItem(QStringLiteral("COM%1").arg(i));
    m_baud = Ctrl(new QComboBox(serial), 1137);
    for (const char *b : {"300", "2400", "4800", "9600", "19200", "38400"})
        m_baud->addItem(QString::fromLatin1(b));
    serialForm->addRow(Label(QStringLiteral("RS232 Port"), 1188, serial), m_com);
    serialForm->addRow(Label(QStringLiteral("Baud Rate"), 1189, serial), m_baud);
    layout->addWidget(serial);

    auto *net = Ctrl(new QGroupBox(QStringLiteral("Ethernet Setting"), this), 1190);
    auto *netForm = new QFormLayout(net);
    m_ip = Ctrl(new QLineEdit(net), 1168);
    // Four parts of 0..255, as an address control accepts them.
    m_ip->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^((25[0-5]|2[0-4]\\d|1?\\d?\\d)(\\.|$)){0,4}$")), m_ip));
    m_portEdit = Ctrl(new QLineEdit(net), 1130);
    netForm->addRow(Label(QStringLiteral("IP"), 1191, net), m_ip);
    netForm->addRow(Label(QStringLiteral("Port"), 1192, net), m_portEdit);
    layout->addWidget(net);
    AddOkCancel(layout);
}

QRadioButton *CRS232Dlg::radio(int index) const { return qobject_cast<QRadioButton *>(m_group->button(index)); }

void CRS232Dlg::OnInitDialog()
{
    m_com->setCurrentIndex(m_nComIndex);
    m_baud->setCurrentIndex(m_nBaudIndex);
    m_portEdit->setText(QString::number(m_nInitPort));
    m_ip->setText(m_strInitAddress);
    if (QRadioButton *r = radio(m_nLinkRadio))
        r->setChecked(true);
    UpdateControlStates();
}

void CRS232Dlg::OnRadio(int linkType)
{
    m_nLinkType = linkType;
    m_nLinkRadio = m_group->checkedId();
    UpdateControlStates();
}

void CRS232Dlg::UpdateControlStates()
{
    m_com->setEnabled(m_nLinkType == 0);
    m_baud->setEnabled(m_nLinkType == 0);
    m_ip->setEnabled(m_nLinkType == 2);
    m_portEdit->setEnabled(m_nLinkType == 2);
}

void CRS232Dlg::paintEvent(QPaintEvent *event)
{
    UpdateControlStates();
    CVantorDialog::paintEvent(event);
}

bool CRS232Dlg::DoDataExchange()
{
    m_nComIndex = m_com->currentIndex();
    m_nBaudIndex = m_baud->currentIndex();
    m_strComPort = m_com->currentText();
    m_strBaud = m_baud->currentText();
    m_nBaudRate = m_strBaud.toInt();
    m_nComPort = m_nComIndex + 1;
    m_strAddress = m_ip->text();
    m_strPort = m_portEdit->text();
    bool ok = false;
    m_nPort = m_strPort.trimmed().toInt(&ok);
    if (!ok)
        m_nPort = 0;
    m_nLinkRadio = m_group->checkedId() < 0 ? m_nLinkRadio : m_group->checkedId();
    return true;
}

// ---- custom time -----------------------------------------------------------------------

CSetCustomTimeDlg::CSetCustomTimeDlg(QWidget *parent) : CVantorDialog(parent, 182, QStringLiteral("Set Custom Time"))
{
    auto *layout = new QVBoxLayout(this);
    auto *note = Label(
        QStringLiteral("Please input the time value in the under edit box(The valid value is 100～9999) Units: ms"),
        1193, this);
    note->setWordWrap(true);
    layout->addWidget(note);
    m_edit = Ctrl(new QLineEdit(this), 1111);
    layout->addWidget(m_edit);
    AddOkCancel(layout);
}

void CSetCustomTimeDlg::OnInitDialog() { m_edit->setText(QString::number(m_nTime)); }

bool CSetCustomTimeDlg::DoDataExchange()
{
    bool ok = false;
    const QString text = m_edit->text().trimmed();
    const uint value = text.toUInt(&ok);
    if (!ok || value < 100 || value > 9999) {
        AfxGetApp()->ui().messageBox(this, QStringLiteral("Vantor"),
                                     QStringLiteral("Please enter an integer between 100 and 9999."),
                                     vantor::MsgIcon::Warning);
        m_edit->setFocus();
        return false;
    }
    m_nTime = value;
    return true;
}

// ---- initial folder ------------------------------------------------------------------------

CAlterFilePathDlg::CAlterFilePathDlg(QWidget *parent)
    : CVantorDialog(parent, 185, QStringLiteral("Alter the initial path"))
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label(QStringLiteral("The current path:"), 1194, this));
    m_current = Ctrl(new QLineEdit(this), 1127);
    m_current->setReadOnly(true);
    layout->addWidget(m_current);
    layout->addWidget(Label(QStringLiteral("The new path:"), 1195, this));
    auto *row = new QHBoxLayout;
    m_new = Ctrl(new QLineEdit(this), 1128);
    auto *browse = Ctrl(new QPushButton(QStringLiteral("Browse"), this), 1129);
    row->addWidget(m_new, 1);
    row->addWidget(browse);
    layout->addLayout(row);
    connect(browse, &QPushButton::clicked, this, &CAlterFilePathDlg::OnBrowse);
    AddOkCancel(layout);
    resize(420, sizeHint().height());
}

void CAlterFilePathDlg::OnInitDialog() { m_current->setText(m_strCurrentPath); }

void CAlterFilePathDlg::OnBrowse()
{
    const QString folder = AfxGetApp()->ui().pickFolder(this, QStringLiteral("Select your path"));
    if (!folder.isEmpty())
        m_new->setText(folder);
}

bool CAlterFilePathDlg::DoDataExchange()
{
    m_strNewPath = m_new->text();
    return true;
}

// ---- title -----------------------------------------------------------------------------------

CAlterLableNameDlg::CAlterLableNameDlg(QWidget *parent) : CVantorDialog(parent, 184, QStringLiteral("Alter the title"))
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label(QStringLiteral("The current title:"), 1196, this));
    m_current = Ctrl(new QLineEdit(this), 1125);
    m_current->setReadOnly(true);
    layout->addWidget(m_current);
    layout->addWidget(Label(QStringLiteral("The new title:"), 1197, this));
    m_new = Ctrl(new QLineEdit(this), 1126);
    layout->addWidget(m_new);
    AddOkCancel(layout);
}

void CAlterLableNameDlg::OnInitDialog() { m_current->setText(m_strCurrentTitle); }

bool CAlterLableNameDlg::DoDataExchange()
{
    m_strNewTitle = m_new->text();
    return true;
}

// ---- channel choice ----------------------------------------------------------------------------

CSelectChanDlg::CSelectChanDlg(QWidget *parent) : CVantorDialog(parent, 199, QStringLiteral("Select the Chan"))
{
    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    m_group = new QButtonGroup(this);
    const char *names[7] = {"CH 1", "CH 2", "CH3", "CH4", "Chan 5", "Chan 6", "Chan 7"};
    for (int i = 0; i < 7; ++i) {
        auto *r = Ctrl(new QRadioButton(QString::fromLatin1(names[i]), this), 1161 + i);
        m_group->addButton(r, i);
        grid->addWidget(r, i % 4, i / 4);
        connect(r, &QRadioButton::clicked, this, [this] { m_nSelected = m_group->checkedId(); });
    }
    layout->addLayout(grid);
    AddOkCancel(layout);
}

QRadioButton *CSelectChanDlg::radio(int index) const { return qobject_cast<QRadioButton *>(m_group->button(index)); }

void CSelectChanDlg::OnInitDialog()
{
    auto has = [this](int column) {
        const ChannelSlot &s = g_ChannelSlots[column];
        return m_nPurpose == 0 ? s.bHasData != 0 : m_nPurpose == 1 ? s.bMeasured != 0 : s.bHasWave != 0;
    };
    for (int i = 0; i < 7; ++i)
        radio(i)->setEnabled(has(i + 1));
    if (m_nSelected == 0 && !has(1)) {
        for (int i = 1; i < 7; ++i) {
            if (has(i + 1)) {
                m_nSelected = i;
                break;
            }
        }
    }
    if (QRadioButton *r = radio(m_nSelected))
        r->setChecked(true);
}

bool CSelectChanDlg::DoDataExchange()
{
    if (m_group->checkedId() >= 0)
        m_nSelected = m_group->checkedId();
    g_nSelectedChannel = m_nSelected;
    return true;
}
