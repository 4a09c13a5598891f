#pragma once

#include <QString>
#include <array>
#include <optional>

namespace airlark {

// Where a Libsyn account's episodes go; decides the account's FTP directory. The stored text is
// what the "account" table's "feed_type" column holds.
enum class LibsynAccountFeedType
{
    Libsyn,
    External,
    Undefined
};

// In declaration order.
inline constexpr std::array<LibsynAccountFeedType, 3> allLibsynAccountFeedTypes{
    LibsynAccountFeedType::Libsyn, LibsynAccountFeedType::External, LibsynAccountFeedType::Undefined};

// "Libsyn" / "External" / "" (Undefined).
QString storedText(LibsynAccountFeedType feedType);
// The feed type whose stored text is exactly `text` (case-sensitive; "" is Undefined); nothing
// for any other text.
std::optional<LibsynAccountFeedType> libsynAccountFeedTypeFromStoredText(const QString& text);

} // namespace airlark
