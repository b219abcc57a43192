// What every window reaches without knowing the application object: the
// desktop services, the link gate, the program's folders and the interface
// language. The application object installs it for its lifetime.
#pragma once

#include <QString>

namespace vantor {

class UiServices;
class LinkGate;

struct AppContext {
    UiServices *ui = nullptr;
    LinkGate *link = nullptr;
    QString programDir;  // holds the shipped set.ini and language/
    QString logDir;      // where the logs go
    QString language;    // set.ini's Language, as read
};

// Null uninstalls; the context must outlive its installation.
void InstallContext(AppContext *context);
AppContext *Context();
// Only while a context is installed.
UiServices &Ui();
LinkGate &Link();

}  // namespace vantor
