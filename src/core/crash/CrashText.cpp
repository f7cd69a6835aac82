#include "core/crash/CrashText.h"

namespace orva::crash {

TextBuffer::TextBuffer(char* data, std::size_t capacity) : data_(data), capacity_(capacity) {
    data_[0] = '\0';
}

void TextBuffer::append(const char* text) {
    while (*text)
        appendChar(*text++);
}

void TextBuffer::append(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        appendChar(text[i]);
}

void TextBuffer::appendChar(char c) {
    if (size_ + 1 >= capacity_) {
        truncated_ = true;
        return;
    }
    data_[size_++] = c;
    data_[size_] = '\0';
}

void TextBuffer::appendUnsigned(std::uint64_t value, int minDigits) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && n < 24);
    while (n < minDigits && n < 24)
        digits[n++] = '0';
    while (n > 0)
        appendChar(digits[--n]);
}

void TextBuffer::clear() {
    size_ = 0;
    truncated_ = false;
    data_[0] = '\0';
}

char* UnsignedText(std::uint64_t value, char* out) {
    TextBuffer b(out, 21);
    b.appendUnsigned(value);
    return out;
}

void FormatText(TextBuffer& out, const char* format, std::initializer_list<const char*> args) {
    const char* const* next = args.begin();
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && (p[1] == 's' || p[1] == 'u')) {
            if (next != args.end()) {
                if (*next)
                    out.append(*next);
                ++next;
            }
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            out.appendChar('%');
            ++p;
        } else {
            out.appendChar(*p);
        }
    }
}

CivilTime CivilFromSeconds(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Days to a date in the Gregorian calendar counted from 1 March of year 0, so that the leap day
    // is the last day of the counting year.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    CivilTime t;
    t.year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
    t.month = static_cast<int>(m);
    t.day = static_cast<int>(d);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest % 3600 / 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

namespace {

long OffsetFromLibrary(std::time_t t) {
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return 0;
    return tm.tm_gmtoff;
}

} // namespace

void LocalClock::prepare(std::time_t from, std::time_t span) {
    count_ = 0;
    changes_[count_++] = {from, OffsetFromLibrary(from)};
    // Zones change their offset at most a few times a year and never twice within hours, so probes
    // six hours apart find every change; each is then narrowed down to its exact second.
    constexpr std::time_t kStep = 6 * 3600;
    for (std::time_t t = from; t < from + span && count_ < kMaxChanges; t += kStep) {
        const std::time_t probe = t + kStep;
        if (OffsetFromLibrary(probe) == changes_[count_ - 1].offset)
            continue;
        std::time_t lo = t, hi = probe; // offset at lo is the old one, at hi the new one
        while (hi - lo > 1) {
            const std::time_t mid = lo + (hi - lo) / 2;
            (OffsetFromLibrary(mid) == changes_[count_ - 1].offset ? lo : hi) = mid;
        }
        changes_[count_++] = {hi, OffsetFromLibrary(hi)};
    }
}

std::int64_t LocalClock::offsetAt(std::time_t t) const {
    if (count_ == 0)
        return 0;
    long offset = changes_[0].offset;
    for (int i = 1; i < count_ && changes_[i].at <= t; ++i)
        offset = changes_[i].offset;
    return offset;
}

CivilTime LocalClock::localTime(std::time_t t) const {
    return CivilFromSeconds(static_cast<std::int64_t>(t) + offsetAt(t));
}

void AppendDumpFileName(TextBuffer& out, const char* appName, const CivilTime& t) {
    const std::size_t start = out.size();
    out.append(appName);
    out.appendChar('_');
    out.appendUnsigned(static_cast<std::uint64_t>(t.year), 4);
    out.appendUnsigned(static_cast<std::uint64_t>(t.month), 2);
    out.appendUnsigned(static_cast<std::uint64_t>(t.day), 2);
    out.appendChar('-');
    out.appendUnsigned(static_cast<std::uint64_t>(t.hour), 2);
    out.appendUnsigned(static_cast<std::uint64_t>(t.minute), 2);
    out.appendUnsigned(static_cast<std::uint64_t>(t.second), 2);
    // Points and blanks in the name part would confuse tools that split at them; the extension
    // comes after the replacement so its own point stays.
    char* p = out.data();
    for (std::size_t i = start; i < out.size(); ++i) {
        if (p[i] == '.')
            p[i] = '-';
        else if (p[i] == ' ')
            p[i] = '_';
    }
    out.append(".dmp");
}

} // namespace orva::crash
