#include "core/diagnosis/Prompts.h"

#include "core/app/TextTable.h"
#include "core/diagnosis/DeviceModels.h"
#include "core/diagnosis/DiagnosisMessages.h"

namespace orva {

namespace {

// Whether any row of the check table asks this question, before its command (prompt) or after it.
bool TableAsks(int id, int CheckSteps::*question) {
    for (const CheckItem& item : CheckItems())
        for (const CheckSteps* steps : {&item.steps, item.dslSteps})
            if (steps && id != 0 && steps->*question == id)
                return true;
    return false;
}

} // namespace

bool IsAcknowledgePrompt(int id) {
    return TableAsks(id, &CheckSteps::prompt);
}

bool IsJudgeQuestion(int id) {
    return TableAsks(id, &CheckSteps::judge);
}

Prompt PromptFor(int id, int port, const std::string& model) {
    const bool dsl = IsDslModel(model);
    const bool second = port == 2;
    auto make = [&](int mode, const std::string& title, TextId text, int value) {
        return Prompt{mode, title, Text(text), id, value};
    };
    switch (id) {
    case WM_DIAG_LAN1_PROMPT:
        return make(0, "LAN1口测试", TextId::PromptLan1, 0);
    case WM_DIAG_LAN2_PROMPT:
        return make(0, "LAN2口测试", TextId::PromptLan2, 0);
    case WM_DIAG_LAN3_PROMPT:
        return make(0, "LAN3口测试", TextId::PromptLan3, 0);
    case WM_DIAG_LAN4_PROMPT:
        return make(0, "LAN4口测试", TextId::PromptLan4, 0);
    case WM_DIAG_UPLINK_PROMPT:
        return dsl ? make(0, "DSL诊断测试", TextId::PromptDslConnect, 0)
                   : make(0, "光模块诊断测试", TextId::PromptOpticalConnect, 0);
    case WM_DIAG_UPLINK_RESULT:
        return make(1, "光模块诊断测试", TextId::PromptOpticalRead, 0);
    case WM_DIAG_LED_PROMPT:
        return make(0, "LED灯诊断测试", TextId::PromptLed, 0);
    case WM_DIAG_LED_JUDGE:
        return make(1, "LED灯诊断测试", dsl ? TextId::AskLedDsl : TextId::AskLed, 0);
    case WM_DIAG_RING_PROMPT:
        return make(0, second ? "POTS2口响铃测试" : "POTS1口响铃测试",
                    second ? TextId::PromptPots2Ring : TextId::PromptPots1Ring, 0);
    case WM_DIAG_RING_JUDGE:
        return make(1, second ? "POTS2口响铃测试" : "POTS1口响铃测试",
                    second ? TextId::AskPots2Ring : TextId::AskPots1Ring, port);
    case WM_DIAG_DTMF_PROMPT:
        return make(0, second ? "POTS2口DTMF测试" : "POTS1口DTMF测试",
                    second ? TextId::PromptPots2Dtmf : TextId::PromptPots1Dtmf, 0);
    case WM_DIAG_DTMF_JUDGE:
        return make(1, second ? "POTS2口DTMF测试" : "POTS1口DTMF测试",
                    second ? TextId::AskPots2Dtmf : TextId::AskPots1Dtmf, port);
    case WM_DIAG_CNG_PROMPT:
        return make(0, second ? "POTS2口CNG测试" : "POTS1口CNG测试",
                    second ? TextId::PromptPots2Cng : TextId::PromptPots1Cng, 0);
    case WM_DIAG_CNG_JUDGE:
        return make(1, second ? "POTS2口CNG测试" : "POTS1口CNG测试", second ? TextId::AskPots2Cng : TextId::AskPots1Cng,
                    port);
    case WM_DIAG_LOOP_PROMPT:
        return make(0, "LOOP测试", TextId::PromptPotsLoop, 0);
    case WM_DIAG_LOOP_JUDGE:
        return make(1, "LOOP测试", TextId::AskPotsLoop, 0);
    default:
        return Prompt{0, {}, {}, id, 0};
    }
}

} // namespace orva
