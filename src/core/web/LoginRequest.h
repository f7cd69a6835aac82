#pragma once
// The documents exchanged with the login service.
#include <string>

namespace orva {

// The version the request always announces; the service decides on updates from it, not from ours.
inline constexpr const char* kLoginRequestVersion = "11-2.2-33333333";

// <SoftWareLogin> with CurrentSoftWareVersion, UserName and UserPassWD, one element per line (CR LF),
// the user name and password escaped as element values.
std::string BuildLoginRequest(const std::string& userName, const std::string& password);

// What stands in for the service when the network is switched off (RunNet 0): every login succeeds.
// Its download host lies under ".invalid", so following the offer can never reach anyone.
std::string CannedLoginReply();

} // namespace orva
