#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "link/clock.h"
#include "sim/line.h"

namespace torv::sim {

struct PtyOptions {
    std::string linkName = "COM1"; // symlink to the pty slave ...
    std::string dir = ".";         // ... made in this directory
    bool checkBaud = true;         // ignore frames at another speed than the addressed controller's
};

// Serves a Line on a pseudo-terminal, on the real monotonic clock. The tester
// opens the symlink as its serial port. Frames are found in the byte stream
// alone (a pty coalesces and does not pace); replies are paced at the
// controller's baud rate.
class PtyServer {
public:
    PtyServer(Line& line, PtyOptions options = {});
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pty and the link; false with `error` set on failure.
    bool open(std::string& error);
    // Serves in a thread of its own until stop().
    void start();
    // Stops serving, closes the pty and removes the link.
    void stop();
    // Serves in the calling thread until `quit` turns true.
    void run(const std::atomic<bool>& quit);

    const std::string& linkPath() const { return linkPath_; }
    const std::string& slavePath() const { return slavePath_; }
    // How many times a client was seen closing the port.
    unsigned clientCloses() const { return clientCloses_; }
    // Hold this while touching the line from another thread.
    std::mutex& mutex() { return mutex_; }

private:
    void serveOnce();
    void removeLink();
    void flushClientInput();

    Line& line_;
    PtyOptions options_;
    torv::SteadyClock clock_;
    std::mutex mutex_;
    int master_ = -1;
    std::string slavePath_;
    std::string linkPath_;
    std::thread thread_;
    std::atomic<bool> quit_{false};
    bool clientOpen_ = false; // serving thread only
    std::atomic<unsigned> clientCloses_{0};
};

} // namespace torv::sim
