// The vantor-sim program: options, endpoint lines, the control input and a
// clean end on a signal.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "helpers.h"
#include "vsim/server.h"

using namespace vsimtest;

namespace {

class Program {
public:
    explicit Program(std::vector<std::string> args)
    {
        int in[2], out[2], err[2];
        EXPECT_EQ(::pipe(in), 0);
        EXPECT_EQ(::pipe(out), 0);
        EXPECT_EQ(::pipe(err), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            ::close(in[1]);
            ::close(out[0]);
            ::close(err[0]);
            std::vector<char *> argv{const_cast<char *>(VSIM_PROGRAM)};
            for (std::string &a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(VSIM_PROGRAM, argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
        errFromChild_ = err[0];
    }
    ~Program()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        ::close(toChild_);
        ::close(fromChild_);
        ::close(errFromChild_);
    }
    // One line of its standard output or error; empty after 5 s of silence or at its end.
    std::string line() { return lineFrom(fromChild_, pending_); }
    std::string errorLine() { return lineFrom(errFromChild_, errPending_); }
    void say(const std::string &command)
    {
        std::string l = command + "\n";
        ASSERT_EQ(::write(toChild_, l.data(), l.size()), ssize_t(l.size()));
    }
    void signal(int sig) { ::kill(pid_, sig); }
    // Exit status, or -1 when it did not end within 5 s.
    int wait()
    {
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            ::usleep(10000);
        }
        return -1;
    }

private:
    static std::string lineFrom(int fd, std::string &pending)
    {
        for (;;) {
            size_t nl = pending.find('\n');
            if (nl != std::string::npos) {
                std::string l = pending.substr(0, nl);
                pending.erase(0, nl + 1);
                return l;
            }
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                return "";
            char buf[256];
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                return "";
            pending.append(buf, size_t(n));
        }
    }

    pid_t pid_ = -1;
    int toChild_ = -1, fromChild_ = -1, errFromChild_ = -1;
    std::string pending_, errPending_;
};

int connectTo(const std::string &endpoint)
{
    size_t colon = endpoint.rfind(':');
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(std::stoi(endpoint.substr(colon + 1))));
    ::inet_pton(AF_INET, endpoint.substr(0, colon).c_str(), &a.sin_addr);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    return fd;
}

Parsed bind(int fd)
{
    std::vector<uint8_t> req = request(1);
    EXPECT_EQ(::write(fd, req.data(), req.size()), ssize_t(req.size()));
    std::vector<uint8_t> reply(16);
    size_t got = 0;
    while (got < reply.size()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            return {};
        ssize_t n = ::read(fd, reply.data() + got, reply.size() - got);
        if (n <= 0)
            return {};
        got += size_t(n);
        if (got == 16)
            reply.resize(16 + be32(&reply[8]));
    }
    return parse(reply);
}

TEST(Program, ServesTcpAndTakesControlLines)
{
    Program sim({"--tcp", "127.0.0.1:0", "--control", "--quiet", "--model", "78"});
    std::string first = sim.line();
    ASSERT_EQ(first.rfind("tcp 127.0.0.1:", 0), 0u) << first;
    int fd = connectTo(first.substr(4));
    Parsed r = bind(fd);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.payload[1], 78);

    sim.say("fault refuse@1");
    EXPECT_EQ(sim.line(), "ok");
    EXPECT_EQ(bind(fd).payload[0], 1);
    sim.say("model 10");
    EXPECT_EQ(sim.line(), "ok family 0");
    EXPECT_EQ(bind(fd).payload[1], 10);
    sim.say("bogus");
    EXPECT_EQ(sim.line().rfind("error", 0), 0u);
    sim.say("quit");
    EXPECT_EQ(sim.line(), "ok");
    EXPECT_EQ(sim.wait(), 0);
    ::close(fd);
}

TEST(Program, FaultOptionsApplyFromTheStart)
{
    Program sim({"--tcp", "127.0.0.1:0", "--quiet", "--fault", "refuse:5@1x2"});
    std::string first = sim.line();
    int fd = connectTo(first.substr(4));
    EXPECT_EQ(bind(fd).payload[0], 5);
    EXPECT_EQ(bind(fd).payload[0], 5);
    EXPECT_EQ(bind(fd).payload[0], 0);
    ::close(fd);
    sim.signal(SIGINT);
    EXPECT_EQ(sim.wait(), 0);
}

