#include "launch.h"

#include <cstdio>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "support/child_process.h"

namespace torv::bench {

std::uint64_t MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000u + static_cast<std::uint64_t>(ts.tv_nsec);
}

std::unique_ptr<testing::ChildProcess> StartSimulator(const std::string& dir, std::vector<std::string> arguments,
                                                      std::string outputFile)
{
    arguments.insert(arguments.begin(), TORV_SIM);
    for (const char* more : {"--dir", dir.c_str(), "--link", "COM1"})
        arguments.emplace_back(more);
    auto sim = std::make_unique<testing::ChildProcess>(arguments, outputFile.empty() ? dir + "/sim.log" : outputFile);
    if (!sim->waitForOutput("ready")) {
        std::fprintf(stderr, "simulator did not start: %s\n", sim->output().c_str());
        return nullptr;
    }
    return sim;
}

std::string SelfPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

pid_t Launch(const std::vector<std::string>& argv, const std::string& dir, int outFd)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    if (chdir(dir.c_str()) != 0)
        _exit(126);
    dup2(outFd, STDOUT_FILENO);
    dup2(outFd, STDERR_FILENO);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

bool WriteSettings(const std::string& dir)
{
    // ComIndex 0, BaudIndex 1, ModuleAddress 1, ParityIndex 0, two unused
    // bytes, then the little-endian sum of the six.
    const char bytes[8] = {0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00};
    std::ofstream out(dir + "/Torv_LCD.set", std::ios::binary);
    out.write(bytes, sizeof bytes);
    return static_cast<bool>(out);
}

long StatusKb(pid_t pid, const char* field)
{
    std::ifstream in(pid == 0 ? std::string("/proc/self/status") : "/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
    return -1;
}

bool SimulatorLink::open(const std::string& dir, std::uint8_t baudIndex)
{
    settings.BaudIndex = baudIndex;
    link.workDir = dir;
    link.Ustaw_COM();
    if (!link.PortOpen)
        std::fprintf(stderr, "cannot open the simulator's port\n");
    return link.PortOpen;
}

} // namespace torv::bench
