// What every console program of the system understands, as users know it
// from the usual command-line tools: "--help" / "-h" (and "/?" on Windows)
// print the usage on standard output, "--version" the program and version,
// "-q" silences progress and summaries (never the messages).
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

enum class StandardOption { None, Help, Version, Quiet };

StandardOption standardOption(std::string_view arg);

// For programs that take plain arguments: "--help" etc. in any place print
// the usage (already in the terminal's encoding) or the version and give
// the exit code 0; otherwise every "-q" is taken out of argv (quiet set) and
// the result is none.
std::optional<int> takeStandardOptions(int& argc, char** argv, const char* program,
                                       const char* usage, bool& quiet);

// "<program> <version>" and a line end on standard output.
void printVersion(const char* program);

// The project's version, as CMake states it.
const char* programVersion();

// A progress line that rewrites itself on a terminal and stays silent
// otherwise: carriage returns in a log file help nobody.
class ProgressLine {
  public:
    explicit ProgressLine(bool quiet);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    void show(const std::string& text);
    // Ends the line, so that what follows starts on a fresh one.
    void done();

  private:
    bool active_ = false;
    std::size_t shown_ = 0; // length of the line on screen
};
