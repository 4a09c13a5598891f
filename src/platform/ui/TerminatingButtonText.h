#pragma once

#include <QString>
#include <optional>

namespace airlark {

// Titles the wizard's Next button takes on a step that finishes something.
enum class TerminatingButtonText
{
    Done,
    Save,
};

// "Done" -> Done, "Save" -> Save; any other text (other letter case, empty) is no case.
std::optional<TerminatingButtonText> terminatingButtonTextFromString(const QString& text);

// The button title of a case: "Done" or "Save".
QString terminatingButtonTextValue(TerminatingButtonText text);

} // namespace airlark
