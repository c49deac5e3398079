// What the reader checks share: the scratch file each input is written to,
// and the capture of messages and console lines during one check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One input as a file of its own in this process's scratch folder, removed
// again when the object ends. The folder is made on first use in the
// system's temporary folder (one per process, so that parallel fuzzer
// processes never share a file) and removed at exit. Every input gets a new
// file: rewriting one file in place makes some file systems flush it to the
// disk each time, which costs more than the whole check.
class ScratchInput {
  public:
    // ending closes the file name, e.g. ".anl".
    ScratchInput(const std::uint8_t* data, std::size_t size, const std::string& ending);
    ~ScratchInput();
    ScratchInput(const ScratchInput&) = delete;
    ScratchInput& operator=(const ScratchInput&) = delete;

    // False when the file could not be written (nothing to check then).
    bool ok() const { return ok_; }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    bool ok_ = false;
};

// Collects every message and console line while it lives; nothing reaches
// the screen. Restores the default output when it ends.
class Captured {
  public:
    Captured();
    ~Captured();
    Captured(const Captured&) = delete;
    Captured& operator=(const Captured&) = delete;

    std::vector<std::string> messages;
    std::vector<std::string> console;
    void reset() {
        messages.clear();
        console.clear();
    }
};
