// The application object: start-up configuration, language, brand and the
// services every window reaches through it.
#pragma once

#include "../platform/app_context.h"
#include "../platform/language.h"
#include "../platform/link_gate.h"
#include "../platform/program_files.h"
#include "../platform/ui_services.h"

#include <QLockFile>
#include <QPointer>
#include <QString>
#include <QTranslator>
#include <memory>

class QWidget;
class CMainFrame;

struct BrandInfo {
    const char *name;
    const char *chineseName;  // UTF-8
    int bitmapId;
};

// Index into the brand table of the first brand contained in provide, or -1.
int MatchBrand(const QString &provide);
const BrandInfo &BrandAt(int index);
int WelcomeBitmapId(const QString &provide);
// The brand as status pane 3 shows it at start-up.
QString BrandStatusText(const QString &provide, const QString &language);

class CVantorApp {
public:
    struct Options {
        vantor::UiServices *ui = nullptr;
        vantor::LinkGate::Mode gateMode = vantor::LinkGate::Mode::Threaded;
        QString programDir;  // empty: the executable's folder
        QString lockPath;    // empty: the user's runtime folder
        QString logDir;      // empty: as the program's files say
    };

    explicit CVantorApp(const Options &options);
    ~CVantorApp();

    enum class Start { Ok, SecondInstance, Failed };
    // The whole start-up: single instance, set.ini, language, main frame.
    Start InitInstance();

    // The steps of InitInstance, for tests.
    bool AcquireInstance();
    void ReadStartupFile();
    CMainFrame *CreateMainFrame();

    void OnAppAbout();

    QString m_strProvide;
    QString m_strModel;
    QString m_strLanguage;

    vantor::UiServices &ui() { return *m_ui; }
    vantor::LinkGate &link() { return *m_link; }
    CMainFrame *mainFrame() const;
    const vantor::ProgramFiles &files() const { return m_files; }
    vantor::StartupFile startupFile() const { return vantor::StartupFile(m_files); }

private:
    vantor::UiServices *m_ui;
    std::unique_ptr<vantor::QtUiServices> m_ownUi;
    std::unique_ptr<vantor::LinkGate> m_link;
    vantor::AppContext m_context;
    vantor::ProgramFiles m_files;
    QString m_lockPath;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QTranslator> m_qtTexts;  // Qt's own texts in Chinese
    QPointer<QObject> m_frame;               // the frame may be deleted by Qt first
};

CVantorApp *AfxGetApp();
