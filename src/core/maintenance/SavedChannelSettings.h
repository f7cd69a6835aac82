#pragma once
// Keeps the command channel's address, port and reply time-out and puts them back when it goes, so a
// maintenance exchange that needs its own settings leaves the channel as it found it. The listen time
// is not kept: whoever listens next sets it.
#include <string>

namespace orva {

class SavedChannelSettings {
public:
    SavedChannelSettings();
    ~SavedChannelSettings();
    SavedChannelSettings(const SavedChannelSettings&) = delete;
    SavedChannelSettings& operator=(const SavedChannelSettings&) = delete;

private:
    std::string address_;
    int port_;
    int replyTimeout_;
};

} // namespace orva
