// What every system's file checks, whole-file save and log append promise,
// the same rows on each: devices (a FIFO here, NUL or COM1 there) refused as
// a device, a regular file taken, a save that replaces without leaving a
// temporary file, an append that writes the header once.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "files/log_appender.h"
#include "settings/file_replace.h"
#include "settings/file_target.h"
#include "support/contract.h"

namespace fs = std::filesystem;
using torv::files::FileKind;
using torv::files::Refusal;
using torv::testing::Platform;
using torv::testing::RunsHere;
using torv::testing::ScratchDir;

namespace {

enum class Made { Nothing, File, Folder, Fifo };

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::set<std::string> namesIn(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

struct NameRow {
    Platform platform;
    std::string name; // under the scratch folder, unless `absolute`
    Made made;
    bool absolute;
    Refusal saveRefusal;
    FileKind kind;         // what the save check says is there
    Refusal readRefusal;   // what reading it says
};

const NameRow kNameRows[] = {
    {Platform::Both, "komora-007.json", Made::File, false, Refusal::None, FileKind::Regular, Refusal::None},
    {Platform::Both, "new.json", Made::Nothing, false, Refusal::None, FileKind::None, Refusal::Unreadable},
    {Platform::Both, "pomiary", Made::Folder, false, Refusal::NotRegular, FileKind::Directory, Refusal::NotRegular},
    {Platform::Posix, "fifo", Made::Fifo, false, Refusal::NotRegular, FileKind::Fifo, Refusal::NotRegular},
    {Platform::Posix, "/dev/null", Made::Nothing, true, Refusal::NotRegular, FileKind::Device, Refusal::NotRegular},
    // On POSIX the names Windows reserves are names like any other.
    {Platform::Posix, "CON", Made::Nothing, false, Refusal::None, FileKind::None, Refusal::Unreadable},
    {Platform::Posix, "nul.json", Made::File, false, Refusal::None, FileKind::Regular, Refusal::None},
    // In any case, with any extension, in any folder: a device, not looked up.
    {Platform::Windows, "NUL", Made::Nothing, false, Refusal::NotRegular, FileKind::Device, Refusal::NotRegular},
    {Platform::Windows, "nul.json", Made::Nothing, false, Refusal::NotRegular, FileKind::Device, Refusal::NotRegular},
    {Platform::Windows, "Con.tar.gz", Made::Nothing, false, Refusal::NotRegular, FileKind::Device, Refusal::NotRegular},
    {Platform::Windows, "COM1", Made::Nothing, false, Refusal::NotRegular, FileKind::Device, Refusal::NotRegular},
    {Platform::Windows, "com9.csv", Made::Nothing, false, Refusal::NotRegular, FileKind::Device, Refusal::NotRegular},
    {Platform::Windows, "lpt1", Made::Nothing, false, Refusal::NotRegular, FileKind::Device, Refusal::NotRegular},
    {Platform::Windows, "PRN.txt", Made::Nothing, false, Refusal::NotRegular, FileKind::Device, Refusal::NotRegular},
    {Platform::Windows, "aux", Made::Nothing, false, Refusal::NotRegular, FileKind::Device, Refusal::NotRegular},
    {Platform::Windows, "\\\\.\\COM3", Made::Nothing, true, Refusal::NotRegular, FileKind::Device,
     Refusal::NotRegular},
    {Platform::Windows, "\\\\?\\C:\\komora.json", Made::Nothing, true, Refusal::NotRegular, FileKind::Device,
     Refusal::NotRegular},
    // Only the whole name counts: these are files.
    {Platform::Windows, "COM10", Made::Nothing, false, Refusal::None, FileKind::None, Refusal::Unreadable},
    {Platform::Windows, "console.json", Made::File, false, Refusal::None, FileKind::Regular, Refusal::None},
    {Platform::Windows, "nul-komora.json", Made::File, false, Refusal::None, FileKind::Regular, Refusal::None},
};

} // namespace

TEST(FileTargetContract, WhatANameStandsFor)
{
    for (const NameRow& row : kNameRows) {
        if (!RunsHere(row.platform))
            continue;
        ScratchDir dir;
        const std::string path = row.absolute ? row.name : dir / row.name;
        switch (row.made) {
        case Made::Nothing: break;
        case Made::File: put(path, "{}"); break;
        case Made::Folder: fs::create_directory(path); break;
        case Made::Fifo: ASSERT_TRUE(torv::testing::MakeFifo(path)) << path; break;
        }
        const torv::files::Target target = torv::files::SaveTarget(path);
        EXPECT_EQ(target.refusal, row.saveRefusal) << row.name;
        EXPECT_EQ(target.type, row.kind) << row.name;
        EXPECT_EQ(target.exists, row.kind != FileKind::None) << row.name;

        const torv::files::Contents read = torv::files::ReadRegularFile(path, 1024);
        EXPECT_EQ(read.refusal, row.readRefusal) << row.name;
        if (row.readRefusal == Refusal::None) {
            EXPECT_EQ(read.bytes, "{}") << row.name;
        }
        if (row.readRefusal == Refusal::NotRegular) {
            EXPECT_EQ(read.type, row.kind) << row.name;
            const std::string word = row.kind == FileKind::Device ? "a device"
                                     : row.kind == FileKind::Fifo ? "a FIFO"
                                                                  : "a directory";
            EXPECT_EQ(torv::files::RefusalTextEnglish(read.refusal, read.type, read.error),
                      "is " + word + ", not a regular file")
                << row.name;
        }
        if (row.readRefusal == Refusal::Unreadable) {
            EXPECT_NE(read.error, 0) << row.name;
            EXPECT_FALSE(torv::files::RefusalTextEnglish(read.refusal, read.type, read.error).empty()) << row.name;
        }
    }
}

// A save replaces the whole file (a shorter one too) or makes it, and only
// the file's own name is left in its folder.
TEST(FileTargetContract, SaveReplacesTheWholeFileAndLeavesNoTemporaryFile)
{
    const struct {
        const char* before; // nullptr: no file yet
        std::string after;
    } rows[] = {
        {nullptr, "new"},
        {"a longer file than the new one", "short"},
        {"", std::string("\0\1\2\r\n\xff", 6)},
    };
    for (const auto& row : rows) {
        ScratchDir dir;
        const std::string path = dir / "Torv_LCD.set";
        if (row.before)
            put(path, row.before);
        ASSERT_TRUE(torv::files::ReplaceFileContents(path, reinterpret_cast<const std::uint8_t*>(row.after.data()),
                                                     row.after.size()))
            << (row.before ? row.before : "(none)");
        EXPECT_EQ(slurp(path), row.after);
        EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"Torv_LCD.set"});
    }
}

