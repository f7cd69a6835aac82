#include "core/web/HttpOptions.h"

#include "core/app/AppSettings.h"
#include "core/web/HttpClient.h"

namespace orva {

HttpOptions HttpOptions::FromSettings() {
    const AppSettings& s = Settings();
    HttpOptions o;
    if (s.HttpTimeout > 0)
        o.timeout = std::chrono::seconds(s.HttpTimeout);
    o.tlsVerify = s.TlsVerify != 0;
    o.caFile = s.CaFile;
    return o;
}

// Kept apart from the rest of the client so that code giving explicit options does not need the
// process settings.
CHttpClient::CHttpClient(std::string userAgent) : CHttpClient(std::move(userAgent), HttpOptions::FromSettings()) {}

} // namespace orva
