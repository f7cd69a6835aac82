#include "core/protocol/ListenReply.h"

#include <mutex>

namespace orva {
namespace {

std::mutex& replyMutex() {
    static std::mutex m;
    return m;
}
std::string& replyText() {
    static std::string text;
    return text;
}

} // namespace

std::string LastListenReply() {
    std::lock_guard lock(replyMutex());
    return replyText();
}

void SetLastListenReply(const std::string& reply) {
    std::lock_guard lock(replyMutex());
    replyText() = reply;
}

} // namespace orva
