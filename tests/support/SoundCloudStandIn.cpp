#include "support/SoundCloudStandIn.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QTcpSocket>

namespace airlark::test {

namespace {

QByteArray base64URL(const QByteArray& data)
{
    return data.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

HttpTestResponse jsonError(int status, const char* error)
{
    return HttpTestResponse::json(
        status, QJsonDocument(QJsonObject{{QStringLiteral("error"), QString::fromLatin1(error)}}));
}

QUrl withQuery(const QString& redirectURI, const QList<QPair<QString, QString>>& items)
{
    QByteArray query;
    for (const auto& [name, value] : items) {
        if (!query.isEmpty())
            query += '&';
        query += QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
    }
    QUrl url(redirectURI);
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return url;
}

} // namespace

SoundCloudStandIn::SoundCloudStandIn()
{
    server_.route("GET", QStringLiteral("/authorize"),
                  [this](const HttpTestRequest& r) { return authorize(r); });
    server_.route("POST", QStringLiteral("/oauth/token"),
                  [this](const HttpTestRequest& r) { return token(r); });
    server_.route("GET", QStringLiteral("/me"), [this](const HttpTestRequest& r) { return me(r); });
    server_.route("POST", QStringLiteral("/tracks"),
                  [this](const HttpTestRequest& r) { return uploadTrack(r); });
}

SoundCloudStandIn::~SoundCloudStandIn()
{
    server_.stop();
}

bool SoundCloudStandIn::start()
{
    return server_.start();
}

QUrl SoundCloudStandIn::apiBaseURL() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server_.port()));
}

QUrl SoundCloudStandIn::authorizeURL() const
{
    return server_.url(QStringLiteral("/authorize"));
}

QUrl SoundCloudStandIn::tokenURL() const
{
    return server_.url(QStringLiteral("/oauth/token"));
}

void SoundCloudStandIn::setAuthorizeMode(AuthorizeMode mode)
{
    std::lock_guard lock(mutex_);
    authorizeMode_ = mode;
}

void SoundCloudStandIn::setTokenMode(TokenMode mode)
{
    std::lock_guard lock(mutex_);
    tokenMode_ = mode;
}

void SoundCloudStandIn::setMeMode(MeMode mode)
{
    std::lock_guard lock(mutex_);
    meMode_ = mode;
}

void SoundCloudStandIn::setTracksMode(TracksMode mode)
{
    std::lock_guard lock(mutex_);
    tracksMode_ = mode;
}

void SoundCloudStandIn::setUsername(const QString& username)
{
    std::lock_guard lock(mutex_);
    username_ = username;
}

void SoundCloudStandIn::setAccessTokenLifetime(int seconds)
{
    std::lock_guard lock(mutex_);
    accessTokenLifetime_ = seconds;
}

int SoundCloudStandIn::authorizationCodeExchanges() const
{
    std::lock_guard lock(mutex_);
    return exchanges_;
}

int SoundCloudStandIn::refreshes() const
{
    std::lock_guard lock(mutex_);
    return refreshes_;
}

int SoundCloudStandIn::refusedRefreshes() const
{
    std::lock_guard lock(mutex_);
    return refusedRefreshes_;
}

QString SoundCloudStandIn::currentRefreshToken() const
{
    std::lock_guard lock(mutex_);
    return currentRefreshToken_;
}

QString SoundCloudStandIn::currentAccessToken() const
{
    std::lock_guard lock(mutex_);
    return currentAccessToken_;
}

bool SoundCloudStandIn::isValidAccessToken(const QString& token) const
{
    std::lock_guard lock(mutex_);
    return validAccessTokens_.count(token) > 0;
}

std::vector<QUrlQuery> SoundCloudStandIn::tokenRequests() const
{
    std::lock_guard lock(mutex_);
    return tokenRequests_;
}

std::vector<SoundCloudStandIn::Track> SoundCloudStandIn::tracks() const
{
    std::lock_guard lock(mutex_);
    return tracks_;
}

