#include "CliRunner.h"

#include <cstdlib>

namespace orva::test {

std::string CliProgram() {
    const char* other = std::getenv("ORVA_TEST_CLI_BINARY");
    return other && *other ? other : ORVA_CLI_PATH;
}

CliRunner::CliRunner(const std::vector<std::string>& args, const std::vector<std::string>& env)
    : child_(CliProgram(), args, ChildOptions{env}) {}

CliOutcome CliRunner::finish() {
    const ChildOutcome child = child_.finish();
    return {child.signal ? 128 + child.signal : child.code, child.out, child.err};
}

} // namespace orva::test
