#pragma once
// Gateway models and their check templates, kept in res/device.ini:
//   [DeviceName] List=KT540G,KT540G-U,...   the model names, comma-separated
//   [DeviceCount] Count=5                    how many of them are offered
//   [DeviceInfo] KT540G=1,1,...,1            22 flags per model, in item order
// The file is read anew at every use. When it is missing the front end is asked to end the process.
#include "core/diagnosis/CheckItems.h"

#include <array>
#include <string>
#include <vector>

namespace orva {

inline constexpr const char* kDeviceIniMissing = "device.ini is missing!";

// Models with fixed special handling in the run and the prompts (compared exactly, with letter case).
inline constexpr const char* kModelKT310 = "KT310";
inline constexpr const char* kModelKT310U = "KT310-U";
inline constexpr const char* kModelKT593G = "KT593G";
// The model the diagnosis page offers first.
inline constexpr const char* kDefaultModel = "KT540G";

// DSL uplink instead of an optical module (KT310, KT310-U).
bool IsDslModel(const std::string& model);
// Models that take no telephone start and stop commands (KT310, KT310-U, KT593G).
bool SkipsPotsStartStop(const std::string& model);

struct DeviceTemplate {
    std::string model; // empty for a template built without a model
    // flags[n-1] belongs to item n; non-zero selects the item. Flags the file does not give are 0.
    std::array<int, kCheckItemCount> flags{};

    bool selects(int item) const { return flags[static_cast<size_t>(item - 1)] != 0; }
    // What a check box shows: ticked only for exactly 1.
    bool ticks(int item) const { return flags[static_cast<size_t>(item - 1)] == 1; }
};

struct ModelList {
    std::string list; // the raw List text
    int count = 0;    // Count as read (text that is no number counts 0)
};

// JoinPath(ProgramDirectory(), "res/device.ini").
std::string DeviceIniPath();

// Each of these checks that the file exists first; when it does not, notifier().fatalExit(
// "device.ini is missing!", 0) is called and, should the front end not end the process, an empty
// result is returned.
ModelList ReadModelList();
DeviceTemplate LoadDeviceTemplate(const std::string& model);

// The model list names at most this many models (a limit of its own, not the number of check items).
inline constexpr int kMaxModelCount = 22;
// Cuts the list at every ','; empty pieces are skipped and names after the 22nd ignored.
std::vector<std::string> SplitModelList(const std::string& list);
// The first `count` names of the list, in list order (the names a model chooser offers).
std::vector<std::string> OfferedModels(const ModelList& models);

// Writes DeviceInfo/model as the 22 flags ("%d" each, joined by ','). False when the write failed.
bool SaveDeviceTemplate(const std::string& model, const std::array<int, kCheckItemCount>& flags);

// True when `name` occurs anywhere in the List text (plain case-sensitive substring search, so part of
// a longer listed name counts too; an empty name always counts).
bool IsKnownModel(const std::string& name);

// The model the technician last confirmed; empty until then. Safe to read from any thread.
std::string CurrentDeviceType();
void SetCurrentDeviceType(const std::string& model);

} // namespace orva
