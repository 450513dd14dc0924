#pragma once

#include <string>

namespace s::file::win {

// Renames `from` to `to` unless something already exists at `to` (errno is
// then EEXIST). Both are native paths on the same file system.
bool renameWithoutReplacing(const std::string& from, const std::string& to);

// Makes a finished rename or link in `folder` durable. File systems that
// cannot synchronise a folder count as done.
bool syncFolder(const std::string& folder);

// The folder part of a native path ("." for a bare name, "/" for a name in
// the root).
std::string folderOf(const std::string& native);

}  // namespace s::file::win
