#include "web/LoginFile.h"

#include "web/Md5.h"
#include "web/Utf8.h"
#include "web/XmlDocument.h"

#include <cstdio>

namespace orva {

std::string CredentialDigest(const std::string& text) {
    return Md5Hex(Utf16UnitBytes(text));
}

bool RememberCredentials(const std::string& path, const std::string& userName, const std::string& password) {
    XmlDocument doc;
    const bool wellFormed = doc.LoadFile(path);
    const std::string entry = "N" + CredentialDigest(userName);
    const std::string passwordDigest = CredentialDigest(password);
    if (doc.FindElement("Login")) {
        doc.EnterElement();
        if (doc.FindElement(entry))
            return true; // the first password stays; changing it online does not change it here
        doc.AddElement(entry, passwordDigest);
    } else {
        // A file that is no XML at all (binary junk) is replaced by a new list: appended to the junk, the
        // list could not be found again by the offline check. A document without a list keeps what it has.
        if (!wellFormed)
            doc = XmlDocument();
        doc.AddElement("Login");
        doc.AddChildElement(entry, passwordDigest);
    }
    // Written beside the file and renamed over it, so a full disk or a file-size limit never leaves the
    // list emptied or cut: the entries of the other users stay usable.
    const std::string temporary = path + ".new";
    if (!doc.SaveFile(temporary)) {
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

OfflineCheck CheckOfflineCredentials(const std::string& path, const std::string& userName,
                                     const std::string& password) {
    XmlDocument doc;
    doc.LoadFile(path);
    if (!doc.FindElement("Login"))
        return OfflineCheck::NoFile;
    doc.EnterElement();
    if (doc.FindElement("N" + CredentialDigest(userName)) && doc.GetElementText() == CredentialDigest(password))
        return OfflineCheck::Match;
    return OfflineCheck::Mismatch;
}

} // namespace orva
