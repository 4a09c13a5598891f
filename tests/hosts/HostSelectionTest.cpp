#include "HostsFixture.h"

#include "hosts/PodcastHostAppearance.h"
#include "hosts/ui/SelectPodcastHostViewController.h"
#include "platform/ui/ProgressNavigationController.h"
#include "support/TestEnvironment.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <memory>

namespace airlark {
namespace {

using test::HostsTest;
using test::RecordingUploadStep;

// --- Hosts as shown to the user. ---

bool isBlank(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return false;
    return true;
}

TEST(PodcastHostAppearanceTest, NamesAndIconsOfTheHosts)
{
    struct Case
    {
        PodcastHost host;
        QString name;
        QString iconName;
    };
    const Case cases[] = {{PodcastHost::Libsyn, QStringLiteral("Libsyn"), QStringLiteral("Libsyn-Icon")},
                          {PodcastHost::SoundCloud, QStringLiteral("SoundCloud"), QStringLiteral("SoundCloud-Icon")}};
    for (const auto& c : cases) {
        EXPECT_EQ(displayName(c.host), c.name);
        EXPECT_EQ(iconName(c.host), c.iconName);
        EXPECT_FALSE(isBlank(icon(c.host))) << qPrintable(c.iconName) << " did not load";
        EXPECT_EQ(icon(c.host).cacheKey(), icon(c.host).cacheKey()) << "loaded once and kept";
        EXPECT_EQ(iconForHostText(c.name), icon(c.host));
    }
    EXPECT_NE(icon(PodcastHost::Libsyn), icon(PodcastHost::SoundCloud));
    EXPECT_TRUE(isBlank(blankHostImage()));
    EXPECT_FALSE(blankHostImage().isNull());
    for (const auto* text : {"libsyn", "", "Soundcloud", " Libsyn"})
        EXPECT_EQ(iconForHostText(QString::fromLatin1(text)), blankHostImage()) << text;
}

// --- Step 3 in a real wizard frame. ---

// Step 2 as step 3 sees it: Next answers with a new step 3, as the storyboard does.
class StepBeforeHostSelection : public QWidget, public ProgressNavigationControllerChild
{
public:
    explicit StepBeforeHostSelection(std::function<QWidget*()> nextStep) : nextStep_(std::move(nextStep)) {}
    NextStepAction nextStepAction() override { return NextStepAction::Left(nextStep_()); }
    void willPresentInProgressNavigationController(ProgressNavigationController& frame) override
    {
        frame.setNextButtonTitle(QStringLiteral("Save"));
        frame.setNextButtonEnabled(true);
    }

private:
    std::function<QWidget*()> nextStep_;
};

class HostSelectionTest : public HostsTest
{
protected:
    void SetUp() override
    {
        HostsTest::SetUp();
        upload_ = std::make_unique<RecordingUploadStep>();
        root_ = std::make_unique<StepBeforeHostSelection>([this] {
            auto* step = new SelectPodcastHostViewController(
                {[this] { return static_cast<QWidget*>(upload_.get()); }, [this] { ++addAccountRequests_; }});
            step->setAttribute(Qt::WA_DeleteOnClose);
            step->setTags({QStringLiteral("podcast")});
            return step;
        });
        frame_ = std::make_unique<ProgressNavigationController>([this] { return root_.get(); });
        frame_->resize(640, 480);
        frame_->show();
        frame_->loadViewIfNeeded();
    }

    void TearDown() override
    {
        frame_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        HostsTest::TearDown();
    }

    // Presses Next on step 2 and returns the new step 3.
    SelectPodcastHostViewController* enterHostSelection()
    {
        frame_->nextButton()->click();
        auto* step = dynamic_cast<SelectPodcastHostViewController*>(frame_->contentNavigationController()->visibleViewController());
        EXPECT_TRUE(step);
        return step;
    }

    static void selectRow(SelectPodcastHostViewController& step, int row)
    {
        if (row < 0)
            step.tableView()->selectionModel()->clearSelection();
        else
            step.tableView()->selectRow(row);
    }

    static QString rowText(SelectPodcastHostViewController& step, int row)
    {
        auto* model = step.tableView()->model();
        return model->data(model->index(row, 0), Qt::DisplayRole).toString();
    }

