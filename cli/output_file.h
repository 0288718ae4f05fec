#pragma once

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

/// Files written whole or not at all: the contents go to a new file beside the target, which is
/// renamed onto the target only once everything has been written and flushed.
namespace dla::cli {

/// A file that could not be written; what() is one line naming the file and the reason.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// Calls `write` with a stream open on a temporary file in the folder of `path`, then renames
/// it to `path`. If `write` throws or anything fails, the temporary file is removed, `path` is
/// left as it was, and FileError (or the exception of `write`) is thrown.
void writeFileAtomically(const std::string& path, const std::function<void(std::FILE*)>& write);

/// The same with fixed contents.
void writeFileAtomically(const std::string& path, std::string_view contents);

/// Throws FileError when no file can be created in the folder of `path` (missing folder, no
/// permission), or when `path` names a folder; leaves nothing behind. Lets a batch fail before
/// its work rather than after it.
void checkWritable(const std::string& path);

}  // namespace dla::cli
