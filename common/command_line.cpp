#include "common/command_line.h"

#include "platform/platform.h"

StandardOption standardOption(std::string_view arg) {
    if (arg == "--help" || arg == "-h" || (platformIsWindows() && arg == "/?"))
        return StandardOption::Help;
    if (arg == "--version") return StandardOption::Version;
    if (arg == "-q") return StandardOption::Quiet;
    return StandardOption::None;
}

std::optional<int> takeStandardOptions(int& argc, char** argv, const char* program,
                                       const char* usage, bool& quiet) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        switch (standardOption(argv[i])) {
        case StandardOption::Help:
            std::fputs(usage, stdout);
            return 0;
        case StandardOption::Version:
            printVersion(program);
            return 0;
        case StandardOption::Quiet:
            quiet = true;
            break;
        case StandardOption::None:
            argv[kept++] = argv[i];
            break;
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    return std::nullopt;
}

const char* programVersion() {
    return ZUMT_VERSION;
}

void printVersion(const char* program) {
    std::printf("%s %s\n", program, programVersion());
}

ProgressLine::ProgressLine(bool quiet) : active_(!quiet && standardOutputIsTerminal()) {}

ProgressLine::~ProgressLine() {
    done();
}

void ProgressLine::show(const std::string& text) {
    if (!active_) return;
    // Blanks cover the rest of a longer line before.
    const std::size_t pad = shown_ > text.size() ? shown_ - text.size() : 0;
    std::printf("\r%s%*s", text.c_str(), static_cast<int>(pad), "");
    std::fflush(stdout);
    shown_ = text.size();
}

void ProgressLine::done() {
    if (!active_ || shown_ == 0) return;
    std::printf("\n");
    std::fflush(stdout);
    shown_ = 0;
}
