// The application's main frame connected to a virtual instrument on the
// virtual USB socket, for the application's benchmarks: the gate they choose
// (synchronous unless told), the desktop the benchmark hands in, and the main
// that runs the page benchmarks.
#pragma once

#include "platform/globals.h"
#include "platform/ui_services.h"
#include "shell/main_frame.h"
#include "shell/panes.h"
#include "shell/vantor_app.h"

#include <vsim/instrument.h>
#include <vsim/server.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

struct BenchFrame {
    QTemporaryDir dir;
    std::unique_ptr<vsim::Instrument> instrument;
    std::unique_ptr<vsim::Server> server;
    std::unique_ptr<CVantorApp> app;
    CMainFrame *frame = nullptr;

    // Set before Open: the program's own threaded gate, and an instrument
    // that answers every read with a record it made before.
    vantor::LinkGate::Mode gateMode = vantor::LinkGate::Mode::Synchronous;
    bool replayReads = false;

    // The instrument (every channel on when asked), then the frame shown;
    // null when the main window cannot be made.
    CMainFrame *Open(vantor::UiServices &ui, int productCode, bool allChannels)
    {
        const QString socket = dir.filePath(QStringLiteral("usb.sock"));
        qputenv("FERRULE_SIM_SOCKET", socket.toLocal8Bit());
        instrument = std::make_unique<vsim::Instrument>(productCode);
        if (allChannels) {
            vsim::State s = instrument->state();
            for (auto &c : s.channels)
                c.on = true;
            instrument->setState(s);
        }
        instrument->setReplayReads(replayReads);
        server = std::make_unique<vsim::Server>(*instrument);
        server->startUsb(socket.toStdString());

        ResetAllGlobals();
        CVantorApp::Options options;
        options.ui = &ui;
        options.gateMode = gateMode;
        options.programDir = dir.path();
        options.logDir = dir.path();
        options.lockPath = dir.filePath(QStringLiteral("Vantor.lock"));
        app = std::make_unique<CVantorApp>(options);
        app->ReadStartupFile();
        frame = app->CreateMainFrame();
        if (frame)
            frame->ShowAtStart();
        return frame;
    }

    // Open, then the frame showing tab `tab`, connected; false, with a line
    // on stderr, when it did not bind.
    bool Start(vantor::UiServices &ui, int productCode, bool allChannels, int tab, const char *program)
    {
        if (Open(ui, productCode, allChannels)) {
            frame->resize(1280, 900);
            frame->rightWnd()->SelectTab(tab);
            QCoreApplication::processEvents();
            frame->OnConnect();
        }
        if (!frame || !g_bDsoBound) {
            std::fprintf(stderr, "%s: the virtual instrument did not bind\n", program);
            return false;
        }
        return true;
    }

    // Before the desktop handed to Start goes.
    void Stop()
    {
        if (frame) {
            frame->OnDisconnect();
            frame->close();
            frame = nullptr;
        }
        app.reset();
        server.reset();
    }
    ~BenchFrame() { Stop(); }
};

// A page benchmark's main: Qt offscreen, an Env (a BenchFrame) started by
// start(env), every benchmark, then the frame stopped.
template <class Env, class Start> int RunPageBenchmarks(int argc, char **argv, Env *&global, Start start)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication qapp(argc, argv);
    Env env;
    global = &env;
    if (!start(env))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    env.Stop();
    global = nullptr;
    return 0;
}
