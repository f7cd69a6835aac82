// One received datagram on its way to a reply: the payload is Base64 text, its decoded bytes up to the
// first zero byte are the reply line, which is split into fields and handed to a broadcast's page.
#include "FuzzSupport.h"

#include "core/maintenance/ResultLines.h"
#include "core/protocol/Base64.h"
#include "core/protocol/CommandChannel.h"
#include "core/protocol/ListenReply.h"
#include "core/protocol/ReplyFields.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view payload = orva::fuzz::AsText(data, size);

    // Whatever the bytes, the encoder's text decodes back to them.
    const std::string encoded = orva::Base64Encode(payload);
    FUZZ_CHECK(encoded.size() == (size + 2) / 3 * 4);
    std::string again;
    FUZZ_CHECK(size == 0 ? !orva::Base64Decode(encoded, again) : orva::Base64Decode(encoded, again));
    FUZZ_CHECK(again == payload);

    // A longer datagram is a failed receive and never reaches the decoder.
    if (size > orva::CommandChannel::kReceiveBufferSize)
        return 0;

    std::string decoded = "earlier reply";
    if (!orva::Base64Decode(payload, decoded)) {
        FUZZ_CHECK(decoded == "earlier reply");
        std::string untouched = "earlier reply";
        FUZZ_CHECK(!orva::DecodeDatagram(std::string(payload), untouched) && untouched == "earlier reply");
        return 0;
    }
    FUZZ_CHECK(size % 4 == 0 && size > 0);
    const std::size_t pad = payload.back() != '=' ? 0 : payload[size - 2] == '=' ? 2 : 1;
    FUZZ_CHECK(decoded.size() == size / 4 * 3 - pad);
    // Decoding is strict about the alphabet and the padding, so encoding the bytes again gives the
    // same text up to the unused low bits of the last character.
    const std::string reencoded = orva::Base64Encode(decoded);
    FUZZ_CHECK(reencoded.size() == size);
    FUZZ_CHECK(reencoded.compare(0, size - pad - 1, payload.substr(0, size - pad - 1)) == 0);

    // The channel's own decoding: the same bytes, up to the first zero byte.
    std::string line = "earlier reply";
    FUZZ_CHECK(orva::DecodeDatagram(std::string(payload), line));
    FUZZ_CHECK(line == decoded.substr(0, decoded.find('\0')));

    orva::SetLastListenReply(line);
    FUZZ_CHECK(orva::LastListenReply() == line);

    orva::ReplyFields fields;
    FUZZ_CHECK(fields.ParseReplyFields(line, " "));
    const std::time_t when = 1700000000;
    const auto restore = orva::RestoreResultLine(fields.Fields(), when);
    const auto upgrade = orva::UpgradeResultLine(fields.Fields(), when);
    std::string sn;
    if (upgrade && fields.Field("SN", sn) && !sn.empty()) {
        // The technician identifies the gateway by its serial number in every line that names one.
        const std::string status = fields.Fields().at("STATUS");
        if (status == "UPGRADE_SUCCESS" || status == "UPGRADE_FAIL" || status == "UPGRADE_UNKNOWN")
            FUZZ_CHECK(upgrade->find(sn) != std::string::npos);
    }
    (void)restore;
    return 0;
}
