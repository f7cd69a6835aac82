#include "core/protocol/ReplyFields.h"

#include "core/protocol/ReplyText.h"

#include <string_view>

namespace orva {
namespace {

std::string_view Trim(std::string_view s) {
    constexpr std::string_view blanks = " \t\n\r";
    const size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    const size_t last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

} // namespace

bool ReplyFields::ParseReplyFields(const std::string& text, const std::string& separators) {
    if (separators.empty())
        return false;
    fields_.clear();
    bool first = true;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t begin = text.find_first_not_of(separators, pos);
        if (begin == std::string::npos)
            break;
        size_t end = text.find_first_of(separators, begin);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view token(text.data() + begin, end - begin);
        pos = end;

        const size_t eq = token.find('=');
        if (eq == std::string_view::npos) {
            // Only the first token can be the status word; it is kept as it came, untrimmed.
            if (first)
                fields_["STATUS"] = ReplaceControlCharacters(token);
        } else {
            // Control characters are replaced only after splitting and trimming: the separators and the
            // blanks trimmed away decide the parse exactly as before, and only what is left is shown.
            const std::string_view name = Trim(token.substr(0, eq));
            if (!name.empty())
                fields_[ReplaceControlCharacters(name)] = ReplaceControlCharacters(Trim(token.substr(eq + 1)));
        }
        first = false;
    }
    return true;
}

bool ReplyFields::Field(const std::string& name, std::string& value) const {
    const auto it = fields_.find(name);
    if (it == fields_.end())
        return false;
    value = it->second;
    return true;
}

} // namespace orva
