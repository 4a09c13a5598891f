#pragma once

#include "metadata/ID3TagValues.h"
#include "store/TemplatePodcastFields.h"

#include <QString>
#include <QStringList>

namespace airlark {

// The podcast fields as a form holds them (template creation and step 2): texts as typed, and the
// explicit flag. An empty text means "not given": its frame is removed when the tags are written.
struct PodcastFieldTexts
{
    QString genre;
    QString episodeNumber;
    QString seasonNumber;
    QString longDescription;
    QString feedURL;
    bool explicitContent = false;

    static PodcastFieldTexts from(const TemplatePodcastFields& fields);
    // From the tags of an episode file, each where the file has it, else from `fallback`.
    static PodcastFieldTexts from(const PodcastTagValues& file, const PodcastFieldTexts& fallback);

    // What is wrong with the texts, one sentence each; empty when they can be written.
    QStringList problems() const;
    // Every field, so that a cleared one removes its frame. Only when there are no problems.
    PodcastTagValues tagValues() const;
    // The fields a template keeps. Only when there are no problems.
    TemplatePodcastFields templateFields() const;

    friend bool operator==(const PodcastFieldTexts&, const PodcastFieldTexts&) = default;
};

} // namespace airlark
