#pragma once

// Steps 1 and 2 in a real episode workflow frame, over a fresh, real store in a data folder of the
// test's own, with a simple step 3 that stands in for the host-selection screen (a higher layer).

#include "metadata/ui/EditMetadataViewController.h"
#include "metadata/ui/OpenPanel.h"
#include "metadata/ui/SelectTemplateViewController.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"
#include "store/ID3Template.h"
#include "support/StoreFixture.h"

#include <QPointer>
#include <QTemporaryDir>
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
    void SetUp() override;
    void TearDown() override;

    // Inserts a template (name, album and artist as given; the rest empty unless set here).
    qint64 insertTemplate(const QString& name, std::optional<QString> artworkPath = std::nullopt,
                          std::optional<QString> title = std::nullopt,
                          std::optional<QString> comment = std::nullopt,
                          std::optional<QString> lastEpisodeTitle = std::nullopt);
    // Image and MP3 files in the fixture's folder.
    QString imageFile(const QString& name, int width = 16, int height = 16);
    QString mp3File(const QString& name, int seconds = 1);

    QPushButton& next() const { return *frame->nextButton(); }
    QPushButton& back() const { return *frame->backButton(); }
    QPushButton& cancel() const { return *frame->cancelButton(); }
    QWidget* visible() const { return frame->contentNavigationController()->visibleViewController(); }

    // Clicks row `row` of step 1's template list.
    void clickTemplateRow(int row);
    // Drops real file URLs on step 1's drop area.
    bool dropOnStep1(const QList<QUrl>& urls);
    // Answers the next open panel with `chosen` (nothing: cancelled) and records its options.
    void answerOpenPanel(std::optional<QList<QUrl>> chosen);

    std::optional<Database> database;
    QTemporaryDir files;
    std::unique_ptr<EditMetadataViewController> step2;
    std::unique_ptr<SelectTemplateViewController> step1;
    std::unique_ptr<TopMetadataProgressNavigationController> frame;
    QPointer<NextStepStandIn> step3;
    std::optional<OpenPanelOptions> lastPanelOptions;
};

} // namespace airlark::test
