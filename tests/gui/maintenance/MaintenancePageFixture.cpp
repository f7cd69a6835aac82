#include "MaintenancePageFixture.h"

#include "app/AppSettings.h"
#include "app/ProgramDirectory.h"
#include "app/TextTable.h"
#include "controls/SkinFiles.h"
#include "protocol/CommandChannel.h"

#include <QImage>

#ifdef ORVA_GUI_MAINTENANCE_SIMULATOR
#include "protocol/Base64.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

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

#ifdef ORVA_GUI_MAINTENANCE_SIMULATOR

Gateways::Gateways(int subnetN, std::vector<std::string> extraArgs) {
    std::vector<std::string> args{"--address", gatewayAddress(subnetN), "--gateways", "3", "--sn",
                                  kSn,         "--build-date",          kBuildDate};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    sim::Options options;
    bool help = false;
    std::string error;
    EXPECT_TRUE(sim::ParseCommandLine(args, options, help, error)) << error;
    sim_ = std::make_unique<sim::GatewaySimulator>(options);
    started_ = sim_->start(error);
    EXPECT_TRUE(started_) << error;
}

Gateways::~Gateways() {
    ender_.request_stop();
    if (ender_.joinable())
        ender_.join();
    sim_->stop();
}

bool Gateways::received(const std::string& command) const {
    for (const auto& c : sim_->commands())
        if (c == command)
            return true;
    return false;
}

void Gateways::endLastStatusWait() {
    ender_ = std::jthread([this](std::stop_token stop) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const std::string payload = Base64Encode("UPGRADE_FAIL");
        while (!stop.stop_requested()) {
            for (const auto& e : sim_->journal()) {
                if (e.command != "QUERY_UPGRADE_MSG")
                    continue;
                const auto colon = e.source.rfind(':');
                sockaddr_in to{};
                to.sin_family = AF_INET;
                to.sin_port = htons(static_cast<uint16_t>(std::stoi(e.source.substr(colon + 1))));
                // The source is the page's own socket on loopback.
                if (inet_pton(AF_INET, e.source.substr(0, colon).c_str(), &to.sin_addr) == 1 &&
                    (ntohl(to.sin_addr.s_addr) >> 24) == 127)
                    ::sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        ::close(fd);
    });
}

#endif

} // namespace orva::test
