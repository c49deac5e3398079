#include "tests/support/test_support.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <utility>

MessageCapture::MessageCapture() {
    setMessageSink([this](const std::string& t) { messages.push_back(t); });
    setConsoleSink([this](const std::string& t) { console.push_back(t); });
    setWarningSink([this](const std::string& t) { warnings.push_back(t); });
}

MessageCapture::~MessageCapture() {
    setMessageSink({});
    setConsoleSink({});
    setWarningSink({});
}

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
        auto candidate =
            base / ("zumt_test_" + std::to_string(rd()) + "_" + std::to_string(counter++));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            break;
        }
    }
    previous_ = std::filesystem::current_path();
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    // Read-only files made by a test must not stop the clean-up.
    for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
        std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string TempFolder::file(const std::string& name) const {
    return (path_ / name).string();
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

bool fileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::string testDataFile(const std::string& name) {
    const char* dir = std::getenv("ZUMT_TEST_DATA");
    std::string base = dir ? dir : "tests/data";
    return base + "/" + name;
}

std::vector<std::vector<std::string>> readTable(const std::string& name) {
    std::istringstream in(readText(testDataFile(name)));
    std::vector<std::vector<std::string>> rows;
    std::string line;
    for (bool heading = true; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || std::exchange(heading, false)) continue;
        std::istringstream cellsIn(line);
        rows.emplace_back();
        for (std::string cell; std::getline(cellsIn, cell, ',');)
            rows.back().push_back(cell);
    }
    return rows;
}
