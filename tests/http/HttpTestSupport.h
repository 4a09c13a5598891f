#pragma once

#include "http/MultipartBodyStream.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <vector>

namespace airlark::test {

// Reads a whole stream with reads of at most `chunk` bytes; -1 in `failed` stops it.
inline QByteArray readAll(HTTPInputStream& stream, qint64 chunk = 64 * 1024, bool* failed = nullptr)
{
    QByteArray result;
    std::vector<char> buffer(static_cast<size_t>(chunk));
    stream.open();
    for (;;) {
        const qint64 count = stream.read(buffer.data(), chunk);
        if (count < 0) {
            if (failed)
                *failed = true;
            break;
        }
        if (count == 0)
            break;
        result.append(buffer.data(), count);
    }
    stream.close();
    return result;
}

// Bytes that show an off-by-one or a reordering at once.
inline QByteArray patternBytes(qint64 size, int seed = 0)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 31 + seed * 7 + i / 251) & 0xFF);
    return data;
}

inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

} // namespace airlark::test
