// One reply line as a gateway may send it, through the field splitter and into the reply map and the
// maintenance result lines, under each separator set the tool and its pages use.
#include "FuzzSupport.h"

#include "core/maintenance/ResultLines.h"
#include "core/protocol/CommandTexts.h"
#include "core/protocol/DeviceReply.h"
#include "core/protocol/ReplyFields.h"

#include <array>

namespace {

constexpr std::array<const char*, 6> kSeparatorSets = {" ", " \t", "&", ",;", " \r\n", "= "};
constexpr std::string_view kBlanks = " \t\n\r";

bool Trimmed(const std::string& s) {
    return s.empty() ||
           (kBlanks.find(s.front()) == std::string_view::npos && kBlanks.find(s.back()) == std::string_view::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string separators = kSeparatorSets[data[0] % kSeparatorSets.size()];
    const std::string line(orva::fuzz::AsText(data + 1, size - 1));

    orva::ReplyFields fields;
    FUZZ_CHECK(!fields.ParseReplyFields(line, ""));
    FUZZ_CHECK(fields.ParseReplyFields(line, separators));
    const auto parsed = fields.Fields();
    for (const auto& [name, value] : parsed) {
        FUZZ_CHECK(!name.empty());
        FUZZ_CHECK(name.find_first_of(separators) == std::string::npos);
        FUZZ_CHECK(value.find_first_of(separators) == std::string::npos);
        if (name == "STATUS" && value.find('=') == std::string::npos)
            continue; // the status word is kept as it came
        FUZZ_CHECK(name.find('=') == std::string::npos);
        FUZZ_CHECK(Trimmed(name));
        FUZZ_CHECK(Trimmed(value));
        std::string read;
        FUZZ_CHECK(fields.Field(name, read) && read == value);
    }
    std::string untouched = "untouched";
    if (!fields.Field("\x01missing", untouched))
        FUZZ_CHECK(untouched == "untouched");

    // A second parse replaces the first one's fields rather than adding to them.
    FUZZ_CHECK(fields.ParseReplyFields(line, separators));
    FUZZ_CHECK(fields.Fields() == parsed);

    // What each command operation would put, and the first value kept.
    for (const auto& info : orva::CommandTable()) {
        orva::DeviceReply reply;
        for (const auto& name : info.replyFields) {
            std::string value;
            if (!fields.Field(name, value))
                break;
            reply.Put(name, value);
            reply.Put(name, "later value");
            FUZZ_CHECK(reply.Get(name) == value);
        }
    }

    const std::time_t when = 1700000000;
    const auto restore = orva::RestoreResultLine(parsed, when);
    FUZZ_CHECK(restore.has_value() == (parsed.count("STATUS") != 0));
    const auto upgrade = orva::UpgradeResultLine(parsed, when);
    FUZZ_CHECK(upgrade.has_value() == (parsed.count("STATUS") != 0 && parsed.count("SN") != 0));
    return 0;
}
