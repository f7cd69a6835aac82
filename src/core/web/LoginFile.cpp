#include "web/LoginFile.h"

#include "web/Md5.h"
#include "web/Utf8.h"
#include "web/XmlDocument.h"

namespace orva {

std::string CredentialDigest(const std::string& text) {
    return Md5Hex(Utf16UnitBytes(text));
}

bool RememberCredentials(const std::string& path, const std::string& userName, const std::string& password) {
    XmlDocument doc;
    // A missing or unreadable file simply starts a new list.
    doc.LoadFile(path);
    const std::string entry = "N" + CredentialDigest(userName);
    const std::string passwordDigest = CredentialDigest(password);
    if (doc.FindElement("Login")) {
        doc.EnterElement();
        if (doc.FindElement(entry))
            return true; // the first password stays; changing it online does not change it here
        doc.AddElement(entry, passwordDigest);
    } else {
        doc.AddElement("Login");
        doc.AddChildElement(entry, passwordDigest);
    }
    return doc.SaveFile(path);
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
