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
        ASSERT_TRUE(test::waitFor([this] { return addEnabled(); })) << "Add can be pressed again";
        EXPECT_TRUE(output.release().contains(QStringLiteral("Error creating account")));
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(libsynPane_->statusLabel()->text().startsWith(
            QStringLiteral("The password could not be saved in the keyring: ")));
        EXPECT_TRUE(Account::selectAll(database()).empty())
            << "no account without its password, press " << press;
    }
}

} // namespace
} // namespace airlark
