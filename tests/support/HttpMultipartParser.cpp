// Parses multipart/form-data bodies back into parts, strictly, so that tests notice any byte out
// of place in what a client sent.
#include "support/HttpTestServer.h"

namespace airlark::test {

QByteArray multipartBoundary(const QByteArray& contentType)
{
    const QList<QByteArray> fields = contentType.split(';');
    for (const QByteArray& field : fields) {
        const QByteArray trimmed = field.trimmed();
        if (trimmed.toLower().startsWith("boundary=")) {
            QByteArray value = trimmed.mid(9);
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            return value;
        }
    }
    return {};
}

namespace {

QByteArray dispositionParameter(const QByteArray& disposition, const QByteArray& name)
{
    const QByteArray key = "; " + name + "=\"";
    const qsizetype start = disposition.indexOf(key);
    if (start < 0)
        return {};
    const qsizetype valueStart = start + key.size();
    const qsizetype end = disposition.indexOf('"', valueStart);
    return end < 0 ? QByteArray() : disposition.mid(valueStart, end - valueStart);
}

} // namespace

std::optional<QList<MultipartTestPart>> parseMultipart(const QByteArray& body, const QByteArray& boundary)
{
    if (boundary.isEmpty())
        return std::nullopt;
    const QByteArray first = "--" + boundary + "\r\n";
    const QByteArray delimiter = "\r\n--" + boundary;
    if (!body.startsWith(first))
        return std::nullopt;
    QList<MultipartTestPart> parts;
    qsizetype position = first.size();
    for (;;) {
        const qsizetype end = body.indexOf(delimiter, position);
        if (end < 0)
            return std::nullopt;
        const QByteArray raw = body.mid(position, end - position);
        const qsizetype blank = raw.indexOf("\r\n\r\n");
        MultipartTestPart part;
        const QByteArray headerBlock = blank < 0 ? QByteArray() : raw.left(blank);
        if (blank < 0 && !raw.startsWith("\r\n"))
            return std::nullopt;
        part.body = blank < 0 ? raw.mid(2) : raw.mid(blank + 4);
        const QList<QByteArray> lines = headerBlock.split('\n');
        for (QByteArray headerLine : lines) {
            headerLine = headerLine.trimmed();
            if (headerLine.isEmpty())
                continue;
            const qsizetype colon = headerLine.indexOf(':');
            if (colon <= 0)
                return std::nullopt;
            part.headers.append({headerLine.left(colon).trimmed(), headerLine.mid(colon + 1).trimmed()});
        }
        for (const auto& field : std::as_const(part.headers)) {
            if (field.first.compare("Content-Disposition", Qt::CaseInsensitive) == 0) {
                part.name = dispositionParameter(field.second, "name");
                part.fileName = dispositionParameter(field.second, "filename");
            } else if (field.first.compare("Content-Type", Qt::CaseInsensitive) == 0) {
                part.contentType = field.second;
            }
        }
        parts.append(part);
        position = end + delimiter.size();
        if (body.mid(position, 4) == "--\r\n")
            return position + 4 == body.size() ? std::optional(parts) : std::nullopt;
        if (body.mid(position, 2) != "\r\n")
            return std::nullopt;
        position += 2;
    }
}

} // namespace airlark::test
