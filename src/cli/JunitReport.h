#pragma once
// The station's JUnit XML file, as CI dashboards read it: <testsuites>, one <testsuite> per unit named
// by its serial number, one <testcase> per check run, <failure message="fault text"> for a failed one.
// The whole file is written again after every unit, to a temporary file that then replaces it, so that
// a station killed at any moment leaves a whole, valid file.
#include "cli/StationUnit.h"
#include "core/app/Result.h"

#include <string>
#include <string_view>
#include <vector>

namespace orva::cli {

// Text for an XML attribute or element: characters XML 1.0 does not allow are left out, markup escaped.
std::string XmlText(std::string_view text);

class JunitReport {
public:
    explicit JunitReport(std::string path) : path_(std::move(path)) {}

    void add(const StationUnit& unit);
    // The document with every unit added so far.
    std::string document() const;
    // Writes document() to the file, or says why it could not be written (the file as it was stays).
    Result<void> write() const;

private:
    std::string path_;
    std::vector<std::string> suites_; // each unit's <testsuite> element
    int tests_ = 0;
    int failures_ = 0;
    int errors_ = 0;
    double seconds_ = 0;
};

} // namespace orva::cli
