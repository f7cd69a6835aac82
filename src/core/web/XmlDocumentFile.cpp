// Files: decoding on load (byte-order mark, declared encoding, UTF-8 detection) and encoding on save.
#include "core/web/XmlDocument.h"

#include "core/web/XmlEncoding.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace orva {

namespace enc = xml_encoding;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f)
            std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads the whole file; false with errno set on a read error.
bool readAll(std::FILE* f, std::string& out) {
    out.clear();
    if (std::fseek(f, 0, SEEK_END) == 0) {
        long size = std::ftell(f);
        if (size > 0)
            out.reserve(static_cast<std::size_t>(size));
        std::rewind(f);
    }
    char chunk[65536];
    for (;;) {
        std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        out.append(chunk, n);
        if (n < sizeof chunk) {
            if (std::ferror(f))
                return false;
            return true;
        }
    }
}

std::size_t removeByte(std::string& s, char value) {
    std::size_t before = s.size();
    std::erase(s, value);
    return before - s.size();
}

// Removes NUL code units from UTF-16 bytes.
std::size_t removeNulUnits(std::string& s) {
    std::size_t w = 0;
    std::size_t removed = 0;
    for (std::size_t r = 0; r + 2 <= s.size(); r += 2) {
        if (s[r] == 0 && s[r + 1] == 0) {
            ++removed;
            continue;
        }
        s[w++] = s[r];
        s[w++] = s[r + 1];
    }
    s.resize(w);
    return removed;
}

bool isGenericUtf16Name(const std::string& name) {
    std::string lower = name;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return lower == "utf-16" || lower == "unicode" || lower == "ucs-2";
}

} // namespace

void XmlDocument::fileError(int error) {
    std::string msg = std::strerror(error);
    std::size_t lineBreak = msg.find_first_of("\r\n");
    if (lineBreak != std::string::npos)
        msg.resize(lineBreak);
    addRecord("file_error", {{"msg", msg}, {"n", std::to_string(error)}});
}

bool XmlDocument::LoadFile(const std::string& path) {
    resultLog_.clear();
    resultLog16_ = 0;
    docFlags_ = 0;
    auto fail = [&](int error) {
        fileError(error);
        text_.clear();
        parseText();
        return false;
    };

    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return fail(errno);
    std::string bytes;
    if (!readAll(file.get(), bytes))
        return fail(errno);
    if (std::fclose(file.release()) != 0)
        return fail(errno);
    addRecord("read", {{"bytes", std::to_string(bytes.size())}});

    // A byte-order mark decides; then a declaration; then a leading "<" means UTF-8.
    enc::Encoding encoding;
    bool decided = false;
    std::size_t skip = 0;
    const auto byte = [&](std::size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : -1; };
    if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        encoding = enc::Utf8();
        docFlags_ |= DocUtf8Preamble;
        skip = 3;
    } else if (byte(0) == 0xFF && byte(1) == 0xFE) {
        encoding = enc::FromName("UTF-16LE");
        docFlags_ |= DocUtf16LE;
        skip = 2;
    } else if (byte(0) == 0xFE && byte(1) == 0xFF) {
        encoding = enc::FromName("UTF-16BE");
        docFlags_ |= DocUtf16BE;
        skip = 2;
    }
    if (skip) {
        decided = true;
        addRecord("bom", {{"encoding", encoding.label}});
        bytes.erase(0, skip);
    } else if (!bytes.empty()) {
        // The declaration is looked for in the first bytes; NULs are passed over so that a UTF-16 or
        // UTF-32 text without mark still shows it.
        std::string head = bytes.substr(0, 1024);
        removeByte(head, '\0');
        const std::string declared = enc::DeclaredEncoding(head);
        if (!declared.empty()) {
            encoding = enc::FromName(declared);
            decided = true;
            if ((encoding.kind == enc::Kind::Utf16LE || encoding.kind == enc::Kind::Utf16BE) && bytes.size() >= 2) {
                // No mark: the NUL half of the first unit tells the byte order.
                if (bytes[0] == 0 && bytes[1] != 0)
                    encoding = enc::FromName("UTF-16BE");
                else if (bytes[0] != 0 && bytes[1] == 0)
                    encoding = enc::FromName("UTF-16LE");
            }
        } else if (bytes[0] == '<') {
            encoding = enc::Utf8();
            decided = true;
        }
    }

    std::size_t lost = 0;
    std::string text;
    if (encoding.kind == enc::Kind::Utf16LE || encoding.kind == enc::Kind::Utf16BE) {
        if (bytes.size() % 2 != 0) {
            addRecord("truncation_error", {{"bytes", "1"}});
            bytes.pop_back();
        }
        const bool bigEndian = encoding.kind == enc::Kind::Utf16BE;
        if (bigEndian)
            addRecord("endian_swap");
        if (std::size_t nulls = removeNulUnits(bytes))
            addRecord("nulls_removed", {{"count", std::to_string(nulls)}});
        text = enc::DecodeUtf16(bytes, bigEndian, lost);
    } else if (encoding.kind == enc::Kind::Utf32LE || encoding.kind == enc::Kind::Utf32BE) {
        if (bytes.size() % 4 != 0) {
            addRecord("truncation_error", {{"bytes", std::to_string(bytes.size() % 4)}});
            bytes.resize(bytes.size() - bytes.size() % 4);
        }
        text = enc::DecodeUtf32(bytes, encoding.kind == enc::Kind::Utf32BE, lost);
    } else {
        if (std::size_t nulls = removeByte(bytes, '\0'))
            addRecord("nulls_removed", {{"count", std::to_string(nulls)}});
        if (!decided) {
            encoding = enc::IsValidUtf8(bytes) ? enc::Utf8() : enc::Ansi();
            addRecord("utf8_detection", {{"encoding", encoding.label}});
        }
        if (encoding.kind == enc::Kind::Utf8) {
            text = enc::SanitizeUtf8(bytes, lost);
        } else if (!enc::ConvertFromCodePage(encoding.iconvName, bytes, text, lost)) {
            encoding = enc::Ansi();
            lost = 0;
            enc::ConvertFromCodePage(encoding.iconvName, bytes, text, lost);
        }
    }
    addRecord("converted_to", {{"from", encoding.label}, {"length", std::to_string(enc::Utf16Length(text))}});
    if (lost)
        addRecord("conversion_loss", {{"count", std::to_string(lost)}});

    text_ = std::move(text);
    parseText();
    return IsWellFormed();
}

