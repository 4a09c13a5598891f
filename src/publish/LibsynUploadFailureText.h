#pragma once

#include "ftp/FTPFailure.h"

#include <QString>

namespace airlark {

// What a podcaster reads when an upload to Libsyn failed: what happened and, where there is one,
// what to do next. `email` is the account's FTP log-in name, `folder` its folder on Libsyn
// ("<user name>/quickcast"); `fileName` and `fileSize` describe the episode that was sent.
QString libsynUploadFailureText(const FTPFailure& failure, const QString& email, const QString& folder,
                                const QString& fileName = {}, qint64 fileSize = -1);

// "112 kB", "3.1 MB": a size as the upload step shows sizes.
QString shownDataSize(qint64 bytes);

} // namespace airlark
