#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"
#include "core/diagnosis/CheckItems.h"
#include "core/diagnosis/DeviceModels.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace orva {
namespace {

using test::readFile;
using test::RecordingNotifier;
using test::TempProgramDir;
using test::writeFile;

class DeviceIniTest : public ::testing::Test {
protected:
    void SetUp() override { SetProgramDirectory(dir.path()); }
    void writeDeviceIni(const std::string& text) { writeFile(dir.file("res/device.ini"), text); }

    TempProgramDir dir{"orva-models"};
    RecordingNotifier notifier;
};

TEST(SplitModelList, CutsAtCommasSkippingEmptyPiecesAndKeepsAtMost22) {
    struct Case {
        std::string list;
        std::vector<std::string> names;
    };
    std::string many;
    std::vector<std::string> first22;
    for (int i = 1; i <= 25; ++i) {
        many += (i > 1 ? "," : "") + std::string("M") + std::to_string(i);
        if (i <= 22)
            first22.push_back("M" + std::to_string(i));
    }
    const std::vector<Case> cases = {
        {"KT540G,KT540G-U,KT310", {"KT540G", "KT540G-U", "KT310"}},
        {"KT540G", {"KT540G"}},
        {"a,,b", {"a", "b"}},
        {",a,", {"a"}},
        {"", {}},
        {",,,", {}},
        {many, first22},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitModelList(c.list), c.names) << c.list;
}

TEST_F(DeviceIniTest, TemplateValuesAreReadLikeAtoiAndMissingFlagsAreZero) {
    writeDeviceIni("[DeviceName]\nList=A,B,C,D,E\n[DeviceCount]\nCount=5\n[DeviceInfo]\n"
                   "A=1,0,1\nB=2, 3,x,-1,7abc\nC=1,,1\nE=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,0,0\n");
    struct Case {
        std::string model;
        std::vector<int> leading; // the first flags; every later flag must be 0
    };
    const std::vector<Case> cases = {
        {"A", {1, 0, 1}},
        {"B", {2, 3, 0, -1, 7}},
        {"C", {1, 0, 1}},
        {"D", {}}, // no DeviceInfo key at all
        {"E", std::vector<int>(22, 1)},
    };
    for (const auto& c : cases) {
        DeviceTemplate t = LoadDeviceTemplate(c.model);
        EXPECT_EQ(t.model, c.model);
        for (size_t i = 0; i < t.flags.size(); ++i)
            EXPECT_EQ(t.flags[i], i < c.leading.size() ? c.leading[i] : 0) << c.model << " flag " << i + 1;
    }
    DeviceTemplate b = LoadDeviceTemplate("B");
    EXPECT_TRUE(b.selects(1));
    EXPECT_FALSE(b.ticks(1)); // 2 selects the item but does not tick its box
    EXPECT_FALSE(b.selects(3));
    EXPECT_TRUE(b.selects(4));
    EXPECT_TRUE(notifier.messages().empty());
}

TEST_F(DeviceIniTest, SavedTemplateReadsBackAndLeavesTheRestOfTheFile) {
    writeDeviceIni("; models\n[DeviceName]\nList=KT540G\n[DeviceCount]\nCount=1\n[DeviceInfo]\nKT540G=1,1\n");
    std::array<int, kCheckItemCount> flags{};
    for (size_t i = 0; i < flags.size(); ++i)
        flags[i] = i % 3 == 0 ? 1 : 0;
    ASSERT_TRUE(SaveDeviceTemplate("KT540G", flags));
    ASSERT_TRUE(SaveDeviceTemplate("NEW1", flags));
    EXPECT_EQ(LoadDeviceTemplate("KT540G").flags, flags);
    EXPECT_EQ(LoadDeviceTemplate("NEW1").flags, flags);
    const std::string text = readFile(dir.file("res/device.ini"));
    EXPECT_NE(text.find("; models"), std::string::npos);
    std::string line = "KT540G=";
    for (size_t i = 0; i < flags.size(); ++i)
        line += (i > 0 ? "," : "") + std::to_string(flags[i]);
    EXPECT_NE(text.find(line + "\n"), std::string::npos) << text;
    EXPECT_EQ(ReadModelList().list, "KT540G");
}

TEST_F(DeviceIniTest, ModelListAndKnownModels) {
    writeDeviceIni("[DeviceName]\nList=KT540G,KT540G-U,KT310\n[DeviceCount]\nCount=2\n");
    ModelList models = ReadModelList();
    EXPECT_EQ(models.list, "KT540G,KT540G-U,KT310");
    EXPECT_EQ(models.count, 2);
    EXPECT_EQ(OfferedModels(models), (std::vector<std::string>{"KT540G", "KT540G-U"}));

    struct Case {
        std::string name;
        bool known;
    };
    for (const Case& c : std::vector<Case>{{"KT540G", true},
                                           {"KT310", true},
                                           {"KT540", true}, // part of a longer listed name
                                           {"G,KT5", true},
                                           {"", true},
                                           {"kt540g", false},
                                           {"KT593G", false}})
        EXPECT_EQ(IsKnownModel(c.name), c.known) << c.name;

    writeDeviceIni("[DeviceName]\nList=A\n[DeviceCount]\nCount=abc\n");
    EXPECT_EQ(ReadModelList().count, 0);
}

TEST_F(DeviceIniTest, MissingFileAsksTheFrontEndToEndTheProcess) {
    struct Case {
        const char* what;
        std::function<void()> call;
    };
    const std::vector<Case> cases = {
        {"ReadModelList", [] { ReadModelList(); }},
        {"LoadDeviceTemplate", [] { LoadDeviceTemplate("KT540G"); }},
        {"IsKnownModel", [] { IsKnownModel("KT540G"); }},
    };
    for (const auto& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.what << " went on without device.ini";
        } catch (const RecordingNotifier::FatalExit& e) {
            EXPECT_EQ(e.text, "device.ini is missing!") << c.what;
            EXPECT_EQ(e.code, 0) << c.what;
        }
    }
}

