#pragma once
#include <string>
#include <vector>

namespace torv::testing {

// A helper program run for the length of a test, its output kept in a file.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::string& outputFile);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool running() const { return pid_ > 0; }
    // Waits (up to timeoutMs) until `text` shows up in the output.
    bool waitForOutput(const std::string& text, int timeoutMs = 10000) const;
    std::string output() const;
    // Waits for the program to end by itself; stops it after timeoutMs.
    int wait(int timeoutMs);
    // SIGTERM, then SIGKILL after a grace period; returns the exit status.
    int stop();

private:
    int pid_ = -1;
    std::string outputFile_;
};

// Waits until a path exists (a link made by another process).
bool waitForPath(const std::string& path, int timeoutMs = 10000);

// A fresh directory under /tmp, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace torv::testing
