#include "core/diagnosis/DeviceModels.h"

#include "core/app/IniFile.h"
#include "core/app/Notifier.h"
#include "core/app/ProgramDirectory.h"

#include <filesystem>
#include <mutex>

namespace orva {
namespace {

constexpr const char* kSectionName = "DeviceName";
constexpr const char* kSectionCount = "DeviceCount";
constexpr const char* kSectionInfo = "DeviceInfo";

// Values are read into a buffer of 1000 characters, like every profile value of the tool.
constexpr size_t kValueMax = 999;

std::mutex g_typeMutex;
std::string g_currentType;

// The file as it is now, or nullopt after asking the front end to end the process.
std::optional<IniFile> OpenDeviceIni() {
    const std::string path = DeviceIniPath();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        notifier().fatalExit(kDeviceIniMissing, 0);
        return std::nullopt;
    }
    auto ini = IniFile::load(path);
    if (!ini) {
        notifier().fatalExit(kDeviceIniMissing, 0);
        return std::nullopt;
    }
    return ini;
}

std::string Value(const IniFile& ini, const char* section, const std::string& key) {
    std::string v = ini.get(section, key);
    if (v.size() > kValueMax)
        v.resize(kValueMax);
    return v;
}

} // namespace

bool IsDslModel(const std::string& model) {
    return model == kModelKT310 || model == kModelKT310U;
}

bool SkipsPotsStartStop(const std::string& model) {
    return IsDslModel(model) || model == kModelKT593G;
}

std::string DeviceIniPath() {
    return JoinPath(ProgramDirectory(), "res/device.ini");
}

ModelList ReadModelList() {
    ModelList out;
    auto ini = OpenDeviceIni();
    if (!ini)
        return out;
    out.list = Value(*ini, kSectionName, "List");
    out.count = LeadingInt(Value(*ini, kSectionCount, "Count"));
    return out;
}

std::vector<std::string> SplitModelList(const std::string& list) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= list.size() && names.size() < static_cast<size_t>(kMaxModelCount)) {
        size_t comma = list.find(',', start);
        size_t end = comma == std::string::npos ? list.size() : comma;
        if (end > start)
            names.push_back(list.substr(start, end - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return names;
}

std::vector<std::string> OfferedModels(const ModelList& models) {
    std::vector<std::string> names = SplitModelList(models.list);
    size_t n = models.count < 0 ? 0 : static_cast<size_t>(models.count);
    if (names.size() > n)
        names.resize(n);
    return names;
}

DeviceTemplate LoadDeviceTemplate(const std::string& model) {
    DeviceTemplate t;
    t.model = model;
    auto ini = OpenDeviceIni();
    if (!ini)
        return t;
    const std::string value = Value(*ini, kSectionInfo, model);
    if (value.empty())
        return t;
    // Every comma starts the next flag, so an empty piece ("1,,1") leaves its flag at 0 and the flags
    // after it keep their positions.
    size_t start = 0;
    for (size_t i = 0; i < t.flags.size(); ++i) {
        size_t comma = value.find(',', start);
        t.flags[i] = LeadingInt(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return t;
}

bool SaveDeviceTemplate(const std::string& model, const std::array<int, kCheckItemCount>& flags) {
    std::string value;
    for (size_t i = 0; i < flags.size(); ++i) {
        if (i)
            value += ',';
        value += std::to_string(flags[i]);
    }
    return WriteProfileString(DeviceIniPath(), kSectionInfo, model, value);
}

bool IsKnownModel(const std::string& name) {
    const ModelList models = ReadModelList();
    return models.list.find(name) != std::string::npos;
}

std::string CurrentDeviceType() {
    std::lock_guard lock(g_typeMutex);
    return g_currentType;
}

void SetCurrentDeviceType(const std::string& model) {
    std::lock_guard lock(g_typeMutex);
    g_currentType = model;
}

} // namespace orva
