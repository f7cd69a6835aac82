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
    doc.LoadFile(path);
    const std::string entry = "N" + CredentialDigest(userName);
    const std::string passwordDigest = CredentialDigest(password);
    if (doc.FindElement("Login")) {
        doc.EnterElement();
        if (doc.FindElement(entry))
            return true; // the first password stays; changing it online does not change it here
        doc.AddElement(entry, passwordDigest);
    } else {
        // A missing file, or one without a login list (binary junk, a foreign file), starts a new list:
        // appending one to the junk would leave a file whose list the offline check cannot find.
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
