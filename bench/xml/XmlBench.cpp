// Parses a 20 MB document of report-like elements with XmlDocument::Parse and with pugixml
// (load_buffer, default options) on the same buffer, several times each, and prints both rates.
//
//   bench_xml [megabytes] [repetitions]
#include "web/XmlDocument.h"

#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// One report as the result upload sends it, with varying values.
void appendReport(std::string& out, int n) {
    auto line = [&](const char* name, const std::string& value) {
        if (value.empty()) {
            out.append("<").append(name).append("/>\r\n");
        } else {
            out.append("<").append(name).append(">").append(value).append("</").append(name).append(">\r\n");
        }
    };
    out += "<DeviceDiag>\r\n";
    line("Operator", "\xE6\x8A\x80\xE6\x9C\xAF\xE5\x91\x98" + std::to_string(n % 97));
    line("SN", "VLMR" + std::to_string(10000000 + n));
    line("DeviceType", n % 3 ? "HG260GS" : "HG220GU");
    line("CheckDate", "2024-05-06 07:" + std::to_string(10 + n % 50) + ":09");
    out += "<HardWareDiag>\r\n";
    for (const char* item : {"FE1Check", "FE2Check", "FE3Check", "FE4Check", "POS1Check", "POS2Check", "PONCheck",
                             "FlashCheck", "LEDCheck", "USBCheck", "WifiCheck"})
        line(item, std::to_string((n + item[0]) % 3 == 2 ? 9 : (n + item[1]) % 2));
    out += "</HardWareDiag>\r\n<SoftWareDiag>\r\n";
    line("SoftWareVersionCheck", n % 5 ? "V1.0.3 &amp; build " + std::to_string(n % 1000) : "");
    line("MAC", "00-1A-2B-3C-" + std::to_string(10 + n % 90) + "-5E");
    line("PSCheck", "ok");
    line("CPULoadCheck", std::to_string(n % 100));
    line("MemCheck", std::to_string((n * 7) % 100));
    line("PreConfigCheck", "1");
    line("DiskIntegrityCheck", "1");
    out += "</SoftWareDiag>\r\n</DeviceDiag>\r\n";
}

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

} // namespace

int main(int argc, char** argv) {
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 20.0;
    const int reps = argc > 2 ? std::atoi(argv[2]) : 10;
    const std::size_t target = static_cast<std::size_t>(megabytes * 1e6);
    std::string buffer = "<DeviceList>\r\n";
    buffer.reserve(target + 4096);
    for (int n = 0; buffer.size() < target; ++n)
        appendReport(buffer, n);
    buffer += "</DeviceList>\r\n";
    const double mb = static_cast<double>(buffer.size()) / 1e6;

    std::vector<double> ours, reused, theirs;
    orva::XmlDocument kept; // parsed into again and again: its index and text storage are reused
    std::uint32_t elements = 0;
    std::size_t pugiElements = 0;
    for (int r = 0; r < reps; ++r) {
        {
            auto t0 = std::chrono::steady_clock::now();
            orva::XmlDocument doc;
            bool ok = doc.Parse(buffer);
            auto t1 = std::chrono::steady_clock::now();
            if (!ok) {
                std::fprintf(stderr, "XmlDocument: not well-formed\n");
                return 1;
            }
            elements = doc.EntryCount() - 1;
            ours.push_back(mb / seconds(t0, t1));
        }
        {
            auto t0 = std::chrono::steady_clock::now();
            kept.Parse(buffer);
            auto t1 = std::chrono::steady_clock::now();
            reused.push_back(mb / seconds(t0, t1));
        }
        {
            auto t0 = std::chrono::steady_clock::now();
            pugi::xml_document doc;
            pugi::xml_parse_result result = doc.load_buffer(buffer.data(), buffer.size());
            auto t1 = std::chrono::steady_clock::now();
            if (!result) {
                std::fprintf(stderr, "pugixml: %s\n", result.description());
                return 1;
            }
            theirs.push_back(mb / seconds(t0, t1));
            if (r == 0) {
                struct Counter : pugi::xml_tree_walker {
                    std::size_t n = 0;
                    bool for_each(pugi::xml_node& node) override {
                        n += node.type() == pugi::node_element;
                        return true;
                    }
                } counter;
                doc.traverse(counter);
                pugiElements = counter.n;
            }
        }
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    auto best = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };
    std::printf("document: %.1f MB, %u elements (pugixml counts %zu), %d repetitions each\n", mb, elements,
                pugiElements, reps);
    std::printf("%-22s %10s %10s\n", "", "median", "best");
    std::printf("%-22s %7.0f MB/s %7.0f MB/s\n", "XmlDocument::Parse", median(ours), best(ours));
    std::printf("%-22s %7.0f MB/s %7.0f MB/s\n", "  (same document)", median(reused), best(reused));
    std::printf("%-22s %7.0f MB/s %7.0f MB/s\n", "pugixml load_buffer", median(theirs), best(theirs));
    std::printf("ratio (ours / pugixml) %9.2f %10.2f\n", median(ours) / median(theirs), best(ours) / best(theirs));
    return 0;
}
