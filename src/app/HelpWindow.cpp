#include "app/HelpWindow.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace airlark {

HelpWindow::HelpWindow(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window), browser_(new QTextBrowser(this)),
      opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); })
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
    if (opener_(target))
        return;
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Could Not Open the Link"),
                                tr("Airlark could not open %1 in your web browser. Copy the address "
                                   "into a browser to read it.")
                                    .arg(target.toDisplayString()),
                                QMessageBox::Ok, parentWidget() ? parentWidget() : this);
    box->setObjectName(QStringLiteral("linkFailureMessage"));
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace airlark