// The save refuses to go through a folder standing in the file's place.
TEST(FileTargetContract, SaveTouchesNoFolder)
{
    ScratchDir dir;
    fs::create_directory(dir / "Torv_LCD.set");
    const std::string bytes = "12345678";
    EXPECT_FALSE(
        torv::files::ReplaceFileContents(dir / "Torv_LCD.set", reinterpret_cast<const std::uint8_t*>(bytes.data()), 8));
    EXPECT_TRUE(fs::is_directory(dir / "Torv_LCD.set"));
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"Torv_LCD.set"});
}

struct AppendRow {
    Platform platform;
    std::string file;
    Made made;
    bool written;         // the lines reached the file
    std::string problem;  // the end of what was reported, when not written
};

const AppendRow kAppendRows[] = {
    {Platform::Both, "2026-12-09.csv", Made::Nothing, true, ""},
    {Platform::Both, "folder.csv", Made::Folder, false, "is a directory, not a regular file"},
    {Platform::Posix, "fifo.csv", Made::Fifo, false, "is a FIFO, not a regular file"},
    {Platform::Windows, "NUL.csv", Made::Nothing, false, "is a device, not a regular file"},
    {Platform::Windows, "com1.csv", Made::Nothing, false, "is a device, not a regular file"},
};

// Lines go to a regular file with the header once, in a folder made when
// missing; a device or folder in the file's place takes nothing.
TEST(FileTargetContract, DurableAppendWritesTheHeaderOnce)
{
    for (const AppendRow& row : kAppendRows) {
        if (!RunsHere(row.platform))
            continue;
        ScratchDir dir;
        const std::string folder = dir / "pomiary"; // made by the first line when nothing is put there
        const std::string path = folder + "/" + row.file;
        if (row.made != Made::Nothing)
            fs::create_directory(folder);
        if (row.made == Made::Folder)
            fs::create_directory(path);
        if (row.made == Made::Fifo) {
            ASSERT_TRUE(torv::testing::MakeFifo(path));
        }
        std::vector<std::string> reports;
        torv::LogAppender log(folder, "drying log", [&reports](const std::string& text) { reports.push_back(text); });
        const bool first = log.append(row.file, "time;T1", "10:00;20,5");
        const bool second = log.append(row.file, "time;T1", "10:10;21,0");
        EXPECT_EQ(first, row.written) << row.file;
        EXPECT_EQ(second, row.written) << row.file;
        if (row.written) {
            EXPECT_EQ(slurp(path), "time;T1\r\n10:00;20,5\r\n10:10;21,0\r\n") << row.file;
            EXPECT_TRUE(reports.empty()) << reports.front();
        } else {
            ASSERT_EQ(reports.size(), 1u) << row.file << ": told once while it lasts";
            const std::string& said = reports.front();
            EXPECT_EQ(said.substr(said.size() - std::min(said.size(), row.problem.size())), row.problem) << said;
            EXPECT_NE(said.find(row.file), std::string::npos) << said;
        }
    }
}
