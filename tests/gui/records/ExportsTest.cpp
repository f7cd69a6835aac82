// The two spreadsheet exports side by side, the query page's and the diagnosis page's all-logs one:
// their "保存" buttons keep a caption whatever `Language` says.
#include "../shell/GuiTestSupport.h"

#include "diagnosis/CPage2Dlg.h"
#include "records/CDlgLogQuery.h"

#include <QPushButton>

#include <memory>

namespace orva {
namespace {

constexpr int kExportsSubnet = 236;

std::unique_ptr<guitest::ProgramFixture> Program(const std::string& language) {
    return std::make_unique<guitest::ProgramFixture>(
        kExportsSubnet, std::map<std::string, std::string>{{"Language", language}}, "orva-gui-exports");
}

struct CaptionCase {
    const char* language;
    const char* caption;
};

class SaveButtons : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(SaveButtons, KeepACaptionInEveryLanguage) {
    const auto program = Program(GetParam().language);
    CDlgLogQuery query;
    CPage2Dlg allLogs(nullptr);
    EXPECT_EQ(query.exportButton()->text().toStdString(), GetParam().caption);
    EXPECT_EQ(allLogs.saveButton()->text().toStdString(), GetParam().caption);
}

// A language the tool does not know selects none: the controls keep their built-in Chinese captions.
INSTANTIATE_TEST_SUITE_P(Languages, SaveButtons,
                         ::testing::Values(CaptionCase{"Chinese", "保存"}, CaptionCase{"English", "save"},
                                           CaptionCase{"Klingon", "保存"}, CaptionCase{"", "保存"}),
                         [](const auto& info) {
                             return info.param.language[0] ? std::string(info.param.language) : std::string("Empty");
                         });

} // namespace
} // namespace orva
