// The promise every writer of the system keeps: a file is replaced whole or
// not at all. expectNoFileLost runs one writer against every way a write can
// fail and checks, each time, that the old file keeps its bytes, that the one
// message names the file, that no temporary file is left beside it and that
// the writer's result says what happened.
#pragma once

#include "platform/platform.h"

#include <filesystem>
#include <functional>
#include <string>

// Writes the file at the path given and returns true when it holds the new
// contents: SettingsFile::write, Layout::save, MeshModel::write.
using FileWriter = std::function<bool(const std::string& path)>;

// fileName is the name the file gets in a fresh temporary folder (e.g.
// "Demo.anl"), durability the one the writer writes with. The writer must
// succeed when nothing fails and write the same bytes each time it succeeds.
// Failures checked:
//   a full disk after 0, 1, half of and all but one of the new bytes;
//   a flush of the new bytes that fails (a Durability::Replaceable writer
//   flushes nothing and must succeed);
//   a final move over the old file that fails;
//   a temporary file that cannot be created;
//   a read-only old file;
//   a folder that does not exist;
//   a termination signal in the middle of the write (POSIX);
//   as root: another user's file, and an owner's file of a group the user is
//   not in, both in a folder anyone may write (run as an ordinary user).
// What a write keeps: owner, group and mode (as root), a symbolic link
// (POSIX), the file's attributes (Windows); a name of 255 bytes can be
// written; a leftover temporary file of a killed run goes.
// Every check is a GoogleTest expectation.
void expectNoFileLost(const std::string& fileName, const FileWriter& write,
                      Durability durability = Durability::Flushed);

#ifndef _WIN32
// Runs check as an ordinary user (uid and gid 65534; root only) in a child.
bool asOrdinaryUser(const std::function<bool()>& check);

// Runs write in a child, ended by SIGTERM once the folder holds that many
// temporary files (the last stalls, WriteFault::Stalls); true if it ended so.
bool terminatedWhileWriting(const std::filesystem::path& folder, std::size_t temporaries,
                            const std::function<void()>& write);
#endif
