#pragma once
// The twenty-two checks a diagnosis can run, always in this order, and how each one runs: the table the
// diagnosis run walks. An item's number is its position in every list and in a model's template.
//
// A check is one row: its name, the question before its command, the DeviceCommands operation, how the
// reply (or the technician's answer) is judged and which record field receives it. Only the telephone
// test's start and stop around items 5-11 are not rows: the run brackets those items with them.
#include "core/app/TextTable.h"
#include "core/records/DiagRecord.h"

#include <array>
#include <string>

namespace orva {

class DeviceReply;

inline constexpr int kCheckItemCount = 22;
// Items 1-16 go to the hardware port, 17-22 to the software port.
inline constexpr int kLastHardwareItem = 16;

// What the technician has to do for an item.
enum class OperatorRole {
    None,
    ConnectsCable,      // plug a cable in, then the check runs
    PreparesThenJudges, // prepare, then judge what was seen or heard
    PreparesUplink,     // prepare; judges the meter reading on optical models only
};

// The DeviceCommands operation a check sends, by its name there.
enum class CheckCommand {
    None,
    DiagLanPort,
    DiagPotsRingOn,
    DiagPotsPlayDtmf,
    DiagPotsCngTone,
    DiagPotsCallLoop,
    DiagUplink,
    DiagFlash,
    DiagLed,
    DiagUsb,
    DiagWifi,
    DiagSoftwareVersion,
    DiagKeyProcess,
    DiagSystemResource,
    DiagSoftwareArea,
    DiagConfigIntegrity,
    DiagDiskIntegrity,
};

struct CommandCall {
    CheckCommand op = CheckCommand::None;
    int port = 0;            // the operation's port argument: LAN 1..4, telephone 0..1
    const char* method = ""; // the operation's method argument: "START", "ON", ...
};

// How a reply becomes the item's mark ("√", "X" or the gateway's word), result text and fault.
enum class ReplyRule {
    OperatorJudges, // the technician's yes or no
    Status,         // passes on the status word of success
    StatusAndField, // the status word of success and `field` "OK"
    FieldOk,        // `field` "OK", whatever the status said
    // Marked by the status word; whenever the gateway answered at all the result is "success" and
    // `detail`, and only a failed exchange shows "failure".
    StatusWithDetail,
    // The gateway's text is shown: √ when `field` has any, the result "success" and `detail`; a fault
    // when the status is not success.
    ShowsText,
    // The mark is `field` as the gateway wrote it, unless the request was not recognised.
    GatewayWord,
};

// When the row's setter writes the record.
enum class FillWhen {
    Never,
    OnSuccess, // the exchange went through and the status word is success
    Always,    // after every exchange; the setter is told whether it succeeded
    OnYes,     // the technician answered yes
    // Once the last row of a run of rows sharing the record field is answered, if none of those
    // answered no (the telephone port's ring, tone and fax-tone questions fill one field).
    OnGroupYes,
};

using RecordSetter = void (*)(DiagRecord& record, const DeviceReply& reply, bool succeeded);

// What an item does on one model family (the uplink differs on DSL models).
struct CheckSteps {
    int prompt = 0;      // the information prompt before the command (notification number), 0 none
    CommandCall command; // runs the check
    int judge = 0;       // the yes/no question after the command, 0 when the reply is judged
    // Sent after the result: ends the test mode `command` began.
    CommandCall close;
    // A run stopped between `command` and `close` still sends `close`: the gateway would otherwise stay
    // in its test mode (ringing, the optical test) until restarted.
    bool closeOnStop = false;
    ReplyRule rule = ReplyRule::OperatorJudges;
    const char* field = "";               // the reply field the rule reads
    const char* detail = "";              // after "success": reply fields in braces, "{F|region}" for a region code
    TextId fault = TextId::ResultFailure; // collected when the item fails
    // The item list scrolls to the row when its result (or, for a judged item, its question) shows.
    bool scrolls = false;
    FillWhen fill = FillWhen::Never;
    RecordSetter set = nullptr;
};

struct CheckItem {
    int number;              // 1..22
    TextId name;             // row of the text table
    const char* recordField; // the DiagRecord field that receives the result, "" when none
    OperatorRole role;
    int questionPort; // the telephone port (1, 2) the questions name, 0 for the others
    bool telephone;   // runs inside the telephone test's start and stop
    CheckSteps steps;
    // DSL models (IsDslModel) run these instead when given.
    const CheckSteps* dslSteps = nullptr;

    const CheckSteps& stepsFor(bool dsl) const { return dsl && dslSteps ? *dslSteps : steps; }
    bool hardware() const { return number <= kLastHardwareItem; }
};

const std::array<CheckItem, kCheckItemCount>& CheckItems();
// The item with that number (1..22; other numbers give the nearest end of the list).
const CheckItem& CheckItemAt(int number);
// The current text of the item's name.
std::string CheckItemName(int number);
// Two-digit number, two underscores, the name: "01__" + name. Sorting list boxes keep item order.
std::string CheckItemLabel(int number);

// The item whose yes/no question this is; `value` (the telephone port the answer names, 1 or 2)
// chooses between the two ports' items. nullptr for any other question.
const CheckItem* ItemJudgedBy(int questionId, int value);

} // namespace orva
