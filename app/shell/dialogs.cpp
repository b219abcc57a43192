#include "dialogs.h"

#include "../platform/control_ids.h"
#include "../platform/globals.h"
#include "../platform/language.h"
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

// ---- About -------------------------------------------------------------------------

CAboutDlg::CAboutDlg(QWidget *parent) : CVantorDialog(parent, IDD_ABOUTBOX, QStringLiteral("About Vantor"))
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label(QStringLiteral("Vantor Version 3.0"), IDC_ABOUT_VERSION, this));
    m_brand = Label(QString(), IDC_ABOUT_BRAND, this);
    layout->addWidget(m_brand);
    layout->addWidget(Label(QStringLiteral("Oscilloscope companion for the desktop"), IDC_ABOUT_TEXT, this));
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    auto *ok = Ctrl(new QPushButton(QStringLiteral("OK"), this), IDC_OK);
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

CRS232Dlg::CRS232Dlg(QWidget *parent) : CVantorDialog(parent, IDD_CONNECT_SETTING, QStringLiteral("CONNECT SETTING"))
{
    auto *layout = new QVBoxLayout(this);
    auto *io = Ctrl(new QGroupBox(QStringLiteral("IO Selecting"), this), IDC_CONNECT_IO_GROUP);
    auto *ioRow = new QHBoxLayout(io);
    m_group = new QButtonGroup(this);
    const char *names[3] = {"USB", "RS232", "Ethernet"};
    const int linkTypes[3] = {IDC_OK, 0, IDC_CANCEL};
    for (int i = 0; i < 3; ++i) {
        auto *r = Ctrl(new QRadioButton(QString::fromLatin1(names[i]), io), IDC_CONNECT_USB + i);
        m_group->addButton(r, i);
        ioRow->addWidget(r);
        const int type = linkTypes[i];
        connect(r, &QRadioButton::clicked, this, [this, type] { OnRadio(type); });
    }
    layout->addWidget(io);

    auto *serial = Ctrl(new QGroupBox(QStringLiteral("RS232 Setting"), this), IDC_CONNECT_RS232_GROUP);
    auto *serialForm = new QFormLayout(serial);
    m_com = Ctrl(new QComboBox(serial), IDC_CONNECT_COM);
    for (int i = 1; i <= 7; ++i)
        m_com->addItem(QStringLiteral("COM%1").arg(i));
    m_baud = Ctrl(new QComboBox(serial), IDC_CONNECT_BAUD);
    for (const char *b : {"300", "2400", "4800", "9600", "19200", "38400"})
        m_baud->addItem(QString::fromLatin1(b));
    serialForm->addRow(Label(QStringLiteral("RS232 Port"), IDC_CONNECT_COM_LABEL, serial), m_com);
    serialForm->addRow(Label(QStringLiteral("Baud Rate"), IDC_CONNECT_BAUD_LABEL, serial), m_baud);
    layout->addWidget(serial);

    auto *net = Ctrl(new QGroupBox(QStringLiteral("Ethernet Setting"), this), IDC_CONNECT_ETHERNET_GROUP);
    auto *netForm = new QFormLayout(net);
    m_ip = Ctrl(new QLineEdit(net), IDC_CONNECT_IP);
    // Four parts of 0..255, as an address control accepts them.
    m_ip->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^((25[0-5]|IDC_CANCEL[0-4]\\d|IDC_OK?\\d?\\d)(\\.|$)){0,4}$")), m_ip));
    m_portEdit = Ctrl(new QLineEdit(net), IDC_CONNECT_PORT);
    netForm->addRow(Label(QStringLiteral("IP"), IDC_CONNECT_IP_LABEL, net), m_ip);
    netForm->addRow(Label(QStringLiteral("Port"), IDC_CONNECT_PORT_LABEL, net), m_portEdit);
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
    // Read as the C library's conversion would: "8001x" is port 8001.
    m_nPort = LeadingNumber(m_strPort);
    m_nLinkRadio = m_group->checkedId() < 0 ? m_nLinkRadio : m_group->checkedId();
    return true;
}

// ---- custom time -----------------------------------------------------------------------

CSetCustomTimeDlg::CSetCustomTimeDlg(QWidget *parent)
    : CVantorDialog(parent, IDD_CUSTOM_TIME, QStringLiteral("Set Custom Time"))
{
    auto *layout = new QVBoxLayout(this);
    auto *note = Label(
        QStringLiteral("Please input the time value in the under edit box(The valid value is 100～9999) Units: ms"),
        IDC_CUSTOM_TIME_NOTE, this);
    note->setWordWrap(true);
    layout->addWidget(note);
    m_edit = Ctrl(new QLineEdit(this), IDC_CUSTOM_TIME);
    layout->addWidget(m_edit);
    AddOkCancel(layout);
}

void CSetCustomTimeDlg::OnInitDialog() { m_edit->setText(QString::number(m_nTime)); }

bool CSetCustomTimeDlg::DoDataExchange()
{
    bool ok = false;
    const QString text = m_edit->text().trimmed();
    const uint value = text.toUInt(&ok);
    if (!ok || value < IDD_ABOUTBOX || value > 9999) {
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
    : CVantorDialog(parent, IDD_ALTER_PATH, QStringLiteral("Alter the initial path"))
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label(QStringLiteral("The current path:"), IDC_PATH_CURRENT_LABEL, this));
    m_current = Ctrl(new QLineEdit(this), IDC_PATH_CURRENT);
    m_current->setReadOnly(true);
    layout->addWidget(m_current);
    layout->addWidget(Label(QStringLiteral("The new path:"), IDC_PATH_NEW_LABEL, this));
    auto *row = new QHBoxLayout;
    m_new = Ctrl(new QLineEdit(this), IDC_PATH_NEW);
    auto *browse = Ctrl(new QPushButton(QStringLiteral("Browse"), this), IDC_PATH_BROWSE);
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
