// One libFuzzer target. The build names the check it runs in ZUMT_FUZZ_CHECK;
// a broken promise ends the run like a crash, so that libFuzzer keeps the
// input that broke it.
#include "fuzz/reader_checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = ZUMT_FUZZ_CHECK(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "Broken promise: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
