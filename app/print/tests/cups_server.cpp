#include "cups_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <unistd.h>

namespace printtest {

namespace {

const char *const kPpd = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";

bool WriteText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

}  // namespace

CupsServer::~CupsServer() { Stop(); }

QString CupsServer::Start()
{
    for (const char *needed :
         {"/usr/sbin/cupsd", "/usr/sbin/lpadmin", "/usr/bin/lpstat", "/usr/lib/cups/backend/cups-pdf", kPpd})
        if (!QFileInfo::exists(QString::fromLatin1(needed)))
            return QStringLiteral("%1 is missing: run scripts/setup").arg(QString::fromLatin1(needed));
    // Short, for the socket's path.
    QByteArray templ = (QDir::tempPath().size() < 60 ? QDir::tempPath() : QStringLiteral("/tmp")).toLocal8Bit() +
                       "/vantor-cups.XXXXXX";
    if (!mkdtemp(templ.data()))
        return QStringLiteral("no temporary folder");
    m_dir = QString::fromLocal8Bit(templ);
    // The filters run as the server's own user and must reach the spool.
    QFile::setPermissions(m_dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                     QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                     QFileDevice::ExeOther);
    QDir dir(m_dir);
    for (const char *sub : {"etc", "spool/tmp", "cache", "state", "log", "pdf-out", "pdf-log", "pdf-spool"})
        dir.mkpath(QString::fromLatin1(sub));
    const QByteArray root = m_dir.toLocal8Bit();
    const QByteArray files = "ServerRoot " + root + "/etc\nRequestRoot " + root + "/spool\nTempDir " + root +
                             "/spool/tmp\nCacheDir " + root + "/cache\nStateDir " + root + "/state\nAccessLog " + root +
                             "/log/access_log\nErrorLog " + root + "/log/error_log\nPageLog " + root +
                             "/log/page_log\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\n";
    // Only the socket: no port, no browsing, no web pages; anyone on the
    // socket may do anything, which is only this test.
    const QByteArray server = "Listen " + root +
                              "/cups.sock\nBrowsing No\nWebInterface No\nLogLevel info\nDefaultAuthType None\n"
                              "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                              "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
    // CUPS-PDF reads its folders from the queue's PPD as well as from its
    // system-wide file, and PPD defaults cannot hold a '/': plain names,
    // which it resolves from the server's working folder, this one.
    QFile stock(QString::fromLatin1(kPpd));
    if (!stock.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1").arg(QString::fromLatin1(kPpd));
    QByteArray ppd = stock.readAll();
    for (auto [key, value] : {std::pair{"Out", "pdf-out"},
                              {"Spool", "pdf-spool"},
                              {"Log", "pdf-log"},
                              {"AnonDirName", "pdf-out"},
                              {"GSTmp", "pdf-spool"}})
        ppd += QByteArray("\n*OpenUI *") + key + ": PickOne\n*Default" + key + ": " + value + "\n*" + key + " " +
               value + ": \"\"\n*CloseUI: *" + key + "\n";
    if (!WriteText(m_dir + QStringLiteral("/etc/cups-files.conf"), files) ||
        !WriteText(m_dir + QStringLiteral("/etc/cupsd.conf"), server) ||
        !WriteText(m_dir + QStringLiteral("/queue.ppd"), ppd))
        return QStringLiteral("cannot write the configuration");

    m_cupsd.setWorkingDirectory(m_dir);
    m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
    m_cupsd.start(QStringLiteral("/usr/sbin/cupsd"),
                  {QStringLiteral("-f"), QStringLiteral("-c"), m_dir + QStringLiteral("/etc/cupsd.conf"),
                   QStringLiteral("-s"), m_dir + QStringLiteral("/etc/cups-files.conf")});
    if (!m_cupsd.waitForStarted(10000))
        return QStringLiteral("cupsd does not start");
    const QString socket = m_dir + QStringLiteral("/cups.sock");
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(socket) && m_cupsd.state() == QProcess::Running && clock.elapsed() < 15000)
        QThread::msleep(50);
    if (!QFileInfo::exists(socket))
        return QStringLiteral("cupsd did not open its socket: %1").arg(QString::fromLocal8Bit(m_cupsd.readAll()));

    qputenv("CUPS_SERVER", socket.toLocal8Bit());
    qputenv("CUPS_SERVERROOT", (m_dir + QStringLiteral("/etc")).toLocal8Bit());
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
    const QString queue = QString::fromLatin1(kQueue);
    for (const QStringList &command :
         {QStringList{"-p", queue, "-E", "-v", "cups-pdf:/", "-P", m_dir + QStringLiteral("/queue.ppd")},
          QStringList{"-d", queue}}) {
        const QString error = Admin(command);
        if (!error.isEmpty())
            return error;
    }
    return {};
}

QString CupsServer::Admin(const QStringList &arguments) const
{
    QProcess admin;
    admin.setProcessChannelMode(QProcess::MergedChannels);
    admin.start(QStringLiteral("/usr/sbin/lpadmin"), arguments);
    if (!admin.waitForFinished(30000) || admin.exitCode() != 0)
        return QStringLiteral("lpadmin %1: %2").arg(arguments.join(' '), QString::fromLocal8Bit(admin.readAll()));
    return {};
}

void CupsServer::Stop()
{
    if (m_cupsd.state() != QProcess::NotRunning) {
        m_cupsd.terminate();
        if (!m_cupsd.waitForFinished(10000)) {
            m_cupsd.kill();
            m_cupsd.waitForFinished(5000);
        }
    }
    if (!m_dir.isEmpty())
        QDir(m_dir).removeRecursively();
    m_dir.clear();
}

QString CupsServer::errorLog() const
{
    QFile log(m_dir + QStringLiteral("/log/error_log"));
    return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll().right(4000)) : QString();
}

QStringList CupsServer::WaitForJobs(int n, int timeoutMs) const
{
    QElapsedTimer clock;
    clock.start();
    const QDir out(outputFolder());
    for (;;) {
        const QStringList pdfs = out.entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Time | QDir::Reversed);
        QProcess pending;
        pending.start(QStringLiteral("/usr/bin/lpstat"), {QStringLiteral("-o")});
        pending.waitForFinished(10000);
        if (pdfs.size() >= n && pending.readAllStandardOutput().trimmed().isEmpty()) {
            QStringList paths;
            for (const QString &name : pdfs)
                paths << out.filePath(name);
            return paths;
        }
        if (clock.elapsed() > timeoutMs)
            return {};
        QThread::msleep(200);
    }
}

}  // namespace printtest
