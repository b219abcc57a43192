// The program as the application benchmarks run it: a four-channel virtual
// instrument with every channel on behind the virtual USB socket, and the
// application on the link thread with a desktop of the benchmark's choice.
#pragma once

#include "platform/globals.h"
#include "shell/main_frame.h"
#include "shell/vantor_app.h"

#include <vsim/instrument.h>
#include <vsim/server.h>

#include <QTemporaryDir>
#include <memory>

struct AppRig {
    QTemporaryDir dir;
    std::unique_ptr<vsim::Instrument> instrument;
    std::unique_ptr<vsim::Server> server;
    std::unique_ptr<CVantorApp> app;
    CMainFrame *frame = nullptr;

    // Null when the main window cannot be made.
    CMainFrame *Start(vantor::UiServices &ui, bool replayReads)
    {
        const QString socket = dir.filePath(QStringLiteral("usb.sock"));
        qputenv("FERRULE_SIM_SOCKET", socket.toLocal8Bit());
        instrument = std::make_unique<vsim::Instrument>(70);
        vsim::State s = instrument->state();
        for (auto &c : s.channels)
            c.on = true;
        instrument->setState(s);
        instrument->setReplayReads(replayReads);
        server = std::make_unique<vsim::Server>(*instrument);
        server->startUsb(socket.toStdString());

        ResetAllGlobals();
        CVantorApp::Options options;
        options.ui = &ui;
        options.gateMode = vantor::LinkGate::Mode::Threaded;
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
    void Stop()
    {
        if (frame) {
            frame->OnDisconnect();
            frame->close();
        }
        app.reset();
        server.reset();
    }
};
