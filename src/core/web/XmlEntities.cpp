#include "core/web/XmlEntities.h"

#include "core/web/Utf8.h"

#include <algorithm>
#include <cstring>

namespace orva {

namespace xml_entities {

namespace {
std::uint32_t findIn(const EntityRow* rows, std::size_t count, std::string_view name) {
    const EntityRow* end = rows + count;
    const EntityRow* it =
        std::lower_bound(rows, end, name, [](const EntityRow& row, std::string_view n) { return row.name < n; });
    if (it != end && std::string_view(it->name) == name)
        return it->codePoint;
    return 0;
}
} // namespace

std::uint32_t LookupEntity(std::string_view name) {
    if (name.empty() || name.size() > 9)
        return 0;
    if (std::uint32_t cp = findIn(kExactNames, kExactNameCount, name))
        return cp;
    char lower[9];
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
    return findIn(kFoldedNames, kFoldedNameCount, std::string_view(lower, name.size()));
}

} // namespace xml_entities

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The character a reference body (between "&" and ";") stands for, or 0 when it gives none.
// Surrogates and values above U+10FFFF give none: they have no UTF-8 form.
std::uint32_t referenceValue(std::string_view body) {
    if (body.empty())
        return 0;
    if (body[0] != '#')
        return xml_entities::LookupEntity(body);
    char lower[9];
    for (std::size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
    std::string_view num(lower + 1, body.size() - 1);
    std::uint32_t value = 0;
    if (!num.empty() && num[0] == 'x') {
        num.remove_prefix(1);
        if (num.empty())
            return 0;
        for (char c : num) {
            int d = hexValue(c);
            if (d < 0)
                return 0;
            value = value * 16 + static_cast<std::uint32_t>(d);
        }
    } else {
        if (num.empty())
            return 0;
        for (char c : num) {
            if (c < '0' || c > '9')
                return 0;
            value = value * 10 + static_cast<std::uint32_t>(c - '0');
        }
    }
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return value;
}

// True when text[amp..] is "&" + 1..9 ASCII characters of a reference name or number + ";".
bool startsReference(std::string_view text, std::size_t amp) {
    std::size_t i = amp + 1;
    std::size_t limit = std::min(text.size(), amp + 1 + 10);
    for (; i < limit; ++i) {
        char c = text[i];
        if (c == ';')
            return i > amp + 1;
        bool nameChar = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#' ||
                        c == '_' || c == ':' || c == '.' || c == '-';
        if (!nameChar)
            return false;
    }
    return false;
}

} // namespace

std::string UnescapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const char* amp = static_cast<const char*>(std::memchr(text.data() + i, '&', n - i));
        if (!amp) {
            out.append(text.data() + i, n - i);
            break;
        }
        std::size_t a = static_cast<std::size_t>(amp - text.data());
        out.append(text.data() + i, a - i);
        // Up to nine characters below code 128, then ";".
        std::size_t semi = std::string_view::npos;
        for (std::size_t j = a + 1; j < n && j <= a + 10; ++j) {
            unsigned char c = static_cast<unsigned char>(text[j]);
            if (c == ';') {
                semi = j;
                break;
            }
            if (c >= 128)
                break;
        }
        std::uint32_t cp = 0;
        if (semi != std::string_view::npos)
            cp = referenceValue(text.substr(a + 1, semi - a - 1));
        if (cp != 0) {
            AppendUtf8(out, cp);
            i = semi + 1;
        } else {
            out += '&';
            i = a + 1;
        }
    }
    return out;
}

std::string EscapeElementValue(std::string_view value, bool keepReferences) {
    std::string out;
    out.reserve(value.size() + 16);
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            if (keepReferences && startsReference(value, i))
                out += '&';
            else
                out += "&amp;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string EscapeAttributeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 16);
    for (char c : value) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace orva
