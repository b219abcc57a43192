// A private CUPS server for one test program: its own configuration, spool,
// logs and socket under a temporary folder, no network port, one CUPS-PDF
// queue as its default. The process's CUPS clients are pointed at it, so the
// machine's own printing set-up is never read or touched.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace printtest {

class CupsServer {
public:
    ~CupsServer();

    // Empty on success, else why the server could not be made.
    QString Start();
    void Stop();

    // Where the CUPS-PDF queue writes its jobs' PDF files.
    QString outputFolder() const { return m_dir + QStringLiteral("/pdf-out"); }
    QString errorLog() const;
    // Waits until n PDF files are written and no job is pending; the files,
    // oldest first.
    QStringList WaitForJobs(int n, int timeoutMs = 60000) const;

    static constexpr const char *kQueue = "VantorPDF";

private:
    QString Admin(const QStringList &arguments) const;
    QString m_dir;
    QProcess m_cupsd;
};

}  // namespace printtest
