#include "shell/command_line.h"
#include "shell/main_frame.h"
#include "shell/vantor_app.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

QStringList Arguments(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

// Help and version need no display; a usage error ends with status 2.
int PrintOnly(const CommandLine &options)
{
    if (options.help) {
        std::fputs(CommandLineHelp().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(VersionText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "vantor: %s\nTry 'vantor --help'.\n", options.error.toLocal8Bit().constData());
        return 2;
    }
    return -1;
}

// VANTOR_FIRST_PAINT_FD=n: a line on descriptor n once the main window's
// first paint is done (the start-up benchmark waits for it).
class FirstPaintReport : public QObject {
public:
    explicit FirstPaintReport(int fd) : m_fd(fd) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            // After the rest of this paint pass, which the window shows at once.
            QTimer::singleShot(0, watched, [fd = m_fd] {
                const char line[] = "painted\n";
                if (::write(fd, line, sizeof line - 1) < 0)
                    return;
                ::close(fd);
            });
        }
        return false;
    }

private:
    int m_fd;
    bool m_done = false;
};

}  // namespace

int main(int argc, char *argv[])
{
    const CommandLine early = ParseCommandLine(Arguments(argc, argv));
    if (early.help || early.version)
        return PrintOnly(early);

    QApplication qapp(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(vantor::kOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(vantor::kApplication));
    QApplication::setApplicationVersion(QStringLiteral(VANTOR_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vantor.Vantor"));
    // Qt has taken its own options (-platform, -display...) by now.
    const CommandLine options = ParseCommandLine(QApplication::arguments().mid(1));
    if (const int status = PrintOnly(options); status >= 0)
        return status;

    CVantorApp app(CVantorApp::Options{});
    switch (app.InitInstance()) {
    case CVantorApp::Start::SecondInstance: return 0;
    case CVantorApp::Start::Failed: return 1;
    case CVantorApp::Start::Ok: break;
    }
    bool hasFd = false;
    const int fd = qEnvironmentVariableIntValue("VANTOR_FIRST_PAINT_FD", &hasFd);
    FirstPaintReport report(fd);
    if (hasFd && fd > 2 && app.mainFrame())
        app.mainFrame()->installEventFilter(&report);
    // Once the window is on screen, as a user would click.
    QTimer::singleShot(0, qApp, [&app, options] { RunCommandLine(app, options); });
    return QApplication::exec();
}
