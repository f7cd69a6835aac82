#include "core/web/XmlEncoding.h"

#include "core/web/Utf8.h"
#include "core/web/XmlEntities.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>

namespace orva::xml_encoding {

namespace {

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return out;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct NameRow {
    const char* name;
    Kind kind;
    const char* iconvName;
};

// Declared names and what they select. Code page names follow the Windows code pages they stand for
// there (GB2312 as code page 936, i.e. GBK; Shift_JIS as 932), so files read as they always did.
const NameRow kNames[] = {
    {"utf-8", Kind::Utf8, ""},
    {"utf8", Kind::Utf8, ""},
    {"gb2312", Kind::CodePage, "GBK"},
    {"gbk", Kind::CodePage, "GBK"},
    {"cp936", Kind::CodePage, "GBK"},
    {"x-gbk", Kind::CodePage, "GBK"},
    {"windows-936", Kind::CodePage, "GBK"},
    {"gb18030", Kind::CodePage, "GB18030"},
    {"big5", Kind::CodePage, "CP950"},
    {"cp950", Kind::CodePage, "CP950"},
    {"iso-8859-1", Kind::CodePage, "ISO-8859-1"},
    {"latin1", Kind::CodePage, "ISO-8859-1"},
    {"windows-1252", Kind::CodePage, "CP1252"},
    {"cp1252", Kind::CodePage, "CP1252"},
    {"shift_jis", Kind::CodePage, "CP932"},
    {"sjis", Kind::CodePage, "CP932"},
    {"cp932", Kind::CodePage, "CP932"},
    {"us-ascii", Kind::CodePage, "ASCII"},
    {"ascii", Kind::CodePage, "ASCII"},
    {"utf-16", Kind::Utf16LE, ""},
    {"utf-16le", Kind::Utf16LE, ""},
    {"ucs-2", Kind::Utf16LE, ""},
    {"unicode", Kind::Utf16LE, ""},
    {"utf-16be", Kind::Utf16BE, ""},
    {"unicodefffe", Kind::Utf16BE, ""},
    {"utf-32", Kind::Utf32LE, ""},
    {"utf-32le", Kind::Utf32LE, ""},
    {"utf-32be", Kind::Utf32BE, ""},
};

const char* kindLabel(Kind k) {
    switch (k) {
    case Kind::Utf8:
        return "UTF-8";
    case Kind::Utf16LE:
        return "UTF-16LE";
    case Kind::Utf16BE:
        return "UTF-16BE";
    case Kind::Utf32LE:
        return "UTF-32LE";
    case Kind::Utf32BE:
        return "UTF-32BE";
    case Kind::CodePage:
        break;
    }
    return "";
}

Encoding make(Kind k, std::string iconvName = {}) {
    Encoding e;
    e.kind = k;
    e.label = k == Kind::CodePage ? iconvName : kindLabel(k);
    e.iconvName = std::move(iconvName);
    return e;
}

void put16(std::string& out, char16_t u, bool be) {
    if (be) {
        out += static_cast<char>(u >> 8);
        out += static_cast<char>(u & 0xFF);
    } else {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
}

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok())
            iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Runs iconv over `in`; an unconvertible sequence becomes "?" and skip(in, pos) input bytes.
template <class Skip> void runIconv(iconv_t cd, std::string_view in, std::string& out, std::size_t& lost, Skip skip) {
    out.clear();
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    std::size_t used = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + used;
        std::size_t dstLeft = out.size() - used;
        std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (r != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ (no such character) or EINVAL (cut short at the end).
        if (out.size() - used < 1)
            out.resize(out.size() * 2);
        out[used++] = '?';
        ++lost;
        std::size_t n = std::min(srcLeft, skip(static_cast<std::size_t>(src - in.data())));
        src += n;
        srcLeft -= n;
    }
    // Flush a stateful encoder's shift state.
    for (;;) {
        char* dst = out.data() + used;
        std::size_t dstLeft = out.size() - used;
        std::size_t r = iconv(cd, nullptr, nullptr, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (r != static_cast<std::size_t>(-1) || errno != E2BIG)
            break;
        out.resize(out.size() * 2);
    }
    out.resize(used);
}

} // namespace

Encoding Utf8() {
    return make(Kind::Utf8);
}
Encoding Ansi() {
    return make(Kind::CodePage, kAnsiCodePage);
}

Encoding FromName(std::string_view name) {
    if (name.substr(0, 6) == "UTF-32")
        return make(name == "UTF-32BE" ? Kind::Utf32BE : Kind::Utf32LE);
    if (name.empty() || name.size() >= 100)
        return Ansi();
    const std::string lower = lowerAscii(name);
    for (const NameRow& row : kNames)
        if (lower == row.name)
            return make(row.kind, row.iconvName);
    // Any other name iconv knows is taken as it stands.
    Iconv probe("UTF-8", lower.c_str());
    if (probe.ok())
        return make(Kind::CodePage, lower);
    return Ansi();
}

std::string DeclaredEncoding(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    if (text.substr(i, 5) == "<?xml" && i + 5 < text.size() && isSpace(text[i + 5])) {
        std::size_t end = text.find("?>", i);
        std::string_view decl = text.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
        std::size_t at = decl.find("encoding");
        if (at == std::string_view::npos)
            return {};
        std::size_t j = at + 8;
        while (j < decl.size() && isSpace(decl[j]))
            ++j;
        if (j >= decl.size() || decl[j] != '=')
            return {};
        ++j;
        while (j < decl.size() && isSpace(decl[j]))
            ++j;
        if (j >= decl.size() || (decl[j] != '"' && decl[j] != '\''))
            return {};
        const char q = decl[j];
        std::size_t close = decl.find(q, j + 1);
        if (close == std::string_view::npos)
            return {};
        return std::string(decl.substr(j + 1, close - j - 1));
    }
    // An HTML text: the charset of <meta http-equiv="Content-Type" content="text/html; charset=...">
    // within its head.
    const std::string lower = lowerAscii(text);
    std::size_t headEnd = lower.find("</head");
    if (headEnd == std::string::npos)
        headEnd = lower.size();
    for (std::size_t m = lower.find("<meta"); m < headEnd; m = lower.find("<meta", m + 5)) {
        std::size_t tagEnd = lower.find('>', m);
        if (tagEnd == std::string::npos)
            tagEnd = lower.size();
        std::string_view tag = std::string_view(lower).substr(m, tagEnd - m);
        std::size_t he = tag.find("http-equiv");
        if (he == std::string_view::npos)
            continue;
        std::size_t j = he + 10;
        while (j < tag.size() && (isSpace(tag[j]) || tag[j] == '=' || tag[j] == '"' || tag[j] == '\''))
            ++j;
        if (tag.substr(j, 12) != "content-type")
            continue;
        std::size_t cs = tag.find("charset");
        if (cs == std::string_view::npos)
            continue;
        j = cs + 7;
        while (j < tag.size() && isSpace(tag[j]))
            ++j;
        if (j >= tag.size() || tag[j] != '=')
            continue;
        ++j;
        while (j < tag.size() && isSpace(tag[j]))
            ++j;
        std::size_t k = j;
        while (k < tag.size() && !isSpace(tag[k]) && tag[k] != ';' && tag[k] != '"' && tag[k] != '\'')
            ++k;
        if (k > j)
            return std::string(text.substr(m + j, k - j));
    }
    return {};
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        // Plain ASCII eight bytes at a time.
        if (i + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, bytes.data() + i, 8);
            if ((w & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        char32_t cp;
        std::size_t len = DecodeUtf8(bytes, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::string SanitizeUtf8(std::string_view bytes, std::size_t& replaced) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp;
        std::size_t len = DecodeUtf8(bytes, i, cp);
        if (len == 0) {
            out += '?';
            ++replaced;
            ++i;
        } else {
            out.append(bytes.data() + i, len);
            i += len;
        }
    }
    return out;
}

std::string DecodeUtf16(std::string_view bytes, bool bigEndian, std::size_t& lost) {
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t k) -> char16_t {
        const unsigned char a = static_cast<unsigned char>(bytes[2 * k]);
        const unsigned char b = static_cast<unsigned char>(bytes[2 * k + 1]);
        return bigEndian ? static_cast<char16_t>((a << 8) | b) : static_cast<char16_t>((b << 8) | a);
    };
    for (std::size_t k = 0; k < units; ++k) {
        const char16_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            const char16_t v = unit(k + 1);
            if (v >= 0xDC00 && v <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (v - 0xDC00));
                ++k;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) {
            out += '?';
            ++lost;
            continue;
        }
        AppendUtf8(out, u);
    }
    return out;
}

std::string DecodeUtf32(std::string_view bytes, bool bigEndian, std::size_t& lost) {
    std::string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t k = 0; k + 4 <= bytes.size(); k += 4) {
        char32_t cp = 0;
        for (int j = 0; j < 4; ++j) {
            const unsigned char b = static_cast<unsigned char>(bytes[k + (bigEndian ? j : 3 - j)]);
            cp = (cp << 8) | b;
        }
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += '?';
            ++lost;
        } else {
            AppendUtf8(out, cp);
        }
    }
    return out;
}

