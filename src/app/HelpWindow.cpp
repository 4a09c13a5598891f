#include "app/HelpWindow.h"

#include "platform/ui/ExternalLink.h"
#include "platform/ui/WindowLayout.h"

#include <QTextBrowser>
#include <QVBoxLayout>

namespace airlark {

HelpWindow::HelpWindow(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window), browser_(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(tr("Airlark Help"));
    resize(640, 560);

    browser_->setObjectName(QStringLiteral("helpBrowser"));
    // Every link comes to followLink, so that a web page is never fetched into the help viewer.
    browser_->setOpenLinks(false);
    browser_->setSearchPaths({QStringLiteral(":/help")});
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::followLink);
    connect(browser_, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(browser_->documentTitle()); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    keepContentsWhole(*this);
}

void HelpWindow::showPage(const QString& page)
{
    browser_->setSource(QUrl(QStringLiteral("qrc:/help/") + page));
    show();
    raise();
    activateWindow();
}

void HelpWindow::followLink(const QUrl& link)
{
    const QUrl target = browser_->source().resolved(link);
    if (target.scheme() == QLatin1String("qrc")) {
        browser_->setSource(target);
        return;
    }
    // Its failure is shown over the main window, which outlives this one.
    openExternalLink(parentWidget() ? parentWidget() : this, target);
}

} // namespace airlark
