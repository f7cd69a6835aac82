#pragma once
// Text building for the crash path. Everything here works without the heap, locks or the locale, so
// it may run inside a signal handler; only LocalClock::prepare must run beforehand, in normal code.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <initializer_list>

namespace orva::crash {

// A NUL-terminated text in a caller's fixed buffer; appending past the end cuts the text off.
class TextBuffer {
public:
    TextBuffer(char* data, std::size_t capacity); // capacity counts the final NUL and must be at least 1
    void append(const char* text);
    void append(const char* text, std::size_t length);
    void appendChar(char c);
    void appendUnsigned(std::uint64_t value, int minDigits = 1);
    void clear();
    const char* c_str() const { return data_; }
    char* data() { return data_; }
    std::size_t size() const { return size_; }
    bool truncated() const { return truncated_; }

private:
    char* data_;
    std::size_t capacity_;
    std::size_t size_ = 0;
    bool truncated_ = false;
};

// Decimal digits of value into out (at least 21 bytes); returns out.
char* UnsignedText(std::uint64_t value, char* out);

// Fills out from a format in which each "%s" and each "%u" takes the next argument text ("%%" is a
// percent sign); numbers are passed as text made with UnsignedText. Missing arguments give "".
void FormatText(TextBuffer& out, const char* format, std::initializer_list<const char*> args);

struct CivilTime {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The proleptic Gregorian date and time of a count of seconds since 1970-01-01 00:00:00.
CivilTime CivilFromSeconds(std::int64_t seconds);

// The local time zone's offsets from UTC over a stretch of time, learnt in advance from the C
// library, so that the local time of a crash can be formed without the C library's time zone code
// (which takes a lock the crashed thread may hold).
class LocalClock {
public:
    // Learns the offsets from `from` for `span` seconds, including every change (daylight saving).
    void prepare(std::time_t from, std::time_t span);
    std::int64_t offsetAt(std::time_t t) const;
    CivilTime localTime(std::time_t t) const;

private:
    struct Change {
        std::time_t at;
        long offset;
    };
    static constexpr int kMaxChanges = 64;
    Change changes_[kMaxChanges] = {};
    int count_ = 0;
};

// The dump's file name without a directory: name + "_%Y%m%d-%H%M%S" with every '.' of that part
// turned into '-' and every blank into '_', then ".dmp".
void AppendDumpFileName(TextBuffer& out, const char* appName, const CivilTime& t);

} // namespace orva::crash
