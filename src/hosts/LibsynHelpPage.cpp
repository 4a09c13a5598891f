#include "hosts/LibsynHelpPage.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <optional>
#include <utility>

namespace airlark {

const QString LibsynHelpPage::ResourcePath = QStringLiteral(":/help/libsyn-vs-external.html");

namespace {

LibsynHelpPage::Opener& opener()
{
    static LibsynHelpPage::Opener current = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return current;
}

// The page as a file a browser can read, refreshed from the built-in copy on every display so
// that it always matches the running version.
std::optional<QString> writePageFile()
{
    QFile page(LibsynHelpPage::ResourcePath);
    if (!page.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString directory =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/help");
    if (!QDir().mkpath(directory))
        return std::nullopt;
    const QString path = directory + QStringLiteral("/libsyn-vs-external.html");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(page.readAll()) < 0 || !file.commit())
        return std::nullopt;
    return path;
}

} // namespace

void LibsynHelpPage::display()
{
    const auto path = writePageFile();
    if (!path) {
        qWarning("The Libsyn help page could not be prepared");
        return;
    }
    if (opener())
        opener()(QUrl::fromLocalFile(*path));
}

LibsynHelpPage::Opener LibsynHelpPage::setOpener(Opener replacement)
{
    return std::exchange(opener(), std::move(replacement));
}

} // namespace airlark
