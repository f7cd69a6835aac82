#pragma once
// The upgrade status check keeps its socket open for a whole reply time-out (30 s) past its listen time
// when nothing more comes; real gateways answer once. While it lives, this sends each checking socket
// that `sources` names ("a.b.c.d:port", loopback only) a reply without "SN" every 200 ms, which the
// check ignores but which ends that last wait.
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace orva::test {

class StatusWaitEnder {
public:
    explicit StatusWaitEnder(std::function<std::vector<std::string>()> sources);

private:
    std::jthread thread_;
};

} // namespace orva::test
