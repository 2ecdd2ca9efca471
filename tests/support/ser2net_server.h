#pragma once
#include <memory>
#include <string>

#include "support/child_process.h"

namespace torv::testing {

// A ser2net of a test's or benchmark's own, on two free loopback ports: a
// transparent accepter (tcp://) and a telnet COM-PORT accepter (rfc2217://),
// both on one pty. The device server a plant puts between its line and the PC.
class Ser2netServer {
public:
    // How the line's bytes go on to the network.
    enum class Forwarding {
        // As Debian ships it: a read from the line is held two characters'
        // time for more to come, and small TCP segments wait for the last
        // one's acknowledgement (Nagle).
        Packed,
        // Each read sent at once (TCP_NODELAY, no character delay), as a
        // device server set up for Modbus RTU forwards.
        Immediate,
    };
    // `line` is the connectors' setting in ser2net's form ("9600n81").
    Ser2netServer(std::string dir, std::string pty, std::string line = "9600n81",
                  Forwarding forwarding = Forwarding::Packed);
    ~Ser2netServer();
    Ser2netServer(const Ser2netServer&) = delete;
    Ser2netServer& operator=(const Ser2netServer&) = delete;

    // Writes dir/ser2net.yaml, starts ser2net and waits until both ports
    // listen; false, with what it printed in output(), when they do not.
    // After stop() it starts on the same ports: a restart.
    bool start(int timeoutMs = 10000);
    void stop();
    bool running() const { return process_ && process_->running(); }
    std::string output() const;
    // Waits until ser2net holds the pty no more: it lets one client have the
    // line at a time, and one right behind the last may be refused while the
    // device is still being closed.
    bool waitUntilIdle(int timeoutMs = 5000) const;

    int tcpPort() const { return tcpPort_; }
    int rfc2217Port() const { return rfc2217Port_; }
    std::string tcpUrl() const;
    std::string rfc2217Url() const;

private:
    std::string dir_, pty_, line_;
    Forwarding forwarding_;
    int tcpPort_ = 0, rfc2217Port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

// True while something listens on 127.0.0.1:`port`; asks the kernel's table,
// so it makes no connection (which a one-client server would give the line).
bool IsListeningOnLoopback(int port);

} // namespace torv::testing
