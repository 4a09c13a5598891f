#pragma once

#include "store/Database.h"
#include "store/EpisodeTags.h"

#include <QString>
#include <optional>

namespace airlark {

// The podcast values a template keeps beside its row in "id3_template": the genre, the season, the
// podcast's feed and whether it is explicit (the episode number, long description and chapters
// belong to each episode). They live in a table of their own, "id3_template_podcast", one row per
// template, so that the template table keeps its layout. Templates made before this table existed
// have no row: they read as the defaults.
struct TemplatePodcastFields
{
    static inline const QString DefaultGenre = QStringLiteral("Podcast");

    // A template's values without a row: the default genre, not explicit.
    static PodcastTagValues defaults();

    // CREATE TABLE IF NOT EXISTS "id3_template_podcast" (...). The SQL error, if any.
    static std::optional<SQLError> createTable(const Database& database);
    static QString tableName() { return QStringLiteral("id3_template_podcast"); }

    // The values of the template `templateID`: the defaults when it has no row or the table cannot
    // be read.
    static PodcastTagValues find(const Database& database, qint64 templateID);
    // Stores the values a template keeps of `values` for `templateID`, replacing any earlier ones.
    static std::optional<SQLError> save(const Database& database, qint64 templateID,
                                        const PodcastTagValues& values);
};

} // namespace airlark
