// The diagnosis page's address entry reads as a whole address, as an address control does: a half-typed
// address never goes to the channel as typed.
#include "DiagnosisPageFixture.h"
#include "TestSubnets.h"

#include "gui/maintenance/AddressEdit.h"
#include "core/protocol/CommandChannel.h"

#include <chrono>

namespace orva::test {
namespace {

constexpr int kAddressSubnet = orva::test::subnets::gui_diagnosis::kAddressEntry;

struct TypedCase {
    QString typed;
    std::string sent;
};

TEST_F(DiagnosisPageFixture, HalfTypedAddressGoesOutWhole) {
    setUpProgram(kAddressSubnet);
    SessionOptions options = QuickOptions();
    options.watchdogPeriod = std::chrono::milliseconds(300); // nobody answers on these addresses
    makePage(nullptr, options);
    EXPECT_EQ(page->addressEdit()->address(), gatewayAddress(kAddressSubnet));

    const std::vector<TypedCase> cases = {
        {QStringLiteral("127.0.232"), "127.0.232.0"},
        {QStringLiteral("127.0.232."), "127.0.232.0"},
        {QStringLiteral("127..232.9"), "127.0.232.9"},
        {QStringLiteral("127.0.232.7"), "127.0.232.7"},
    };
    for (const TypedCase& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        page->addressEdit()->clear();
        page->addressEdit()->setFocus();
        QTest::keyClicks(page->addressEdit(), c.typed);
        ASSERT_EQ(page->addressEdit()->text(), c.typed);
        click(page->startButton());
        EXPECT_EQ(CommandChannel::Instance().Address(), c.sent);
        ASSERT_TRUE(waitForRunEnd(20000));
        expectIdle();
    }

    // What the entry refuses never reaches it: a fifth part, a part above 255, letters.
    for (const QString& refused :
         {QStringLiteral("127.0.232.1.5"), QStringLiteral("127.0.256.1"), QStringLiteral("127.a.0.1")}) {
        page->addressEdit()->clear();
        QTest::keyClicks(page->addressEdit(), refused);
        EXPECT_NE(page->addressEdit()->text(), refused);
    }
}

} // namespace
} // namespace orva::test
