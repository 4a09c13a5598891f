#pragma once

#include "store/PodcastHost.h"

#include <QStringList>
#include <QtGlobal>
#include <optional>

namespace airlark {

// What the host selection step hands to the upload step before the wizard shows it: the chosen
// account's host (none when its stored host text names no known host), its identifier and name,
// and the tags. The upload step's controller implements this, so that host selection never needs to know
// the upload screen itself.
class UploadDestination
{
public:
    virtual ~UploadDestination() = default;

    virtual void setHost(std::optional<PodcastHost> host) = 0;
    virtual void setUserIdentifier(std::optional<qint64> userIdentifier) = 0;
    virtual void setTags(const QStringList& tags) = 0;
    virtual void setAccountName(const QString& name) = 0;
};

} // namespace airlark
