#include "support/ser2net_server.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "support/free_port.h"

namespace torv::testing {

Ser2netServer::Ser2netServer(std::string dir, std::string pty, std::string line, Forwarding forwarding)
    : dir_(std::move(dir)), pty_(std::move(pty)), line_(std::move(line)), forwarding_(forwarding)
{
}

Ser2netServer::~Ser2netServer() { stop(); }

bool Ser2netServer::start(int timeoutMs)
{
    stop();
    if (tcpPort_ == 0) {
        tcpPort_ = FreeLoopbackPort();
        do
            rfc2217Port_ = FreeLoopbackPort();
        while (rfc2217Port_ == tcpPort_);
    }
    const std::string config = dir_ + "/ser2net.yaml";
    {
        const bool immediate = forwarding_ == Forwarding::Immediate;
        const std::string tcp = immediate ? "tcp(nodelay)" : "tcp";
        const std::string connector =
            "  connector: serialdev," + pty_ + "," + line_ + ",local\n" +
            (immediate ? "  options:\n    chardelay: false\n" : "");
        std::ofstream out(config);
        out << "%YAML 1.1\n---\n"
            << "connection: &raw\n  accepter: " << tcp << ",127.0.0.1," << tcpPort_ << "\n" << connector
            << "connection: &telnet\n  accepter: telnet(rfc2217)," << tcp << ",127.0.0.1," << rfc2217Port_ << "\n"
            << connector;
        if (!out)
            return false;
    }
    // Debian installs it in /usr/sbin, which an ordinary user's PATH may lack.
    const std::string program = access("/usr/sbin/ser2net", X_OK) == 0 ? "/usr/sbin/ser2net" : "ser2net";
    // -n: foreground, -d: its log on stdout, -u: no UUCP lock files (the pty is the simulator's alone).
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{program, "-n", "-d", "-u", "-c", config, "-P", dir_ + "/ser2net.pid"},
        dir_ + "/ser2net.log");
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        if (IsListeningOnLoopback(tcpPort_) && IsListeningOnLoopback(rfc2217Port_))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void Ser2netServer::stop()
{
    if (process_)
        process_->stop();
    process_.reset();
}

std::string Ser2netServer::output() const
{
    std::ifstream in(dir_ + "/ser2net.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Ser2netServer::waitUntilIdle(int timeoutMs) const
{
    int pid = 0;
    if (!(std::ifstream(dir_ + "/ser2net.pid") >> pid) || pid <= 0)
        return !running();
    const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        bool held = false;
        std::error_code ec;
        for (const auto& fd : std::filesystem::directory_iterator(fds, ec)) {
            std::error_code linkEc;
            held = held || std::filesystem::read_symlink(fd.path(), linkEc) == pty_;
        }
        if (!held)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string Ser2netServer::tcpUrl() const { return "tcp://127.0.0.1:" + std::to_string(tcpPort_); }
std::string Ser2netServer::rfc2217Url() const { return "rfc2217://127.0.0.1:" + std::to_string(rfc2217Port_); }

bool IsListeningOnLoopback(int port)
{
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", static_cast<unsigned>(port));
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line); // the column heads
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, address, remote, state;
        fields >> slot >> address >> remote >> state;
        if (address == local && state == "0A") // TCP_LISTEN
            return true;
    }
    return false;
}

} // namespace torv::testing
