#include "core/web/LoginRequest.h"

#include "core/web/XmlDocument.h"

namespace orva {

std::string BuildLoginRequest(const std::string& userName, const std::string& password) {
    XmlDocument doc;
    doc.AddElement("SoftWareLogin");
    doc.AddChildElement("CurrentSoftWareVersion", kLoginRequestVersion);
    doc.AddChildElement("UserName", userName);
    doc.AddChildElement("UserPassWD", password);
    return doc.GetText();
}

std::string CannedLoginReply() {
    return std::string("<SoftWareLogin><LoginResult>success</LoginResult><UpdateSoftWareVersion>") +
           kLoginRequestVersion +
           "</UpdateSoftWareVersion><DownLoadURL> https://update.orva.invalid/upload/soft/20140403105546.exe"
           "</DownLoadURL></SoftWareLogin>";
}

} // namespace orva
