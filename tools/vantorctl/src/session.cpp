#include "session.h"

#include <ferrule.h>
#include <ferrule_sim_wire.h>
#include <tavlink.h>
#include <tavlink_diag.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace vantorctl {
namespace {

std::atomic<bool> g_usbRemoved{false};

// Runs on Ferrule's event thread; the command in progress sees the failure on its own, this
// only lets the message say why.
void onDeviceChange(void *, uint32_t event, const FerruleDeviceBroadcast *)
{
    if (event == FERRULE_DEVICE_REMOVE_COMPLETE)
        g_usbRemoved = true;
}

FerruleNotifyTarget g_notify{FERRULE_NOTIFY_MAGIC, onDeviceChange, nullptr};

// Notices say what the link did that the user should know of; failures are
// reported by the command that saw them.
void onTrace(void *context, const TavlinkTraceEvent *event)
{
    if (!event->notice)
        return;
    std::ostream &err = *static_cast<std::ostream *>(context);
    err << "vantorctl: notice: " << TavlinkCauseText(event->cause);
    if (event->cause == TAVLINK_CAUSE_RECORD_CUT)
        err << " (the instrument announced " << event->value << " samples; " << event->limit << " kept)";
    else
        err << " (" << event->value << "), dropped";
    err << "\n";
}

bool exists(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The network transport wants a dotted address.
bool resolveIpv4(const std::string &host, std::string &address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    char text[INET_ADDRSTRLEN] = {};
    auto *in = reinterpret_cast<sockaddr_in *>(found->ai_addr);
    bool ok = ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr;
    ::freeaddrinfo(found);
    if (ok)
        address = text;
    return ok;
}

}  // namespace

int freeComPort()
{
    for (int n = 1; n <= 255; ++n)
        if (!exists("/dev/ttyUSB" + std::to_string(n - 1)))
            return n;
    return 255;
}

Session::Session(const LinkSpec &link, std::ostream &err) : link_(link), err_(err) {}

Session::~Session()
{
    close();
    TavlinkSetTrace(nullptr, nullptr);
}

int Session::open()
{
    TavlinkSetTrace(onTrace, &err_);
    switch (link_.kind) {
    case LinkSpec::Usb: {
        GetConnectStyle(TAVLINK_STYLE_USB);
        g_usbRemoved = false;
        if (!IsHasConnect(&g_notify)) {
            const char *socket = std::getenv(FERRULE_SIM_ENV);
            err_ << "vantorctl: no instrument found on USB";
            if (socket && *socket)
                err_ << " (virtual instrument socket " << socket << ")";
            err_ << "\n";
            opened_ = true;  // the notice registration stays until close()
            return kExitLink;
        }
        break;
    }
    case LinkSpec::SerialPort:
    case LinkSpec::SerialDevice: {
        GetConnectStyle(TAVLINK_STYLE_SERIAL);
        int port = link_.comPort;
        if (link_.kind == LinkSpec::SerialDevice) {
            if (!exists(link_.device)) {
                err_ << "vantorctl: serial device " << link_.device << " does not exist\n";
                return kExitLink;
            }
            port = freeComPort();
            if (!Dso_SetUartPortPath(port, link_.device.c_str())) {
                err_ << "vantorctl: cannot map " << link_.device << " to COM" << port << "\n";
                return kExitLink;
            }
        }
        if (!Dso_InitUart(port, link_.baud)) {
            err_ << "vantorctl: cannot open " << describeLink(link_) << "\n";
            return kExitLink;
        }
        break;
    }
    case LinkSpec::Tcp: {
        GetConnectStyle(TAVLINK_STYLE_NET);
        std::string address;
        if (!resolveIpv4(link_.host, address)) {
            err_ << "vantorctl: cannot resolve host '" << link_.host << "'\n";
            return kExitLink;
        }
        if (!Dso_InitSocket(0, address.c_str(), link_.tcpPort)) {
            err_ << "vantorctl: cannot connect to " << link_.host << ":" << link_.tcpPort << "\n";
            return kExitLink;
        }
        break;
    }
    }
    opened_ = true;
    return kExitOk;
}

int Session::bind()
{
    if (!BindDso())
        return reportFailure("the bind request");
    bound_ = true;
    char name[20], ident[10], text[16], code = 0, family = 0;
    GetProductType(name, ident, &code, &family, text);
    family_ = static_cast<unsigned char>(family);
    return kExitOk;
}

int Session::unbind(bool report)
{
    if (!bound_)
        return kExitOk;
    bound_ = false;
    if (!UnBindDso() && report) {
        err_ << "vantorctl: the instrument did not acknowledge the unbind\n";
        return kExitLink;
    }
    return kExitOk;
}

void Session::close()
{
    if (!opened_)
        return;
    opened_ = false;
    if (link_.kind == LinkSpec::SerialPort || link_.kind == LinkSpec::SerialDevice)
        Dso_CloseUart();
    if (link_.kind == LinkSpec::Usb)
        UnloadUSBDevice();
}

int Session::reportFailure(const std::string &what)
{
    const int cause = TavlinkLastCause(nullptr);
    if (cause == TAVLINK_CAUSE_REFUSED) {
        err_ << "vantorctl: the instrument refused " << what << "\n";
        return kExitRefused;
    }
    err_ << "vantorctl: no valid answer from the instrument to " << what << " (" << describeLink(link_) << ")";
    if (cause != TAVLINK_CAUSE_NONE)
        err_ << ": " << TavlinkCauseText(cause);
    err_ << (g_usbRemoved ? "; it was unplugged" : "") << "\n";
    return kExitLink;
}

}  // namespace vantorctl
