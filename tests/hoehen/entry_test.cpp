#include "hoehen/entry.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

namespace {

int runEntry(std::vector<std::string> args) {
    std::vector<char*> argv;
    static std::string program = "zumt_hoehen";
    argv.push_back(program.data());
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return hoehenMain(static_cast<int>(args.size() + 1), argv.data());
}

} // namespace

TEST(HoehenEntry, RefusesMissingAndWrongArguments) {
    MessageCapture capture;
    EXPECT_EQ(runEntry({}), 1);
    EXPECT_TRUE(capture.messages.empty());

    for (const char* arg : {"Test.ANL", "Test", "Test.anl.bak", "D:\\Daten.alt\\Test"}) {
        SCOPED_TRACE(arg);
        capture.reset();
        EXPECT_EQ(runEntry({arg}), 1);
        EXPECT_EQ(capture.messages,
                  std::vector<std::string>{std::string("Falscher Dateityp: ") + arg + "!\n"});
    }
}
