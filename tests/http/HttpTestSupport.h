#pragma once

#include "http/MultipartBodyStream.h"

#include <QByteArray>
#include <vector>

namespace airlark::test {

// Reads a whole stream with reads of at most `chunk` bytes; a failed read sets `failed` and stops.
inline QByteArray readAll(HTTPInputStream& stream, qint64 chunk = 64 * 1024, bool* failed = nullptr)
{
    QByteArray result;
    std::vector<char> buffer(static_cast<size_t>(chunk));
    stream.open();
    qint64 count = 0;
    while ((count = stream.read(buffer.data(), chunk)) > 0)
        result.append(buffer.data(), count);
    if (failed)
        *failed = count < 0;
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

} // namespace airlark::test