HttpTestResponse SoundCloudStandIn::authorize(const HttpTestRequest& request)
{
    const QUrlQuery& query = request.query;
    auto item = [&](const char* name) {
        return query.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded);
    };
    if (item("client_id") != ClientID || item("response_type") != QLatin1String("code") ||
        item("code_challenge_method") != QLatin1String("S256") || item("code_challenge").isEmpty() ||
        item("redirect_uri").isEmpty() || item("state").isEmpty())
        return HttpTestResponse::text(400, "text/plain", "Bad authorize request\n");

    std::lock_guard lock(mutex_);
    const QString state = item("state");
    if (authorizeMode_ == AuthorizeMode::Deny) {
        const QUrl location =
            withQuery(item("redirect_uri"),
                      {{QStringLiteral("error"), QStringLiteral("access_denied")},
                       {QStringLiteral("error_description"), QStringLiteral("The user denied access")},
                       {QStringLiteral("state"), state}});
        return HttpTestResponse::redirect(302, location.toEncoded());
    }
    const QString code = QStringLiteral("code-%1").arg(++serial_);
    codes_[code] = PendingCode{item("code_challenge"), item("redirect_uri")};
    const QString sentState =
        authorizeMode_ == AuthorizeMode::WrongState ? QStringLiteral("forged-state") : state;
    const QUrl location = withQuery(item("redirect_uri"),
                                    {{QStringLiteral("code"), code}, {QStringLiteral("state"), sentState}});
    return HttpTestResponse::redirect(302, location.toEncoded());
}

HttpTestResponse SoundCloudStandIn::issueTokens()
{
    // Called with mutex_ held.
    ++serial_;
    currentAccessToken_ = QStringLiteral("access-%1").arg(serial_);
    currentRefreshToken_ = QStringLiteral("refresh-%1").arg(serial_);
    validAccessTokens_.insert(currentAccessToken_);
    validRefreshTokens_.insert(currentRefreshToken_);
    return HttpTestResponse::json(200, QJsonDocument(QJsonObject{
                                           {QStringLiteral("access_token"), currentAccessToken_},
                                           {QStringLiteral("refresh_token"), currentRefreshToken_},
                                           {QStringLiteral("expires_in"), accessTokenLifetime_},
                                           {QStringLiteral("scope"), QString()},
                                           {QStringLiteral("token_type"), QStringLiteral("bearer")},
                                       }));
}

HttpTestResponse SoundCloudStandIn::token(const HttpTestRequest& request)
{
    const QUrlQuery form = request.formBody();
    auto field = [&](const char* name) {
        return form.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded);
    };

    std::lock_guard lock(mutex_);
    tokenRequests_.push_back(form);
    if (tokenMode_ == TokenMode::ServerError)
        return jsonError(500, "server_error");
    if (tokenMode_ == TokenMode::RefuseClient || field("client_id") != ClientID ||
        field("client_secret") != ClientSecret)
        return jsonError(401, "invalid_client");

    if (field("grant_type") == QLatin1String("authorization_code")) {
        const auto found = codes_.find(field("code"));
        if (found == codes_.end())
            return jsonError(400, "invalid_grant");
        const PendingCode pending = found->second;
        codes_.erase(found); // a code is good for one exchange
        const QByteArray challenge = base64URL(
            QCryptographicHash::hash(field("code_verifier").toLatin1(), QCryptographicHash::Sha256));
        if (pending.redirectURI != field("redirect_uri") ||
            QString::fromLatin1(challenge) != pending.challenge)
            return jsonError(400, "invalid_grant");
        ++exchanges_;
        return issueTokens();
    }
    if (field("grant_type") == QLatin1String("refresh_token")) {
        const QString refreshToken = field("refresh_token");
        if (validRefreshTokens_.erase(refreshToken) == 0) {
            ++refusedRefreshes_;
            return jsonError(401, "invalid_grant");
        }
        usedRefreshTokens_.insert(refreshToken);
        ++refreshes_;
        return issueTokens();
    }
    return jsonError(400, "unsupported_grant_type");
}

