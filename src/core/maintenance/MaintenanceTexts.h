#pragma once
// The texts of the restore and image upgrade pages. They exist in Chinese only and read the same
// whichever language is selected.

namespace orva::maintenance_text {

// Restore result lines: serial number, date ("%Y-%m-%d %H:%M:%S").
inline constexpr const char* kRestoreSuccess = "SN = %s，网关恢复出厂设置成功。日期：%s";
inline constexpr const char* kRestoreFailureWithSn = "SN = %s，网关恢复出厂设置失败。日期：%s";
inline constexpr const char* kRestoreFailure = "网关恢复出厂设置失败。日期：%s";
inline constexpr const char* kRestoreDateFormat = "%Y-%m-%d %H:%M:%S";
inline constexpr const char* kRestoreSuccessStatus = "HG_REVOCERY_PRECONFIG_SUCC";
// Closes the list when more gateways answered than get a line each: how many more there were.
inline constexpr const char* kRestoreMoreGateways = "另有%zu个网关应答，结果未逐条列出。";

// Upgrade result lines; the date is formatted "%Y-%m-%d,%H:%M:%S".
inline constexpr const char* kUpgradeSuccessBuild = "SN = %s，升级成功. 软件编译日期：%s.软件升级日期：%s.";
inline constexpr const char* kUpgradeSuccess = "SN = %s，升级成功. 软件升级日期：%s.";
inline constexpr const char* kUpgradeUnknown = "SN = %s，升级状态未知. 软件升级日期：%s.";
inline constexpr const char* kUpgradeFail = "SN = %s，升级失败. 软件升级日期：%s.";
inline constexpr const char* kUpgradeOther = "升级失败. 软件升级日期：%s.";
inline constexpr const char* kUpgradeDateFormat = "%Y-%m-%d,%H:%M:%S";
// Closes the list when more gateways answered than get a line each: how many more there were.
inline constexpr const char* kUpgradeMoreGateways = "另有%zu个网关应答，升级结果未逐条列出.";
inline constexpr const char* kUpgradeSuccessStatus = "UPGRADE_SUCCESS";
inline constexpr const char* kUpgradeUnknownStatus = "UPGRADE_UNKNOWN";

// Status label of the upgrade page.
inline constexpr const char* kStatusTransferring = "正在传输文件...";
inline constexpr const char* kStatusRebooting = "设备自动重启请等待，正在升级，大约需要三分钟...";
inline constexpr const char* kStatusChecking = "升级完毕,正在检查升级状态...";
inline constexpr const char* kStatusCancelled = "升级传输已经取消";

// Message boxes of the upgrade page.
inline constexpr const char* kNoImageChosen = "请选择镜像";
inline constexpr const char* kNoTransferRunning = "当前未有传输";
inline constexpr const char* kTransferCancelled = "已经终止传输";

// Log tags and messages of the upgrade page.
inline constexpr const char* kTagCheck = "镜像传输完成检查";
inline constexpr const char* kTagReply = "镜像回包消息";
inline constexpr const char* kTagCancel = "镜像传输取消";
inline constexpr const char* kTagRollCall = "镜像传输前点名";
// A failed transfer: the line also goes to standard error and into a message box.
inline constexpr const char* kTagTransferFailed = "镜像传输失败";
inline constexpr const char* kLogCheckStarting = "开启检测线程";
inline constexpr const char* kLogCheckEntered = "进入检测线程";
inline constexpr const char* kLogCheckEnded = "结束检测线程";
inline constexpr const char* kLogCancel = "镜像传输取消";
// Address, port and reply time-out in force.
inline constexpr const char* kLogChannel = "发送IP： %s,  Port：%d,   超时：%d";
// The reply map's "RET" value.
inline constexpr const char* kLogReplyState = "发送CheckUpdateOK后收到状态为：%s";

} // namespace orva::maintenance_text
