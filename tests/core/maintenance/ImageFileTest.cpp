// Image files that are not images: a FIFO, a device, a directory, a /proc file, an empty or missing
// file, one that cannot be opened or reads short. Each is refused with a line naming the file, without waiting on it, and nothing is broadcast.
#include "MaintenanceFixture.h"
#include "TestSubnets.h"
#include "TestSupport.h"
#include "UdpPeer.h"
#include "core/maintenance/ImageTransfer.h"
#include "core/maintenance/UpgradeSession.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <future>
#include <optional>

namespace orva::test::image_file {
namespace {

using namespace std::chrono_literals;

constexpr int kImageFileSubnet = orva::test::subnets::maintenance::kImageFile;
constexpr uint16_t kImagePort = 54321;

struct Refusal {
    const char* name;
    std::string (*path)(const TempProgramDir&); // makes the file when it must exist
    std::string (*line)(const std::string& path);
};

std::string Missing(const TempProgramDir& d) {
    return d.file("no-such-image.bin");
}
std::string Empty(const TempProgramDir& d) {
    writeFile(d.file("empty.bin"), "");
    return d.file("empty.bin");
}
std::string Fifo(const TempProgramDir& d) {
    const std::string path = d.file("image.fifo");
    ::unlink(path.c_str());
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return path;
}
std::string Directory(const TempProgramDir& d) {
    std::filesystem::create_directories(d.file("a-directory"));
    return d.file("a-directory");
}
// Two links naming each other: the file cannot be opened, for a reason the system names.
std::string LinkLoop(const TempProgramDir& d) {
    const std::string a = d.file("loop-a.bin"), b = d.file("loop-b.bin");
    ::unlink(a.c_str());
    ::unlink(b.c_str());
    EXPECT_EQ(::symlink(b.c_str(), a.c_str()), 0);
    EXPECT_EQ(::symlink(a.c_str(), b.c_str()), 0);
    return a;
}
std::string NameTooLong(const TempProgramDir& d) {
    return d.file(std::string(300, 'x') + ".bin");
}

const std::vector<Refusal>& Refusals() {
    static const std::vector<Refusal> cases = {
        {"Missing", Missing, [](const std::string& p) { return "Batch upgrade: No " + p + " file found!"; }},
        {"Empty", Empty,
         [](const std::string& p) { return "Batch upgrade: " + p + " is empty (0 bytes), not an image file!"; }},
        {"Fifo", Fifo,
         [](const std::string& p) { return "Batch upgrade: " + p + " is a FIFO (named pipe), not an image file!"; }},
        {"DevZero", [](const TempProgramDir&) { return std::string("/dev/zero"); },
         [](const std::string& p) { return "Batch upgrade: " + p + " is a character device, not an image file!"; }},
        {"DevNull", [](const TempProgramDir&) { return std::string("/dev/null"); },
         [](const std::string& p) { return "Batch upgrade: " + p + " is a character device, not an image file!"; }},
        {"Directory", Directory,
         [](const std::string& p) { return "Batch upgrade: " + p + " is a directory, not an image file!"; }},
        // Files that exist (or may) but cannot be opened: the line says why.
        {"LinkLoop", LinkLoop,
         [](const std::string& p) {
             return "Batch upgrade: open " + p + " file failed! (Too many levels of symbolic links)";
         }},
        {"NameTooLong", NameTooLong,
         [](const std::string& p) { return "Batch upgrade: open " + p + " file failed! (File name too long)"; }},
        // A regular file that says 0 bytes, though it reads some.
        {"ProcSelfStatus", [](const TempProgramDir&) { return std::string("/proc/self/status"); },
         [](const std::string& p) { return "Batch upgrade: " + p + " is empty (0 bytes), not an image file!"; }},
    };
    return cases;
}

// Runs `work` on a thread of its own. Should it still be running after a few seconds (the FIFO's open
// waiting for a writer), a writer opens and closes the FIFO so the thread can end, and the result says so.
bool EndsWithoutAWriter(const std::function<void()>& work, const std::string& path) {
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(5s) == std::future_status::ready)
        return true;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
        const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }
    done.wait();
    return false;
}

