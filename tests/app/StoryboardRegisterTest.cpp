#include "app/StoryboardRegister.h"

#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <gtest/gtest.h>

using namespace airlark;
namespace Register = airlark::StoryboardRegister;

namespace {

TEST(StoryboardRegister, HandsOutOneSharedInstanceOfEachController)
{
    EXPECT_EQ(Register::Main::selectTemplateViewController(), Register::Main::selectTemplateViewController());
    EXPECT_EQ(Register::EditMetadata::editMetadataViewController(),
              Register::EditMetadata::editMetadataViewController());
    EXPECT_EQ(Register::UploadPodcast::uploadPodcastViewController(),
              Register::UploadPodcast::uploadPodcastViewController());
    EXPECT_EQ(Register::ChoosePodcastHost::soundCloudAuthenticationViewController(),
              Register::ChoosePodcastHost::soundCloudAuthenticationViewController());
    EXPECT_EQ(Register::ChoosePodcastHost::libsynAuthenticationViewController(),
              Register::ChoosePodcastHost::libsynAuthenticationViewController());
    EXPECT_NE(static_cast<QWidget*>(Register::ChoosePodcastHost::soundCloudAuthenticationViewController()),
              static_cast<QWidget*>(Register::ChoosePodcastHost::libsynAuthenticationViewController()));
}

TEST(StoryboardRegister, MakesANewHostSelectionStepEachTime)
{
    std::unique_ptr<QWidget> first(Register::ChoosePodcastHost::instantiateInitialController());
    std::unique_ptr<QWidget> second(Register::ChoosePodcastHost::instantiateInitialController());
    EXPECT_NE(first, second);
    EXPECT_NE(progressNavigationControllerChild(first.get()), nullptr);
    EXPECT_TRUE(first->testAttribute(Qt::WA_DeleteOnClose)) << "the stack disposes of it when it leaves";
}

TEST(StoryboardRegister, EveryStepConformsToTheStepProtocol)
{
    for (QWidget* step :
         std::initializer_list<QWidget*>{Register::Main::selectTemplateViewController(),
                                         Register::EditMetadata::editMetadataViewController(),
                                         Register::UploadPodcast::uploadPodcastViewController()})
        EXPECT_NE(progressNavigationControllerChild(step), nullptr);
}

TEST(StoryboardRegister, TheSoundCloudPaneSetsTheDelegatesPendingClient)
{
    struct Client : RedirectURLHandler
    {
        void handleRedirectURL(const QUrl&) override {}
    };
    AppDelegate delegate;
    auto client = std::make_shared<Client>();
    const auto& setter =
        Register::ChoosePodcastHost::soundCloudAuthenticationViewController()->pendingClientSetter();
    ASSERT_TRUE(setter);
    setter(client);
    EXPECT_EQ(delegate.pendingAuthenticationSoundCloudAPIClient(), client);
}

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest() { QApplication::setQuitOnLastWindowClosed(false); }
    ~MainWindowTest() override { QApplication::setQuitOnLastWindowClosed(true); }

    std::unique_ptr<MainWindow> makeWindow()
    {
        auto window = std::make_unique<MainWindow>(
            [] { return static_cast<QWidget*>(Register::Main::selectTemplateViewController()); });
        window->show();
        return window;
    }
    QWidget* visible(MainWindow& window)
    {
        return window.workflow()->contentNavigationController()->visibleViewController();
    }
};

TEST_F(MainWindowTest, OpensOnTheWorkflowAtStepOne)
{
    auto window = makeWindow();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Airlark"));
    EXPECT_EQ(window->centralWidget(), window->workflow());
    EXPECT_GE(window->width(), 560);
    EXPECT_EQ(visible(*window), Register::Main::selectTemplateViewController());
    EXPECT_EQ(window->workflow()->currentStep(), 0);
    EXPECT_EQ(window->workflow()->numberOfSteps(), 4);
    EXPECT_EQ(window->workflow()->progressIndicator()->format(), QStringLiteral("Step 1 of 4"));
    EXPECT_FALSE(window->workflow()->backButton()->isEnabled()) << "step 1 set up the buttons";
    EXPECT_FALSE(window->workflow()->cancelButton()->isEnabled());

    QAction* quit = window->findChild<QAction*>(QStringLiteral("quitAction"));
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
}

TEST_F(MainWindowTest, QuitClosesEveryWindow)
{
    auto window = makeWindow();
    QWidget other;
    other.show();
    window->findChild<QAction*>(QStringLiteral("quitAction"))->trigger();
    EXPECT_TRUE(
        test::waitFor([&] { return !window->isVisible() && !other.isVisible(); }, std::chrono::seconds(5)));
}

TEST_F(MainWindowTest, ASecondWindowReusesTheSharedStepsAfterTheFirstIsGone)
{
    makeWindow().reset();
    auto window = makeWindow();
    EXPECT_EQ(visible(*window), Register::Main::selectTemplateViewController());
    EXPECT_TRUE(Register::Main::selectTemplateViewController()->isVisible());
}

} // namespace
