#pragma once
// The skin: every picture the windows load lives in res/common/ under the program directory. The names
// are fixed (pages refer to them); their look is whatever the skin generator renders.
#include <QSize>
#include <QString>
#include <QStringList>

namespace orva::skin {

// Header and window chrome.
inline constexpr const char* kTop = "top.png";                  // its width is the main window's width
inline constexpr const char* kClose = "关闭.png";               // 5-picture strip, 16 x 16 each
inline constexpr const char* kMinimise = "右上角--缩小new.png"; // 5-picture strip, 16 x 16 each
inline constexpr const char* kAboutBackground = "关于--底图.png";
inline constexpr const char* kLoginBackground = "登录背景.png";

// Navigation buttons of the main window (5-picture strips).
inline constexpr const char* kNavDiagnosis = "故障诊断.png";
inline constexpr const char* kNavReset = "恢复出厂设置.png";
inline constexpr const char* kNavImageUpdate = "升级镜像.png";
inline constexpr const char* kNavConfig = "系统配置.png";
inline constexpr const char* kNavLogQuery = "查看日志.png";
inline constexpr const char* kNavAbout = "关于.png";

// Page and dialog buttons (5-picture strips).
inline constexpr const char* kLoginOk = "登录界面--登录.png";
inline constexpr const char* kLoginCancel = "登录界面--取消.png";
inline constexpr const char* kConfigOk = "系统配置--确定.png";
inline constexpr const char* kConfigAdd = "系统配置--添加.png";
inline constexpr const char* kConfigRemove = "系统配置--移除.png";
inline constexpr const char* kDiagStart = "开始诊断.png";
inline constexpr const char* kDiagStop = "结束诊断.png";
inline constexpr const char* kCurrentLog = "当前诊断日志.png";
inline constexpr const char* kAllLogs = "全部诊断日志.png";
inline constexpr const char* kResetStart = "恢复出厂设置--开始恢复.png";
inline constexpr const char* kImageBrowse = "升级镜像--浏览.png";
inline constexpr const char* kImageTransfer = "升级镜像--传输.png";
inline constexpr const char* kImageCancel = "升级镜像--取消.png";

// Pictures the windows name by resource id (see SkinResourceFile).
inline constexpr int kBusyGifId = 164; // the login dialog's busy picture, type "Gif"
inline constexpr int kComboFaceLeftId = 1014;
inline constexpr int kComboFaceRightId = 150;
inline constexpr int kComboFaceMiddleId = 155;
inline constexpr int kComboListLeftId = 156;
inline constexpr int kComboListRightId = 153;
inline constexpr int kComboListTopId = 154;
inline constexpr int kComboListBottomId = 151;

// Colours every combo box of the tool is set up with (0x00BBGGRR).
inline constexpr quint32 kComboHighlightBack = 0xAE8A73;
inline constexpr quint32 kComboHighlightText = 0xFFFFFF;
inline constexpr quint32 kComboNormalBack = 0xFFFFFF;
inline constexpr quint32 kComboNormalText = 0xFFFFFF;

// The file behind a resource id ("busy.gif", "combo-face-left.png", ...); empty for an unknown id.
QString SkinResourceFile(int id);
// SkinDirectory() + fileName: the program directory's res/common/, or the shipped one for a per-user
// folder that has none of its own.
QString SkinPath(const QString& fileName);
// SkinPath(SkinResourceFile(id)); empty for an unknown id.
QString SkinResourcePath(int id);

// Every file of the skin with the size of the whole picture (a strip's full width), as the windows
// need them. The generator renders exactly these.
struct SkinFile {
    QString name;
    QSize size;
};
QStringList SkinFileNames();
const QList<SkinFile>& SkinFiles();

} // namespace orva::skin
