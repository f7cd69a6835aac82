#pragma once
// Small helpers shared by the fuzz targets.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orva::fuzz {

// A broken expectation is a finding: print it and abort, so the fuzzer keeps the input.
[[noreturn]] void Fail(const char* file, int line, const char* what);
#define FUZZ_CHECK(cond)                                                                                               \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            ::orva::fuzz::Fail(__FILE__, __LINE__, #cond);                                                             \
    } while (0)

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Splits on every occurrence of a separator byte; n separators give n + 1 parts.
std::vector<std::string> Split(std::string_view text, char separator);

// A directory of this process, made once and left for the system's temporary-file cleaning; every
// target that needs files works inside it.
const std::string& ScratchDir();

// Writes bytes to a file, replacing it. False when it could not be written.
bool WriteBytes(const std::string& path, std::string_view bytes);

// The bytes of a file; empty when it cannot be read.
std::string ReadBytes(const std::string& path);

} // namespace orva::fuzz
