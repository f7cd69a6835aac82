#pragma once
// One reply line split into named fields: "STATUS NAME=VALUE NAME=VALUE ...".
#include <map>
#include <string>

namespace orva {

class ReplyFields {
public:
    // Splits text on runs of any of the separator characters. A token with "=" is a field (name before
    // the first "=", value after it, both trimmed of space, tab, LF and CR; an empty name is ignored).
    // The first token, when it has no "=", is kept untrimmed under "STATUS"; later tokens without "="
    // are ignored. A later field replaces an earlier one of the same (case-sensitive) name.
    // After that split, control characters left in names, values and the status word are replaced
    // (ReplaceControlCharacters), so nothing a gateway sends can steer a terminal or forge a log line.
    // Replaces whatever an earlier parse left. False only for an empty separator set.
    bool ParseReplyFields(const std::string& text, const std::string& separators);
    // True and the value when the name is present; false with value untouched otherwise.
    bool Field(const std::string& name, std::string& value) const;

    const std::map<std::string, std::string>& Fields() const { return fields_; }

private:
    std::map<std::string, std::string> fields_;
};

} // namespace orva
