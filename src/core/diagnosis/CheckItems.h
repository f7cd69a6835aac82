#pragma once
// The twenty-two checks a diagnosis can run, always in this order. An item's number is its position in
// every list and in a model's template.
#include "app/TextTable.h"

#include <array>
#include <string>

namespace orva {

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

struct CheckItem {
    int number;              // 1..22
    TextId name;             // row of the text table
    const char* commands;    // the command operations that run it, for people reading logs and docs
    const char* recordField; // the DiagRecord field that receives the result, "" when none
    OperatorRole role;
};

const std::array<CheckItem, kCheckItemCount>& CheckItems();
// The item with that number (1..22; other numbers give the nearest end of the list).
const CheckItem& CheckItemAt(int number);
// The current text of the item's name.
std::string CheckItemName(int number);
// Two-digit number, two underscores, the name: "01__" + name. Sorting list boxes keep item order.
std::string CheckItemLabel(int number);

} // namespace orva
