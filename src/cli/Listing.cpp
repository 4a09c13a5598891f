#include "cli/Listing.h"

#include "store/Account.h"
#include "store/ID3Template.h"
#include "store/PodcastHost.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace airlark::cli {
namespace {

void printJson(const QJsonArray& array)
{
    printResult(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
}

QJsonValue optionalText(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue();
}

} // namespace

std::optional<NamedRow> pickByName(const std::vector<NamedRow>& rows, const QString& wanted,
                                   const QString& kind)
{
    for (const Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        std::vector<NamedRow> matches;
        for (const NamedRow& row : rows) {
            if (row.name.compare(wanted, sensitivity) == 0)
                matches.push_back(row);
        }
        if (matches.size() == 1)
            return matches.front();
        if (matches.size() > 1) {
            printMessage(QStringLiteral("airlark: more than one %1 is named \"%2\":").arg(kind, wanted));
            for (const NamedRow& match : matches)
                printMessage(QStringLiteral("  %1  (%2)").arg(match.name, match.detail));
            return std::nullopt;
        }
    }
    printMessage(QStringLiteral("airlark: no %1 is named \"%2\"; %3")
                     .arg(kind, wanted,
                          rows.empty() ? QStringLiteral("none is stored yet (add one in Airlark's window)")
                                       : QStringLiteral("the stored ones are:")));
    for (const NamedRow& row : rows)
        printMessage(QStringLiteral("  %1  (%2)").arg(row.name, row.detail));
    return std::nullopt;
}

std::vector<NamedRow> templateRows(const Database& database)
{
    std::vector<NamedRow> rows;
    for (const auto& row : ID3Template::selectAll(database))
        rows.push_back({row.id, row.name, QStringLiteral("template")});
    return rows;
}

std::vector<NamedRow> accountRows(const Database& database)
{
    std::vector<NamedRow> rows;
    for (const auto& row : Account::selectAll(database)) {
        // A reserved row whose account was never completed is no account yet.
        if (!row.host.isEmpty())
            rows.push_back({row.id, row.displayName, row.host});
    }
    return rows;
}

ExitStatus listTemplates(const Database& database, bool json)
{
    QJsonArray array;
    for (const NamedRow& row : templateRows(database)) {
        const auto stored = ID3Template::find(database, row.id);
        if (!stored)
            continue;
        if (!json) {
            printResult(stored->name + QLatin1Char('\t') + stored->tags.album.value_or(QString()) +
                        QLatin1Char('\t') + stored->lastEpisodeTitle.value_or(QString()));
            continue;
        }
        array.append(QJsonObject{
            {QStringLiteral("name"), stored->name},
            {QStringLiteral("podcast"), optionalText(stored->tags.album)},
            {QStringLiteral("artist"), optionalText(stored->tags.artist)},
            {QStringLiteral("description"), optionalText(stored->tags.comment)},
            {QStringLiteral("lastEpisodeTitle"), optionalText(stored->lastEpisodeTitle)},
            {QStringLiteral("artwork"),
             stored->artworkURL ? QJsonValue(stored->artworkURL->toLocalFile()) : QJsonValue()},
        });
    }
    if (json)
        printJson(array);
    return ExitStatus::Ok;
}

ExitStatus listAccounts(const Database& database, bool json)
{
    QJsonArray array;
    for (const NamedRow& row : accountRows(database)) {
        const auto stored = Account::find(database, row.id);
        if (!stored)
            continue;
        const bool libsyn = podcastHostFromStoredText(stored->host) == PodcastHost::Libsyn;
        const QString feedType = libsyn && stored->feedType ? storedText(*stored->feedType) : QString();
        if (!json) {
            printResult(stored->displayName + QLatin1Char('\t') + stored->host +
                        (libsyn ? QLatin1Char('\t') + feedType : QString()));
            continue;
        }
        QJsonObject object{{QStringLiteral("name"), stored->displayName},
                           {QStringLiteral("host"), stored->host}};
        if (libsyn)
            object.insert(QStringLiteral("feedType"), feedType);
        array.append(object);
    }
    if (json)
        printJson(array);
    return ExitStatus::Ok;
}

} // namespace airlark::cli
