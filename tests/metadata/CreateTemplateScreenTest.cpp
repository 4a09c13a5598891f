// The template-creation window with real widgets over a real store.
#include "MetadataStoreFixture.h"
#include "metadata/ui/CreateID3TemplateViewController.h"
#include "metadata/ui/OpenPanel.h"
#include "platform/NotificationCenter.h"
#include "support/Mp3Fixtures.h"
#include "support/StandardOutputCapture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace airlark {
namespace {

class CreateTemplateScreenTest : public test::MetadataStoreFixture
{
protected:
    void SetUp() override
    {
        MetadataStoreFixture::SetUp();
        window = CreateID3TemplateViewController::makeWindow(nullptr);
        screen = qobject_cast<CreateID3TemplateViewController*>(window.data());
        window->show();
        NotificationCenter::defaultCenter().addObserver(this, ID3Template::createdNotificationName,
                                                        [this](const auto&) { ++created; });
    }
    void TearDown() override
    {
        NotificationCenter::defaultCenter().removeObserver(this);
        OpenPanel::setPresenterForTesting({});
        delete window.data();
    }

    void chooseArtwork(std::optional<QUrl> url)
    {
        OpenPanel::setPresenterForTesting(
            [this, url](QWidget*, const OpenPanelOptions& options, const OpenPanel::Completion& completion) {
                panelTypes = options.allowedFileTypes;
                multiple = options.allowsMultipleSelection;
                completion(url ? std::optional<QList<QUrl>>(QList<QUrl>{*url}) : std::nullopt);
            });
        QTest::mouseClick(screen->chooseArtworkButton(), Qt::LeftButton);
    }

    void fill(const QString& podcast, const QString& artist)
    {
        screen->albumField()->clear();
        QTest::keyClicks(screen->albumField(), podcast);
        screen->artistField()->clear();
        QTest::keyClicks(screen->artistField(), artist);
    }

