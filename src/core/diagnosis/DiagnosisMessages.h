#pragma once
// The notifications of a diagnosis run, by their window-message numbers (0x0400 is the platform's first
// private message). A question carries the number of the notification that asked it as its id.
namespace orva {

inline constexpr int kDiagMessageBase = 0x0400;

enum DiagMessage : int {
    WM_DIAG_LAN1_PROMPT = kDiagMessageBase + 1000,
    WM_DIAG_LAN1_RESULT = kDiagMessageBase + 1001,
    WM_DIAG_LAN2_PROMPT = kDiagMessageBase + 1002,
    WM_DIAG_LAN2_RESULT = kDiagMessageBase + 1003,
    WM_DIAG_LAN3_PROMPT = kDiagMessageBase + 1004,
    WM_DIAG_LAN3_RESULT = kDiagMessageBase + 1005,
    WM_DIAG_LAN4_PROMPT = kDiagMessageBase + 1006,
    WM_DIAG_LAN4_RESULT = kDiagMessageBase + 1007,
    WM_DIAG_UPLINK_PROMPT = kDiagMessageBase + 1008,
    WM_DIAG_UPLINK_RESULT = kDiagMessageBase + 1009,
    WM_DIAG_FLASH_RESULT = kDiagMessageBase + 1010,
    WM_DIAG_LED_PROMPT = kDiagMessageBase + 1012,
    WM_DIAG_LED_JUDGE = kDiagMessageBase + 1013,
    WM_DIAG_USB_RESULT = kDiagMessageBase + 1014,
    WM_DIAG_WIFI_RESULT = kDiagMessageBase + 1016,
    WM_DIAG_CONNECT_TIMEOUT = kDiagMessageBase + 1019,
    WM_DIAG_CONNECTED = kDiagMessageBase + 1020,
    WM_DIAG_CONNECT_ERROR = kDiagMessageBase + 1021,
    WM_DIAG_IDENTITY = kDiagMessageBase + 1022,
    WM_DIAG_FINISHED = kDiagMessageBase + 1023,
    WM_DIAG_POTS_START_FAILED = kDiagMessageBase + 1130,
    WM_DIAG_RING_PROMPT = kDiagMessageBase + 1131,
    WM_DIAG_RING_JUDGE = kDiagMessageBase + 1132,
    WM_DIAG_DTMF_PROMPT = kDiagMessageBase + 1133,
    WM_DIAG_DTMF_JUDGE = kDiagMessageBase + 1134,
    WM_DIAG_CNG_PROMPT = kDiagMessageBase + 1135,
    WM_DIAG_CNG_JUDGE = kDiagMessageBase + 1136,
    WM_DIAG_LOOP_PROMPT = kDiagMessageBase + 1137,
    WM_DIAG_LOOP_JUDGE = kDiagMessageBase + 1138,
    WM_DIAG_SWVERSION_RESULT = kDiagMessageBase + 1150,
    WM_DIAG_KEYPROC_RESULT = kDiagMessageBase + 1152,
    WM_DIAG_SYSRES_RESULT = kDiagMessageBase + 1153,
    WM_DIAG_AREA_RESULT = kDiagMessageBase + 1154,
    WM_DIAG_INTEGRITY_RESULT = kDiagMessageBase + 1155,
    WM_DIAG_DISK_RESULT = kDiagMessageBase + 1156,
    // Answers from the prompt window (wParam: question id, lParam: the question's value).
    WM_PROMPT_ACK = kDiagMessageBase + 3000,
    WM_PROMPT_YES = kDiagMessageBase + 3001,
    WM_PROMPT_NO = kDiagMessageBase + 3002,
    // Sent by the main window when the model was chosen elsewhere.
    WM_DEVICE_TYPE_CHANGED = kDiagMessageBase + 3010,
};

// The information prompts (acknowledged with OK) the check table asks before a command.
bool IsAcknowledgePrompt(int questionId);
// The yes/no questions the check table asks after a command.
bool IsJudgeQuestion(int questionId);

} // namespace orva
