#include "core/maintenance/SavedChannelSettings.h"

#include "core/protocol/CommandChannel.h"

namespace orva {

SavedChannelSettings::SavedChannelSettings()
    : address_(CommandChannel::Instance().Address()), port_(CommandChannel::Instance().Port()),
      replyTimeout_(CommandChannel::Instance().ReplyTimeout()) {}

SavedChannelSettings::~SavedChannelSettings() {
    auto& channel = CommandChannel::Instance();
    channel.SetReplyTimeout(replyTimeout_);
    channel.SetPort(port_);
    channel.SetAddress(address_);
}

} // namespace orva
