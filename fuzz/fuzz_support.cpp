#include "fuzz/fuzz_support.h"

#include "common/message.h"

Captured::Captured() {
    setMessageSink([this](const std::string& t) { messages.push_back(t); });
    setConsoleSink([this](const std::string& t) { console.push_back(t); });
}

Captured::~Captured() {
    setMessageSink({});
    setConsoleSink({});
}
