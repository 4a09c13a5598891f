#pragma once

#include <QCommandLineParser>

namespace airlark::cli {

void addPublishOptions(QCommandLineParser& parser);

// "airlark publish": tags the episode when tag options are given, uploads it to the account as
// the window's upload step does, and prints where it went. Ctrl+C cancels on the upload's own
// cancel path. Returns the exit status.
int runPublish(const QCommandLineParser& parser);

} // namespace airlark::cli
