#pragma once
// The configuration page: which check items each gateway model runs (its template in res/device.ini)
// and the reply time-out of the command channel for the exchanges that follow.
#include "core/diagnosis/CheckItems.h"
#include "core/diagnosis/DeviceModels.h"
#include "gui/shell/Page.h"

#include <QString>
#include <QStringList>

#include <array>
#include <string>
#include <vector>

class QGroupBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace orva {

class CBitComboBox;
class CPngButton;

// Messages of the page; they read the same in both languages.
inline constexpr const char* kTemplateUnknownOnChoose = "选择内存错误！";
inline constexpr const char* kTemplateNoSelection = "请选择需要添加的项";
inline constexpr const char* kTemplateUnknownOnSave = "请正确选择设备";
inline constexpr const char* kTemplateSaved = "配置修改成功！";
inline constexpr const char* kTimeoutEmpty = "请设置超时时间!";
inline constexpr const char* kTimeoutInvalid = "请正确设置超时时间!";
inline constexpr const char* kTimeoutSet = "设置成功!";

// The flags a left-list ("checked") entry set stands for: all 0, then 1 for the item numbered by the
// first two characters of every entry. Entries whose number is not an item (1..22) set nothing.
std::array<int, kCheckItemCount> FlagsFromCheckedLabels(const QStringList& checkedEntries);

// Which side every label goes to for a template: non-zero flags to the checked list.
struct TemplateSides {
    QStringList checked;
    QStringList unchecked;
};
TemplateSides SplitLabels(const QStringList& labels, const DeviceTemplate& deviceTemplate);

// The reply time-out typed by the technician. Characters outside ASCII cannot be narrowed and stop the
// number; the value is the leading decimal integer (optional sign). An empty text, and a value of 0 or
// below (0 would wait without limit, a negative one fails every exchange), are refused.
struct TimeoutEntry {
    bool accepted = false;
    int seconds = 0;
    const char* message = kTimeoutInvalid; // what the page shows
};
TimeoutEntry ParseTimeoutText(const QString& text);

// Save: refused with kTemplateUnknownOnSave for an empty model or one IsKnownModel does not know (a
// name that is part of a listed one counts); otherwise the template is written, kTemplateSaved.
struct TemplateSaveResult {
    bool written = false;
    const char* message = kTemplateUnknownOnSave;
};
TemplateSaveResult SaveTemplateFromLabels(const std::string& model, const QStringList& checkedEntries);

class CDlgTemplate : public Page {
    Q_OBJECT
public:
    // Reads the model list from res/device.ini (a missing file ends the process through the notifier)
    // and builds the item labels from the current language's texts.
    explicit CDlgTemplate(QWidget* parent = nullptr);
    ~CDlgTemplate() override;

    // The widgets, for the main window's tests and this page's own.
    QLineEdit* TimeoutEdit() const { return timeoutEdit_; }
    CPngButton* TimeoutButton() const { return timeoutButton_; }
    CBitComboBox* ModelCombo() const { return modelCombo_; }
    CPngButton* SaveButton() const { return saveButton_; }
    QListWidget* CheckedList() const { return checkedList_; }
    QListWidget* UncheckedList() const { return uncheckedList_; }
    CPngButton* MoveRightButton() const { return moveRightButton_; }
    CPngButton* MoveLeftButton() const { return moveLeftButton_; }

    // The template of the last chosen model (empty model when none was chosen).
    const DeviceTemplate& LoadedTemplate() const { return template_; }
    const std::vector<std::string>& OfferedModelNames() const { return models_; }
    const QStringList& ItemLabels() const { return labels_; }

private:
    void buildWidgets();
    void chooseModel(int index);
    void moveSelected(QListWidget* from, QListWidget* to);
    void moveItem(QListWidgetItem* item, QListWidget* from, QListWidget* to);
    void save();
    void setTimeout();
    void say(const char* text);

    QGroupBox* timeoutGroup_ = nullptr;
    QGroupBox* templateGroup_ = nullptr;
    QLineEdit* timeoutEdit_ = nullptr;
    CPngButton* timeoutButton_ = nullptr;
    CBitComboBox* modelCombo_ = nullptr;
    CPngButton* saveButton_ = nullptr;
    QListWidget* checkedList_ = nullptr;
    QListWidget* uncheckedList_ = nullptr;
    CPngButton* moveRightButton_ = nullptr;
    CPngButton* moveLeftButton_ = nullptr;

    DeviceTemplate template_;
    std::vector<std::string> models_; // by their position in the combo box
    QStringList labels_;
};

} // namespace orva
