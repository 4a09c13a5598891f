#include "TableStatements.h"

#include <QFile>
#include <sqlite3.h>

namespace airlark::test {

QStringList tableStatements(const QString& databasePath)
{
    sqlite3* db = nullptr;
    QStringList statements;
    const QByteArray path = QFile::encodeName(databasePath);
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE type = 'table' ORDER BY name", -1,
                               &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW)
                statements << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return statements;
}

QStringList expectedTableStatements()
{
    return {
        QStringLiteral("CREATE TABLE \"account\" (\"id\" INTEGER PRIMARY KEY NOT NULL, \"display_name\" TEXT "
                       "NOT NULL, \"host\" TEXT NOT NULL, \"feed_type\" TEXT, \"email\" TEXT)"),
        QStringLiteral("CREATE TABLE \"id3_template\" (\"id\" INTEGER PRIMARY KEY NOT NULL, \"name\" TEXT "
                       "NOT NULL UNIQUE, \"last_episode_title\" TEXT, \"title\" TEXT, \"artist\" TEXT, "
                       "\"album\" TEXT, \"album_artist\" TEXT, \"comment\" TEXT, \"lyrics\" TEXT, "
                       "\"year\" INTEGER, \"artwork_url\" TEXT)"),
        QStringLiteral("CREATE TABLE \"id3_template_podcast\" (\"template_id\" INTEGER PRIMARY KEY NOT "
                       "NULL REFERENCES \"id3_template\" (\"id\"), \"genre\" TEXT, \"season\" INTEGER, "
                       "\"feed_url\" TEXT, \"explicit\" INTEGER NOT NULL)")};
}

} // namespace airlark::test
