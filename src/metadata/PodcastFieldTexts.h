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

    // From a template's or an episode file's values, each where they have it, else from `fallback`
    // (else empty).
    static PodcastFieldTexts from(const PodcastTagValues& values);
    static PodcastFieldTexts from(const PodcastTagValues& values, const PodcastFieldTexts& fallback);

    // What is wrong with the texts, one sentence each; empty when they can be written.
    QStringList problems() const;
    // Every field, so that a cleared one removes its frame. Only when there are no problems.
    PodcastTagValues tagValues() const;
    // The values a template keeps (TemplatePodcastFields). Only when there are no problems.
    PodcastTagValues templateFields() const;

    friend bool operator==(const PodcastFieldTexts&, const PodcastFieldTexts&) = default;
};

} // namespace airlark
