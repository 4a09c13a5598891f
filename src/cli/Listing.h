#pragma once

#include "cli/CommandLine.h"
#include "store/Database.h"

#include <QString>
#include <optional>
#include <vector>

namespace airlark::cli {

// A stored thing a name on the command line can pick.
struct NamedRow
{
    qint64 id = 0;
    QString name;
    QString detail; // shown beside the name when listing candidates, e.g. the host
};

// The row named `wanted`: an exact match, else the only case-insensitive one. An unknown or
// ambiguous name is reported on standard error with the candidates, and gives nothing.
std::optional<NamedRow> pickByName(const std::vector<NamedRow>& rows, const QString& wanted,
                                   const QString& kind);

std::vector<NamedRow> templateRows(const Database& database);
std::vector<NamedRow> accountRows(const Database& database);

// "airlark templates" and "airlark accounts": what is stored, never a secret.
ExitStatus listTemplates(const Database& database, bool json);
ExitStatus listAccounts(const Database& database, bool json);

} // namespace airlark::cli
