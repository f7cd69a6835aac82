#include "gui/diagnosis/CDlgTemplate.h"

#include "core/app/LeadingNumber.h"
#include "gui/common/UiPrompts.h"
#include "gui/controls/CBitComboBox.h"
#include "gui/controls/CPngButton.h"
#include "gui/controls/SkinFiles.h"
#include "core/protocol/CommandChannel.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace orva {

std::array<int, kCheckItemCount> FlagsFromCheckedLabels(const QStringList& checkedEntries) {
    std::array<int, kCheckItemCount> flags{};
    for (const QString& entry : checkedEntries) {
        const int number = LeadingInt(entry.left(2).toStdString());
        // A label that does not start with an item number must not write outside the template.
        if (number >= 1 && number <= kCheckItemCount)
            flags[static_cast<size_t>(number - 1)] = 1;
    }
    return flags;
}

TemplateSides SplitLabels(const QStringList& labels, const DeviceTemplate& deviceTemplate) {
    TemplateSides sides;
    for (int i = 0; i < labels.size() && i < kCheckItemCount; ++i) {
        if (deviceTemplate.selects(i + 1))
            sides.checked.push_back(labels[i]);
        else
            sides.unchecked.push_back(labels[i]);
    }
    return sides;
}

TimeoutEntry ParseTimeoutText(const QString& text) {
    TimeoutEntry entry;
    if (text.isEmpty()) {
        entry.message = kTimeoutEmpty;
        return entry;
    }
    // Character by character into single bytes: anything outside ASCII has no narrow form here and
    // becomes '?', which ends the number like any other non-digit.
    std::string narrow;
    narrow.reserve(static_cast<size_t>(text.size()));
    for (QChar c : text)
        narrow.push_back(c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '?');
    entry.seconds = LeadingInt(narrow);
    if (entry.seconds <= 0) {
        entry.message = kTimeoutInvalid;
        return entry;
    }
    entry.accepted = true;
    entry.message = kTimeoutSet;
    return entry;
}

TemplateSaveResult SaveTemplateFromLabels(const std::string& model, const QStringList& checkedEntries) {
    TemplateSaveResult result;
    // An empty name passes the substring test but would write a template under no key at all.
    if (model.empty() || !IsKnownModel(model)) {
        result.message = kTemplateUnknownOnSave;
        return result;
    }
    SaveDeviceTemplate(model, FlagsFromCheckedLabels(checkedEntries));
    result.written = true;
    result.message = kTemplateSaved;
    return result;
}

namespace {

QStringList EntriesOf(const QListWidget* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries.push_back(list->item(i)->text());
    return entries;
}

// Places an image button; without its picture it keeps a usable size so it can still be pressed.
CPngButton* MakeButton(QWidget* parent, const char* image, QPoint at) {
    auto* button = new CPngButton(parent);
    button->move(at);
    if (!button->SetPngFile(skin::SkinPath(QString::fromUtf8(image))))
        button->resize(70, 26);
    return button;
}

QListWidget* MakeList(QWidget* parent, const QRect& geometry) {
    auto* list = new QListWidget(parent);
    list->setGeometry(geometry);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    // Labels start with the two-digit item number, so sorting keeps the item order after any move.
    list->setSortingEnabled(true);
    return list;
}

} // namespace

CDlgTemplate::CDlgTemplate(QWidget* parent) : Page(parent) {
    setDesignSize(QSize(820, 560));
    resize(820, 560);
    buildWidgets();

    const ModelList list = ReadModelList();
    models_ = OfferedModels(list);
    for (const std::string& name : models_)
        modelCombo_->addItem(QString::fromStdString(name));
    modelCombo_->setCurrentIndex(-1);

    for (int n = 1; n <= kCheckItemCount; ++n)
        labels_.push_back(QString::fromStdString(CheckItemLabel(n)));
}

CDlgTemplate::~CDlgTemplate() = default;

