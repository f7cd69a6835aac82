#pragma once
// The hardware address of the PC the tool runs on, reported with every diagnosis.
#include <string>

namespace orva {

// The first network adapter that is not loopback and has a non-zero hardware address, as
// "%02X-%02X-%02X-%02X-%02X-%02X". False, with `out` unchanged, when there is none or the adapter list
// cannot be read. Keeps no state; callable from any thread.
bool HostMacAddress(std::string& out);

} // namespace orva
