// vantor-sim: the virtual oscilloscope on TCP, a pseudo-terminal and the
// virtual-USB socket.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "vsim/control.h"
#include "vsim/instrument.h"
#include "vsim/server.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

void usage(FILE *to)
{
    std::fputs("usage: vantor-sim [options]\n"
               "  --tcp [HOST:PORT]   serve TCP (alone: 127.0.0.1:8001); HOST must be a\n"
               "                      loopback address unless --allow-remote is given\n"
               "  --allow-remote      let --tcp listen beyond this machine (the protocol has\n"
               "                      no authentication: anyone who reaches the port\n"
               "                      controls the instrument)\n"
               "  --pty               serve a pseudo-terminal serial line (prints its path)\n"
               "  --usb-socket PATH   serve the virtual-USB socket at PATH\n"
               "  --model CODE        product code (default 70, four channels)\n"
               "  --seed N            noise seed (default 1)\n"
               "  --fault FAULT       KIND[:ARG][@CMD][xTIMES], repeatable\n"
               "  --control           read control commands from standard input\n"
               "  --quiet             no messages beyond the endpoint lines\n"
               "  --help              this text\n",
               to);
}

bool toInt(const std::string &s, long &out)
{
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

}  // namespace

int main(int argc, char **argv)
{
    bool tcp = false, pty = false, control = false, quiet = false, allowRemote = false;
    std::string tcpHost = "127.0.0.1", usbPath;
    long tcpPort = 8001, model = 70, seed = 1;
    std::vector<vsim::Fault> faults;
    std::vector<std::string> args(argv + 1, argv + argc);
    auto bad = [](const std::string &why) {
        std::fprintf(stderr, "vantor-sim: %s\n", why.c_str());
        usage(stderr);
        return 2;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        bool hasValue = i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0;
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--tcp") {
            tcp = true;
            if (hasValue) {
                std::string v = args[++i];
                size_t colon = v.rfind(':');
                if (colon == std::string::npos)
                    return bad("--tcp wants HOST:PORT");
                tcpHost = v.substr(0, colon);
                if (!toInt(v.substr(colon + 1), tcpPort) || tcpPort < 0 || tcpPort > 65535)
                    return bad("bad port in --tcp " + v);
            }
        } else if (a == "--allow-remote") {
            allowRemote = true;
        } else if (a == "--pty") {
            pty = true;
        } else if (a == "--usb-socket" && hasValue) {
            usbPath = args[++i];
        } else if (a == "--model" && hasValue) {
            if (!toInt(args[++i], model) || model < 0 || model > 127)
                return bad("bad --model");
        } else if (a == "--seed" && hasValue) {
            if (!toInt(args[++i], seed) || seed < 0)
                return bad("bad --seed");
        } else if (a == "--fault" && hasValue) {
            std::string why;
            auto f = vsim::parseFault(args[++i], &why);
            if (!f)
                return bad(why);
            faults.push_back(*f);
        } else if (a == "--control") {
            control = true;
        } else if (a == "--quiet") {
            quiet = true;
        } else {
            return bad("unknown or incomplete option " + a);
        }
    }
    if (!tcp && !pty && usbPath.empty())
        return bad("no endpoint: give --tcp, --pty or --usb-socket");
    bool remote = tcp && !vsim::isLoopbackHost(tcpHost);
    if (remote && !allowRemote)
        return bad("--tcp " + (tcpHost.empty() ? std::string("(every interface)") : tcpHost) +
                   " is not a loopback address; give --allow-remote to serve other machines");

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    vsim::Instrument instrument{int(model), uint32_t(seed)};
    for (const vsim::Fault &f : faults)
        instrument.inject(f);
    vsim::Server server(instrument);
    try {
        if (tcp) {
            uint16_t port = server.startTcp(tcpHost, uint16_t(tcpPort), allowRemote);
            std::printf("tcp %s:%u\n", tcpHost.c_str(), unsigned(port));
            // Said even with --quiet: it is the one thing an operator must not miss.
            if (remote)
                std::fprintf(stderr,
                             "vantor-sim: warning: listening on %s:%u beyond this machine; the instrument protocol "
                             "has no authentication, so anyone who can reach this port controls the instrument\n",
                             tcpHost.empty() ? "0.0.0.0" : tcpHost.c_str(), unsigned(port));
        }
        if (pty)
            std::printf("pty %s\n", server.startPty().c_str());
        if (!usbPath.empty()) {
            server.startUsb(usbPath);
            std::printf("usb %s\n", usbPath.c_str());
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "vantor-sim: %s\n", e.what());
        return 1;
    }
    std::fflush(stdout);
    if (!quiet)
        std::fprintf(stderr, "vantor-sim: %s, product code %ld, family %d\n", instrument.productName().c_str(), model,
                     instrument.family());

    std::string pending;
    bool quit = false, input = control;
    while (!g_stop && !quit) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        int r = ::poll(&p, input ? 1 : 0, 100);
        if (r <= 0 || !input)
            continue;
        char buf[512];
        ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            input = false;  // end of the control input; keep serving
            continue;
        }
        pending.append(buf, size_t(n));
        for (size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            std::string answer = vsim::runControl(line, instrument, &server, quit);
            if (!answer.empty())
                std::printf("%s\n", answer.c_str());
            std::fflush(stdout);
            if (quit)
                break;
        }
    }
    server.stop();
    return 0;
}
