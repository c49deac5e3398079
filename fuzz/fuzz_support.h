// What the reader checks share: the capture of messages and console lines
// during one check.
#pragma once

#include <string>
#include <vector>

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
