// One QApplication for the whole suite, offscreen however the suite is started.
#include <QApplication>

#include <gtest/gtest.h>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_gui_maintenance";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            app_ = new QApplication(argc, argv); // kept until the process ends
    }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
