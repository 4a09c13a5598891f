#include "app/OnboardingWindowController.h"

#include "platform/ApplicationIdentity.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace airlark {

OnboardingWindowController::OnboardingWindowController(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Onboarding"));
    setWindowTitle(tr("Welcome to %1").arg(applicationName()));
    auto* text = new QLabel(tr("<h2>Welcome to Airlark</h2>"
                               "<p>Airlark tags a finished podcast episode and publishes it:</p>"
                               "<ol><li>Choose the MP3 file and a saved template.</li>"
                               "<li>Type the episode title and description; Airlark writes the tags.</li>"
                               "<li>Choose one of your Libsyn or SoundCloud accounts.</li>"
                               "<li>Airlark uploads the episode.</li></ol>"),
                            this);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    resize(440, 300);
}

} // namespace airlark
