#include "core/diagnosis/CheckItems.h"

#include "core/app/LeadingNumber.h"
#include "core/diagnosis/DiagnosisMessages.h"
#include "core/protocol/DeviceReply.h"

#include <cstdio>

namespace orva {
namespace {

using C = CheckCommand;
using F = FillWhen;
using R = OperatorRole;
using Rule = ReplyRule;

int Verdict(bool passed) {
    return passed ? CheckPassed : CheckFailed;
}

template <int DiagRecord::*Field> void SetPassed(DiagRecord& r, const DeviceReply&, bool) {
    r.*Field = CheckPassed;
}
template <int DiagRecord::*Field> void SetVerdict(DiagRecord& r, const DeviceReply&, bool succeeded) {
    r.*Field = Verdict(succeeded);
}
// A LAN port that answered is up or down as the gateway saw it.
template <int DiagRecord::*Field> void SetPortState(DiagRecord& r, const DeviceReply& reply, bool) {
    r.*Field = Verdict(reply.Get("FESTATUS") == "OK");
}

CheckSteps LanPort(int port, int prompt) {
    CheckSteps s;
    s.prompt = prompt;
    s.command = {C::DiagLanPort, port};
    s.rule = Rule::StatusAndField;
    s.field = "FESTATUS";
    s.fill = F::OnSuccess;
    return s;
}

CheckSteps Telephone(CheckCommand op, int potsPort, int prompt, int judge, TextId fault) {
    CheckSteps s;
    s.prompt = prompt;
    s.command = {op, potsPort};
    s.judge = judge;
    s.fault = fault;
    s.fill = F::OnGroupYes;
    return s;
}

template <class Edit> CheckSteps With(CheckSteps s, Edit edit) {
    edit(s);
    return s;
}

} // namespace

const std::array<CheckItem, kCheckItemCount>& CheckItems() {
    // On DSL models the uplink is judged from the reply, with no meter to read and no test mode to end.
    static const CheckSteps dslUplink = With(CheckSteps{}, [](CheckSteps& s) {
        s.prompt = WM_DIAG_UPLINK_PROMPT;
        s.command = {C::DiagUplink, 0, "START"};
        s.rule = Rule::Status;
        s.fault = TextId::ErrUplink;
        s.scrolls = true;
        s.fill = F::OnSuccess;
        s.set = &SetPassed<&DiagRecord::PONCheck>;
    });
    static const std::array<CheckItem, kCheckItemCount> items = {{
        {1, TextId::ItemLan1, "FE1Check", R::ConnectsCable, 0, false,
         With(LanPort(1, WM_DIAG_LAN1_PROMPT),
              [](CheckSteps& s) {
                  s.fault = TextId::ErrFe1;
                  s.set = &SetPortState<&DiagRecord::FE1Check>;
              })},
        {2, TextId::ItemLan2, "FE2Check", R::ConnectsCable, 0, false,
         With(LanPort(2, WM_DIAG_LAN2_PROMPT),
              [](CheckSteps& s) {
                  s.fault = TextId::ErrFe2;
                  s.set = &SetPortState<&DiagRecord::FE2Check>;
              })},
        {3, TextId::ItemLan3, "FE3Check", R::ConnectsCable, 0, false,
         With(LanPort(3, WM_DIAG_LAN3_PROMPT),
              [](CheckSteps& s) {
                  s.fault = TextId::ErrFe3;
                  s.set = &SetPortState<&DiagRecord::FE3Check>;
              })},
        {4, TextId::ItemLan4, "FE4Check", R::ConnectsCable, 0, false,
         With(LanPort(4, WM_DIAG_LAN4_PROMPT),
              [](CheckSteps& s) {
                  s.fault = TextId::ErrFe4;
                  s.set = &SetPortState<&DiagRecord::FE4Check>;
              })},
        {5, TextId::ItemPots1Ring, "POS1Check", R::PreparesThenJudges, 1, true,
         With(Telephone(C::DiagPotsRingOn, 0, WM_DIAG_RING_PROMPT, WM_DIAG_RING_JUDGE, TextId::ErrPots1Ring),
              [](CheckSteps& s) { s.set = &SetPassed<&DiagRecord::POS1Check>; })},
        {6, TextId::ItemPots1Dtmf, "POS1Check", R::PreparesThenJudges, 1, true,
         With(Telephone(C::DiagPotsPlayDtmf, 0, WM_DIAG_DTMF_PROMPT, WM_DIAG_DTMF_JUDGE, TextId::ErrPots1Dtmf),
              [](CheckSteps& s) { s.set = &SetPassed<&DiagRecord::POS1Check>; })},
        {7, TextId::ItemPots1Cng, "POS1Check", R::PreparesThenJudges, 1, true,
         With(Telephone(C::DiagPotsCngTone, 0, WM_DIAG_CNG_PROMPT, WM_DIAG_CNG_JUDGE, TextId::ErrPots1Cng),
              [](CheckSteps& s) { s.set = &SetPassed<&DiagRecord::POS1Check>; })},
        {8, TextId::ItemPots2Ring, "POS2Check", R::PreparesThenJudges, 2, true,
         With(Telephone(C::DiagPotsRingOn, 1, WM_DIAG_RING_PROMPT, WM_DIAG_RING_JUDGE, TextId::ErrPots2Ring),
              [](CheckSteps& s) { s.set = &SetPassed<&DiagRecord::POS2Check>; })},
        {9, TextId::ItemPots2Dtmf, "POS2Check", R::PreparesThenJudges, 2, true,
         With(Telephone(C::DiagPotsPlayDtmf, 1, WM_DIAG_DTMF_PROMPT, WM_DIAG_DTMF_JUDGE, TextId::ErrPots2Dtmf),
              [](CheckSteps& s) { s.set = &SetPassed<&DiagRecord::POS2Check>; })},
        {10, TextId::ItemPots2Cng, "POS2Check", R::PreparesThenJudges, 2, true,
         With(Telephone(C::DiagPotsCngTone, 1, WM_DIAG_CNG_PROMPT, WM_DIAG_CNG_JUDGE, TextId::ErrPots2Cng),
              [](CheckSteps& s) { s.set = &SetPassed<&DiagRecord::POS2Check>; })},
        {11, TextId::ItemPotsLoop, "", R::PreparesThenJudges, 0, true,
         With(Telephone(C::DiagPotsCallLoop, 0, WM_DIAG_LOOP_PROMPT, WM_DIAG_LOOP_JUDGE, TextId::ErrPotsLoop),
              [](CheckSteps& s) { s.fill = F::Never; })},
        {12, TextId::ItemUplink, "PONCheck", R::PreparesUplink, 0, false,
         With(CheckSteps{},
              [](CheckSteps& s) {
                  s.prompt = WM_DIAG_UPLINK_PROMPT;
                  s.command = {C::DiagUplink, 0, "START"};
                  s.judge = WM_DIAG_UPLINK_RESULT;
                  s.close = {C::DiagUplink, 0, "STOP"};
                  s.closeOnStop = true;
                  s.fault = TextId::ErrUplink;
                  s.scrolls = true;
                  s.fill = F::OnYes;
                  s.set = &SetPassed<&DiagRecord::PONCheck>;
              }),
         &dslUplink},
        {13, TextId::ItemFlash, "FlashCheck", R::None, 0, false,
         With(CheckSteps{},
              [](CheckSteps& s) {
                  s.command = {C::DiagFlash};
                  s.rule = Rule::StatusWithDetail;
                  s.detail = " {FLASHUSEAGE}%";
                  s.fault = TextId::ErrFlash;
                  s.scrolls = true;
                  s.fill = F::OnSuccess;
                  s.set = &SetPassed<&DiagRecord::FlashCheck>;
              })},
        {14, TextId::ItemLed, "LEDCheck", R::PreparesThenJudges, 0, false,
         With(CheckSteps{},
              [](CheckSteps& s) {
                  s.prompt = WM_DIAG_LED_PROMPT;
                  s.command = {C::DiagLed, 0, "ON"};
                  s.judge = WM_DIAG_LED_JUDGE;
                  s.close = {C::DiagLed, 0, "OFF"};
                  s.fault = TextId::ErrLed;
                  s.scrolls = true;
                  s.fill = F::OnYes;
                  s.set = &SetPassed<&DiagRecord::LEDCheck>;
              })},
        {15, TextId::ItemUsb, "USBCheck", R::None, 0, false,
         With(CheckSteps{},
              [](CheckSteps& s) {
                  s.command = {C::DiagUsb};
                  s.rule = Rule::Status;
                  s.fault = TextId::ErrUsb;
                  s.fill = F::Always;
                  s.set = &SetVerdict<&DiagRecord::USBCheck>;
              })},
        {16, TextId::ItemWifi, "WifiCheck", R::None, 0, false,
         With(CheckSteps{},
              [](CheckSteps& s) {
                  s.command = {C::DiagWifi};
                  s.rule = Rule::Status;
                  s.fault = TextId::ErrWifi;
                  s.scrolls = true;
                  s.fill = F::Always;
                  s.set = &SetVerdict<&DiagRecord::WifiCheck>;
              })},
        {17, TextId::ItemSoftwareVersion, "SoftWareVersionCheck", R::None, 0, false,
         With(CheckSteps{},
              [](CheckSteps& s) {
                  s.command = {C::DiagSoftwareVersion};
                  s.rule = Rule::ShowsText;
                  s.field = "SOFTWAREVERSION";
                  s.detail = " {SOFTWAREVERSION}";
                  s.fault = TextId::ErrSoftwareVersion;
                  s.scrolls = true;
                  s.fill = F::OnSuccess;
                  s.set = [](DiagRecord& r, const DeviceReply& reply, bool) {
                      r.SoftWareVersionCheck = reply.Get("SOFTWAREVERSION");
                  };
              })},
        {18, TextId::ItemKeyProcess, "PSCheck", R::None, 0, false,
         With(CheckSteps{},
              [](CheckSteps& s) {
                  s.command = {C::DiagKeyProcess};
                  s.rule = Rule::FieldOk;
                  s.field = "KEYPROCESSCHECK";
                  s.fault = TextId::ErrKeyProcess;
                  s.scrolls = true;
                  s.fill = F::OnSuccess;
                  s.set = [](DiagRecord& r, const DeviceReply& reply, bool) {
                      r.PSCheck = reply.Get("KEYPROCESSCHECK");
                  };
              })},
        {19, TextId::ItemSystemResource, "CPULoadCheck, MemCheck", R::None, 0, false,
         With(CheckSteps{},
              [](CheckSteps& s) {
                  s.command = {C::DiagSystemResource};
                  s.rule = Rule::ShowsText;
                  s.field = "CPULOAD";
                  s.detail = " CPU:{CPULOAD}% Memory:{MEMLOAD}%";
                  s.fault = TextId::ErrSystemResource;
                  s.scrolls = true;
                  s.fill = F::OnSuccess;
                  s.set = [](DiagRecord& r, const DeviceReply& reply, bool) {
                      r.CPULoadCheck = LeadingFloat(reply.Get("CPULOAD"));
                      r.MemCheck = LeadingFloat(reply.Get("MEMLOAD"));
                  };
              })},
        {20, TextId::ItemSoftwareArea, "", R::None, 0, false,
         With(CheckSteps{},
              [](CheckSteps& s) {
                  s.command = {C::DiagSoftwareArea};
                  s.rule = Rule::ShowsText;
                  s.field = "AREACHECK";
                  s.detail = " {AREACHECK|region}";
                  s.fault = TextId::ErrArea;
                  s.scrolls = true;
              })},
        {21, TextId::ItemConfigIntegrity, "PreConfigCheck", R::None, 0, false,
         With(CheckSteps{},
              [](CheckSteps& s) {
                  s.command = {C::DiagConfigIntegrity};
                  s.rule = Rule::FieldOk;
                  s.field = "INTEGRITYCHECK";
                  s.fault = TextId::ErrIntegrity;
                  s.scrolls = true;
                  s.fill = F::OnSuccess;
                  s.set = &SetPassed<&DiagRecord::PreConfigCheck>;
              })},
        {22, TextId::ItemDiskIntegrity, "DiskIntegrityCheck", R::None, 0, false,
         With(CheckSteps{},
              [](CheckSteps& s) {
                  s.command = {C::DiagDiskIntegrity};
                  s.rule = Rule::GatewayWord;
                  s.field = "DISKCHECK";
                  s.fault = TextId::ErrDisk;
                  s.scrolls = true;
                  s.fill = F::OnSuccess;
                  s.set = &SetPassed<&DiagRecord::DiskIntegrityCheck>;
              })},
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

const CheckItem* ItemJudgedBy(int questionId, int value) {
    const int port = value == 2 ? 2 : 1;
    const CheckItem* found = nullptr;
    for (const CheckItem& item : CheckItems()) {
        for (const CheckSteps* steps : {&item.steps, item.dslSteps}) {
            if (!steps || steps->judge != questionId)
                continue;
            if (item.questionPort == 0 || item.questionPort == port)
                return &item;
            if (!found)
                found = &item;
        }
    }
    return found;
}

} // namespace orva
