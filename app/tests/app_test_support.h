// A throw-away program folder, a recording desktop and a synchronous link
// gate for the shell's tests.
#pragma once

#include "platform/globals.h"
#include "platform/ui_services.h"
#include "shell/main_frame.h"
#include "shell/vantor_app.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace apptest {

// The object name a control with this number carries.
inline QString IdName(int id) { return QStringLiteral("id%1").arg(id); }

// Protocol waits are recorded, never spent.
std::vector<unsigned> &LinkSleeps();
void InstallLinkSleepRecorder();

// Fresh per-user settings for every test.
void ClearUserSettings();
void WriteUserSettings(const QString &interval, int operateCheck, const QString &initPath, bool withInterval = true);

struct AppEnv {
    explicit AppEnv(const QString &setIni = QString(), bool withLanguageFiles = true,
                    vantor::LinkGate::Mode gateMode = vantor::LinkGate::Mode::Synchronous);
    ~AppEnv();

    CMainFrame *CreateFrame();
    QString path(const QString &name) const;
    QByteArray readFile(const QString &name) const;
    void writeFile(const QString &name, const QByteArray &bytes) const;
    QStringList messageTexts() const;

    QTemporaryDir dir;
    vantor::RecordingUiServices ui;
    std::unique_ptr<CVantorApp> app;
    CMainFrame *frame = nullptr;
};

// Creates the frame and connects it to the virtual instrument; false when
// it did not bind. What the connection recorded is cleared.
bool ConnectFrame(AppEnv &env);

}  // namespace apptest
