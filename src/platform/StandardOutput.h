#pragma once

#include <QString>

namespace airlark {

// Writes one diagnostic line to standard output and flushes it, so that lines from several
// threads never interleave and nothing is lost if the process ends abruptly.
// Never pass a secret (password, token, client secret) through here.
void standardOutputLine(const QString& line);

// From now on those lines go to standard error: the command line keeps standard output for the
// results that scripts read.
void redirectStandardOutputLinesToStandardError();

} // namespace airlark
