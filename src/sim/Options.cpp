#include "sim/Options.h"

#include <charconv>

namespace orva::sim {
namespace {

bool parseInt(const std::string& text, int& out, int minimum) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < minimum)
        return false;
    out = v;
    return true;
}

// Seconds with up to three decimals ("2", "0.5", "1.25") as milliseconds, 0 to a day.
bool parseSeconds(const std::string& text, int& ms) {
    const size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if (whole.empty() || whole[0] < '0' || whole[0] > '9' || fraction.size() > 3 ||
        (dot != std::string::npos && (fraction.empty() || fraction[0] < '0' || fraction[0] > '9')))
        return false;
    int seconds = 0, thousandths = 0;
    if (!parseInt(whole, seconds, 0) || seconds > 86400)
        return false;
    if (!fraction.empty()) {
        fraction.resize(3, '0');
        if (!parseInt(fraction, thousandths, 0))
            return false;
    }
    ms = seconds * 1000 + thousandths;
    return ms <= 86400 * 1000;
}

// "SN1,SN2,...": every name non-empty and printable without blanks (a blank would split the reply's
// field), at most kMaxUnits of them.
constexpr size_t kMaxUnits = 1000;
constexpr size_t kMaxSerialLength = 128;

bool parseUnits(const std::string& text, std::vector<std::string>& units, std::string& error) {
    units.clear();
    size_t from = 0;
    for (;;) {
        const size_t comma = text.find(',', from);
        const std::string name = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        bool printable = true;
        for (char c : name)
            printable = printable && static_cast<unsigned char>(c) > 0x20 && c != 0x7f;
        if (name.empty() || !printable || name.size() > kMaxSerialLength) {
            error = "bad --units '" + text + "' (serial numbers without blanks, up to " +
                    std::to_string(kMaxSerialLength) + " characters, separated by commas)";
            return false;
        }
        units.push_back(name);
        if (units.size() > kMaxUnits) {
            error = "bad --units: more than " + std::to_string(kMaxUnits) + " units";
            return false;
        }
        if (comma == std::string::npos)
            return true;
        from = comma + 1;
    }
}

// "PREFIX=VALUE" split at the last '=', since command prefixes carry '=' themselves.
bool splitLast(const std::string& text, std::string& prefix, std::string& value) {
    auto pos = text.rfind('=');
    if (pos == std::string::npos || pos == 0)
        return false;
    prefix = text.substr(0, pos);
    value = text.substr(pos + 1);
    return true;
}

bool parseReportMode(const std::string& text, ReportMode& mode) {
    static const std::pair<const char*, ReportMode> kModes[] = {{"ok", ReportMode::Ok},
                                                                {"code1", ReportMode::Code1},
                                                                {"html500", ReportMode::Html500},
                                                                {"silent", ReportMode::Silent},
                                                                {"slow", ReportMode::Slow}};
    for (const auto& [name, m] : kModes) {
        if (text == name) {
            mode = m;
            return true;
        }
    }
    return false;
}

} // namespace

Result<void> ParseOverrideSetting(const std::string& setting, Override& o) {
    if (setting == "no-reply") {
        o.noReply = true;
        return {};
    }
    auto eq = setting.find('=');
    if (eq == std::string::npos || eq == 0)
        return Failure{"bad override setting '" + setting + "'"};
    std::string key = setting.substr(0, eq);
    std::string value = setting.substr(eq + 1);
    if (key == "delay") {
        int ms = 0;
        if (!parseInt(value, ms, 0))
            return Failure{"bad delay '" + value + "'"};
        o.delayMs = ms;
    } else if (key == "gateway") {
        int k = 0;
        if (!parseInt(value, k, 1))
            return Failure{"bad gateway number '" + value + "'"};
        o.gateway = k;
    } else if (key == "unit") {
        int k = 0;
        if (!parseInt(value, k, 1))
            return Failure{"bad unit number '" + value + "'"};
        o.unit = k;
    } else if (key == "status") {
        o.status = value;
    } else if (key == "raw") {
        o.raw = value;
    } else if (key == "payload") {
        o.payload = value;
    } else if (key == "drop") {
        o.drop.push_back(value);
    } else {
        o.fields.emplace_back(key, value);
    }
    return {};
}

