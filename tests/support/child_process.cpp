#include "child_process.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace torv::testing {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& outputFile)
    : outputFile_(outputFile)
{
    const int pid = fork();
    if (pid == 0) {
        const int fd = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
        }
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    pid_ = pid;
}

ChildProcess::~ChildProcess() { stop(); }

std::string ChildProcess::output() const
{
    std::ifstream in(outputFile_);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool ChildProcess::waitForOutput(const std::string& text, int timeoutMs) const
{
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        if (output().find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int ChildProcess::wait(int timeoutMs)
{
    for (int waited = 0; pid_ > 0 && waited <= timeoutMs; waited += 10) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return stop();
}

int ChildProcess::stop()
{
    if (pid_ <= 0)
        return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 150; ++i) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
}

bool waitForPath(const std::string& path, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        if (std::filesystem::exists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TempDir::TempDir()
{
    char tmpl[] = "/tmp/torv-test-XXXXXX";
    path_ = mkdtemp(tmpl);
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

} // namespace torv::testing
