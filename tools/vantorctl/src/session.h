// Opening the transport, binding and unbinding, with the failure texts the user sees.
#pragma once

#include "cli.h"

#include <ostream>
#include <string>

namespace vantorctl {

class Session {
public:
    Session(const LinkSpec &link, std::ostream &err);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Each returns an exit code and has told the user what went wrong.
    int open();
    int bind();
    int unbind(bool report = true);
    void close();

    // After an export returned false: the cause of its exchange tells a refusal from a broken
    // link, without asking the instrument again. Prints the matching text about `what`.
    int reportFailure(const std::string &what);

    int family() const { return family_; }
    int channelCount() const { return family_ == 3 ? 4 : 2; }
    const LinkSpec &link() const { return link_; }

private:
    LinkSpec link_;
    std::ostream &err_;
    bool opened_ = false;
    bool bound_ = false;
    int family_ = 0;
};

// Picks the COM number for a device given by path: the first whose default device is absent.
int freeComPort();

}  // namespace vantorctl
