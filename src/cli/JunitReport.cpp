#include "cli/JunitReport.h"

#include "core/web/Utf8.h"
#include "core/web/XmlEntities.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orva::cli {
namespace {

bool AllowedInXml(char32_t cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
           (cp >= 0x10000 && cp <= 0x10FFFF);
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", s);
    return text;
}

std::string Attribute(const char* name, std::string_view value) {
    return std::string(" ") + name + "=\"" + XmlText(value) + "\"";
}

} // namespace

std::string XmlText(std::string_view text) {
    const std::string valid = Utf8Sanitize(text);
    std::string kept;
    for (size_t i = 0; i < valid.size();) {
        char32_t cp = 0;
        const size_t length = DecodeUtf8(valid, i, cp);
        if (length == 0) {
            ++i;
            continue;
        }
        if (AllowedInXml(cp))
            kept.append(valid, i, length);
        i += length;
    }
    // Line breaks in an attribute would be read back as blanks; written as references they stay.
    std::string out;
    for (char c : EscapeAttributeValue(kept)) {
        if (c == '\n')
            out += "&#10;";
        else if (c == '\r')
            out += "&#13;";
        else if (c == '\t')
            out += "&#9;";
        else
            out += c;
    }
    return out;
}

void JunitReport::add(const StationUnit& unit) {
    const std::string serial = unit.serial.empty() ? "(no serial number)" : unit.serial;
    std::string cases;
    int failures = 0;
    int errors = 0;
    int tests = 0;
    for (const CheckOutcome& c : unit.checks) {
        ++tests;
        cases += "    <testcase" + Attribute("classname", serial) + Attribute("name", c.name) + Attribute("time", "0");
        if (c.fault.empty()) {
            cases += "/>\n";
            continue;
        }
        ++failures;
        cases += ">\n      <failure" + Attribute("message", c.fault) + Attribute("type", c.mark) + ">" +
                 XmlText(c.result) + "</failure>\n    </testcase>\n";
    }
    // A unit that did not pass without any failed check (a run that did not finish, a record that was
    // not stored) still shows as not passed on a dashboard.
    if (!unit.passed() && failures == 0) {
        ++tests;
        ++errors;
        cases += "    <testcase" + Attribute("classname", serial) + Attribute("name", "diagnosis") +
                 Attribute("time", Seconds(unit.seconds)) + ">\n      <error" +
                 Attribute("message", unit.problem.empty() ? unit.outcome : unit.problem) +
                 Attribute("type", unit.outcome) + "/>\n    </testcase>\n";
    }
    std::string suite = "  <testsuite" + Attribute("name", serial) + Attribute("tests", std::to_string(tests)) +
                        Attribute("failures", std::to_string(failures)) + Attribute("errors", std::to_string(errors)) +
                        Attribute("skipped", "0") + Attribute("time", Seconds(unit.seconds)) +
                        Attribute("timestamp", unit.started) + ">\n    <properties>\n";
    const std::pair<const char*, const std::string*> properties[] = {
        {"model", &unit.model}, {"mac", &unit.mac}, {"address", &unit.address}, {"verdict", &unit.verdict}};
    for (const auto& [name, value] : properties)
        suite += "      <property" + Attribute("name", name) + Attribute("value", *value) + "/>\n";
    suite += "    </properties>\n" + cases + "  </testsuite>\n";
    suites_.push_back(std::move(suite));
    tests_ += tests;
    failures_ += failures;
    errors_ += errors;
    seconds_ += unit.seconds;
}

std::string JunitReport::document() const {
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" + Attribute("name", "orva-cli station") +
                      Attribute("tests", std::to_string(tests_)) + Attribute("failures", std::to_string(failures_)) +
                      Attribute("errors", std::to_string(errors_)) + Attribute("time", Seconds(seconds_)) + ">\n";
    for (const std::string& suite : suites_)
        doc += suite;
    return doc + "</testsuites>\n";
}

Result<void> JunitReport::write() const {
    const std::string temporary = path_ + ".tmp";
    const std::string doc = document();
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return Failure{"cannot create " + temporary + ": " + std::strerror(errno)};
    size_t done = 0;
    while (done < doc.size()) {
        const ssize_t n = ::write(fd, doc.data() + done, doc.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Failure failure{"cannot write " + temporary + ": " + std::strerror(n < 0 ? errno : ENOSPC)};
            ::close(fd);
            ::unlink(temporary.c_str());
            return failure;
        }
        done += static_cast<size_t>(n);
    }
    // On disk before it replaces the old file: a power cut leaves the old file or the new one, whole.
    const bool synced = ::fsync(fd) == 0;
    const int syncError = errno;
    if (::close(fd) != 0 || !synced) {
        Failure failure{"cannot write " + temporary + ": " + std::strerror(synced ? errno : syncError)};
        ::unlink(temporary.c_str());
        return failure;
    }
    if (::rename(temporary.c_str(), path_.c_str()) != 0) {
        Failure failure{"cannot replace " + path_ + ": " + std::strerror(errno)};
        ::unlink(temporary.c_str());
        return failure;
    }
    return {};
}

} // namespace orva::cli
