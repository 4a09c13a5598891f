#pragma once

#include <QString>
#include <QStringList>

namespace airlark::test {

// The CREATE TABLE texts that SQLite keeps for the database at `databasePath`, in table-name
// order, read through a read-only connection of its own (empty when the file cannot be read).
QStringList tableStatements(const QString& databasePath);

// What SQLite keeps for Airlark's tables: each exact statement, without its IF NOT EXISTS.
QStringList expectedTableStatements();

} // namespace airlark::test
