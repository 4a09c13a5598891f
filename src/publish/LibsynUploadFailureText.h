#pragma once

#include "ftp/FTPFailure.h"

#include <QString>

namespace airlark {

// What a podcaster reads when an upload to Libsyn failed: what happened and, where there is one,
// what to do next. `email` is the account's FTP log-in name, `folder` its folder on Libsyn
// ("<user name>/quickcast").
QString libsynUploadFailureText(const FTPFailure& failure, const QString& email, const QString& folder);

} // namespace airlark
