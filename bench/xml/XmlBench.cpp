// Parses a 20 MB document of report-like elements with XmlDocument::Parse and with pugixml
// (load_buffer, default options) on the same buffer, several times each, and prints both rates.
// Then parses 4 MiB hostile documents (end tags that match nothing, the deepest nesting allowed and
// beyond it, a comment full of ">") with XmlDocument::Parse and prints their rates beside the normal document's.
//
//   bench_xml [megabytes] [repetitions]
#include "core/web/XmlDocument.h"

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

std::string repeat(const std::string& unit, std::size_t bytes) {
    std::string out;
    out.reserve(bytes + unit.size());
    while (out.size() + unit.size() <= bytes)
        out += unit;
    return out;
}

// Documents a service (or an attacker posing as one) could send to make a parser slow: every one
// is malformed, and every one is 4 MiB.
struct Hostile {
    const char* name;
    std::string text;
};

std::vector<Hostile> hostileDocuments() {
    constexpr std::size_t kSize = 4 * 1024 * 1024;
    const std::size_t depth = orva::XmlDocument::kMaxDepth;
    std::vector<Hostile> out;
    std::string text = repeat("<a>", kSize / 2);
    text += repeat("</b>", kSize - text.size());
    out.push_back({"<a>*N </b>*M", std::move(text)});
    text = repeat("<a>", depth * 3);
    text += repeat("</b>", kSize - text.size());
    out.push_back({"<a>*256 </b>*M", std::move(text)});
    text.clear();
    for (std::size_t i = 0; i < depth; ++i)
        text += "<n" + std::to_string(i) + ">";
    for (std::size_t k = 0; text.size() < kSize - 16; ++k)
        text += "</n" + std::to_string(k % depth) + "x>";
    out.push_back({"256 names, near misses", std::move(text)});
    const std::string name(1000, 'a');
    text = repeat("<" + name + "b>", depth * (name.size() + 3));
    text += repeat("</" + name + ">", kSize - text.size());
    out.push_back({"long names, near misses", std::move(text)});
    out.push_back({"<d>*N (too deep)", repeat("<d>", kSize)});
    out.push_back({"comment full of \">\"", "<a><!--" + repeat(">", kSize - 7)});
    return out;
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

    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    auto best = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };

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

    std::printf("document: %.1f MB, %u elements (pugixml counts %zu), %d repetitions each\n", mb, elements,
                pugiElements, reps);
    std::printf("%-22s %10s %10s\n", "", "median", "best");
    std::printf("%-22s %7.0f MB/s %7.0f MB/s\n", "XmlDocument::Parse", median(ours), best(ours));
    std::printf("%-22s %7.0f MB/s %7.0f MB/s\n", "  (same document)", median(reused), best(reused));
    std::printf("%-22s %7.0f MB/s %7.0f MB/s\n", "pugixml load_buffer", median(theirs), best(theirs));
    std::printf("ratio (ours / pugixml) %9.2f %10.2f\n", median(ours) / median(theirs), best(ours) / best(theirs));

    std::printf("\nhostile documents, XmlDocument::Parse, %d repetitions each\n", reps);
    std::printf("%-24s %8s %10s %10s %8s\n", "", "MB", "median", "best", "/normal");
    for (const Hostile& h : hostileDocuments()) {
        const double hmb = static_cast<double>(h.text.size()) / 1e6;
        std::vector<double> rates;
        for (int r = 0; r < reps; ++r) {
            auto t0 = std::chrono::steady_clock::now();
            orva::XmlDocument doc;
            bool ok = doc.Parse(h.text);
            auto t1 = std::chrono::steady_clock::now();
            if (ok) {
                std::fprintf(stderr, "XmlDocument: hostile document \"%s\" taken as well-formed\n", h.name);
                return 1;
            }
            rates.push_back(hmb / seconds(t0, t1));
        }
        std::printf("%-24s %8.1f %5.0f MB/s %5.0f MB/s %8.2f\n", h.name, hmb, median(rates), best(rates),
                    median(rates) / median(ours));
    }
    return 0;
}
