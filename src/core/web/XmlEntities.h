#pragma once
// Character references and escaping for XmlDocument texts.
#include "core/web/Utf8.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orva {

// Replaces character references in an element text: "&#65;", "&#x41;" (also "&#X41;"), and the
// HTML 4.01 entity names plus "&apos;". A name HTML defines in two letter cases ("Eacute"/"eacute")
// must be written exactly; a name defined in one case only ("amp", "nbsp") matches in any case.
// Anything that is not a reference giving a character keeps its "&" and stays as it was.
std::string UnescapeText(std::string_view text);

// Element value escaping: "<", "&", ">" become "&lt;", "&amp;", "&gt;"; everything else stays.
// With keepReferences, an "&" that already starts a reference ("&name;", "&#...;") is kept.
std::string EscapeElementValue(std::string_view value, bool keepReferences = false);

// Attribute value escaping: as element values, plus the double quote ("&quot;") and "'" ("&apos;").
std::string EscapeAttributeValue(std::string_view value);

namespace xml_entities {
struct EntityRow {
    const char* name;
    std::uint32_t codePoint;
};
extern const EntityRow kExactNames[];
extern const std::size_t kExactNameCount;
extern const EntityRow kFoldedNames[];
extern const std::size_t kFoldedNameCount;

// The code point of a named reference (without "&" and ";"), or 0 when the name is unknown.
std::uint32_t LookupEntity(std::string_view name);
} // namespace xml_entities

} // namespace orva
