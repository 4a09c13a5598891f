#include "WorkflowFixture.h"

#include "metadata/ui/FileDropLocationView.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDropEvent>
#include <QListView>
#include <QMimeData>
#include <QTest>
#include <QUrl>

namespace airlark::test {

void WorkflowFixture::SetUp()
{
    StoreTest::SetUp();
    database = openWithTables();
    step2 = std::make_unique<EditMetadataViewController>([this]() -> QWidget* {
        auto* made = new NextStepStandIn;
        made->setAttribute(Qt::WA_DeleteOnClose);
        step3 = made;
        return made;
    });
    step1 = std::make_unique<SelectTemplateViewController>([this] { return step2.get(); });
    frame = std::make_unique<TopMetadataProgressNavigationController>(
        [this]() -> QWidget* { return step1.get(); });
    frame->resize(800, 560);
    frame->loadViewIfNeeded(); // before it shows, as the main window does
    frame->show();
}

void WorkflowFixture::TearDown()
{
    OpenPanel::setPresenterForTesting({});
    frame.reset(); // hands the steps back before they go
    step1.reset();
    step2.reset();
}

qint64 WorkflowFixture::insertTemplate(const QString& name, std::optional<QString> artworkPath,
                                       std::optional<QString> title, std::optional<QString> comment,
                                       std::optional<QString> lastEpisodeTitle)
{
    ID3TemplateQueryBuilder builder(*database, name);
    builder.album = name + QStringLiteral(" album");
    builder.artist = name + QStringLiteral(" artist");
    builder.albumArtist = builder.artist;
    builder.title = std::move(title);
    builder.comment = std::move(comment);
    builder.lastEpisodeTitle = std::move(lastEpisodeTitle);
    if (artworkPath)
        builder.artworkURL = QUrl::fromLocalFile(*artworkPath).toString(QUrl::FullyEncoded);
    const auto inserted = builder.insert();
    EXPECT_TRUE(inserted);
    return inserted ? inserted->id : -1;
}

QString WorkflowFixture::imageFile(const QString& name, int width, int height)
{
    const QString path = files.filePath(name);
    writeFile(path,
              name.endsWith(QLatin1String(".png")) ? pngBytes(width, height) : jpegBytes(width, height));
    return path;
}

QString WorkflowFixture::mp3File(const QString& name, int seconds)
{
    const QString path = files.filePath(name);
    writeFile(path, mp3Bytes(seconds));
    return path;
}

void WorkflowFixture::clickTemplateRow(int row)
{
    // Step 1 reads its list in the background.
    EXPECT_TRUE(waitFor([this] { return !step1->viewModel().isReadingTemplates(); }));
    QListView* list = step1->tableView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualRect(list->model()->index(row, 0)).center());
}

bool WorkflowFixture::dropOnStep1(const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    FileDropLocationView* area = step1->dropLocationView();
    QDragEnterEvent enter(area->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent dropped(QPointF(area->rect().center()), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &dropped);
    return dropped.isAccepted();
}

void WorkflowFixture::answerOpenPanel(std::optional<QList<QUrl>> chosen)
{
    OpenPanel::setPresenterForTesting(
        [this, chosen](QWidget*, const OpenPanelOptions& options, const OpenPanel::Completion& completion) {
            lastPanelOptions = options;
            completion(chosen);
        });
}

} // namespace airlark::test