void CDlgTemplate::buildWidgets() {
    timeoutGroup_ = new QGroupBox(QStringLiteral("设置超时时间"), this);
    timeoutGroup_->setGeometry(20, 10, 780, 70);
    auto* timeoutLabel = new QLabel(QStringLiteral("设置超时时间(默认15s):"), timeoutGroup_);
    timeoutLabel->setGeometry(20, 30, 170, 22);
    timeoutEdit_ = new QLineEdit(QStringLiteral("15"), timeoutGroup_);
    timeoutEdit_->setGeometry(200, 30, 80, 22);
    timeoutButton_ = MakeButton(timeoutGroup_, skin::kConfigOk, QPoint(300, 28));

    templateGroup_ = new QGroupBox(QStringLiteral("修改现有模板"), this);
    templateGroup_->setGeometry(20, 90, 780, 460);
    auto* modelLabel = new QLabel(QStringLiteral("选择当前检测的设备类型："), templateGroup_);
    modelLabel->setGeometry(20, 30, 170, 22);
    modelCombo_ = new CBitComboBox(templateGroup_);
    modelCombo_->setEditable(true);
    // A typed name is only the text to save under; it must not become a new choice of the list.
    modelCombo_->setInsertPolicy(QComboBox::NoInsert);
    // Nor may typing complete it to a listed name: "KT540G" typed is saved as KT540G, not KT540G-U.
    modelCombo_->setCompleter(nullptr);
    modelCombo_->ApplyStandardSkin();
    modelCombo_->setGeometry(200, 30, 180, 22);
    modelCombo_->view()->setMinimumHeight(15);
    saveButton_ = MakeButton(templateGroup_, skin::kConfigOk, QPoint(400, 28));

    auto* checkedLabel = new QLabel(QStringLiteral("当前设备检测的项目:"), templateGroup_);
    checkedLabel->setGeometry(20, 65, 300, 20);
    checkedList_ = MakeList(templateGroup_, QRect(20, 88, 300, 350));
    auto* uncheckedLabel = new QLabel(QStringLiteral("不需要检测的项目:"), templateGroup_);
    uncheckedLabel->setGeometry(460, 65, 300, 20);
    uncheckedList_ = MakeList(templateGroup_, QRect(460, 88, 300, 350));
    moveRightButton_ = MakeButton(templateGroup_, skin::kConfigRemove, QPoint(350, 200));
    moveLeftButton_ = MakeButton(templateGroup_, skin::kConfigAdd, QPoint(350, 260));

    timeoutEdit_->setObjectName(QStringLiteral("timeoutEdit"));
    timeoutButton_->setObjectName(QStringLiteral("timeoutButton"));
    modelCombo_->setObjectName(QStringLiteral("modelCombo"));
    saveButton_->setObjectName(QStringLiteral("saveButton"));
    checkedList_->setObjectName(QStringLiteral("checkedList"));
    uncheckedList_->setObjectName(QStringLiteral("uncheckedList"));
    moveRightButton_->setObjectName(QStringLiteral("moveRightButton"));
    moveLeftButton_->setObjectName(QStringLiteral("moveLeftButton"));

    connect(timeoutButton_, &QAbstractButton::clicked, this, [this] { setTimeout(); });
    connect(modelCombo_, &QComboBox::activated, this, [this](int index) { chooseModel(index); });
    connect(saveButton_, &QAbstractButton::clicked, this, [this] { save(); });
    connect(moveRightButton_, &QAbstractButton::clicked, this, [this] { moveSelected(checkedList_, uncheckedList_); });
    connect(moveLeftButton_, &QAbstractButton::clicked, this, [this] { moveSelected(uncheckedList_, checkedList_); });
    connect(checkedList_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { moveItem(item, checkedList_, uncheckedList_); });
    connect(uncheckedList_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { moveItem(item, uncheckedList_, checkedList_); });
}

void CDlgTemplate::chooseModel(int index) {
    checkedList_->clear();
    uncheckedList_->clear();
    if (index < 0 || static_cast<size_t>(index) >= models_.size())
        return;
    const std::string& model = models_[static_cast<size_t>(index)];
    if (!IsKnownModel(model)) {
        say(kTemplateUnknownOnChoose);
        return;
    }
    template_ = LoadDeviceTemplate(model);
    const TemplateSides sides = SplitLabels(labels_, template_);
    checkedList_->addItems(sides.checked);
    uncheckedList_->addItems(sides.unchecked);
}

void CDlgTemplate::moveSelected(QListWidget* from, QListWidget* to) {
    const QList<QListWidgetItem*> selected = from->selectedItems();
    if (selected.isEmpty()) {
        say(kTemplateNoSelection);
        return;
    }
    moveItem(selected.first(), from, to);
}

void CDlgTemplate::moveItem(QListWidgetItem* item, QListWidget* from, QListWidget* to) {
    if (!item)
        return;
    const int row = from->row(item);
    if (row < 0)
        return;
    QListWidgetItem* taken = from->takeItem(row);
    const QString text = taken->text();
    delete taken;
    to->addItem(text);
}

void CDlgTemplate::save() {
    const TemplateSaveResult result =
        SaveTemplateFromLabels(modelCombo_->currentText().toStdString(), EntriesOf(checkedList_));
    say(result.message);
}

void CDlgTemplate::setTimeout() {
    const TimeoutEntry entry = ParseTimeoutText(timeoutEdit_->text());
    if (entry.accepted)
        CommandChannel::Instance().SetReplyTimeout(entry.seconds);
    say(entry.message);
}

void CDlgTemplate::say(const char* text) {
    UiPrompts::information(this, QString::fromUtf8(text));
}

} // namespace orva
