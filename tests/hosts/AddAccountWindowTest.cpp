#include "LibsynPaneFixture.h"

#include <QLabel>

namespace airlark {
namespace {

using test::LibsynPaneTest;

// A pane that, like the SoundCloud pane, takes the Add button over each time it is shown.
class TakingOverPane : public HostAuthenticationViewController
{
public:
    int adds = 0;
    void addButtonSelected() override { ++adds; }

protected:
    void viewDidAppear() override { takeOverAddButton(true); }
};

class AddAccountWindowTest : public LibsynPaneTest
{
protected:
    void SetUp() override
    {
        LibsynPaneTest::SetUp();
        otherPane_ = std::make_unique<TakingOverPane>();
    }
    TakingOverPane& soundCloudPane() { return static_cast<TakingOverPane&>(*otherPane_); }
};

TEST_F(AddAccountWindowTest, OpensOnTheSoundCloudPaneAndSwapsSharedPanes)
{
    auto* window = presentWindow();
    EXPECT_EQ(window->currentChildViewController(), otherPane_.get());
    EXPECT_EQ(window->popUpButton()->currentText(), QStringLiteral("SoundCloud"));
    EXPECT_EQ(window->viewModel().selectedHost(), PodcastHost::SoundCloud);
    EXPECT_EQ(AddPodcastHostViewController::present({}, {}), window) << "one window at a time";

    chooseLibsyn(*window);
    EXPECT_TRUE(libsynPane_->isVisibleTo(window));
    EXPECT_EQ(otherPane_->parentWidget(), nullptr);
    QTest::keyClicks(libsynPane_->usernameTextField(), QStringLiteral("kept"));

    window->popUpButton()->setFocus();
    QTest::keyClick(window->popUpButton(), Qt::Key_Up);
    EXPECT_EQ(window->currentChildViewController(), otherPane_.get()) << "the same SoundCloud pane comes back";
    chooseLibsyn(*window);
    EXPECT_EQ(libsynPane_->usernameTextField()->text(), QStringLiteral("kept"));
}

TEST_F(AddAccountWindowTest, HostButtonsChooseByTag)
{
    auto* window = presentWindow();
    QPushButton libsyn;
    libsyn.setProperty("tag", 1);
    QPushButton soundCloud;
    soundCloud.setProperty("tag", 0);
    QPushButton outOfRange;
    outOfRange.setProperty("tag", 5);
    QLabel notAButton;
    notAButton.setProperty("tag", 1);

    window->didSelectPodcastHost(&libsyn);
    EXPECT_EQ(window->currentChildViewController(), libsynPane_.get());
    window->didSelectPodcastHost(&soundCloud);
    EXPECT_EQ(window->currentChildViewController(), otherPane_.get());
    window->didSelectPodcastHost(&notAButton);
    window->didSelectPodcastHost(&outOfRange);
    EXPECT_EQ(window->currentChildViewController(), otherPane_.get());
    EXPECT_EQ(window->viewModel().selectedHost(), PodcastHost::SoundCloud);
}

TEST_F(AddAccountWindowTest, IdentifierDecidesWhetherAddIsEnabled)
{
    auto* window = presentWindow();
    for (const auto& [identifier, enabled] :
         {std::pair{QStringLiteral("someone"), true}, std::pair{QString(), false}, std::pair{QStringLiteral("é"), true}}) {
        window->viewModel().setIdentifier(identifier);
        EXPECT_EQ(window->addButton()->isEnabled(), enabled) << qPrintable(identifier);
    }
    EXPECT_EQ(userPerceivedLength(QStringLiteral("e\u0301")), 1);
    EXPECT_EQ(userPerceivedLength(QStringLiteral("\U0001F399\uFE0F")), 1);
}

// Add belongs to the pane shown: never to one switched away from.
TEST_F(AddAccountWindowTest, AddReachesOnlyThePaneShown)
{
    auto* window = presentWindow();
    ASSERT_TRUE(addEnabled());
    window->addButton()->click();
    EXPECT_EQ(soundCloudPane().adds, 1);

    chooseLibsyn(*window);
    EXPECT_FALSE(addEnabled()) << "the Libsyn pane has nothing to add yet";
    window->popUpButton()->setFocus();
    QTest::keyClick(window->popUpButton(), Qt::Key_Up);
    ASSERT_TRUE(addEnabled());
    window->addButton()->click();
    EXPECT_EQ(soundCloudPane().adds, 2);
    EXPECT_TRUE(Account::selectAll(database()).empty());
}

TEST_F(AddAccountWindowTest, CancelClosesWithoutSavingAndGivesThePanesBack)
{
    auto* window = presentWindow();
    chooseLibsyn(*window);
    window->cancelButton()->click();
    EXPECT_FALSE(window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window_);
    EXPECT_EQ(AddPodcastHostViewController::presented(), nullptr);
    EXPECT_EQ(libsynPane_->parentWidget(), nullptr);
    EXPECT_EQ(otherPane_->parentWidget(), nullptr);
    EXPECT_TRUE(Account::selectAll(database()).empty());
}

TEST_F(AddAccountWindowTest, ReopeningRightAfterClosingGetsAFreshWindowWithThePanes)
{
    auto* first = presentWindow();
    chooseLibsyn(*first);
    QPointer<AddPodcastHostViewController> closing(first);
    first->cancelButton()->click(); // deletes itself later
    auto* second = presentWindow();
    EXPECT_NE(second, closing.data());
    chooseLibsyn(*second);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(closing);
    EXPECT_EQ(libsynPane_->parentController(), second) << "the old window must not take the pane with it";
    EXPECT_TRUE(libsynPane_->isVisibleTo(second));
}

} // namespace
} // namespace airlark
