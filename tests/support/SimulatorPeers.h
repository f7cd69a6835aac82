#pragma once
// The in-process gateway simulator as the suites start it: its gateways on a suite's own subnet, or
// its web endpoints alone on 127.0.0.1. A start that fails says why, for the caller's ASSERT_TRUE.
#include "sim/GatewaySimulator.h"
#include "sim/Options.h"
#include "sim/ServiceEndpoints.h"

#include <gtest/gtest.h>

#include <memory>

namespace orva::test {

// Gateways answering at 127.0.N.1 (`options.address` is set here).
::testing::AssertionResult StartSimulator(std::unique_ptr<sim::GatewaySimulator>& simulator, int subnetN,
                                          sim::Options options);

// The web endpoints alone (login, report, download) on 127.0.0.1 at a free port; no UDP.
::testing::AssertionResult StartServices(std::unique_ptr<sim::ServiceEndpoints>& service, sim::Options options);

} // namespace orva::test
