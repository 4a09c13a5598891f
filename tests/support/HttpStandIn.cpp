#include "support/HttpStandIn.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

namespace airlark::test {

namespace {

constexpr int AnswerMilliseconds = 30000;

QByteArray bytes(const QJsonValue& base64)
{
    return QByteArray::fromBase64(base64.toString().toLatin1());
}

} // namespace

QByteArray StandInRequest::header(const QByteArray& name) const
{
    const auto found = std::ranges::find_if(
        headers, [&](const auto& field) { return field.first.compare(name, Qt::CaseInsensitive) == 0; });
    return found == headers.end() ? QByteArray() : found->second;
}

bool StandInRequest::hasHeader(const QByteArray& name) const
{
    return std::ranges::any_of(
        headers, [&](const auto& field) { return field.first.compare(name, Qt::CaseInsensitive) == 0; });
}

HttpStandIn::HttpStandIn(QList<Listener> listeners, bool keepBodies) : listeners_(std::move(listeners))
{
    QStringList arguments{QStringLiteral(AIRLARK_SOURCE_DIR "/tests/support/http_server.py"), folder_.path(),
                          keepBodies ? QStringLiteral("keep") : QStringLiteral("discard")};
    for (const Listener listener : std::as_const(listeners_))
        arguments << (listener == Tls ? QStringLiteral("tls") : QStringLiteral("plain"));
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->start(QStringLiteral("/usr/bin/python3"), arguments);
    // It prints "ports P1 P2 ..." once it listens.
    const QList<QByteArray> words = answer().trimmed().split(' ');
    if (words.value(0) != "ports" || words.size() != listeners_.size() + 1)
        return;
    for (qsizetype i = 1; i < words.size(); ++i)
        ports_.append(static_cast<quint16>(words.at(i).toUInt()));
}

HttpStandIn::~HttpStandIn()
{
    // The script ends when its standard input closes.
    process_->closeWriteChannel();
    if (!process_->waitForFinished(5000)) {
        process_->kill();
        process_->waitForFinished(5000);
    }
}

QByteArray HttpStandIn::answer()
{
    const QDeadlineTimer deadline(AnswerMilliseconds);
    while (!process_->canReadLine() &&
           process_->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
    }
    return process_->readLine();
}

QJsonObject HttpStandIn::command(const QJsonObject& request)
{
    process_->write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    return QJsonDocument::fromJson(answer()).object();
}

void HttpStandIn::route(const QByteArray& method, const QString& path, const QJsonObject& response,
                        int listener)
{
    command({{"cmd", "route"},
             {"method", QString::fromLatin1(method)},
             {"path", path},
             {"listener", listener < 0 ? QJsonValue() : QJsonValue(listener)},
             {"response", response.isEmpty() ? QJsonValue() : QJsonValue(response)}});
}

std::vector<StandInRequest> HttpStandIn::requests()
{
    std::vector<StandInRequest> requests;
    const QJsonArray records = command({{"cmd", "requests"}}).value(QStringLiteral("requests")).toArray();
    for (const QJsonValue& value : records) {
        const QJsonObject record = value.toObject();
        StandInRequest request;
        request.listener = record.value(QStringLiteral("listener")).toInt();
        request.method = record.value(QStringLiteral("method")).toString().toLatin1();
        request.path = record.value(QStringLiteral("path")).toString();
        request.query = QUrlQuery(record.value(QStringLiteral("query")).toString());
        for (const QJsonValue& field : record.value(QStringLiteral("headers")).toArray())
            request.headers.append(
                {field.toArray().at(0).toString().toLatin1(), field.toArray().at(1).toString().toLatin1()});
        request.body = bytes(record.value(QStringLiteral("body")));
        request.bodyLength = record.value(QStringLiteral("length")).toInteger();
        request.bodyComplete = record.value(QStringLiteral("complete")).toBool();
        if (record.value(QStringLiteral("parts")).isArray()) {
            request.parts.emplace();
            for (const QJsonValue& item : record.value(QStringLiteral("parts")).toArray()) {
                const QJsonObject part = item.toObject();
                request.parts->append({part.value(QStringLiteral("name")).toString().toUtf8(),
                                       part.value(QStringLiteral("filename")).toString().toUtf8(),
                                       part.value(QStringLiteral("type")).toString().toUtf8(),
                                       bytes(part.value(QStringLiteral("body")))});
            }
        }
        requests.push_back(std::move(request));
    }
    return requests;
}

QJsonObject reply(int status, const QList<QPair<QString, QString>>& headers, const QJsonValue& json)
{
    QJsonArray fields;
    for (const auto& [name, value] : headers)
        fields.append(QJsonArray{name, value});
    QJsonObject response{{"status", status}, {"headers", fields}};
    if (!json.isNull())
        response.insert(QStringLiteral("json"), json);
    return response;
}

QJsonObject page(int status, const QString& contentType, const QString& body)
{
    QJsonObject response = reply(status, {{QStringLiteral("Content-Type"), contentType}});
    response.insert(QStringLiteral("body"), body);
    return response;
}

} // namespace airlark::test
