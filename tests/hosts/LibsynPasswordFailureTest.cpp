// Runs with the session bus pointing at nothing, so the credential store cannot keep a password.
#include "LibsynPaneFixture.h"
#include "support/StandardOutputCapture.h"
#include "support/TestEnvironment.h"

namespace airlark {
namespace {

using test::LibsynPaneTest;
using test::LibsynServerEnvironment;

const bool unreachableSessionBus = test::requestUnreachableSessionBus();
const auto* const libsynEnvironment = ::testing::AddGlobalTestEnvironment(new LibsynServerEnvironment);

TEST_F(LibsynPaneTest, PasswordThatCannotBeStoredKeepsTheWindowOpen)
{
    auto* window = presentWindow();
    chooseLibsyn(*window);
    fill(LibsynServerEnvironment::Email, QStringLiteral("myshow"), LibsynServerEnvironment::Password);
    logIn();
    ASSERT_TRUE(addEnabled());

    for (int press = 1; press <= 2; ++press) {
        test::StandardOutputCapture output;
        window->addButton()->click();
        EXPECT_TRUE(output.release().contains(QStringLiteral("Error creating account")));
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(addEnabled()) << "Add can be pressed again";
        // The row stays (nothing is rolled back), and pressing Add again does not add a second one.
        const auto accounts = Account::selectAll(database());
        ASSERT_EQ(accounts.size(), 1u) << "after press " << press;
        EXPECT_EQ(accounts[0].displayName, QStringLiteral("myshow"));
        EXPECT_EQ(Account::loadPassword(QStringLiteral("Libsyn"), accounts[0].id), std::nullopt);
    }
}

} // namespace
} // namespace airlark