TEST(LoadImageFile, RefusesWhatIsNotARegularNonEmptyFileAndNamesIt) {
    TempProgramDir dir("orva-image-file");
    for (const auto& c : Refusals()) {
        SCOPED_TRACE(c.name);
        const std::string path = c.path(dir);
        std::optional<Result<std::string>> loaded;
        EXPECT_TRUE(EndsWithoutAWriter([&] { loaded = LoadImageFile(path); }, path));
        ASSERT_TRUE(loaded);
        EXPECT_FALSE(*loaded);
        EXPECT_EQ(loaded->error(), c.line(path) + "\n");
    }
}

TEST(LoadImageFile, ReadsRegularFilesWhole) {
    TempProgramDir dir("orva-image-file");
    for (const size_t size : {size_t(1), size_t(999), size_t(1000), size_t(3 * 1024 * 1024 + 7)}) {
        SCOPED_TRACE(size);
        const std::string path = dir.file("image.bin");
        const std::string image = PatternImage(size);
        writeFile(path, image);
        const Result<std::string> loaded = LoadImageFile(path);
        ASSERT_TRUE(loaded) << loaded.error();
        EXPECT_EQ(loaded.value(), image);
        EXPECT_EQ(loaded.error(), "");
    }
    // Through a symbolic link the file it names is what counts.
    const std::string link = dir.file("link.fifo");
    ASSERT_EQ(::symlink(Fifo(dir).c_str(), link.c_str()), 0);
    std::string line;
    EXPECT_TRUE(EndsWithoutAWriter([&] {
        const Result<std::string> loaded = LoadImageFile(link);
        EXPECT_FALSE(loaded);
        line = loaded.error();
    }, link));
    EXPECT_EQ(line, "Batch upgrade: " + link + " is a FIFO (named pipe), not an image file!\n");
}

// A file that reads shorter than its size says (sysfs files say 4096 bytes and hold a few): the line
// says how far it got.
TEST(LoadImageFile, AFileThatReadsShortSaysWhereItEnded) {
    const std::string path = "/sys/devices/system/cpu/online";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0)
        GTEST_SKIP() << path << " is not a sysfs file here";
    const size_t held = readFile(path).size();
    ASSERT_LT(held, static_cast<size_t>(st.st_size));
    const Result<std::string> loaded = LoadImageFile(path);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(loaded.error(), "Batch upgrade: read " + path + " file failed! (it ended after " + std::to_string(held) + " of " +
                        std::to_string(st.st_size) + " bytes)\n");
}

// Sends a marker to the receiver and waits for it: everything sent before it has then been read.
void DrainWithMarker(UdpPeer& receiver, const std::string& address) {
    const size_t before = receiver.count();
    UdpPeer sender("127.0.0.1", 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kImagePort);
    inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    sender.reply(to, "marker");
    for (size_t n = before + 1; receiver.waitFor(n, 2s); ++n)
        if (receiver.arrivals().back().bytes == "marker")
            return;
    FAIL() << "marker did not arrive";
}

TEST(UpgradeSessionImageFile, EachRefusalIsAMessageAndNothingIsBroadcast) {
    TempProgramDir dir("orva-image-file");
    UseSettings(dir, kImageFileSubnet, {{"upgradeinterval", "0.001"}, {"waittime", "0"}, {"updatelistentime", "0"}});
    const std::string broadcast = subnet(kImageFileSubnet) + "255";
    UdpPeer images(broadcast, kImagePort);
    ASSERT_TRUE(images.ok());
    RecordingUpgradeView view;
    UpgradeSession session(view);
    for (const auto& c : Refusals()) {
        SCOPED_TRACE(c.name);
        const std::string path = c.path(dir);
        const std::string message = c.line(path);
        RecordingNotifier notifier;
        session.setImagePath(path);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(session.startTransfer());
        EXPECT_TRUE(EndsWithoutAWriter([&] { session.wait(); }, path));
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(session.running());
        EXPECT_NE(err.find(message + "\n"), std::string::npos) << err;
        EXPECT_EQ(notifier.messages(), std::vector<std::string>{message});
        // Back to idle: the transfer button is enabled again and the status hidden.
        const auto events = view.events();
        ASSERT_GE(events.size(), 4u);
        EXPECT_EQ(events[events.size() - 4], "failed " + message);
        EXPECT_EQ(events.back(), "status hidden");
    }
    // Not one datagram reached the segment: the marker is the first thing the receiver saw.
    DrainWithMarker(images, broadcast);
    EXPECT_EQ(images.count(), 1u);
}

} // namespace
} // namespace orva::test::image_file
