// Compiled into every test program: the environment the suites expect, unless the caller set it.
// (CTest properties cannot carry more than one variable through test discovery, so the program sets
// them itself before main.)
#include <cstdlib>

namespace {

struct TestEnvironment {
    TestEnvironment() {
        setenv("ORVA_BIN_DIR", ORVA_TEST_PROGRAM_DIR, 0);
        setenv("ORVA_SOURCE_DIR", ORVA_TEST_SOURCE_TREE, 0);
        // A program started without --dir or ORVA_HOME from a folder without res/ makes a per-user folder:
        // in a test it lands in the build tree, never in the tester's own data.
        setenv("XDG_DATA_HOME", ORVA_TEST_PROGRAM_DIR "/../tests/xdg-data", 1);
        // GUI suites drive real widgets without a display.
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
};

const TestEnvironment environment;

} // namespace
