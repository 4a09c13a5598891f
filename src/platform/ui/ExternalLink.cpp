#include "platform/ui/ExternalLink.h"

#include "platform/ui/LiteralText.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QWidget>
#include <utility>

namespace airlark {

namespace {

ExternalLinkOpener& opener()
{
    static ExternalLinkOpener current = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return current;
}

} // namespace

bool openExternalLink(QWidget* over, const QUrl& url)
{
    if (url.isValid() && !url.isEmpty() && opener() && opener()(url))
        return true;
    const QString text =
        url.isEmpty()
            ? QCoreApplication::translate("ExternalLink",
                                          "Airlark could not prepare the page to open in your web browser.")
            : QCoreApplication::translate(
                  "ExternalLink", "Airlark could not open %1 in your web browser. Copy the address into a "
                                  "browser to read it.")
                  .arg(url.toDisplayString());
    auto* box = new QMessageBox(QMessageBox::Warning,
                                QCoreApplication::translate("ExternalLink", "Could Not Open the Link"), text,
                                QMessageBox::Ok, over ? over->window() : nullptr);
    box->setObjectName(QStringLiteral("linkFailureMessage"));
    showTextLiterally(*box);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return false;
}

ExternalLinkOpener setExternalLinkOpener(ExternalLinkOpener replacement)
{
    return std::exchange(opener(), std::move(replacement));
}

} // namespace airlark
