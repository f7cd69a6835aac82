#pragma once
// How a broadcast exchange hands each gateway's reply to its page: the reply text is stored in the
// process-wide LastListenReply just before the page's callback runs.
#include <string>

namespace orva {

inline constexpr unsigned WM_USER = 0x0400;
// The notification that LastListenReply holds a new reply (no parameters).
inline constexpr unsigned WM_LISTEN_REPLY = WM_USER + 3200;

std::string LastListenReply();
void SetLastListenReply(const std::string& reply);

} // namespace orva
