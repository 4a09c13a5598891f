#pragma once

// Steps 1 and 2 in a real episode workflow frame, over a real store, with a simple step 3 that
// stands in for the host-selection screen (a higher layer).

#include "MetadataStoreFixture.h"
#include "metadata/ui/EditMetadataViewController.h"
#include "metadata/ui/OpenPanel.h"
#include "metadata/ui/SelectTemplateViewController.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"

#include <QPointer>
#include <QWidget>
#include <memory>

namespace airlark::test {

class NextStepStandIn : public QWidget, public ProgressNavigationControllerChild
{
public:
    NextStepAction nextStepAction() override
    {
        return NextStepAction::Right([] {});
    }
};

class WorkflowFixture : public MetadataStoreFixture
{
protected:
    void SetUp() override;
    void TearDown() override;

    QPushButton& next() const { return *frame->nextButton(); }
    QPushButton& back() const { return *frame->backButton(); }
    QPushButton& cancel() const { return *frame->cancelButton(); }
    QWidget* visible() const { return frame->contentNavigationController()->visibleViewController(); }

    // Clicks row `row` of step 1's template list, or its empty area for -1.
    void clickTemplateRow(int row);
    // Drops real file URLs on step 1's drop area.
    bool dropOnStep1(const QList<QUrl>& urls);
    // Answers the next open panel with `chosen` (nothing: cancelled) and records its options.
    void answerOpenPanel(std::optional<QList<QUrl>> chosen);

    std::unique_ptr<EditMetadataViewController> step2;
    std::unique_ptr<SelectTemplateViewController> step1;
    std::unique_ptr<TopMetadataProgressNavigationController> frame;
    QPointer<NextStepStandIn> step3;
    std::optional<OpenPanelOptions> lastPanelOptions;
};

} // namespace airlark::test
