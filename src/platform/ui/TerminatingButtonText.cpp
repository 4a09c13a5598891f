#include "platform/ui/TerminatingButtonText.h"

namespace airlark {

std::optional<TerminatingButtonText> terminatingButtonTextFromString(const QString& text)
{
    for (const auto candidate : {TerminatingButtonText::Done, TerminatingButtonText::Save}) {
        if (text == terminatingButtonTextValue(candidate))
            return candidate;
    }
    return std::nullopt;
}

QString terminatingButtonTextValue(TerminatingButtonText text)
{
    switch (text) {
    case TerminatingButtonText::Done:
        return QStringLiteral("Done");
    case TerminatingButtonText::Save:
        return QStringLiteral("Save");
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace airlark