namespace {

bool ParseArguments(const std::vector<std::string>& args, Options& options, bool& help, std::string& error) {
    help = false;
    bool swapTimes = false;
    size_t i = 0;
    auto next = [&](const std::string& flag, std::string& value) {
        if (i + 1 >= args.size()) {
            error = flag + " needs a value";
            return false;
        }
        value = args[++i];
        return true;
    };
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        if (a == "--help" || a == "-h") {
            help = true;
            return true;
        } else if (a == "--version") {
            options.showVersion = true;
            return true;
        } else if (a == "--address") {
            if (!next(a, options.address))
                return false;
        } else if (a == "--gateways") {
            if (!next(a, v))
                return false;
            if (!parseInt(v, options.gateways, 1)) {
                error = "bad --gateways '" + v + "'";
                return false;
            }
        } else if (a == "--model") {
            if (!next(a, options.model))
                return false;
        } else if (a == "--sn") {
            if (!next(a, options.sn))
                return false;
        } else if (a == "--units") {
            if (!next(a, v) || !parseUnits(v, options.units, error))
                return false;
        } else if (a == "--swap-after" || a == "--swap-gap") {
            if (!next(a, v))
                return false;
            int& ms = a == "--swap-after" ? options.swapAfterMs : options.swapGapMs;
            if (!parseSeconds(v, ms) || (a == "--swap-after" && ms == 0)) {
                error = "bad " + a + " '" + v + "' (seconds, " + (a == "--swap-after" ? "more than 0" : "0 or more") +
                        ", up to 86400, e.g. 2.5)";
                return false;
            }
            swapTimes = true;
        } else if (a == "--build-date") {
            if (!next(a, options.buildDate))
                return false;
        } else if (a == "--drop-image-datagram") {
            if (!next(a, v))
                return false;
            int k = 0;
            if (!parseInt(v, k, 1)) {
                error = "bad --drop-image-datagram '" + v + "' (a datagram number from 1)";
                return false;
            }
            options.dropImageDatagrams.push_back(k);
        } else if (a == "--journal") {
            if (!next(a, options.journalFile))
                return false;
        } else if (a == "--no-reply") {
            if (!next(a, v))
                return false;
            Override o;
            o.prefix = v;
            o.noReply = true;
            options.overrides.push_back(o);
        } else if (a == "--delay" || a == "--status") {
            if (!next(a, v))
                return false;
            Override o;
            std::string value;
            if (!splitLast(v, o.prefix, value)) {
                error = a + " needs PREFIX=VALUE";
                return false;
            }
            if (Result<void> set = ParseOverrideSetting(a.substr(2) + "=" + value, o); !set) {
                error = set.error();
                return false;
            }
            options.overrides.push_back(o);
        } else if (a == "--override") {
            Override o;
            if (!next(a, o.prefix))
                return false;
            int settings = 0;
            while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                if (Result<void> set = ParseOverrideSetting(args[++i], o); !set) {
                    error = set.error();
                    return false;
                }
                ++settings;
            }
            if (settings == 0) {
                error = "--override '" + o.prefix + "' needs at least one setting";
                return false;
            }
            options.overrides.push_back(o);
        } else if (a == "--no-udp") {
            options.udp = false;
        } else if (a == "--http") {
            if (!next(a, options.http))
                return false;
        } else if (a == "--https") {
            if (!next(a, options.https))
                return false;
        } else if (a == "--cert") {
            if (!next(a, options.certFile))
                return false;
        } else if (a == "--key") {
            if (!next(a, options.keyFile))
                return false;
        } else if (a == "--user") {
            if (!next(a, v))
                return false;
            auto colon = v.find(':');
            if (colon == std::string::npos || colon == 0) {
                error = "--user needs NAME:PASSWORD";
                return false;
            }
            options.users.push_back({v.substr(0, colon), v.substr(colon + 1)});
        } else if (a == "--update-version") {
            if (!next(a, options.updateVersion))
                return false;
        } else if (a == "--reports") {
            if (!next(a, options.reportsFile))
                return false;
        } else if (a == "--report-mode") {
            if (!next(a, v))
                return false;
            if (!parseReportMode(v, options.reportMode)) {
                error = "bad --report-mode '" + v + "' (ok, code1, html500, silent or slow)";
                return false;
            }
        } else if (a == "--report-fail-every") {
            if (!next(a, v))
                return false;
            if (!parseInt(v, options.reportFailEvery, 0)) {
                error = "bad --report-fail-every '" + v + "' (a report count from 1, or 0 for never)";
                return false;
            }
        } else if (a == "--report-fail-mode") {
            if (!next(a, v))
                return false;
            if (!parseReportMode(v, options.reportFailMode)) {
                error = "bad --report-fail-mode '" + v + "' (ok, code1, html500, silent or slow)";
                return false;
            }
        } else if (a == "--slow-ms") {
            if (!next(a, v))
                return false;
            if (!parseInt(v, options.slowMs, 0)) {
                error = "bad --slow-ms '" + v + "'";
                return false;
            }
        } else {
            error = "unknown option '" + a + "' (see --help)";
            return false;
        }
    }
    if (swapTimes && options.units.empty()) {
        error = "--swap-after and --swap-gap need --units";
        return false;
    }
    return true;
}

} // namespace

