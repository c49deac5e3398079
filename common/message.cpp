#include "common/message.h"

#include "platform/platform.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string MessageText;

namespace {

int g_quiet = 0;
thread_local HeldMessages* t_held = nullptr;

TextSink& messageSink() {
    static TextSink sink;
    return sink;
}

TextSink& consoleSink() {
    static TextSink sink;
    return sink;
}

TextSink& warningSink() {
    static TextSink sink;
    return sink;
}

std::string vformat(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) return std::string();
    std::vector<char> buf(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, args);
    return std::string(buf.data(), static_cast<std::size_t>(n));
}

} // namespace

void ShowMessage() {
    if (g_quiet > 0) return;
    if (messageSink())
        messageSink()(MessageText);
    else
        platformShowMessage(MessageText);
}

int report(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    if (t_held) {
        t_held->texts.push_back(std::move(text));
        return 0;
    }
    showMessageText(text);
    return 0;
}

void showMessageText(const std::string& text) {
    MessageText = text;
    ShowMessage();
}

HeldMessages::HeldMessages() {
    t_held = this;
}
HeldMessages::~HeldMessages() {
    t_held = nullptr;
}

void consoleLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = vformat(format, args);
    va_end(args);
    if (g_quiet > 0) return;
    if (consoleSink()) {
        consoleSink()(line);
    } else {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }
}

std::string warning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    if (warningSink()) {
        warningSink()(text);
    } else {
        const std::string line = "Warnung: " + text + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }
    return text;
}

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = vformat(format, args);
    va_end(args);
    return s;
}

QuietMessages::QuietMessages() {
    ++g_quiet;
}
QuietMessages::~QuietMessages() {
    --g_quiet;
}

void setMessageSink(TextSink sink) {
    messageSink() = std::move(sink);
}
void setConsoleSink(TextSink sink) {
    consoleSink() = std::move(sink);
}
void setWarningSink(TextSink sink) {
    warningSink() = std::move(sink);
}
