// Step 1's logic against a real store in a private data directory.
#include "metadata/SelectTemplateViewModel.h"

#include "MetadataStoreFixture.h"
#include "store/Database.h"
#include "store/SQLite.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTimer>

namespace airlark {
namespace {

class SelectTemplateViewModelTest : public test::MetadataStoreFixture
{
protected:
    // The list as read in the background.
    static bool load(SelectTemplateViewModel& viewModel)
    {
        viewModel.reloadTemplates();
        return test::waitFor([&] { return !viewModel.isReadingTemplates(); });
    }
};

TEST_F(SelectTemplateViewModelTest, ArtworkIsLoadedAsAThumbnailAndCachedWhileItLoads)
{
    const QString large = imageFile(QStringLiteral("large.jpg"), 3000, 3000);
    const qint64 withArtwork = insertTemplate(QStringLiteral("Large"), large);
    const qint64 missing =
        insertTemplate(QStringLiteral("Missing"), files.filePath(QStringLiteral("later.png")));
    const QString text = files.filePath(QStringLiteral("text.png"));
    test::writeFile(text, "not an image");
    const qint64 notAnImage = insertTemplate(QStringLiteral("Text"), text);
    const qint64 none = insertTemplate(QStringLiteral("None"));
    SelectTemplateViewModel viewModel;
    ASSERT_TRUE(load(viewModel));

    const auto image = viewModel.artworkForTemplateWithID(withArtwork);
    ASSERT_TRUE(image);
    EXPECT_LE(qMax(image->width(), image->height()), SelectTemplateViewModel::ThumbnailSide);
    ASSERT_TRUE(QFile::remove(large));
    EXPECT_TRUE(viewModel.artworkForTemplateWithID(withArtwork)) << "read once while it loads";

    EXPECT_FALSE(viewModel.artworkForTemplateWithID(missing));
    imageFile(QStringLiteral("later.png"));
    EXPECT_TRUE(viewModel.artworkForTemplateWithID(missing)) << "a failed load is tried again";
    EXPECT_FALSE(viewModel.artworkForTemplateWithID(notAnImage));
    EXPECT_FALSE(viewModel.artworkForTemplateWithID(none));
    EXPECT_FALSE(viewModel.artworkForTemplateWithID(9999));
}

// A store that cannot be read says so (not "No templates yet"), is left as it was, and is read
// off the main thread, which keeps handling events while a lock is waited out.
TEST_F(SelectTemplateViewModelTest, AStoreThatCannotBeReadSaysSoAndIsLeftUntouched)
{
    const QString file = test::dataDirectory() + QStringLiteral("/database.sqlite3");
    for (const char* fault : {"folder", "corrupt", "locked"}) {
        SCOPED_TRACE(fault);
        QDir(test::dataDirectory()).removeRecursively();
        std::optional<sqlite::Connection> holder;
        if (fault == std::string("folder")) {
            ASSERT_TRUE(test::writeFile(test::dataDirectory(), "a file where the data directory should be"));
        } else if (fault == std::string("corrupt")) {
            ASSERT_TRUE(test::writeFile(file, QByteArray("SQLite format 3").append(4096, '\x5a')));
        } else {
            ASSERT_FALSE(Database::open()->createTables());
            holder.emplace(std::move(sqlite::Connection::open(file)).value());
            ASSERT_FALSE(holder->execute(QStringLiteral("BEGIN EXCLUSIVE")));
        }
        const QByteArray before =
            test::readFile(fault == std::string("folder") ? test::dataDirectory() : file);
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(50);
        SelectTemplateViewModel viewModel;
        ASSERT_TRUE(load(viewModel));
        EXPECT_TRUE(viewModel.cachedTemplates.empty());
        EXPECT_TRUE(viewModel.templatesFailure());
        EXPECT_EQ(test::readFile(fault == std::string("folder") ? test::dataDirectory() : file), before);
        if (holder) {
            EXPECT_GT(ticks, 20) << "the window kept handling events while the lock was waited out";
        }
        QFile::remove(test::dataDirectory());
    }
}

} // namespace
} // namespace airlark
