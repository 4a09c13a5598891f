#include "hosts/LibsynHelpPage.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <optional>

namespace airlark {

const QString LibsynHelpPage::ResourcePath = QStringLiteral(":/help/libsyn-vs-external.html");

namespace {

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

std::optional<QUrl> LibsynHelpPage::fileURL()
{
    const auto path = writePageFile();
    if (!path) {
        qWarning("The Libsyn help page could not be prepared");
        return std::nullopt;
    }
    return QUrl::fromLocalFile(*path);
}

QUrl libsynDashboardURL()
{
    return QUrl(QStringLiteral("https://four.libsyn.com/"));
}

} // namespace airlark
