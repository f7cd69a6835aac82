#pragma once
// The bilingual text table: every text the tool shows that exists in Chinese and in English. Start-up
// selects the language once, before any window exists; afterwards the texts are read-only and may be read
// from any thread.
#include <cstddef>
#include <string>
#include <vector>

namespace orva {

enum class TextId {
    // Run status and messages
    DiagFinished,
    ConnectStatus,
    ConnectTimeout,
    ConnectError,
    ThreadStopped,
    CheckStopped,
    DeviceTypeNotSet,
    ResultSuccess,
    ResultFailure,
    NoReportResult,
    ExitTitle,
    ExitConfirm,
    ExitUnreported,
    // Check-item names
    ItemLan1,
    ItemLan2,
    ItemLan3,
    ItemLan4,
    ItemPots1Ring,
    ItemPots1Dtmf,
    ItemPots1Cng,
    ItemPots2Ring,
    ItemPots2Dtmf,
    ItemPots2Cng,
    ItemPotsLoop,
    ItemUplink,
    ItemFlash,
    ItemLed,
    ItemUsb,
    ItemWifi,
    ItemSoftwareVersion,
    ItemKeyProcess,
    ItemSystemResource,
    ItemSoftwareArea,
    ItemConfigIntegrity,
    ItemDiskIntegrity,
    ItemPotsStart,
    // Operator prompts
    PromptLan1,
    PromptLan2,
    PromptLan3,
    PromptLan4,
    PromptOpticalConnect,
    PromptOpticalRead,
    PromptDslConnect,
    PromptPots1Ring,
    AskPots1Ring,
    PromptPots1Dtmf,
    AskPots1Dtmf,
    PromptPots1Cng,
    AskPots1Cng,
    PromptPots2Ring,
    AskPots2Ring,
    PromptPots2Dtmf,
    AskPots2Dtmf,
    PromptPots2Cng,
    AskPots2Cng,
    PromptPotsLoop,
    AskPotsLoop,
    PromptLed,
    AskLed,
    AskLedDsl,
    // Fault texts
    ErrFe1,
    ErrFe2,
    ErrFe3,
    ErrFe4,
    ErrUplink,
    ErrFlash,
    ErrLed,
    ErrUsb,
    ErrWifi,
    ErrPots1Ring,
    ErrPots2Ring,
    ErrPots1Dtmf,
    ErrPots2Dtmf,
    ErrPots1Cng,
    ErrPots2Cng,
    ErrPotsLoop,
    ErrSoftwareVersion,
    ErrKeyProcess,
    ErrSystemResource,
    ErrArea,
    ErrIntegrity,
    ErrDisk,
    // Column headings
    ColDiagStatus,
    ColDiagItem,
    LogColumns1,
    LogColumns2,
    // Login and update
    UserNameEmpty,
    PasswordEmpty,
    LoginFailed,
    OfflineLoginOk,
    OfflineLoginFailed,
    AskDownloadNewVersion,
    UpdateDownloadFailed,
    UpdateDownloadOk,
    // Diagnosis page
    CapMaintAddress,
    CapDiagResult,
    CapBoardInfo,
    CapProductForm,
    CapBarcode,
    CapItemList,
    // Restore-factory-defaults page
    CapResetDeviceInfo,
    CapResetAddress,
    CapResetOperation,
    TitleReset,
    // Image-upgrade page
    CapChooseImage,
    CapAfterTransfer,
    CapTransferNote1,
    CapTransferNote2,
    TitleImageUpgrade,
    // Login dialog
    CapUserName,
    CapPassword,
    TitleLogin,
    // All-logs page
    CapSaveButton,
    // Diagnosis page: progress of a run and a refused model change
    DiagConnecting, // "%s": the gateway's address
    ItemRunning,
    ModelLockedDuringRun,
    // Roll-call before a restore or an image transfer (serial, address / counts)
    RollCallPresent,
    RollCallSummary,
    RollCallIgnored,
    RollCallBeyond,
    RestoreNeverAnswered,
    UpgradeNeverAnswered,
    CapQueryAgain,
    // Statistics window, its figures and orva-cli stats
    StatButton,
    StatTitle,
    StatSummary,
    StatUnits,
    StatFaultless,
    StatItemNumber,
    StatItemName,
    StatTested,
    StatFailed,
    StatRate,
    StatModel,
    StatWithFault,
    StatDay,
    StatItemsChart,
    StatModelsChart,
    StatDaysChart,
    StatExportPng,
    StatExportCsv,
    StatComputing,
    StatComputeFailed, // "%s": the store's error text
    StatSaved,         // "%s": the file
    StatSaveFailed,    // "%s": the file, "%s": why
    // Log query page: the details of the selected record, and the faults sheet of the export
    DetailsNoSelection,
    DetailsRecord, // "%s": the record's id, then its serial number
    DetailsChecks,
    DetailsFaults,
    DetailsNoFaults,
    DetailsFaultsUnread, // "%s": the store's error
    FaultSheetName,
    FaultColRecord,
    FaultColSn,
    FaultColMac,
    FaultColDate,
    FaultColItemNumber,
    FaultColItem,
    FaultColFault,
    Count_ // number of rows, not a row
};

inline constexpr std::size_t kTextIdCount = static_cast<std::size_t>(TextId::Count_);

// Compares `name` with "Chinese" and then "English", ignoring letter case, and on a match makes that
// column current. Any other name (also "Chinese " with a blank) changes nothing.
void SelectLanguage(const std::string& name);
// What start-up calls with the Language setting: SelectLanguage(name), and Chinese (the setting's default)
// when name is neither language. A run's questions, item names and results are texts of the table: left
// unselected they would all be empty, and a technician would answer questions nobody can read into the
// record. False when Chinese stood in; the caller says so.
bool SelectStartupLanguage(const std::string& name);

// The current text of a row: empty while no language is selected. For the list rows LogColumns1/LogColumns2
// it is empty; use TextList.
//
// Caption rows (Cap*, Title*) answer with the caption for the selected language: the English caption when
// English is selected, and with Chinese selected the control's built-in Chinese caption (empty for window
// titles, which have none). A dialog may therefore set Text(id) whenever it is non-empty; it still only
// has to apply captions when IsEnglish() is true.
const std::string& Text(TextId id);
// The current texts of a row as a list: the three headings for LogColumns1/LogColumns2 (three empty texts
// while unselected), a single text for every other row.
const std::vector<std::string>& TextList(TextId id);
// The columns themselves, whatever is selected (empty for the list rows).
const std::string& ChineseText(TextId id);
const std::string& EnglishText(TextId id);
// The Chinese column as a list, whatever is selected: the three headings of a list row, the single text
// of every other row. What a control shows while no language is selected.
const std::vector<std::string>& ChineseTextList(TextId id);

// "" until a language is selected, then exactly "Chinese" or "English".
const std::string& LanguageName();
bool IsEnglish();

// Back to the unselected state. Only for tests, which select languages one after another; the tool
// itself selects once and never goes back.
void ResetLanguageForTests();

} // namespace orva
