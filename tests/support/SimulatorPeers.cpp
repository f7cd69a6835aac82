#include "SimulatorPeers.h"

#include "TestSupport.h"

#include <string>

namespace orva::test {

::testing::AssertionResult StartSimulator(std::unique_ptr<sim::GatewaySimulator>& simulator, int subnetN,
                                          sim::Options options) {
    options.address = gatewayAddress(subnetN);
    simulator = std::make_unique<sim::GatewaySimulator>(std::move(options));
    const Result<void> startup = simulator->start();
    if (!startup)
        return ::testing::AssertionFailure() << "simulator did not start: " << startup.error();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult StartServices(std::unique_ptr<sim::ServiceEndpoints>& service, sim::Options options) {
    options.udp = false;
    options.http = "127.0.0.1:0";
    service = std::make_unique<sim::ServiceEndpoints>(std::move(options));
    const Result<void> startup = service->start();
    if (!startup)
        return ::testing::AssertionFailure() << "service endpoints did not start: " << startup.error();
    return ::testing::AssertionSuccess();
}

} // namespace orva::test
