// The result list's model on its own: columns made once, cells mapped when they are read.
#include "gui/records/LogRowsModel.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

TEST(LogRowsModel, ColumnsAreCreatedOnceAndTitled) {
    LogRowsModel model;
    model.createColumns({});
    EXPECT_FALSE(model.hasColumns());
    model.createColumns({"id", "sn", "Unknown"});
    model.createColumns({"Mac", "Operator"}); // a later search never changes them
    ASSERT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "ID");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "序列号");
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "");
    EXPECT_FALSE(model.headerData(0, Qt::Vertical).isValid());
}

TEST(LogRowsModel, CellsMapEveryColumnButTheFirst) {
    LogRowsModel model;
    model.createColumns({"id", "Operator", "FE1Check", "FE2Check", "CPULoadCheck", "PSCheck"});
    // A row with a NULL cell and one cell short of the columns.
    model.setRows({{"1", "1", "0", "9", "0.000000"}, {"9", "0", std::nullopt, "1", "x", "ok"}});
    struct Case {
        int row, column;
        QString shown;
    };
    const std::vector<Case> cases = {
        {0, 0, "1"},    {0, 1, "成功"}, {0, 2, "失败"}, {0, 3, "未检测"}, {0, 4, "0.000000"}, {0, 5, ""}, {1, 0, "9"},
        {1, 1, "失败"}, {1, 2, ""},     {1, 3, "成功"}, {1, 5, "ok"},     {2, 0, ""},         {0, 6, ""}, {-1, 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(model.cellText(c.row, c.column), c.shown) << c.row << "," << c.column;
        if (c.row >= 0 && c.row < model.rowCount() && c.column < model.columnCount()) {
            EXPECT_EQ(model.data(model.index(c.row, c.column)).toString(), c.shown);
            EXPECT_EQ(model.data(model.index(c.row, c.column), Qt::ToolTipRole).toString(), c.shown);
        }
    }
    model.clearRows();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 6);
}

} // namespace
} // namespace orva
