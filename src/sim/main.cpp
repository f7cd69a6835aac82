// orva-gateway-sim: answers the gateway maintenance protocol on a loopback address until a signal.
#include "sim/GatewaySimulator.h"
#include "sim/LoopbackAddress.h"
#include "sim/Options.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv) {
    using namespace orva::sim;
    Options options;
    bool help = false;
    if (const orva::Result<void> parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), options, help);
        !parsed) {
        std::cerr << "orva-gateway-sim: " << parsed.error() << "\n";
        return 2;
    }
    if (help) {
        std::cout << UsageText();
        return 0;
    }
    if (options.showVersion) {
        std::cout << "orva-gateway-sim " << ORVA_VERSION << "\n"
                  << "program directory: none (the files named by --journal and --reports only)\n";
        return 0;
    }
    if (const orva::Result<void> allowed = CheckLoopbackOnly(options.address, options.http, options.https); !allowed) {
        std::cerr << "orva-gateway-sim: " << allowed.error() << "\n";
        return 2;
    }

    // Block the stop signals before any thread starts, so that only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    GatewaySimulator sim(options);
    if (const orva::Result<void> started = sim.start(); !started) {
        std::cerr << "orva-gateway-sim: " << started.error() << "\n";
        return 1;
    }
    std::cout << sim.listeningLine() << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    sim.stop();
    std::cerr << "orva-gateway-sim: stopped (signal " << received << ")\n";
    return 0;
}
