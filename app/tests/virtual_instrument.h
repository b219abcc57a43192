// The virtual instrument of a test program. Ferrule picks its backend once per
// process, so the virtual-USB socket path is fixed before the first test.
#pragma once

#include <vsim/instrument.h>
#include <vsim/server.h>

#include <QTemporaryDir>
#include <memory>

namespace apptest {

struct VirtualInstrument {
    QTemporaryDir socketDir;
    QString socketPath;
    std::unique_ptr<vsim::Instrument> instrument;
    std::unique_ptr<vsim::Server> server;

    // Points Ferrule at the socket; false when no temporary folder can be made.
    bool Prepare()
    {
        if (!socketDir.isValid())
            return false;
        socketPath = socketDir.filePath("usb.sock");
        qputenv("FERRULE_SIM_SOCKET", socketPath.toLocal8Bit());
        return true;
    }
    // A fresh instrument with no link started yet.
    void Create(int productCode)
    {
        instrument = std::make_unique<vsim::Instrument>(productCode);
        server = std::make_unique<vsim::Server>(*instrument);
    }
    void StartUsb(int productCode)
    {
        Create(productCode);
        server->startUsb(socketPath.toStdString());
    }
    void Stop()
    {
        server.reset();
        instrument.reset();
    }
};

}  // namespace apptest
