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
// succeed when nothing fails and write the same bytes each time. Checked: a
// full disk at several points, a failing flush (a Replaceable writer flushes
// nothing and must succeed), move and creation of the temporary file, a
// read-only old file, a missing folder, a termination signal (POSIX), and as
// root another user's file and a group the user is not in; kept: owner, group
// and mode (root), a symbolic link (POSIX), attributes (Windows), a name of
// 255 bytes; a leftover temporary of a killed run goes.
void expectNoFileLost(const std::string& fileName, const FileWriter& write,
                      Durability durability = Durability::Flushed);

// The temporary files of the safe replacement in the folder and below it.
std::size_t temporariesIn(const std::filesystem::path& folder);

#ifndef _WIN32
// Runs check as an ordinary user (uid and gid 65534; root only) in a child.
bool asOrdinaryUser(const std::function<bool()>& check);

// Runs write in a child, ended by SIGTERM once the folder holds that many
// temporary files (the last stalls, WriteFault::Stalls); true if it ended so.
bool terminatedWhileWriting(const std::filesystem::path& folder, std::size_t temporaries,
                            const std::function<void()>& write);
#endif
