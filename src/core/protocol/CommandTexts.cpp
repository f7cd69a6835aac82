#include "core/protocol/CommandTexts.h"

namespace orva {

const std::vector<CommandInfo>& CommandTable() {
    using A = CommandArgument;
    static const std::vector<CommandInfo> table = {
        {Command::Connect, "Connect", "CONNECT", A::None, 7998, {"STATUS"}},
        {Command::QuerySystemInfo,
         "QuerySystemInfo",
         "QUERY_SYSTEM_INFO",
         A::None,
         7998,
         {"SWVERSION", "HDVERSION", "PRODUCTCLASS", "CPUCLASS", "DEVTYPE"}},
        {Command::DiagLanPort,
         "DiagLanPort",
         "HG_HARDWARE_DIAG STEP=1 FENUM=",
         A::Number,
         7999,
         {"STATUS", "STEP", "FESTATUS"}},
        {Command::DiagPotsStart, "DiagPotsStart", "HG_HARDWARE_DIAG STEP=2 METHOD=START", A::None, 7999, {"STATUS"}},
        {Command::DiagPotsRingOn,
         "DiagPotsRingOn",
         "HG_HARDWARE_DIAG STEP=2 METHOD=RINGON POSNUM=",
         A::Number,
         7999,
         {"STATUS"}},
        {Command::DiagPotsPlayDtmf,
         "DiagPotsPlayDtmf",
         "HG_HARDWARE_DIAG STEP=2 METHOD=PLAYDTMF POSNUM=",
         A::Number,
         7999,
         {"STATUS", "STEP"}},
        {Command::DiagPotsCngTone,
         "DiagPotsCngTone",
         "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCNGTONE POSNUM=",
         A::Number,
         7999,
         {"STATUS", "STEP"}},
        {Command::DiagPotsCallLoop,
         "DiagPotsCallLoop",
         "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCALLLOOP POSNUM=0",
         A::None,
         7999,
         {"STATUS", "STEP"}},
        {Command::DiagPotsStop, "DiagPotsStop", "HG_HARDWARE_DIAG STEP=2 METHOD=STOP", A::None, 7999, {"STATUS"}},
        {Command::DiagUplink, "DiagUplink", "HG_HARDWARE_DIAG STEP=3 METHOD=", A::Text, 7999, {"STATUS", "STEP"}},
        {Command::DiagFlash, "DiagFlash", "HG_HARDWARE_DIAG STEP=4", A::None, 7999, {"STATUS", "STEP", "FLASHUSEAGE"}},
        // Two blanks before METHOD: the gateways expect the text exactly so.
        {Command::DiagLed, "DiagLed", "HG_HARDWARE_DIAG STEP=5  METHOD=", A::Text, 7999, {"STATUS", "STEP"}},
        {Command::DiagUsb,
         "DiagUsb",
         "HG_HARDWARE_DIAG STEP=6",
         A::None,
         7999,
         {"STATUS", "STEP", "USBCHECK", "USBUSAGE"}},
        {Command::DiagWifi, "DiagWifi", "HG_HARDWARE_DIAG STEP=7", A::None, 7999, {"STATUS", "STEP", "WIFISTATUS"}},
        {Command::DiagSoftwareVersion,
         "DiagSoftwareVersion",
         "HG_SOFTWARE_DIAG STEP=1",
         A::None,
         7998,
         {"STATUS", "STEP", "SOFTWAREVERSION"}},
        {Command::DiagKeyProcess,
         "DiagKeyProcess",
         "HG_SOFTWARE_DIAG STEP=3",
         A::None,
         7998,
         {"STATUS", "STEP", "KEYPROCESSCHECK"}},
        {Command::DiagSystemResource,
         "DiagSystemResource",
         "HG_SOFTWARE_DIAG STEP=4",
         A::None,
         7998,
         {"STATUS", "STEP", "CPULOAD", "MEMLOAD"}},
        {Command::DiagSoftwareArea,
         "DiagSoftwareArea",
         "HG_SOFTWARE_DIAG STEP=5",
         A::None,
         7998,
         {"STATUS", "STEP", "AREACHECK"}},
        {Command::DiagConfigIntegrity,
         "DiagConfigIntegrity",
         "HG_SOFTWARE_DIAG STEP=6",
         A::None,
         7998,
         {"STATUS", "STEP", "INTEGRITYCHECK"}},
        {Command::DiagDiskIntegrity,
         "DiagDiskIntegrity",
         "HG_SOFTWARE_DIAG STEP=7",
         A::None,
         7998,
         {"STATUS", "STEP", "DISKCHECK"}},
        // Spelled so on the wire.
        {Command::RestorePreconfig, "RestorePreconfig", "HG_REVOCERY_PRECONFIG", A::None, 7998, {}},
        {Command::QueryUpgradeStatus, "QueryUpgradeStatus", "QUERY_UPGRADE_MSG", A::None, 50003, {}},
        {Command::CancelUpgrade, "CancelUpgrade", "HG_UPGRADE_CANCEL", A::None, 54321, {}},
    };
    return table;
}

const CommandInfo& Info(Command id) {
    return CommandTable().at(static_cast<size_t>(id));
}

std::string CommandText(Command id) {
    return Info(id).fixedText;
}

std::string CommandText(Command id, int number) {
    return Info(id).fixedText + std::to_string(number);
}

std::string CommandText(Command id, std::string_view argument) {
    std::string text = Info(id).fixedText;
    text += argument;
    return text;
}

} // namespace orva
