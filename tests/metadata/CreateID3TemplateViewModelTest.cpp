// Template creation's logic against a real store.
#include "metadata/CreateID3TemplateViewModel.h"

#include "MetadataStoreFixture.h"
#include "platform/NotificationCenter.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QDir>

namespace airlark {
namespace {

class CountingDelegate : public CreateID3TemplateViewModelDelegate
{
public:
    void createID3TemplateViewModelFieldValuesDidChange(CreateID3TemplateViewModel&) override { ++changes; }
    int changes = 0;
};

class CreateID3TemplateViewModelTest : public test::MetadataStoreFixture
{
protected:
    void SetUp() override
    {
        MetadataStoreFixture::SetUp();
        NotificationCenter::defaultCenter().addObserver(this, ID3Template::createdNotificationName,
                                                        [this](const auto&) { ++created; });
    }
    void TearDown() override { NotificationCenter::defaultCenter().removeObserver(this); }

    CreateID3TemplateViewModel filled(const QString& podcast)
    {
        CreateID3TemplateViewModel viewModel;
        viewModel.setPodcast(podcast);
        viewModel.setArtist(QStringLiteral("Ada"));
        viewModel.setArtworkURL(QUrl::fromLocalFile(imageFile(QStringLiteral("cover art.png"))));
        return viewModel;
    }

    int created = 0;
};

TEST_F(CreateID3TemplateViewModelTest, CanSaveNeedsNameArtistAndArtwork)
{
    struct Case
    {
        QString podcast, artist;
        bool artwork, expected;
    };
    const Case cases[] = {{QStringLiteral(""), QStringLiteral(""), false, false},
                          {QStringLiteral("Lark"), QStringLiteral("Ada"), false, false},
                          {QStringLiteral("Lark"), QStringLiteral(""), true, false},
                          {QStringLiteral(""), QStringLiteral("Ada"), true, false},
                          {QStringLiteral("Lark"), QStringLiteral("Ada"), true, true},
                          {QStringLiteral(" "), QStringLiteral(" "), true, true}};
    for (const Case& c : cases) {
        CreateID3TemplateViewModel viewModel;
        viewModel.setPodcast(c.podcast);
        viewModel.setArtist(c.artist);
        if (c.artwork)
            viewModel.setArtworkURL(QUrl::fromLocalFile(QStringLiteral("/pictures/cover.png")));
        EXPECT_EQ(viewModel.canSave(), c.expected)
            << c.podcast.toStdString() << "/" << c.artist.toStdString();
    }
}

TEST_F(CreateID3TemplateViewModelTest, EveryAssignmentIsReported)
{
    CreateID3TemplateViewModel viewModel;
    CountingDelegate delegate;
    viewModel.delegate = &delegate;
    EXPECT_EQ(viewModel.artworkURLDisplay(), QStringLiteral(""));
    viewModel.setPodcast(QStringLiteral("Lark"));
    viewModel.setPodcast(QStringLiteral("Lark"));
    viewModel.setArtist(QStringLiteral("Ada"));
    viewModel.setArtworkURL(QUrl::fromLocalFile(QStringLiteral("/pictures/My Cover.png")));
    EXPECT_EQ(delegate.changes, 4);
    EXPECT_EQ(viewModel.artworkURLDisplay(), QStringLiteral("My Cover.png"));
}

TEST_F(CreateID3TemplateViewModelTest, SaveInsertsTheTemplateAndAnnouncesIt)
{
    const auto viewModel = filled(QStringLiteral("The Lark"));
    ASSERT_FALSE(viewModel.save());
    EXPECT_EQ(created, 1);
    const auto list = ID3Template::selectAll(*database);
    ASSERT_EQ(list.size(), 1u);
    const auto stored = ID3Template::find(*database, list.front().id);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->name, QStringLiteral("The Lark"));
    EXPECT_EQ(stored->album, QStringLiteral("The Lark"));
    EXPECT_EQ(stored->artist, QStringLiteral("Ada"));
    EXPECT_EQ(stored->albumArtist, QStringLiteral("Ada"));
    EXPECT_EQ(stored->artworkURL, QUrl::fromLocalFile(files.filePath(QStringLiteral("cover art.png"))));
    EXPECT_FALSE(stored->lastEpisodeTitle);
    EXPECT_FALSE(stored->title);
    EXPECT_FALSE(stored->comment);
    EXPECT_FALSE(stored->lyrics);
    EXPECT_FALSE(stored->year);
}

TEST_F(CreateID3TemplateViewModelTest, BadNamesAndAMissingStoreFail)
{
    ASSERT_FALSE(filled(QStringLiteral("Taken")).save());
    created = 0;

    EXPECT_EQ(filled(QStringLiteral("")).save(), ID3TemplateFieldValidationError::Name);
    EXPECT_EQ(filled(QStringLiteral("Taken")).save(), ID3TemplateFieldValidationError::Save);
    ID3TemplateFieldValidationError error{};
    EXPECT_FALSE(filled(QStringLiteral("Taken")).saveAndReturnError(&error));
    EXPECT_EQ(error, ID3TemplateFieldValidationError::Save);
    EXPECT_EQ(created, 0);
    EXPECT_EQ(ID3Template::selectAll(*database).size(), 1u);

    EXPECT_FALSE(filled(QStringLiteral(" ")).save()) << "one space is a name";
    EXPECT_EQ(created, 1);

    database.reset();
    QDir(test::dataDirectory()).removeRecursively();
    ASSERT_TRUE(test::writeFile(test::dataDirectory(), "not a folder"));
    EXPECT_EQ(filled(QStringLiteral("Elsewhere")).save(), ID3TemplateFieldValidationError::Database);
    QFile::remove(test::dataDirectory());
}

} // namespace
} // namespace airlark
