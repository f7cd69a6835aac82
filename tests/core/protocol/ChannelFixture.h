#pragma once
// Base of the fixtures that talk over the channel: short time-outs, a recording notifier, and the
// channel pointed at a fake gateway on the fixture's own loopback subnet.
#include "FakeGateway.h"
#include "TestSupport.h"
#include "core/protocol/CommandChannel.h"

#include <gtest/gtest.h>

namespace orva::test {

class ChannelFixture : public ::testing::Test {
protected:
    explicit ChannelFixture(int subnetN) : subnet_(subnetN) {}

    void SetUp() override {
        channel().SetReplyTimeout(1);
        channel().SetListenTime(1);
        channel().SetAddress(gatewayAddress(subnet_));
    }

    static CommandChannel& channel() { return CommandChannel::Instance(); }
    // "127.0.N.<host>"
    std::string host(int h) const { return subnet(subnet_) + std::to_string(h); }
    std::string gateway() const { return gatewayAddress(subnet_); }
    std::string broadcast() const { return host(255); }

    // Points the channel at the gateway (its address and its port).
    void aimAt(const FakeGateway& g, const std::string& address) {
        channel().SetAddress(address);
        channel().SetPort(g.port());
    }

    RecordingNotifier notifier_;
    int subnet_;
};

// Open descriptors of this process, to see that an exchange leaves none behind.
int OpenDescriptorCount();

} // namespace orva::test
