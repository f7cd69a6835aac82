#include "MaintenancePageFixture.h"

#include "core/app/AppSettings.h"
#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"
#include "gui/controls/SkinFiles.h"
#include "core/protocol/CommandChannel.h"

#include <QImage>

#include <filesystem>

namespace orva::test {

namespace {

// A strip of five 96 x 30 pictures, so the buttons have their size without the rendered skin.
void WriteButtonStrip(const std::string& path) {
    QImage image(5 * 96, 30, QImage::Format_ARGB32);
    image.fill(QColor(40, 90, 160));
    image.save(QString::fromStdString(path), "PNG");
}

} // namespace

MaintenancePageFixture::MaintenancePageFixture() {
    notifier_.install();
}

void MaintenancePageFixture::useSettings(int subnetN, const std::map<std::string, std::string>& extra) {
    dir_.writeSettings(subnetN, extra);
    std::filesystem::create_directories(dir_.file("res/common"));
    for (const char* name : {skin::kResetStart, skin::kImageBrowse, skin::kImageTransfer, skin::kImageCancel})
        WriteButtonStrip(dir_.file(std::string("res/common/") + name));
    SetProgramDirectory(dir_.path());
    AppSettings settings;
    ASSERT_TRUE(LoadAppSettings(dir_.file("res/setting.ini"), settings));
    SetSettings(settings);
    ResetLanguageForTests();
    SelectLanguage(settings.Language);
    // A short reply time-out keeps the last receive of a restore short.
    CommandChannel::Instance().SetReplyTimeout(1);
}

void MaintenancePageFixture::TearDown() {
    SetSettings(AppSettings{});
    SetProgramDirectory("");
    ResetLanguageForTests();
}

bool WaitUntil(const std::function<bool()>& condition, int boundMs) {
    return QTest::qWaitFor(condition, boundMs);
}

std::vector<std::string> PromptTexts() {
    std::vector<std::string> out;
    for (const QString& text : UiPrompts::shownTexts())
        out.push_back(text.toStdString());
    return out;
}

Gateways::Gateways(int subnetN, std::vector<std::string> extraArgs) {
    std::vector<std::string> args{"--address", gatewayAddress(subnetN), "--gateways", "3", "--sn",
                                  kSn,         "--build-date",          kBuildDate};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    sim::Options options;
    bool help = false;
    const Result<void> parsed = sim::ParseCommandLine(args, options, help);
    EXPECT_TRUE(parsed.ok()) << parsed.error();
    sim_ = std::make_unique<sim::GatewaySimulator>(options);
    const Result<void> startup = sim_->start();
    started_ = startup.ok();
    EXPECT_TRUE(started_) << startup.error();
}

Gateways::~Gateways() {
    ender_.reset();
    sim_->stop();
}

bool Gateways::received(const std::string& command) const {
    for (const auto& c : sim_->commands())
        if (c == command)
            return true;
    return false;
}

void Gateways::endLastStatusWait() {
    ender_.emplace([this] {
        std::vector<std::string> sources;
        for (const auto& e : sim_->journal())
            if (e.command == "QUERY_UPGRADE_MSG")
                sources.push_back(e.source);
        return sources;
    });
}

} // namespace orva::test
