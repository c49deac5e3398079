// Helpers shared by the test programs.
#pragma once

#include "common/message.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Captures every message and console line in order while it lives.
class MessageCapture {
  public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    std::vector<std::string> messages;
    std::vector<std::string> console;
    std::vector<std::string> warnings;
    void reset() {
        messages.clear();
        console.clear();
        warnings.clear();
    }
};

// A fresh temporary folder, removed with everything in it at the end. The
// current folder is restored too, since entry points change it.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The full path of a file in the folder, in the system's own form.
    std::string file(const std::string& name) const;

  private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

std::vector<std::uint8_t> readBytes(const std::string& path);
std::string readText(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
void writeText(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);

// A device that never ends when read: no reader may take it for a file.
#ifdef _WIN32
inline constexpr const char* Device = "NUL";
#else
inline constexpr const char* Device = "/dev/zero";
#endif

// A file under tests/data (the folder is handed over in ZUMT_TEST_DATA).
std::string testDataFile(const std::string& name);

// A comma-separated table under tests/data, without its heading line and
// blank lines (a row's trailing empty cells are dropped).
std::vector<std::vector<std::string>> readTable(const std::string& name);