    std::unique_ptr<RecordingUploadStep> upload_;
    std::unique_ptr<StepBeforeHostSelection> root_;
    std::unique_ptr<ProgressNavigationController> frame_;
    int addAccountRequests_ = 0;
};

TEST_F(HostSelectionTest, WithoutAccountsNextStaysDisabledAsStartUpload)
{
    auto* step = enterHostSelection();
    ASSERT_TRUE(step);
    EXPECT_EQ(step->tableView()->model()->rowCount(), 0);
    EXPECT_EQ(frame_->nextButton()->text(), QStringLiteral("Start upload"));
    EXPECT_FALSE(frame_->nextButton()->isEnabled());
    EXPECT_TRUE(frame_->backButton()->isEnabled());
    EXPECT_TRUE(frame_->cancelButton()->isEnabled());

    step->addAccountButton()->click();
    EXPECT_EQ(addAccountRequests_, 1);
}

TEST_F(HostSelectionTest, SelectingARowEnablesNextAndDeselectingDisablesIt)
{
    addAccount(QStringLiteral("Weekly Show"), QStringLiteral("Libsyn"));
    const qint64 second = addAccount(QStringLiteral("Show"), QStringLiteral("SoundCloud"));
    auto* step = enterHostSelection();
    ASSERT_TRUE(step);
    ASSERT_EQ(step->tableView()->model()->rowCount(), 2);

    selectRow(*step, 1);
    EXPECT_TRUE(frame_->nextButton()->isEnabled());
    EXPECT_EQ(step->viewModel().state(), SelectPodcastHostState::Selected);
    EXPECT_EQ(step->viewModel().selectedAccountID(), second);
    EXPECT_EQ(step->viewModel().selectedHost(), PodcastHost::SoundCloud);

    selectRow(*step, -1);
    EXPECT_FALSE(frame_->nextButton()->isEnabled());
    EXPECT_EQ(step->viewModel().state(), SelectPodcastHostState::Unselected);
    EXPECT_EQ(step->viewModel().selectedAccountID(), std::nullopt);
    EXPECT_EQ(step->viewModel().selectedHost(), std::nullopt);
}

TEST_F(HostSelectionTest, RowsReadNameDashHostWithTheHostIcon)
{
    addAccount(QStringLiteral("Weekly Show"), QStringLiteral("Libsyn"));
    addAccount(QStringLiteral("Show"), QStringLiteral("SoundCloud"));
    addAccount(QStringLiteral("Odd"), QStringLiteral("libsyn"));
    const qint64 placeholder = addPlaceholder();
    auto* step = enterHostSelection();
    ASSERT_TRUE(step);
    ASSERT_EQ(step->tableView()->model()->rowCount(), 4);

    const struct
    {
        QString text;
        QImage image;
    } expected[] = {{QStringLiteral("Weekly Show—Libsyn"), icon(PodcastHost::Libsyn)},
                    {QStringLiteral("Show—SoundCloud"), icon(PodcastHost::SoundCloud)},
                    {QStringLiteral("Odd—libsyn"), blankHostImage()},
                    {QStringLiteral("—"), blankHostImage()}};
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(rowText(*step, row), expected[row].text);
        EXPECT_EQ(step->viewModel().accounts()[static_cast<std::size_t>(row)].image(), expected[row].image);
        auto* model = step->tableView()->model();
        EXPECT_FALSE(qvariant_cast<QIcon>(model->data(model->index(row, 0), Qt::DecorationRole)).isNull());
    }
    EXPECT_EQ(step->tableView()->rowHeight(0), SelectPodcastHostViewController::RowHeight);

    // Choosing the placeholder passes its identifier and no host.
    selectRow(*step, 3);
    frame_->nextButton()->click();
    EXPECT_EQ(upload_->handOffs, 1);
    EXPECT_EQ(upload_->host, std::nullopt);
    EXPECT_EQ(upload_->userIdentifier, placeholder);
}

TEST_F(HostSelectionTest, ANewAccountReloadsTheListAndKeepsTheSelection)
{
    const qint64 first = addAccount(QStringLiteral("Weekly Show"), QStringLiteral("Libsyn"));
    auto* step = enterHostSelection();
    ASSERT_TRUE(step);
    selectRow(*step, 0);
    ASSERT_TRUE(frame_->nextButton()->isEnabled());

    addAccount(QStringLiteral("Second"), QStringLiteral("SoundCloud")); // posts availableAccountsDidChange
    EXPECT_EQ(step->tableView()->model()->rowCount(), 2);
    EXPECT_EQ(rowText(*step, 1), QStringLiteral("Second—SoundCloud"));
    EXPECT_TRUE(frame_->nextButton()->isEnabled());
    EXPECT_EQ(step->viewModel().selectedAccountID(), first);
    EXPECT_EQ(step->tableView()->selectionModel()->selectedRows().value(0).row(), 0);
}

TEST_F(HostSelectionTest, NextHandsTheSameUploadStepTheChosenAccountOnEveryPass)
{
    const qint64 libsyn = addAccount(QStringLiteral("Weekly Show"), QStringLiteral("Libsyn"));
    const qint64 soundCloud = addAccount(QStringLiteral("Show"), QStringLiteral("SoundCloud"));

    auto* firstStep = enterHostSelection();
    ASSERT_TRUE(firstStep);
    selectRow(*firstStep, 0);
    frame_->nextButton()->click();
    EXPECT_EQ(frame_->contentNavigationController()->visibleViewController(), upload_.get());
    EXPECT_EQ(upload_->host, PodcastHost::Libsyn);
    EXPECT_EQ(upload_->userIdentifier, libsyn);
    EXPECT_EQ(upload_->accountName, QStringLiteral("Weekly Show"));
    EXPECT_EQ(upload_->tags, QStringList{QStringLiteral("podcast")});
    EXPECT_EQ(upload_->progressNavigationController(), frame_.get());

    frame_->cancelButton()->click(); // back to step 2, for the next episode
    QPointer<SelectPodcastHostViewController> firstPass(firstStep);
    auto* secondStep = enterHostSelection();
    ASSERT_TRUE(secondStep);
    EXPECT_NE(secondStep, firstPass.data());
    EXPECT_FALSE(frame_->nextButton()->isEnabled());
    selectRow(*secondStep, 1);
    frame_->nextButton()->click();
    EXPECT_EQ(frame_->contentNavigationController()->visibleViewController(), upload_.get());
    EXPECT_EQ(upload_->handOffs, 2);
    EXPECT_EQ(upload_->host, PodcastHost::SoundCloud);
    EXPECT_EQ(upload_->userIdentifier, soundCloud);
}

} // namespace
} // namespace airlark
