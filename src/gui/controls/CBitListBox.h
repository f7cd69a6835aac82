#pragma once
// The drop-down list of a CBitComboBox: items in the combo box's normal and highlight colours, the
// list bitmaps along its sides (and across the top when it holds one item).
#include <QListView>
#include <QPixmap>

namespace orva {

class CBitComboBox;

class CBitListBox : public QListView {
    Q_OBJECT
public:
    explicit CBitListBox(CBitComboBox* owner);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CBitComboBox* owner_;
};

} // namespace orva
