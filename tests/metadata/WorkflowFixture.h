#pragma once

// Steps 1 and 2 in a real episode workflow frame, over a fresh, real store in a data folder of the
// test's own, with a simple step 3 that stands in for the host-selection screen (a higher layer).

#include "metadata/ui/EditMetadataViewController.h"
#include "metadata/ui/FileDropLocationView.h"
#include "metadata/ui/OpenPanel.h"
#include "metadata/ui/SelectTemplateViewController.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"
#include "store/ID3Template.h"
#include "support/Mp3Fixtures.h"
#include "support/StoreFixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDropEvent>
#include <QListView>
#include <QMimeData>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWidget>
#include <memory>
#include <optional>

namespace airlark::test {

class NextStepStandIn : public QWidget, public ProgressNavigationControllerChild
{
public:
    NextStepAction nextStepAction() override
    {
        return NextStepAction::Right([] {});
    }
};

class WorkflowFixture : public StoreTest
{
protected:
    void SetUp() override
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
    void TearDown() override
    {
        OpenPanel::setPresenterForTesting({});
        frame.reset(); // hands the steps back before they go
        step1.reset();
        step2.reset();
    }

    // Inserts a template (name, album and artist as given; the rest empty unless set here).
    qint64 insertTemplate(const QString& name, std::optional<QString> artworkPath = std::nullopt,
                          std::optional<QString> title = std::nullopt,
                          std::optional<QString> lastEpisodeTitle = std::nullopt)
    {
        const QString artist = name + QStringLiteral(" artist");
        ID3TemplateQueryBuilder builder(
            *database, name, {std::move(title), artist, name + QStringLiteral(" album"), artist, {}, {}, {}});
        builder.lastEpisodeTitle = std::move(lastEpisodeTitle);
        if (artworkPath)
            builder.artworkURL = QUrl::fromLocalFile(*artworkPath).toString(QUrl::FullyEncoded);
        const auto inserted = builder.insert();
        EXPECT_TRUE(inserted);
        return inserted ? inserted->id : -1;
    }
    // Image and MP3 files in the fixture's folder.
    QString imageFile(const QString& name, int width = 16, int height = 16)
    {
        const QString path = files.filePath(name);
        writeFile(path,
                  name.endsWith(QLatin1String(".png")) ? pngBytes(width, height) : jpegBytes(width, height));
        return path;
    }
    QString mp3File(const QString& name, int seconds = 1)
    {
        const QString path = files.filePath(name);
        writeFile(path, mp3Bytes(seconds));
        return path;
    }

    QPushButton& next() const { return *frame->nextButton(); }
    QPushButton& back() const { return *frame->backButton(); }
    QPushButton& cancel() const { return *frame->cancelButton(); }
    QWidget* visible() const { return frame->contentNavigationController()->visibleViewController(); }

    // Clicks row `row` of step 1's template list.
    void clickTemplateRow(int row)
    {
        // Step 1 reads its list in the background.
        EXPECT_TRUE(waitFor([this] { return !step1->viewModel().isReadingTemplates(); }));
        QListView* list = step1->tableView();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualRect(list->model()->index(row, 0)).center());
    }
    // Drops real file URLs on step 1's drop area.
    bool dropOnStep1(const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        FileDropLocationView* area = step1->dropLocationView();
        QDragEnterEvent enter(area->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(area, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(area->rect().center()), Qt::CopyAction, &data, Qt::LeftButton,
                           Qt::NoModifier);
        QApplication::sendEvent(area, &dropped);
        return dropped.isAccepted();
    }
    // Answers the next open panel with `chosen` (nothing: cancelled) and records its options.
    void answerOpenPanel(std::optional<QList<QUrl>> chosen)
    {
        OpenPanel::setPresenterForTesting([this, chosen](QWidget*, const OpenPanelOptions& options,
                                                         const OpenPanel::Completion& completion) {
            lastPanelOptions = options;
            completion(chosen);
        });
    }

    std::optional<Database> database;
    QTemporaryDir files;
    std::unique_ptr<EditMetadataViewController> step2;
    std::unique_ptr<SelectTemplateViewController> step1;
    std::unique_ptr<TopMetadataProgressNavigationController> frame;
    QPointer<NextStepStandIn> step3;
    std::optional<OpenPanelOptions> lastPanelOptions;
};

} // namespace airlark::test
