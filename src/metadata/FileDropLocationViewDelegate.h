#pragma once

#include <QUrl>

namespace airlark {

// Listener of a file drop target: told the dropped file's URL.
class FileDropLocationViewDelegate
{
public:
    virtual ~FileDropLocationViewDelegate() = default;
    virtual void didSetFileWithURL(const QUrl& url) { Q_UNUSED(url); }
};

} // namespace airlark