std::string EncodeUtf16(std::string_view utf8, bool bigEndian, std::size_t& lost) {
    std::string out;
    out.reserve(utf8.size() * 2);
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp;
        std::size_t len = DecodeUtf8(utf8, i, cp);
        if (len == 0) {
            cp = '?';
            ++lost;
            len = 1;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put16(out, static_cast<char16_t>(0xD800 + (cp >> 10)), bigEndian);
            put16(out, static_cast<char16_t>(0xDC00 + (cp & 0x3FF)), bigEndian);
        } else {
            put16(out, static_cast<char16_t>(cp), bigEndian);
        }
    }
    return out;
}

std::string EncodeUtf32(std::string_view utf8, bool bigEndian, std::size_t& lost) {
    std::string out;
    out.reserve(utf8.size() * 4);
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp;
        std::size_t len = DecodeUtf8(utf8, i, cp);
        if (len == 0) {
            cp = '?';
            ++lost;
            len = 1;
        }
        i += len;
        for (int j = 0; j < 4; ++j) {
            const int shift = bigEndian ? 24 - 8 * j : 8 * j;
            out += static_cast<char>((cp >> shift) & 0xFF);
        }
    }
    return out;
}

bool ConvertFromCodePage(const std::string& codePage, std::string_view bytes, std::string& utf8, std::size_t& lost) {
    Iconv cd("UTF-8", codePage.c_str());
    if (!cd.ok())
        return false;
    runIconv(cd.get(), bytes, utf8, lost, [](std::size_t) { return std::size_t{1}; });
    return true;
}

bool ConvertToCodePage(const std::string& codePage, std::string_view utf8, std::string& bytes, std::size_t& lost) {
    Iconv cd(codePage.c_str(), "UTF-8");
    if (!cd.ok())
        return false;
    runIconv(cd.get(), utf8, bytes, lost, [utf8](std::size_t pos) {
        char32_t cp;
        std::size_t len = DecodeUtf8(utf8, pos, cp);
        return len ? len : std::size_t{1};
    });
    return true;
}

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (char c : utf8) {
        const unsigned char b = static_cast<unsigned char>(c);
        units += (b & 0xC0) != 0x80;
        units += b >= 0xF0;
    }
    return units;
}

} // namespace orva::xml_encoding
