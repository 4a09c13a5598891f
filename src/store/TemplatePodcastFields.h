#pragma once

#include "store/Database.h"

#include <QString>
#include <optional>

namespace airlark {

// The podcast-level values a template keeps beside its row in "id3_template": the genre, the
// season, the podcast's feed and whether it is explicit. They live in a table of their own,
// "id3_template_podcast", one row per template, so that the template table keeps its layout.
// Templates made before this table existed have no row: they read as the defaults.
struct TemplatePodcastFields
{
    static inline const QString DefaultGenre = QStringLiteral("Podcast");

    std::optional<QString> genre = DefaultGenre;
    std::optional<int> season;
    std::optional<QString> feedURL;
    bool explicitContent = false;

    // CREATE TABLE IF NOT EXISTS "id3_template_podcast" (...). The SQL error, if any.
    static std::optional<SQLError> createTable(const Database& database);
    static QString tableName() { return QStringLiteral("id3_template_podcast"); }

    // The fields of the template `templateID`: the defaults when it has no row or the table cannot
    // be read.
    static TemplatePodcastFields find(const Database& database, qint64 templateID);
    // Stores these fields for `templateID`, replacing any earlier ones.
    std::optional<SQLError> save(const Database& database, qint64 templateID) const;

    friend bool operator==(const TemplatePodcastFields&, const TemplatePodcastFields&) = default;
};

} // namespace airlark
