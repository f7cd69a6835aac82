#include "gui/controls/SkinFiles.h"

#include "core/app/ProgramDirectory.h"

namespace orva::skin {

QString SkinResourceFile(int id) {
    switch (id) {
    case kBusyGifId:
        return QStringLiteral("busy.gif");
    case kComboFaceLeftId:
        return QStringLiteral("combo-face-left.png");
    case kComboFaceRightId:
        return QStringLiteral("combo-face-right.png");
    case kComboFaceMiddleId:
        return QStringLiteral("combo-face-middle.png");
    case kComboListLeftId:
        return QStringLiteral("combo-list-left.png");
    case kComboListRightId:
        return QStringLiteral("combo-list-right.png");
    case kComboListTopId:
        return QStringLiteral("combo-list-top.png");
    case kComboListBottomId:
        return QStringLiteral("combo-list-bottom.png");
    default:
        return {};
    }
}

QString SkinPath(const QString& fileName) {
    return QString::fromStdString(SkinDirectory()) + fileName;
}

QString SkinResourcePath(int id) {
    const QString name = SkinResourceFile(id);
    return name.isEmpty() ? QString() : SkinPath(name);
}

const QList<SkinFile>& SkinFiles() {
    // Buttons are strips of five pictures: the width given is the whole strip's.
    static const QList<SkinFile> files = [] {
        const QSize nav(5 * 116, 90);
        const QSize button(5 * 96, 30);
        const QSize corner(5 * 16, 16);
        QList<SkinFile> f;
        auto add = [&f](const char* name, QSize size) { f.append({QString::fromUtf8(name), size}); };
        add(kTop, {960, 120});
        add(kClose, corner);
        add(kMinimise, corner);
        add(kAboutBackground, {600, 400});
        add(kLoginBackground, {460, 340});
        for (const char* n : {kNavDiagnosis, kNavReset, kNavImageUpdate, kNavConfig, kNavLogQuery, kNavAbout})
            add(n, nav);
        for (const char* n : {kLoginOk, kLoginCancel, kConfigOk, kConfigAdd, kConfigRemove, kDiagStart, kDiagStop,
                              kCurrentLog, kAllLogs, kResetStart, kImageBrowse, kImageTransfer, kImageCancel})
            add(n, button);
        f.append({SkinResourceFile(kBusyGifId), {100, 8}});
        f.append({SkinResourceFile(kComboFaceLeftId), {3, 22}});
        f.append({SkinResourceFile(kComboFaceRightId), {20, 22}});
        f.append({SkinResourceFile(kComboFaceMiddleId), {1, 22}});
        f.append({SkinResourceFile(kComboListLeftId), {2, 1}});
        f.append({SkinResourceFile(kComboListRightId), {2, 1}});
        f.append({SkinResourceFile(kComboListTopId), {1, 2}});
        f.append({SkinResourceFile(kComboListBottomId), {1, 2}});
        return f;
    }();
    return files;
}

QStringList SkinFileNames() {
    QStringList names;
    for (const SkinFile& f : SkinFiles())
        names << f.name;
    return names;
}

} // namespace orva::skin
