#include "core/app/HostMacAddress.h"

#include "TestSupport.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

namespace orva {
namespace {

// Hardware addresses of the non-loopback adapters as the kernel lists them, in our upper-case dash form.
std::set<std::string> NonLoopbackAddresses() {
    std::set<std::string> out;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/net", ec)) {
        std::string type = test::readFile(entry.path() / "type");
        if (type.rfind("772", 0) == 0) // ARPHRD_LOOPBACK
            continue;
        std::string addr = test::readFile(entry.path() / "address");
        addr.erase(std::remove(addr.begin(), addr.end(), '\n'), addr.end());
        if (addr.size() < 17 || addr.substr(0, 17) == "00:00:00:00:00:00")
            continue;
        addr = addr.substr(0, 17);
        std::transform(addr.begin(), addr.end(), addr.begin(),
                       [](char c) { return c == ':' ? '-' : static_cast<char>(std::toupper(c)); });
        out.insert(addr);
    }
    return out;
}

TEST(HostMacAddress, FormatsARealAdapter) {
    const auto adapters = NonLoopbackAddresses();
    if (adapters.empty())
        GTEST_SKIP() << "no network adapter besides loopback";
    std::string mac = "unchanged";
    ASSERT_TRUE(HostMacAddress(mac));
    ASSERT_EQ(mac.size(), 17u) << mac;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const bool dash = i % 3 == 2;
        const char c = mac[i];
        EXPECT_TRUE(dash ? c == '-' : (std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'))) << mac;
    }
    EXPECT_NE(mac, "00-00-00-00-00-00");
    EXPECT_EQ(adapters.count(mac), 1u) << mac;
}

} // namespace
} // namespace orva
