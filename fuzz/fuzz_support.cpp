#include "fuzz/fuzz_support.h"

#include "common/message.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace {

class ScratchFolder {
  public:
    ScratchFolder() {
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        std::random_device rd;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::filesystem::path candidate = base / ("zumt_fuzz_" + std::to_string(rd()));
            if (std::filesystem::create_directory(candidate, ec)) {
                path_ = candidate;
                return;
            }
        }
        // No folder of our own: the names below then land in the current
        // folder, which still works for a single process.
    }
    ~ScratchFolder() {
        if (path_.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

} // namespace

ScratchInput::ScratchInput(const std::uint8_t* data, std::size_t size, const std::string& ending) {
    static ScratchFolder folder;
    static unsigned long counter = 0;
    path_ = folder.file("Fuzz" + std::to_string(++counter) + ending);
    // A path of the system's own form: no osPath needed.
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f) return;
    ok_ = size == 0 || std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0) ok_ = false;
}

ScratchInput::~ScratchInput() {
    std::error_code ec;
    std::filesystem::remove(std::filesystem::path(path_), ec);
}

Captured::Captured() {
    setMessageSink([this](const std::string& t) { messages.push_back(t); });
    setConsoleSink([this](const std::string& t) { console.push_back(t); });
}

Captured::~Captured() {
    setMessageSink({});
    setConsoleSink({});
}
