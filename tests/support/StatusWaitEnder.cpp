#include "StatusWaitEnder.h"

#include "UdpTestClient.h"
#include "core/protocol/Base64.h"

#include <chrono>
#include <cstdint>
#include <exception>

namespace orva::test {

StatusWaitEnder::StatusWaitEnder(std::function<std::vector<std::string>()> sources)
    : thread_([sources = std::move(sources)](std::stop_token stop) {
          UdpTestClient client;
          const std::string payload = Base64Encode("UPGRADE_FAIL");
          while (!stop.stop_requested()) {
              for (const std::string& source : sources()) {
                  const auto colon = source.rfind(':');
                  // The checking socket is the tool's own, on loopback; nothing else is ever sent to.
                  if (colon == std::string::npos || !source.starts_with("127."))
                      continue;
                  try {
                      client.sendRaw(source.substr(0, colon),
                                     static_cast<uint16_t>(std::stoi(source.substr(colon + 1))), payload);
                  } catch (const std::exception&) {
                      // a socket already gone: the next round sends to whoever still waits
                  }
              }
              std::this_thread::sleep_for(std::chrono::milliseconds(200));
          }
      }) {}

} // namespace orva::test