bool SoundCloudStandIn::authorized(const HttpTestRequest& request) const
{
    const QByteArray header = request.header("Authorization");
    return header.startsWith("OAuth ") && validAccessTokens_.count(QString::fromLatin1(header.mid(6))) > 0;
}

HttpTestResponse SoundCloudStandIn::me(const HttpTestRequest& request)
{
    std::lock_guard lock(mutex_);
    if (!authorized(request))
        return jsonError(401, "invalid_token");
    switch (meMode_) {
    case MeMode::Username:
        return HttpTestResponse::json(200,
                                      QJsonDocument(QJsonObject{{QStringLiteral("id"), 4711},
                                                                {QStringLiteral("username"), username_}}));
    case MeMode::NumericUsername:
        return HttpTestResponse::json(200, QJsonDocument(QJsonObject{{QStringLiteral("id"), 4711},
                                                                     {QStringLiteral("username"), 4711}}));
    case MeMode::ErrorStatusWithUsername:
        return HttpTestResponse::json(403,
                                      QJsonDocument(QJsonObject{{QStringLiteral("username"), username_}}));
    case MeMode::ServerError:
        return HttpTestResponse::text(500, "text/html", "<html><body>Internal error</body></html>");
    }
    return jsonError(500, "unreachable");
}

HttpTestResponse SoundCloudStandIn::uploadTrack(const HttpTestRequest& request)
{
    Track track{request, {}, false};
    if (auto parts = parseMultipart(request.body, multipartBoundary(request.header("Content-Type")))) {
        track.parts = *parts;
        track.parsed = true;
    }
    std::lock_guard lock(mutex_);
    tracks_.push_back(track);
    if (!authorized(request))
        return jsonError(401, "invalid_token");
    switch (tracksMode_) {
    case TracksMode::Created:
        return HttpTestResponse::json(
            201, QJsonDocument(QJsonObject{{QStringLiteral("id"), 1234},
                                           {QStringLiteral("kind"), QStringLiteral("track")}}));
    case TracksMode::Unprocessable:
        return HttpTestResponse::json(
            422, QJsonDocument(
                     QJsonObject{{QStringLiteral("errors"),
                                  QJsonArray{QJsonObject{{QStringLiteral("error_message"),
                                                          QStringLiteral("Track title is too long")}}}}}));
    case TracksMode::BadGatewayHTML:
        return HttpTestResponse::text(502, "text/html", "<html><body><h1>502 Bad Gateway</h1></body></html>");
    }
    return jsonError(500, "unreachable");
}

std::optional<QByteArray> SoundCloudStandIn::get(const QUrl& url, int* status)
{
    QTcpSocket socket;
    socket.connectToHost(url.host(), static_cast<quint16>(url.port(80)));
    if (!socket.waitForConnected(5000))
        return std::nullopt;
    const QByteArray target =
        url.path(QUrl::FullyEncoded).toLatin1() +
        (url.hasQuery() ? "?" + url.query(QUrl::FullyEncoded).toLatin1() : QByteArray());
    socket.write("GET " + (target.isEmpty() ? QByteArray("/") : target) +
                 " HTTP/1.1\r\nHost: " + url.host().toLatin1() + "\r\nConnection: close\r\n\r\n");
    socket.waitForBytesWritten(5000);
    QByteArray response;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000))
        response += socket.readAll();
    response += socket.readAll();
    const qsizetype headEnd = response.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return std::nullopt;
    if (status)
        *status = response.mid(9, 3).toInt();
    return response;
}

std::optional<QUrl> SoundCloudStandIn::follow(const QUrl& authorizeURL)
{
    int status = 0;
    const std::optional<QByteArray> response = get(authorizeURL, &status);
    if (!response || status / 100 != 3)
        return std::nullopt;
    const QByteArray head = response->left(response->indexOf("\r\n\r\n"));
    for (const QByteArray& line : head.split('\n')) {
        if (line.toLower().startsWith("location:"))
            return QUrl::fromEncoded(line.mid(9).trimmed());
    }
    return std::nullopt;
}

} // namespace airlark::test
