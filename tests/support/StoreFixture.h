#pragma once

#include "platform/NotificationCenter.h"
#include "store/DataDirectory.h"
#include "store/Database.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <ostream>

namespace airlark::test {

// A parameter of a table-driven test, shown by its label in test names.
template <typename T> struct Case
{
    const char* label;
    T value;
};

template <typename T> void PrintTo(const Case<T>& testCase, std::ostream* stream)
{
    *stream << testCase.label;
}

// Gives each test a fresh, empty XDG_DATA_HOME, so every test starts at "first launch"; the
// previous one comes back when the test goes, whatever its own TearDown does.
class StoreTest : public ::testing::Test
{
protected:
    ~StoreTest() override { qputenv("XDG_DATA_HOME", previousDataHome_); }
    void SetUp() override;

    QString dataHome() const { return root_.path() + QStringLiteral("/xdg-data"); }
    static void setDataHome(const QString& path) { qputenv("XDG_DATA_HOME", QFile::encodeName(path)); }
    // Opens the store and creates its tables, failing the test if either fails.
    Database openWithTables();
    QString databasePath() const { return dataDirectoryPath() + QStringLiteral("/database.sqlite3"); }

private:
    QTemporaryDir root_;
    QByteArray previousDataHome_ = qgetenv("XDG_DATA_HOME");
};

// Counts posts of one notification name while it lives.
class NotificationCounter
{
public:
    explicit NotificationCounter(const QString& name);
    int count() const { return count_; }

private:
    std::atomic<int> count_{0};
    ScopedObservation observation_{this};
};

// Makes a file or directory unwritable even for root (immutable attribute), or chmod for other
// users; undone on destruction. Without either, isActive() is false and the test must skip.
class ReadOnlyGuard
{
public:
    explicit ReadOnlyGuard(const QString& path);
    ~ReadOnlyGuard();
    ReadOnlyGuard(const ReadOnlyGuard&) = delete;
    ReadOnlyGuard& operator=(const ReadOnlyGuard&) = delete;
    bool isActive() const { return active_; }

private:
    QString path_;
    bool active_ = false;
    bool immutable_ = false;
};

// Whether any file below `directory` contains `needle`.
bool anyFileContains(const QString& directory, const QByteArray& needle);

// Runs SQL through the `sqlite3` command (a connection of its own, as another program would);
// its standard output.
QString sqliteCommand(const QString& databasePath, const QString& sql);

} // namespace airlark::test