    QPointer<QWidget> window;
    CreateID3TemplateViewController* screen = nullptr;
    QStringList panelTypes;
    bool multiple = true;
    int created = 0;
};

TEST_F(CreateTemplateScreenTest, OpensEmptyWithSaveDisabled)
{
    EXPECT_TRUE(screen->albumField()->text().isEmpty());
    EXPECT_TRUE(screen->artistField()->text().isEmpty());
    EXPECT_TRUE(screen->artworkFileLabel()->text().isEmpty());
    EXPECT_FALSE(screen->saveButton()->isEnabled());
    EXPECT_FALSE(screen->albumField()->accessibleName().isEmpty());
    EXPECT_FALSE(screen->artistField()->accessibleName().isEmpty());
}

TEST_F(CreateTemplateScreenTest, SaveNeedsAnArtworkFileAndFollowsEveryKeystroke)
{
    fill(QStringLiteral("Lark"), QStringLiteral("Ada"));
    EXPECT_FALSE(screen->saveButton()->isEnabled());

    chooseArtwork(QUrl::fromLocalFile(imageFile(QStringLiteral("my cover.png"))));
    EXPECT_EQ(panelTypes,
              (QStringList{QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png")}));
    EXPECT_FALSE(multiple);
    EXPECT_TRUE(screen->saveButton()->isEnabled());
    EXPECT_EQ(screen->artworkFileLabel()->text(), QStringLiteral("my cover.png"));

    QTest::keyClick(screen->artistField(), Qt::Key_Backspace);
    QTest::keyClick(screen->artistField(), Qt::Key_Backspace);
    QTest::keyClick(screen->artistField(), Qt::Key_Backspace);
    EXPECT_FALSE(screen->saveButton()->isEnabled());
    QTest::keyClicks(screen->artistField(), QStringLiteral(" "));
    EXPECT_TRUE(screen->saveButton()->isEnabled()) << "white space counts as content";

    chooseArtwork(std::nullopt);
    EXPECT_EQ(screen->artworkFileLabel()->text(), QStringLiteral("my cover.png"))
        << "cancelling keeps the choice";
}

TEST_F(CreateTemplateScreenTest, SavingInsertsTheTemplateAndClosesTheWindow)
{
    const QString cover = imageFile(QStringLiteral("cover.jpg"), 3000, 3000);
    fill(QStringLiteral("The Lark"), QStringLiteral("Ada"));
    chooseArtwork(QUrl::fromLocalFile(cover));
    QTest::mouseClick(screen->saveButton(), Qt::LeftButton);

    EXPECT_EQ(created, 1);
    EXPECT_TRUE(test::waitFor([this] { return window.isNull(); })) << "closed and deleted";
    const auto list = ID3Template::selectAll(*database);
    ASSERT_EQ(list.size(), 1u);
    const auto stored = ID3Template::find(*database, list.front().id);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->name, QStringLiteral("The Lark"));
    EXPECT_EQ(stored->album, QStringLiteral("The Lark"));
    EXPECT_EQ(stored->artist, QStringLiteral("Ada"));
    EXPECT_EQ(stored->albumArtist, QStringLiteral("Ada"));
    EXPECT_EQ(stored->artworkURL, QUrl::fromLocalFile(cover));
    EXPECT_FALSE(stored->title || stored->comment || stored->lyrics || stored->year ||
                 stored->lastEpisodeTitle);
}

struct BadName
{
    const char* name;
    QString podcast;
    QString expectedLine;
    bool storeUnavailable = false; // a file where the data directory should be
};

class CreateTemplateBadNameTest : public CreateTemplateScreenTest,
                                  public ::testing::WithParamInterface<BadName>
{
};

TEST_P(CreateTemplateBadNameTest, KeepsTheWindowOpenAndSaysWhy)
{
    insertTemplate(QStringLiteral("Taken"));
    created = 0;
    fill(GetParam().podcast, QStringLiteral("Ada"));
    chooseArtwork(QUrl::fromLocalFile(imageFile(QStringLiteral("cover.png"))));

    if (GetParam().storeUnavailable) {
        QDir(test::dataDirectory()).removeRecursively();
        ASSERT_TRUE(test::writeFile(test::dataDirectory(), "not a folder"));
    }

    test::StandardOutputCapture output;
    screen->savePressed(); // the button is disabled for an empty name; the action still refuses it
    EXPECT_EQ(output.release(), QStringList{GetParam().expectedLine});
    if (GetParam().storeUnavailable)
        QFile::remove(test::dataDirectory());
    EXPECT_EQ(created, 0);
    EXPECT_TRUE(window && window->isVisible());
    EXPECT_FALSE(screen->errorLabel()->isHidden());
    EXPECT_FALSE(screen->errorLabel()->text().isEmpty());
    EXPECT_EQ(ID3Template::selectAll(*database).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CreateTemplateBadNameTest,
    ::testing::Values(BadName{"Existing", QStringLiteral("Taken"),
                              QStringLiteral("Handle error ID3TemplateFieldValidationError.Save")},
                      BadName{"Empty", QStringLiteral(""),
                              QStringLiteral("Handle error ID3TemplateFieldValidationError.Name")},
                      BadName{"NoStore", QStringLiteral("Elsewhere"),
                              QStringLiteral("Handle error ID3TemplateFieldValidationError.Database"), true}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(CreateTemplateScreenTest, ANameOfOneSpaceIsAccepted)
{
    fill(QStringLiteral(" "), QStringLiteral("Ada"));
    chooseArtwork(QUrl::fromLocalFile(imageFile(QStringLiteral("cover.png"))));
    ASSERT_TRUE(screen->saveButton()->isEnabled());
    QTest::mouseClick(screen->saveButton(), Qt::LeftButton);
    EXPECT_EQ(created, 1);
    EXPECT_EQ(ID3Template::selectAll(*database).front().name, QStringLiteral(" "));
}

TEST_F(CreateTemplateScreenTest, CancelClosesWithoutSaving)
{
    fill(QStringLiteral("Lark"), QStringLiteral("Ada"));
    QTest::mouseClick(screen->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(test::waitFor([this] { return window.isNull(); }));
    EXPECT_EQ(created, 0);
    EXPECT_TRUE(ID3Template::selectAll(*database).empty());
}

} // namespace
} // namespace airlark
