#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace torv::files {

// Replaces the whole of the regular file `target` (or makes it) with `size`
// bytes so that a crash leaves either the old contents or the new: they go to
// a temporary file beside it, reach the disk, and only then take its name.
// An existing file must open for writing first (the rename would replace a
// write-protected file as readily as any other), and only a regular one is
// touched. Where the folder takes no new names the file is rewritten in
// place instead. False when nothing could be saved. The caller has checked
// the name (SaveTarget). One implementation per system.
bool ReplaceFileContents(const std::string& target, const std::uint8_t* data, std::size_t size);

} // namespace torv::files
