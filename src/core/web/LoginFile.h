#pragma once
// res/login.xml: digests of the credentials of every user who once logged in online, so that the same
// user can log in while the login service cannot be reached.
//
//   <Login>
//   <N{md5 of user name}>{md5 of password}</N{md5 of user name}>
//   </Login>
#include <string>

namespace orva {

// MD5 as 32 lower-case hex digits over the text's unit-by-unit UTF-8 form (see Utf16UnitBytes), the
// form the file has always been written with.
std::string CredentialDigest(const std::string& text);

// Adds the user's entry unless one exists (an existing entry keeps its password digest) and saves the
// file. A file that cannot be written is not an error of the login: false is only informative.
bool RememberCredentials(const std::string& path, const std::string& userName, const std::string& password);

enum class OfflineCheck {
    NoFile,   // no file, or no "Login" element in it
    Match,    // the user's entry holds the password's digest
    Mismatch, // no entry for the user, or another password digest
};
OfflineCheck CheckOfflineCredentials(const std::string& path, const std::string& userName, const std::string& password);

} // namespace orva