TEST_F(DeviceIniTest, ShippedFileOffersEveryModelWithAFullTemplate) {
    const char* source = std::getenv("ORVA_SOURCE_DIR");
    if (!source)
        source = ORVA_TEST_SOURCE_DIR;
    writeDeviceIni(readFile(std::string(source) + "/res/device.ini"));
    const std::vector<std::string> offered = OfferedModels(ReadModelList());
    EXPECT_EQ(offered, (std::vector<std::string>{"KT540G", "KT540G-U", "KT593G", "KT310", "KT310-U"}));
    for (const auto& model : offered) {
        DeviceTemplate t = LoadDeviceTemplate(model);
        for (int flag : t.flags)
            EXPECT_TRUE(flag == 0 || flag == 1) << model;
    }
    for (int flag : LoadDeviceTemplate("KT540G").flags)
        EXPECT_EQ(flag, 1);
}

TEST(CheckItems, LabelsKeepItemOrderAndNameTheItem) {
    SelectLanguage("Chinese");
    EXPECT_EQ(CheckItemLabel(1), "01__第一个LAN1口测试");
    EXPECT_EQ(CheckItemLabel(22), "22__磁盘完整性");
    for (int n = 1; n <= kCheckItemCount; ++n) {
        EXPECT_EQ(CheckItemAt(n).number, n);
        if (n > 1) {
            EXPECT_LT(CheckItemLabel(n - 1), CheckItemLabel(n));
        }
    }
    EXPECT_EQ(CheckItemName(12), "上行链路诊断");
    EXPECT_STREQ(CheckItemAt(19).recordField, "CPULoadCheck, MemCheck");
}

TEST(DeviceTypes, ModelSpecificSteps) {
    EXPECT_TRUE(IsDslModel("KT310"));
    EXPECT_TRUE(IsDslModel("KT310-U"));
    EXPECT_FALSE(IsDslModel("kt310"));
    EXPECT_FALSE(IsDslModel("KT593G"));
    EXPECT_TRUE(SkipsPotsStartStop("KT593G"));
    EXPECT_TRUE(SkipsPotsStartStop("KT310"));
    EXPECT_FALSE(SkipsPotsStartStop("KT540G"));
    EXPECT_FALSE(SkipsPotsStartStop(""));
    SetCurrentDeviceType("KT310");
    EXPECT_EQ(CurrentDeviceType(), "KT310");
    SetCurrentDeviceType("");
}

} // namespace
} // namespace orva
