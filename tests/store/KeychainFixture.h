#pragma once

#include <QByteArray>
#include <QString>

namespace airlark::test {

// Keychain tests write real items, so they only run inside the throwaway session of
// scripts/with-test-session.sh (private bus and keyring), never against a developer's own keyring.
bool insidePrivateTestSession();

// Whether any file below `directory` contains `needle`.
bool anyFileContains(const QString& directory, const QByteArray& needle);

} // namespace airlark::test
