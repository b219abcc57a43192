// The program's own options: what a lab bench starts it with.
#pragma once

#include <QString>
#include <QStringList>

class CVantorApp;

struct CommandLine {
    bool help = false;
    bool version = false;
    bool connect = false;      // connect once the window is up
    bool autoRefresh = false;  // then start the wave graph's Auto refresh
    int viewButton = 0;        // the operation pane's button of the page to show; 0: none
    QString error;             // a usage error; help and version win over it
};

// args: without the program's name, and without Qt's own options once the
// application object has taken them.
CommandLine ParseCommandLine(const QStringList &args);
QString CommandLineHelp();
QString VersionText();

// Runs the options on the started application, as the user's clicks would:
// Connect, the page's button, then Auto when the instrument is bound.
void RunCommandLine(CVantorApp &app, const CommandLine &options);
