#include "core/app/TextTable.h"

#include <array>
#include <exception>

namespace orva {
namespace {

struct Row {
    TextId id;
    std::vector<std::string> chinese;
    std::vector<std::string> english;
};

// One row per TextId, in the order of the enumeration (checked when the table is built). For caption rows
// the Chinese column is the control's built-in caption.
const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = {
        // Run status and messages
        {TextId::DiagFinished, {"诊断完毕"}, {"Diagnosis finish"}},
        {TextId::ConnectStatus, {"连接状态"}, {"connect status"}},
        {TextId::ConnectTimeout, {"连接超时"}, {"connect tineout"}},
        {TextId::ConnectError, {"连接错误"}, {"connect error"}},
        {TextId::ThreadStopped, {"线程已经终止"}, {"thread is stop"}},
        {TextId::CheckStopped, {"已经中止当前检测"}, {"Check Stop"}},
        {TextId::DeviceTypeNotSet, {"当前检测设备类型未指定，请确认"}, {"Current Device Type is NULL,Please Confrom"}},
        {TextId::ResultSuccess, {"成功"}, {"Successful"}},
        {TextId::ResultFailure, {"失败"}, {"Fault"}},
        {TextId::NoReportResult, {"当前没有检测结果"}, {"No report result now!"}},
        {TextId::ExitTitle, {"退出确认"}, {"Information"}},
        {TextId::ExitConfirm, {"确认退出？"}, {"Are you sure you want to exit?"}},
        {TextId::ExitUnreported,
         {"还有 %d 条记录未上报，确认退出？"},
         {"There is %d Items have not report，Are you sure you want to exit?"}},
        // Check-item names
        {TextId::ItemLan1, {"第一个LAN1口测试"}, {"LAN1 test"}},
        {TextId::ItemLan2, {"第一个LAN2口测试"}, {"LAN2 test"}},
        {TextId::ItemLan3, {"第一个LAN3口测试"}, {"LAN3 test"}},
        {TextId::ItemLan4, {"第一个LAN4口测试"}, {"LAN4 test"}},
        {TextId::ItemPots1Ring, {"POST1 响铃测试"}, {"POST1 ringon test"}},
        {TextId::ItemPots1Dtmf, {"POST1 DTMF测试"}, {"POST1 dtmf test"}},
        {TextId::ItemPots1Cng, {"POST1 CNG测试"}, {"POST1 cng test"}},
        {TextId::ItemPots2Ring, {"POST2 响铃测试"}, {"POST2 ringon test"}},
        {TextId::ItemPots2Dtmf, {"POST2 DTMF测试"}, {"POST2 dtmf test"}},
        {TextId::ItemPots2Cng, {"POST2 CNG测试"}, {"POST2 cng test"}},
        {TextId::ItemPotsLoop, {"LOOP测试"}, {"POST LOOP test"}},
        {TextId::ItemUplink, {"上行链路诊断"}, {"Light Moudle test"}},
        {TextId::ItemFlash, {"flash根目录空间使用情况"}, {"flash use status"}},
        {TextId::ItemLed, {"LED灯诊断"}, {"LED test"}},
        {TextId::ItemUsb, {"USB状态诊断"}, {"USB test"}},
        {TextId::ItemWifi, {"WIFI状态诊断"}, {"WIFI test"}},
        {TextId::ItemSoftwareVersion, {"软件版本号"}, {"Software version"}},
        {TextId::ItemKeyProcess, {"关键进程"}, {"Key process"}},
        {TextId::ItemSystemResource, {"系统资源"}, {"System resource"}},
        {TextId::ItemSoftwareArea, {"软件地区"}, {"Software area"}},
        {TextId::ItemConfigIntegrity, {"配置文件完整性"}, {"Intergity"}},
        {TextId::ItemDiskIntegrity, {"磁盘完整性"}, {"Disk"}},
        {TextId::ItemPotsStart, {"POST开始测试"}, {"POST1 start test"}},
        // Operator prompts
        {TextId::PromptLan1,
         {"请用网线连接LAN1口，然后点击“确定”"},
         {"Please connect LAN1，than click \"ok\"，to test LAN1!"}},
        {TextId::PromptLan2,
         {"请用网线连接LAN2口，然后点击“确定”"},
         {"Please connect LAN2，than click \"ok\"，to test LAN2!"}},
        {TextId::PromptLan3,
         {"请用网线连接LAN3口，然后点击“确定”"},
         {"Please connect LAN3，than click \"ok\"，to test LAN3!"}},
        {TextId::PromptLan4,
         {"请用网线连接LAN4口，然后点击“确定”"},
         {"Please connect LAN4，than click \"ok\"，to test LAN4!"}},
        {TextId::PromptOpticalConnect,
         {"请将网关的光模块接口和光功率计进行直连，然后点击“确定”"},
         {"Please connect light Power device than click \"ok\""}},
        {TextId::PromptOpticalRead,
         {"请读取光功率计上的示数，如果在正常范围（-1dbm～+4dbm），请点击“确定”；反之点击“取消”"},
         {"Please check whether the optical power value is between -1 dBm to 5dBm"}},
        {TextId::PromptDslConnect,
         {"请插入DSL电话线，然后点击“确定”"},
         {"Please plug in the DSL telephone line, then click \"ok\""}},
        {TextId::PromptPots1Ring,
         {"请将电话线插到POTS1口，然后点击“确定”"},
         {"Will be set ringon to POST1,Please put telephone line to POST1,than click \"ok\""}},
        {TextId::AskPots1Ring,
         {"话机响铃，点击“确定”, 话机不响铃，点击“取消”"},
         {"If telephone bell,click \"yes\",otherwise click \"no\""}},
        {TextId::PromptPots1Dtmf,
         {"请摘机，然后点击“确定”"},
         {"Will be set dtmf to POST1,Please pick up the telephone phone to POST1,than click \"ok\""}},
        {TextId::AskPots1Dtmf,
         {"如果在话机中听到DTMF音，请点击“确定”；反之点击“取消”"},
         {"If listen dtmf sound,click \"yes\",otherwise click \"no\""}},
        {TextId::PromptPots1Cng,
         {"继续保持摘机状态，请点击“确定”"},
         {"Will be set cng to POST1,Please pick up the telephone phone to POST1,than click \"ok\""}},
        {TextId::AskPots1Cng,
         {"如果在话机中听到CNG音，请点击“确定”；反之点击“取消”"},
         {"If listen cng sound,click \"yes\",otherwise click \"no\""}},
        {TextId::PromptPots2Ring,
         {"请将电话线插到POTS2口，然后点击“确定”"},
         {"Will be set ringon to POST2,Please put telephone line to POST1,than click \"ok\""}},
        {TextId::AskPots2Ring,
         {"话机响铃，点击“确定”, 话机不响铃，点击“取消”"},
         {"If telephone bell,click \"yes\",otherwise click \"no\""}},
        {TextId::PromptPots2Dtmf,
         {"请摘机，然后点击“确定”"},
         {"Will be set dtmf to POST2,Please pick up the telephone phone to POST1,than click \"ok\""}},
        {TextId::AskPots2Dtmf,
         {"如果在话机中听到DTMF音，请点击“确定”；反之点击“取消”"},
         {"If listen dtmf sound,click \"yes\",otherwise click \"no\""}},
        {TextId::PromptPots2Cng,
         {"继续保持摘机状态，请点击“确定”"},
         {"Will be set cng to POST2,Please pick up the telephone phone to POST1,than click \"ok\""}},
        {TextId::AskPots2Cng,
         {"如果在话机中听到CNG音，请点击“确定”；反之点击“取消”"},
         {"If listen cng sound,click \"yes\",otherwise click \"no\""}},
        {TextId::PromptPotsLoop,
         {"请将两部话机A，B分别接入POTS1口和POTS2口，并且保持摘机状态，然后点击“确定”"},
         {"Will test loop of POST1 and POST2 ,Please put telephone line to POST1 and POST2"}},
        {TextId::AskPotsLoop,
         {"如果话机A，B能互相听到对方的声音，请点击“确定”；反之点击“取消”"},
         {"If loop is ok ,click \"yes\",otherwise click \"no\""}},
        {TextId::PromptLed, {"请点击“确定”触发测试"}, {"Will open all LEDs,click \"ok\"，to test"}},
        {TextId::AskLed,
         {"如果LED灯全部点亮，请点击“确定”；其他情况请点击“取消”"},
         {"Please confirm whether all LEDs are on（Not contain Web LED）"}},
        {TextId::AskLedDsl,
         {"如果LED灯全部点亮，请点击“确定”；其他情况请点击“取消”"},
         {"If all LEDs are on, click \"ok\"; otherwise click \"cancel\""}},
        // Fault texts
        {TextId::ErrFe1, {"FE1 不正常"}, {"FE1 Error"}},
        {TextId::ErrFe2, {"FE2 不正常"}, {"FE2 Error"}},
        {TextId::ErrFe3, {"FE3 不正常"}, {"FE3 Error"}},
        {TextId::ErrFe4, {"FE4 不正常"}, {"FE4 Error"}},
        {TextId::ErrUplink, {"上行链路不正常"}, {"Light Moudle Error"}},
        {TextId::ErrFlash, {"Flash 不正常"}, {"Flash Error"}},
        {TextId::ErrLed, {"LED 不正常"}, {"LED Error"}},
        {TextId::ErrUsb, {"USB 不正常"}, {"USB Error"}},
        {TextId::ErrWifi, {"WIFI 不正常"}, {"WIFI Error"}},
        {TextId::ErrPots1Ring, {"POST1响铃 不正常"}, {"POST1 ringon Error"}},
        {TextId::ErrPots2Ring, {"POST2响铃 不正常"}, {"POST2 ringon Error"}},
        {TextId::ErrPots1Dtmf, {"POST1 dtmf 不正常"}, {"POST1 dtmf Error"}},
        {TextId::ErrPots2Dtmf, {"POST2 dtmf 不正常"}, {"POST2 dtmf Error"}},
        {TextId::ErrPots1Cng, {"POST1 cng 不正常"}, {"POST1 cng Error"}},
        {TextId::ErrPots2Cng, {"POST2 cng 不正常"}, {"POST2 cng Error"}},
        {TextId::ErrPotsLoop, {"POST loop 不正常"}, {"POST loop Error"}},
        {TextId::ErrSoftwareVersion, {"软件版本号 不正常"}, {"Software Version Error"}},
        {TextId::ErrKeyProcess, {"关键进程不正常"}, {"Key Process Error"}},
        {TextId::ErrSystemResource, {"系统资源 不正常"}, {"CPU Memory Error"}},
        {TextId::ErrArea, {"地区 不正常"}, {"AREA Error"}},
        {TextId::ErrIntegrity, {"一致性 不正常"}, {"Intergrity Error"}},
        {TextId::ErrDisk, {"磁盘检查 不正常"}, {"DISK Error"}},
        // Column headings
        {TextId::ColDiagStatus, {"诊断状态"}, {"Stauts"}},
        {TextId::ColDiagItem, {"诊断项"}, {"Item"}},
        {TextId::LogColumns1, {"序号", "检测项", "检测结果"}, {"No", "Item", "Result"}},
        {TextId::LogColumns2, {"序号", "检测项", "检测结果"}, {"No", "Item", "Result"}},
        // Login and update
        {TextId::UserNameEmpty, {"用户名输入不能为空"}, {"user input null"}},
        {TextId::PasswordEmpty, {"密码输入不能为空"}, {"password input null"}},
        {TextId::LoginFailed, {"登录失败!"}, {"Login Failure!"}},
        {TextId::OfflineLoginOk, {"离线登录成功!"}, {"OffLine Login Success!"}},
        {TextId::OfflineLoginFailed, {"离线登录失败!"}, {"OffLine Login Failure!"}},
        {TextId::AskDownloadNewVersion,
         {"新版本，确认下载升级包吗?"},
         {"There is a new version，Conform to download install file?"}},
        {TextId::UpdateDownloadFailed,
         {"更新文件下载失败!\r\n重新下载吗?"},
         {"Install file download Failure!\r\nReload?"}},
        {TextId::UpdateDownloadOk,
         {"更新文件下载成功!\r\n请手动安装!"},
         {"Install file download Success!\r\nPlease install it manual!"}},
        // Diagnosis page
        {TextId::CapMaintAddress, {"终端维护地址："}, {"EPON Maintenance IP adress:"}},
        {TextId::CapDiagResult, {"诊断结果："}, {"Diagnosis"}},
        {TextId::CapBoardInfo, {"单板基本信息"}, {"Basic Board Information"}},
        {TextId::CapProductForm, {"产品形态："}, {"Device:"}},
        {TextId::CapBarcode, {"整机条码："}, {"EPON code:"}},
        {TextId::CapItemList, {"诊断项列表"}, {"Diagnosis Item"}},
        // Restore-factory-defaults page
        {TextId::CapResetDeviceInfo, {"设置维护信息"}, {"Device Info"}},
        {TextId::CapResetAddress, {"维护地址："}, {"Maintenance IP adress:"}},
        {TextId::CapResetOperation, {"操作"}, {"Operation"}},
        {TextId::TitleReset, {""}, {"Restore to Factory Defaults"}},
        // Image-upgrade page
        {TextId::CapChooseImage, {"选择镜像："}, {"Choose Image"}},
        {TextId::CapAfterTransfer, {"镜像传输完成后："}, {"After Image Transported："}},
        {TextId::CapTransferNote1,
         {"1）若设备语音1灯被点亮，则说明传输失败，需断电重启重新进行升级。"},
         {"engilsh-1）若设备语音1灯被点亮，则说明传输失败，需断电重启重新进行升级。"}},
        {TextId::CapTransferNote2,
         {"2）若设备语音1灯没被点亮，则说明传输成功并且设备正在更新镜像。等待20秒后可观察到光信号灯长亮，说明设备已重启"
          "，镜像升级成功；若未观察到光信号灯长亮，说明镜像升级失败，需断电重启重新进行升级。"},
         {"engilsh-"
          "2）若设备语音1灯没被点亮，则说明传输成功并且设备正在更新镜像。等待20秒后可观察到光信号灯长亮，说明设备已重启"
          "，镜像升级成功；若未观察到光信号灯长亮，说明镜像升级失败，需断电重启重新进行升级。"}},
        {TextId::TitleImageUpgrade, {""}, {"Image Upgrade"}},
        // Login dialog
        {TextId::CapUserName, {"用户名:"}, {"UserName:"}},
        {TextId::CapPassword, {"密  码:"}, {"Password:"}},
        {TextId::TitleLogin, {""}, {"Login"}},
        // All-logs page
        {TextId::CapSaveButton, {"保存"}, {"save"}},
        // Diagnosis page: progress of a run and a refused model change
        {TextId::DiagConnecting, {"正在连接 %s …"}, {"Connecting to %s …"}},
        {TextId::ItemRunning, {"检测中…"}, {"checking…"}},
        {TextId::ModelLockedDuringRun,
         {"检测进行中，不能更改设备类型。"},
         {"A diagnosis is running: the device type cannot be changed."}},
        // Roll-call before a restore or an image transfer
        {TextId::RollCallPresent, {"点名：SN = %s（%s）在线。"}, {"Roll-call: SN = %s (%s) is present."}},
        {TextId::RollCallSummary, {"点名：%zu个网关在线。"}, {"Roll-call: %zu gateways present."}},
        {TextId::RollCallIgnored,
         {"点名：%zu个应答无法识别，已忽略。"},
         {"Roll-call: %zu replies that were no gateway's identity were ignored."}},
        {TextId::RollCallBeyond,
         {"点名：另有%zu个应答超出%zu个网关的上限，未列入。"},
         {"Roll-call: %zu more replies beyond the limit of %zu gateways were not kept."}},
        {TextId::RestoreNeverAnswered,
         {"SN = %s（%s）在点名中在线，但未应答恢复出厂设置。"},
         {"SN = %s (%s) answered the roll-call but never answered the restore."}},
        {TextId::UpgradeNeverAnswered,
         {"SN = %s（%s）在点名中在线，但未应答升级状态查询。"},
         {"SN = %s (%s) answered the roll-call but never answered the upgrade check."}},
        {TextId::CapQueryAgain, {"重新查询"}, {"Query again"}},
        // Statistics window, its figures and orva-cli stats
        {TextId::StatButton, {"统计"}, {"Statistics"}},
        {TextId::StatTitle, {"记录统计"}, {"Record statistics"}},
        {TextId::StatSummary, {"概况"}, {"Summary"}},
        {TextId::StatUnits, {"记录数"}, {"Units"}},
        {TextId::StatFaultless, {"无故障记录数"}, {"Units with no fault"}},
        {TextId::StatItemNumber, {"序号"}, {"No."}},
        {TextId::StatItemName, {"检测项"}, {"Check item"}},
        {TextId::StatTested, {"检测数"}, {"Tested"}},
        {TextId::StatFailed, {"失败数"}, {"Failed"}},
        {TextId::StatRate, {"失败率(%)"}, {"Failure rate (%)"}},
        {TextId::StatModel, {"设备类型"}, {"Model"}},
        {TextId::StatWithFault, {"有故障数"}, {"With a fault"}},
        {TextId::StatDay, {"日期"}, {"Day"}},
        {TextId::StatItemsChart, {"各检测项失败率(%)"}, {"Failure rate per check item (%)"}},
        {TextId::StatModelsChart, {"各设备类型故障率(%)"}, {"Failure rate per model (%)"}},
        {TextId::StatDaysChart, {"每日记录数"}, {"Units per day"}},
        {TextId::StatExportPng, {"导出图片"}, {"Export PNG"}},
        {TextId::StatExportCsv, {"导出CSV"}, {"Export CSV"}},
        {TextId::StatComputing, {"统计中…"}, {"Computing…"}},
        {TextId::StatComputeFailed, {"统计失败：%s"}, {"The statistics could not be computed: %s"}},
        {TextId::StatSaved, {"统计已保存到 %s"}, {"Statistics saved to %s"}},
        {TextId::StatSaveFailed, {"统计无法保存到 %s：%s"}, {"Could not save the statistics to %s: %s"}},
        // Log query page: the details of the selected record, and the faults sheet of the export
        {TextId::DetailsNoSelection,
         {"选择一条记录，查看其检测项和故障。"},
         {"Select a record to see its checks and faults."}},
        {TextId::DetailsRecord, {"记录 %s，序列号 %s"}, {"Record %s, serial number %s"}},
        {TextId::DetailsChecks, {"检测项"}, {"Checks"}},
        {TextId::DetailsFaults, {"故障"}, {"Faults"}},
        {TextId::DetailsNoFaults, {"未记录故障"}, {"No faults recorded"}},
        {TextId::DetailsFaultsUnread, {"故障读取失败：%s"}, {"The faults could not be read: %s"}},
        {TextId::FaultSheetName, {"故障"}, {"Faults"}},
        {TextId::FaultColRecord, {"记录ID"}, {"Record ID"}},
        {TextId::FaultColSn, {"序列号"}, {"SN"}},
        {TextId::FaultColMac, {"Mac地址"}, {"MAC"}},
        {TextId::FaultColDate, {"日期"}, {"Date"}},
        {TextId::FaultColItemNumber, {"检测项编号"}, {"Item No."}},
        {TextId::FaultColItem, {"检测项"}, {"Item"}},
        {TextId::FaultColFault, {"故障"}, {"Fault"}},
    };
    return rows;
}

// ASCII-only comparison: the process locale must not decide which language a setting names.
bool EqualsIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        auto lower = [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

bool IsListRow(TextId id) {
    return id == TextId::LogColumns1 || id == TextId::LogColumns2;
}

struct Current {
    std::string language;
    std::array<std::vector<std::string>, kTextIdCount> texts;
};

Current MakeUnselected() {
    Current c;
    for (std::size_t i = 0; i < kTextIdCount; ++i)
        c.texts[i].assign(IsListRow(static_cast<TextId>(i)) ? 3 : 1, std::string());
    return c;
}

Current& State() {
    static Current current = MakeUnselected();
    return current;
}

const std::string& Empty() {
    static const std::string empty;
    return empty;
}

bool ValidId(TextId id) {
    return static_cast<std::size_t>(id) < kTextIdCount;
}

const Row& RowOf(TextId id) {
    const auto& rows = Rows();
    static const bool ordered = [&] {
        if (rows.size() != kTextIdCount)
            return false;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (static_cast<std::size_t>(rows[i].id) != i)
                return false;
        return true;
    }();
    // A table out of step with the enumeration is a build mistake; fail loudly rather than show wrong texts.
    if (!ordered)
        std::terminate();
    return rows[static_cast<std::size_t>(id)];
}

void Apply(const char* language, bool english) {
    Current& c = State();
    c.language = language;
    for (std::size_t i = 0; i < kTextIdCount; ++i) {
        const Row& row = RowOf(static_cast<TextId>(i));
        c.texts[i] = english ? row.english : row.chinese;
    }
}

} // namespace

void SelectLanguage(const std::string& name) {
    if (EqualsIgnoringCase(name, "Chinese"))
        Apply("Chinese", false);
    if (EqualsIgnoringCase(name, "English"))
        Apply("English", true);
}

bool SelectStartupLanguage(const std::string& name) {
    SelectLanguage(name);
    if (!LanguageName().empty())
        return true;
    SelectLanguage("Chinese");
    return false;
}

const std::string& Text(TextId id) {
    if (!ValidId(id) || IsListRow(id))
        return Empty();
    return State().texts[static_cast<std::size_t>(id)].front();
}

const std::vector<std::string>& TextList(TextId id) {
    static const std::vector<std::string> none;
    if (!ValidId(id))
        return none;
    return State().texts[static_cast<std::size_t>(id)];
}

const std::string& ChineseText(TextId id) {
    if (!ValidId(id) || IsListRow(id))
        return Empty();
    return RowOf(id).chinese.front();
}

const std::vector<std::string>& ChineseTextList(TextId id) {
    static const std::vector<std::string> none;
    if (!ValidId(id))
        return none;
    return RowOf(id).chinese;
}

const std::string& EnglishText(TextId id) {
    if (!ValidId(id) || IsListRow(id))
        return Empty();
    return RowOf(id).english.front();
}

const std::string& LanguageName() {
    return State().language;
}

bool IsEnglish() {
    return State().language == "English";
}

void ResetLanguageForTests() {
    State() = MakeUnselected();
}

} // namespace orva
