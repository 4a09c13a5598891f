#include "store/LibsynAccountFeedType.h"

namespace airlark {

QString storedText(LibsynAccountFeedType feedType)
{
    switch (feedType) {
    case LibsynAccountFeedType::Libsyn:
        return QStringLiteral("Libsyn");
    case LibsynAccountFeedType::External:
        return QStringLiteral("External");
    case LibsynAccountFeedType::Undefined:
        return QString(QLatin1String(""));
    }
    return {};
}

std::optional<LibsynAccountFeedType> libsynAccountFeedTypeFromStoredText(const QString& text)
{
    for (const LibsynAccountFeedType feedType : allLibsynAccountFeedTypes) {
        if (storedText(feedType) == text)
            return feedType;
    }
    return std::nullopt;
}

} // namespace airlark
