// Compiled into every test program: the environment the suites expect, unless the caller set it.
// (CTest properties cannot carry more than one variable through test discovery, so the program sets
// them itself before main.)
#include <cstdlib>

namespace {

struct TestEnvironment {
    TestEnvironment() {
        setenv("ORVA_BIN_DIR", ORVA_TEST_PROGRAM_DIR, 0);
        setenv("ORVA_SOURCE_DIR", ORVA_TEST_SOURCE_TREE, 0);
        // GUI suites drive real widgets without a display.
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
};

const TestEnvironment environment;

} // namespace