Result<void> ParseCommandLine(const std::vector<std::string>& args, Options& options, bool& help) {
    std::string error;
    if (!ParseArguments(args, options, help, error))
        return Failure{error};
    return {};
}

std::string UsageText() {
    return R"usage(usage: orva-gateway-sim [options]

Answers the gateway maintenance protocol (Base64 command lines over UDP) like one or several
gateways, on a loopback address only.

  --address A          gateway address, must lie in 127.0.0.0/8 (default 127.0.0.1). The segment
                       broadcast address (last part 255) is bound too, on ports 7998, 7999, 50003
                       and 54321.
  --gateways N         answer broadcast restores and upgrade queries as N gateways (default 1);
                       their serial numbers are SN, SN-2, SN-3, ...
  --model M            PRODUCTCLASS reported by QUERY_SYSTEM_INFO (default KT540G)
  --sn S               serial number: DEVTYPE and SN fields (default SIM0A1B2C3D4E)
  --units SN1,SN2,...  units swapped on a test line, one after another: the first answers as SN1
                       for --swap-after seconds, then nobody answers for --swap-gap seconds (the
                       unit is unplugged), then SN2, and so on; after the last unit nobody answers.
                       Replaces --sn. The time runs from the "listening" line.
  --swap-after S       seconds each unit answers (default 10; decimals allowed: 2.5)
  --swap-gap S         seconds of silence between two units (default 3, may be 0)
  --build-date D       BUILD_DATE of upgrade query answers (default 20240115)
  --journal FILE       append one JSON line per received datagram
                       {time, port, source, destination, command} (image datagrams: image,
                       length, head); a "note" says why an upgrade query got its status, or
                       that an image datagram was dropped

Image upgrade: the gateways take the image datagrams sent to port 54321 (one transfer per sender,
begun by its image-info datagram) and judge the transfer begun last. QUERY_UPGRADE_MSG is then
answered by every gateway with
  UPGRADE_SUCCESS SN=... BUILD_DATE=...   the image arrived whole and in order
  UPGRADE_FAIL SN=...                     it did not: cancelled by HG_UPGRADE_CANCEL, a datagram
                                          lost or out of order, a wrong length or block count
Until the first image datagram arrives the answer is UPGRADE_SUCCESS (as after a good upgrade),
so that status queries without a transfer keep working. Overrides apply on top of the verdict
(status=UPGRADE_SUCCESS on a failed transfer adds no BUILD_DATE; set BUILD_DATE=... with it).

  --drop-image-datagram K
                       lose the K-th image data datagram (from 1, counted per sender from its
                       image-info datagram) before the gateways see it; repeatable. The
                       transfer then ends incomplete and the gateways answer UPGRADE_FAIL.

Overrides apply to every command that starts with PREFIX (the exact command text, blanks and
'=' included; quote it) as whole words: 'HG_HARDWARE_DIAG STEP=2 METHOD=START' does not match
METHOD=STARTCALLLOOP, while a prefix ending in '=' or a blank ('...FENUM=') covers every value.
All matching overrides apply, shortest prefix first.

  --override PREFIX SETTING [SETTING...]
        SETTING is one of
          no-reply        stay silent
          delay=MS        answer MS milliseconds later
          status=WORD     replace the status word
          NAME=VALUE      set or add the field NAME (upper-case wire names)
          drop=NAME       remove the field NAME
          raw=TEXT        answer with the reply line TEXT (Base64-encoded as usual)
          payload=TEXT    send TEXT as the datagram itself, not Base64-encoded
          gateway=K       apply only to the K-th simulated gateway's answer
          unit=K          apply only while the K-th unit of --units answers (one faulty unit)
  --no-reply PREFIX              same as --override PREFIX no-reply
  --delay PREFIX=MS              same as --override PREFIX delay=MS (split at the last '=')
  --status PREFIX=WORD           same as --override PREFIX status=WORD (split at the last '=')

  Examples:
    --override 'HG_HARDWARE_DIAG STEP=1 FENUM=2' FESTATUS=DOWN
    --override 'HG_HARDWARE_DIAG STEP=4' FLASHUSEAGE=95 status=HG_HARDWARE_DIAG_FAIL
    --status 'HG_SOFTWARE_DIAG STEP=7=UNRECOGNIZE_REQUEST'
    --override QUERY_UPGRADE_MSG gateway=2 status=UPGRADE_FAIL drop=BUILD_DATE
    --units A1,A2,A3 --swap-after 4 --override 'HG_HARDWARE_DIAG STEP=6' unit=2 status=HG_HARDWARE_DIAG_FAIL

  Restore answers per gateway (HG_REVOCERY_PRECONFIG, broadcast to port 7998):
    success with SN       the default: HG_REVOCERY_PRECONFIG_SUCC SN=...
    failure with SN       --override HG_REVOCERY_PRECONFIG gateway=2 status=HG_REVOCERY_PRECONFIG_FAIL
    failure without SN    --override HG_REVOCERY_PRECONFIG gateway=3 status=HG_REVOCERY_PRECONFIG_FAIL drop=SN
    no answer             --override HG_REVOCERY_PRECONFIG gateway=4 no-reply

Service endpoints (login at /login, reports at /report, installer at /download/setup.exe):

  --http 127.0.0.1:PORT          plain HTTP on a loopback address
  --https 127.0.0.1:PORT         HTTPS, needs --cert FILE and --key FILE (PEM)
  --user NAME:PASSWORD           an account of the login service (repeatable)
  --update-version V             announce version V with a download address on this simulator
  --reports FILE                 append every received report as a JSON line
  --report-mode MODE             ok (Code 0), code1 (Code 1), html500 (an HTML error page with
                                 status 500), silent (close without answering) or slow (answer
                                 Code 0 after --slow-ms milliseconds, default 5000)
  --report-fail-every N          answer every N-th report (the N-th, 2N-th, ... received since
                                 the start, from the upload pass too) in --report-fail-mode
                                 instead; 0 (the default) never
  --report-fail-mode MODE        how those reports are answered, a --report-mode MODE (default
                                 code1)

  --no-udp                       serve only the web endpoints (no gateway sockets)
  --help                         this text
  --version                      the version, then end

Prints "orva-gateway-sim listening on <address> (...)" once ready; runs until SIGINT or SIGTERM.
It has no program directory: it reads no setting.ini and writes only the files that --journal and
--reports name.
Exit codes: 0 after a signal, 1 on a start failure, 2 on bad usage or a non-loopback address.
)usage";
}

} // namespace orva::sim
