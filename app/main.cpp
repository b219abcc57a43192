#include "shell/command_line.h"
#include "shell/vantor_app.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

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
    // Once the window is on screen, as a user would click.
    QTimer::singleShot(0, qApp, [&app, options] { RunCommandLine(app, options); });
    return QApplication::exec();
}
