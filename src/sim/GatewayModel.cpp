#include "sim/GatewayModel.h"

#include "core/protocol/Base64.h"
#include "core/protocol/CommandTexts.h"

#include <algorithm>
#include <map>
#include <optional>

namespace orva::sim {
namespace {

constexpr const char* kHardwareSucc = "HG_HARDWARE_DIAG_SUCC";
constexpr const char* kSoftwareSucc = "HG_SOFTWARE_DIAG_SUCC";
constexpr const char* kUnrecognized = "UNRECOGNIZE_REQUEST";

ReplyLine line(std::string status, std::vector<std::pair<std::string, std::string>> fields = {}) {
    return ReplyLine{std::move(status), std::move(fields)};
}

// The arguments a gateway accepts with each command it answers; a command without an argument is
// known by its fixed text alone. Anything else (a missing blank, a port number out of range) is
// refused the way a gateway refuses it.
struct Accepted {
    Command id;
    std::vector<int> numbers = {};
    std::vector<std::string> methods = {};
};

const std::vector<Accepted>& acceptedCommands() {
    static const std::vector<Accepted> accepted = {
        {Command::Connect},
        {Command::QuerySystemInfo},
        {Command::DiagLanPort, {1, 2, 3, 4}},
        {Command::DiagPotsStart},
        {Command::DiagPotsRingOn, {0, 1}},
        {Command::DiagPotsPlayDtmf, {0, 1}},
        {Command::DiagPotsCngTone, {0, 1}},
        {Command::DiagPotsCallLoop},
        {Command::DiagPotsStop},
        {Command::DiagUplink, {}, {"START", "STOP"}},
        {Command::DiagFlash},
        {Command::DiagLed, {}, {"ON", "OFF"}},
        {Command::DiagUsb},
        {Command::DiagWifi},
        {Command::DiagSoftwareVersion},
        {Command::DiagKeyProcess},
        {Command::DiagSystemResource},
        {Command::DiagSoftwareArea},
        {Command::DiagConfigIntegrity},
        {Command::DiagDiskIntegrity},
        {Command::RestorePreconfig},
        {Command::QueryUpgradeStatus},
    };
    return accepted;
}

// Every text a gateway answers, on the port it answers it, spelled by the tool's own command table.
std::optional<Command> knownCommand(uint16_t port, const std::string& text) {
    static const auto known = [] {
        std::map<std::pair<uint16_t, std::string>, Command> texts;
        for (const Accepted& a : acceptedCommands()) {
            const auto at = static_cast<uint16_t>(Info(a.id).gatewayPort);
            if (Info(a.id).argument == CommandArgument::None)
                texts.emplace(std::pair{at, CommandText(a.id)}, a.id);
            for (int n : a.numbers)
                texts.emplace(std::pair{at, CommandText(a.id, n)}, a.id);
            for (const std::string& m : a.methods)
                texts.emplace(std::pair{at, CommandText(a.id, std::string_view(m))}, a.id);
        }
        return texts;
    }();
    const auto it = known.find({port, text});
    if (it == known.end())
        return std::nullopt;
    return it->second;
}

ReplyLine hardware(const char* step, std::vector<std::pair<std::string, std::string>> fields = {}) {
    fields.insert(fields.begin(), {"STEP", step});
    return line(kHardwareSucc, std::move(fields));
}

ReplyLine software(const char* step, std::vector<std::pair<std::string, std::string>> fields) {
    fields.insert(fields.begin(), {"STEP", step});
    return line(kSoftwareSucc, std::move(fields));
}

// What gateway k answers to a command it knows; nullopt: never answered.
std::optional<ReplyLine> replyTo(Command id, const Options& o, int k, const UpgradeVerdict* upgrade) {
    switch (id) {
    case Command::Connect:
        return line("CONNECT_SUCC");
    case Command::QuerySystemInfo:
        return line(kSystemInfoMarker, {{"SWVERSION", "V1.0.3"},
                                        {"HDVERSION", "HW2.0"},
                                        {"PRODUCTCLASS", o.model},
                                        {"CPUCLASS", "BCM6838"},
                                        {"DEVTYPE", SerialNumber(o, k)}});
    case Command::DiagLanPort:
        return hardware("1", {{"FESTATUS", "OK"}});
    case Command::DiagPotsStart:
    case Command::DiagPotsRingOn:
    case Command::DiagPotsPlayDtmf:
    case Command::DiagPotsCngTone:
    case Command::DiagPotsCallLoop:
    case Command::DiagPotsStop:
        return hardware("2");
    case Command::DiagUplink:
        return hardware("3");
    case Command::DiagFlash:
        return hardware("4", {{"FLASHUSEAGE", "35"}});
    case Command::DiagLed:
        return hardware("5");
    case Command::DiagUsb:
        return hardware("6", {{"USBCHECK", "OK"}, {"USBUSAGE", "20"}});
    case Command::DiagWifi:
        return hardware("7", {{"WIFISTATUS", "OK"}});
    case Command::DiagSoftwareVersion:
        return software("1", {{"SOFTWAREVERSION", "V1.0.3"}});
    case Command::DiagKeyProcess:
        return software("3", {{"KEYPROCESSCHECK", "OK"}});
    case Command::DiagSystemResource:
        return software("4", {{"CPULOAD", "12"}, {"MEMLOAD", "40"}});
    case Command::DiagSoftwareArea:
        return software("5", {{"AREACHECK", "0"}});
    case Command::DiagConfigIntegrity:
        return software("6", {{"INTEGRITYCHECK", "OK"}});
    case Command::DiagDiskIntegrity:
        return software("7", {{"DISKCHECK", "OK"}});
    case Command::RestorePreconfig:
        return line("HG_REVOCERY_PRECONFIG_SUCC", {{"SN", SerialNumber(o, k)}});
    case Command::QueryUpgradeStatus: {
        if (!upgrade)
            return line("UPGRADE_SUCCESS", {{"SN", SerialNumber(o, k)}, {"BUILD_DATE", o.buildDate}});
        ReplyLine judged = line(upgrade->status, {{"SN", SerialNumber(o, k)}});
        if (!upgrade->buildDate.empty())
            judged.set("BUILD_DATE", upgrade->buildDate);
        return judged;
    }
    case Command::CancelUpgrade:
        break;
    }
    return std::nullopt;
}

// The answer of gateway k before overrides; nullopt: this command is never answered. The image port
// never answers; the others refuse what they do not know.
std::optional<ReplyLine> defaultReply(uint16_t port, const std::string& c, const Options& o, int k,
                                      const UpgradeVerdict* upgrade) {
    if (port != kIdentityPort && port != kHardwarePort && port != kUpgradeQueryPort)
        return std::nullopt;
    const std::optional<Command> known = knownCommand(port, c);
    if (!known)
        return line(kUnrecognized);
    return replyTo(*known, o, k, upgrade);
}

// A prefix names whole words: "...METHOD=START" must not also catch "...METHOD=STARTCALLLOOP". A prefix
// that ends in a blank or '=' ("...FENUM=") deliberately covers every value that follows.
bool prefixMatches(const std::string& command, const std::string& prefix) {
    if (!command.starts_with(prefix))
        return false;
    if (command.size() == prefix.size() || prefix.empty())
        return true;
    char last = prefix.back();
    return last == ' ' || last == '=' || command[prefix.size()] == ' ';
}

// Every gateway on the segment answers a restore and the upgrade status query, and the identity query
// when it was asked of the whole segment.
bool answeredByEveryGateway(uint16_t port, const std::string& c, bool broadcast) {
    const std::optional<Command> known = knownCommand(port, c);
    return known == Command::RestorePreconfig || known == Command::QueryUpgradeStatus ||
           (broadcast && known == Command::QuerySystemInfo);
}

} // namespace

void ReplyLine::set(const std::string& name, const std::string& value) {
    for (auto& [n, v] : fields) {
        if (n == name) {
            v = value;
            return;
        }
    }
    fields.emplace_back(name, value);
}

void ReplyLine::drop(const std::string& name) {
    std::erase_if(fields, [&](const auto& f) { return f.first == name; });
}

std::string ReplyLine::text() const {
    std::string out = status;
    for (const auto& [n, v] : fields) {
        if (!out.empty())
            out += ' ';
        out += n + "=" + v;
    }
    return out;
}

std::string SerialNumber(const Options& options, int k) {
    return k <= 1 ? options.sn : options.sn + "-" + std::to_string(k);
}

std::vector<Answer> AnswerCommand(uint16_t port, const std::string& command, const Options& options,
                                  const std::vector<Override>& overrides, const UpgradeVerdict* upgrade,
                                  bool broadcast) {
    std::vector<const Override*> matching;
    for (const auto& o : overrides) {
        if (prefixMatches(command, o.prefix))
            matching.push_back(&o);
    }
    std::stable_sort(matching.begin(), matching.end(),
                     [](const Override* a, const Override* b) { return a->prefix.size() < b->prefix.size(); });

    const int count = answeredByEveryGateway(port, command, broadcast) ? std::max(1, options.gateways) : 1;
    std::vector<Answer> answers;
    for (int k = 1; k <= count; ++k) {
        auto reply = defaultReply(port, command, options, k, upgrade);
        if (!reply)
            continue;
        bool silent = false;
        Answer answer;
        answer.gateway = k;
        std::optional<std::string> raw, payload;
        for (const Override* o : matching) {
            if (o->gateway != 0 && o->gateway != k)
                continue;
            silent = silent || o->noReply;
            if (o->delayMs)
                answer.delayMs = *o->delayMs;
            if (o->status)
                reply->status = *o->status;
            for (const auto& [n, v] : o->fields)
                reply->set(n, v);
            for (const auto& n : o->drop)
                reply->drop(n);
            if (o->raw)
                raw = o->raw;
            if (o->payload)
                payload = o->payload;
        }
        if (silent)
            continue;
        answer.payload = payload ? *payload : Base64Encode(raw ? *raw : reply->text());
        answers.push_back(std::move(answer));
    }
    return answers;
}

} // namespace orva::sim