std::string XmlDocument::encodeForSave() {
    resultLog_.clear();
    resultLog16_ = 0;

    // The declared encoding; without one, the byte order a loaded UTF-16 file came in, else UTF-8.
    const std::string declared = enc::DeclaredEncoding(text_);
    enc::Encoding encoding;
    if (declared.empty()) {
        if (docFlags_ & DocUtf16LE)
            encoding = enc::FromName("UTF-16LE");
        else if (docFlags_ & DocUtf16BE)
            encoding = enc::FromName("UTF-16BE");
        else
            encoding = enc::Utf8();
    } else {
        encoding = enc::FromName(declared);
        if (encoding.kind == enc::Kind::Utf16LE && (docFlags_ & DocUtf16BE) && isGenericUtf16Name(declared))
            encoding = enc::FromName("UTF-16BE");
    }

    std::size_t lost = 0;
    std::string bytes;
    std::string_view bom;
    switch (encoding.kind) {
    case enc::Kind::Utf8:
        if (enc::IsValidUtf8(text_))
            bytes = text_;
        else
            bytes = enc::SanitizeUtf8(text_, lost);
        if (docFlags_ & DocUtf8Preamble)
            bom = "\xEF\xBB\xBF";
        break;
    case enc::Kind::Utf16LE:
        bytes = enc::EncodeUtf16(text_, false, lost);
        if (docFlags_ & DocUtf16LE)
            bom = "\xFF\xFE";
        break;
    case enc::Kind::Utf16BE:
        bytes = enc::EncodeUtf16(text_, true, lost);
        if (docFlags_ & DocUtf16BE)
            bom = "\xFE\xFF";
        break;
    case enc::Kind::Utf32LE:
        bytes = enc::EncodeUtf32(text_, false, lost);
        break;
    case enc::Kind::Utf32BE:
        bytes = enc::EncodeUtf32(text_, true, lost);
        break;
    case enc::Kind::CodePage:
        if (!enc::ConvertToCodePage(encoding.iconvName, text_, bytes, lost)) {
            encoding = enc::Ansi();
            lost = 0;
            enc::ConvertToCodePage(encoding.iconvName, text_, bytes, lost);
        }
        break;
    }
    if (encoding.kind != enc::Kind::Utf8)
        addRecord("converted_from", {{"encoding", encoding.label}, {"length", std::to_string(bytes.size())}});
    if (lost)
        addRecord("conversion_loss", {{"count", std::to_string(lost)}});
    return std::string(bom) + bytes;
}

bool XmlDocument::SaveFile(const std::string& path) {
    const std::string bytes = encodeForSave();
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        fileError(errno);
        return false;
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        fileError(errno);
        return false;
    }
    if (std::fclose(file.release()) != 0) {
        fileError(errno);
        return false;
    }
    addRecord("write", {{"bytes", std::to_string(bytes.size())}});
    return true;
}

bool XmlDocument::SaveFile(int fd) {
    const std::string bytes = encodeForSave();
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            fileError(n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    addRecord("write", {{"bytes", std::to_string(bytes.size())}});
    return true;
}

} // namespace orva
