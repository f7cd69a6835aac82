#include "diagnosis/CheckItems.h"

#include <cstdio>

namespace orva {

const std::array<CheckItem, kCheckItemCount>& CheckItems() {
    using R = OperatorRole;
    static const std::array<CheckItem, kCheckItemCount> items = {{
        {1, TextId::ItemLan1, "DiagLanPort(1)", "FE1Check", R::ConnectsCable},
        {2, TextId::ItemLan2, "DiagLanPort(2)", "FE2Check", R::ConnectsCable},
        {3, TextId::ItemLan3, "DiagLanPort(3)", "FE3Check", R::ConnectsCable},
        {4, TextId::ItemLan4, "DiagLanPort(4)", "FE4Check", R::ConnectsCable},
        {5, TextId::ItemPots1Ring, "DiagPotsRingOn(0)", "POS1Check", R::PreparesThenJudges},
        {6, TextId::ItemPots1Dtmf, "DiagPotsPlayDtmf(0)", "POS1Check", R::PreparesThenJudges},
        {7, TextId::ItemPots1Cng, "DiagPotsCngTone(0)", "POS1Check", R::PreparesThenJudges},
        {8, TextId::ItemPots2Ring, "DiagPotsRingOn(1)", "POS2Check", R::PreparesThenJudges},
        {9, TextId::ItemPots2Dtmf, "DiagPotsPlayDtmf(1)", "POS2Check", R::PreparesThenJudges},
        {10, TextId::ItemPots2Cng, "DiagPotsCngTone(1)", "POS2Check", R::PreparesThenJudges},
        {11, TextId::ItemPotsLoop, "DiagPotsCallLoop", "", R::PreparesThenJudges},
        {12, TextId::ItemUplink, "DiagUplink(START), DiagUplink(STOP) on optical models", "PONCheck",
         R::PreparesUplink},
        {13, TextId::ItemFlash, "DiagFlash", "FlashCheck", R::None},
        {14, TextId::ItemLed, "DiagLed(ON), DiagLed(OFF)", "LEDCheck", R::PreparesThenJudges},
        {15, TextId::ItemUsb, "DiagUsb", "USBCheck", R::None},
        {16, TextId::ItemWifi, "DiagWifi", "WifiCheck", R::None},
        {17, TextId::ItemSoftwareVersion, "DiagSoftwareVersion", "SoftWareVersionCheck", R::None},
        {18, TextId::ItemKeyProcess, "DiagKeyProcess", "PSCheck", R::None},
        {19, TextId::ItemSystemResource, "DiagSystemResource", "CPULoadCheck, MemCheck", R::None},
        {20, TextId::ItemSoftwareArea, "DiagSoftwareArea", "", R::None},
        {21, TextId::ItemConfigIntegrity, "DiagConfigIntegrity", "PreConfigCheck", R::None},
        {22, TextId::ItemDiskIntegrity, "DiagDiskIntegrity", "DiskIntegrityCheck", R::None},
    }};
    return items;
}

const CheckItem& CheckItemAt(int number) {
    // Callers pass item numbers from the fixed list; anything else is kept inside the table.
    if (number < 1)
        number = 1;
    if (number > kCheckItemCount)
        number = kCheckItemCount;
    return CheckItems()[static_cast<size_t>(number - 1)];
}

std::string CheckItemName(int number) {
    return Text(CheckItemAt(number).name);
}

std::string CheckItemLabel(int number) {
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%02d__", number);
    return prefix + CheckItemName(number);
}

} // namespace orva
