#pragma once
// What the contract tests share: rows that hold on one system only, and a
// scratch folder made with nothing but the standard library, so the same
// tests build for POSIX and for Windows.
#include <filesystem>
#include <random>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace torv::testing {

enum class Platform { Both, Posix, Windows };

#ifdef _WIN32
inline constexpr Platform kThisPlatform = Platform::Windows;
#else
inline constexpr Platform kThisPlatform = Platform::Posix;
#endif

inline bool RunsHere(Platform p) { return p == Platform::Both || p == kThisPlatform; }

// Makes a FIFO at `path`; only POSIX has them (rows asking for one are POSIX rows).
inline bool MakeFifo(const std::filesystem::path& path)
{
#ifdef _WIN32
    (void)path;
    return false;
#else
    return ::mkfifo(path.c_str(), 0600) == 0;
#endif
}

// A new empty folder under the system's temporary one, removed with what it holds.
class ScratchDir {
public:
    ScratchDir()
    {
        std::random_device random;
        for (;;) {
            path_ = std::filesystem::temp_directory_path() / ("torv-contract-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_))
                break;
        }
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

} // namespace torv::testing