TEST(Program, PrintsEveryEndpointAndRemovesItsSocketOnTerm)
{
    if (std::string(VSIM_HAVE_USB) != "1")
        GTEST_SKIP() << "built without the virtual-USB device";
    std::string sock = ::testing::TempDir() + "vsim-prog-" + std::to_string(::getpid()) + ".sock";
    Program sim({"--tcp", "127.0.0.1:0", "--pty", "--usb-socket", sock, "--quiet"});
    EXPECT_EQ(sim.line().rfind("tcp ", 0), 0u);
    EXPECT_EQ(sim.line().rfind("pty /dev/pts/", 0), 0u);
    EXPECT_EQ(sim.line(), "usb " + sock);
    struct stat st;
    EXPECT_EQ(::stat(sock.c_str(), &st), 0);
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(), 0);
    EXPECT_NE(::stat(sock.c_str(), &st), 0);
}

TEST(Program, ListensBeyondLoopbackOnlyWhenAllowedAndThenWarns)
{
    struct Case {
        std::vector<std::string> args;
        bool serves;
        const char *saysOnError;  // in the first line of standard error
    };
    const Case cases[] = {
        {{"--tcp", "127.0.0.2:0"}, true, ""},
        {{"--tcp", "localhost:0"}, true, ""},
        {{"--tcp", "0.0.0.0:0"}, false, "not a loopback address; give --allow-remote"},
        {{"--tcp", ":0"}, false, "not a loopback address; give --allow-remote"},
        {{"--tcp", "0.0.0.0:0", "--allow-remote"}, true, "the instrument protocol has no authentication"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back("--quiet");
        Program sim(args);
        SCOPED_TRACE(c.args[1]);
        if (c.serves) {
            EXPECT_EQ(sim.line().rfind("tcp " + c.args[1].substr(0, c.args[1].size() - 1), 0), 0u);
            sim.signal(SIGTERM);
        }
        EXPECT_EQ(sim.wait(), c.serves ? 0 : 2);
        EXPECT_NE(sim.errorLine().find(c.saysOnError), std::string::npos);
    }
}

TEST(Program, BoundsItsConnectionsAndSaysWhenItRefusesOne)
{
    Program sim({"--tcp", "127.0.0.1:0", "--quiet"});
    std::string endpoint = sim.line().substr(4);
    std::vector<int> open;
    for (size_t i = 0; i < vsim::Server::kMaxTcpConnections; ++i) {
        open.push_back(connectTo(endpoint));
        ASSERT_TRUE(bind(open.back()).ok) << i;
    }
    int extra = connectTo(endpoint);
    EXPECT_FALSE(bind(extra).ok);
    ::close(extra);
    EXPECT_EQ(sim.errorLine().rfind("vantor-sim: refused the connection from 127.0.0.1:", 0), 0u);
    EXPECT_TRUE(bind(open[1]).ok);  // the ones it serves are untouched

    // A place that frees up is taken again once the server has seen it go.
    ::close(open[0]);
    open.erase(open.begin());
    bool served = false;
    for (int i = 0; i < 100 && !served; ++i) {
        int fd = connectTo(endpoint);
        served = bind(fd).ok;
        if (served) {
            open.push_back(fd);
        } else {
            ::close(fd);
            ::usleep(20000);
        }
    }
    EXPECT_TRUE(served);
    for (int fd : open)
        ::close(fd);
}

TEST(Program, OptionsItCannotUseAreRefused)
{
    EXPECT_EQ(Program({"--help"}).wait(), 0);
    EXPECT_EQ(Program({}).wait(), 2);  // no endpoint
    EXPECT_EQ(Program({"--tcp", "nowhere"}).wait(), 2);
    EXPECT_EQ(Program({"--tcp", "--model", "300"}).wait(), 2);
    EXPECT_EQ(Program({"--pty", "--fault", "sparkle"}).wait(), 2);
    EXPECT_EQ(Program({"--pty", "--frobnicate"}).wait(), 2);
}

}  // namespace
