#include "core/web/LoginFile.h"

#include "core/web/Md5.h"
#include "core/web/Utf8.h"
#include "core/web/XmlDocument.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orva {
namespace {

// The folder part of a path ("." for a bare name), for the temporary and the folder's fsync.
std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Written beside the file and renamed over it, so a full disk or a file-size limit never leaves the list
// emptied or cut: the entries of the other users stay usable. The temporary is made by mkstemp (a fresh
// name, created exclusively, never a file or symlink someone planted in the folder) and written through
// its own descriptor. The digests also unlock the reporting service, so the file is the owner's alone
// (0600). Both the file and the folder are synced, so that after a power cut the name holds either the
// old list or the whole new one.
bool ReplaceFile(const std::string& path, XmlDocument& doc) {
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = fchmod(fd, 0600) == 0 && doc.SaveFile(fd) && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename is done: a folder that cannot be synced leaves the new list in place, only less durable.
    const int folder = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return true;
}

// Loads the list when a regular file stands at its name. Anything else is read as no list: a FIFO would
// block the login for ever, and a folder opens like a file whose size is nonsense.
bool LoadList(XmlDocument& doc, const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return doc.LoadFile(path);
}

} // namespace

std::string CredentialDigest(const std::string& text) {
    return Md5Hex(Utf16UnitBytes(text));
}

bool RememberCredentials(const std::string& path, const std::string& userName, const std::string& password) {
    XmlDocument doc;
    const bool wellFormed = LoadList(doc, path);
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
    return ReplaceFile(path, doc);
}

OfflineCheck CheckOfflineCredentials(const std::string& path, const std::string& userName,
                                     const std::string& password) {
    XmlDocument doc;
    LoadList(doc, path);
    if (!doc.FindElement("Login"))
        return OfflineCheck::NoFile;
    doc.EnterElement();
    if (doc.FindElement("N" + CredentialDigest(userName)) && doc.GetElementText() == CredentialDigest(password))
        return OfflineCheck::Match;
    return OfflineCheck::Mismatch;
}

} // namespace orva
