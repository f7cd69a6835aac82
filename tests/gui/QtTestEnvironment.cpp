// One QApplication for each GUI suite (widgets need it), kept until the process ends; offscreen, so
// nothing appears. Suites built on the shell's test support find it already made.
#include <QApplication>

#include <gtest/gtest.h>

namespace {

class SuiteQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "orva-gui-test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            app_ = new QApplication(argc, argv); // kept until the process ends
    }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] const auto* const kSuiteQtEnvironment = ::testing::AddGlobalTestEnvironment(new SuiteQtEnvironment);

} // namespace
