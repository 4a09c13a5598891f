// The SoundCloud track upload against the stand-in: the multipart form as SoundCloud receives it,
// the signed request, and what the delegate hears for created, refused and failed uploads.
#include "publish/SoundCloudTrackUpload.h"

#include "SoundCloudFixture.h"
#include "http/HTTPSession.h"
#include "store/CredentialStore.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace airlark::test {
namespace {

class RecordingDelegate : public SoundCloudAPIClientUploadDelegate
{
public:
    void soundCloudUploadDidProgress(HTTPSession&, HTTPSessionTask&, qint64, qint64 totalBytesSent,
                                     qint64 bytesExpectedToSend) override
    {
        std::lock_guard lock(mutex);
        progress.push_back({totalBytesSent, bytesExpectedToSend});
    }

    void soundCloudUploadDidComplete(const std::optional<HTTPResponse>& r, const QVariant& d,
                                     const std::optional<HTTPError>& e) override
    {
        EXPECT_TRUE(QThread::currentThread() == qApp->thread());
        response = r;
        data = d;
        error = e;
        ++completions;
    }

    std::mutex mutex;
    std::vector<std::pair<qint64, qint64>> progress;
    std::optional<HTTPResponse> response;
    QVariant data;
    std::optional<HTTPError> error;
    std::atomic<int> completions = 0;
};

QByteArray partNames(const SoundCloudStandIn::Track& track)
{
    QByteArrayList names;
    for (const auto& part : track.parts)
        names << part.name;
    return names.join(',');
}

const MultipartTestPart* part(const SoundCloudStandIn::Track& track, const QByteArray& name)
{
    for (const auto& p : track.parts)
        if (p.name == name)
            return &p;
    return nullptr;
}

class SoundCloudTrackUploadTest : public SoundCloudTest
{
protected:
    void SetUp() override
    {
        SoundCloudTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        audioPath = folder.filePath(QStringLiteral("Episode 12.mp3"));
        artworkPath = folder.filePath(QStringLiteral("cover.png"));
        audio = mp3Bytes(2);
        ASSERT_TRUE(writeFile(audioPath, audio));
        ASSERT_TRUE(writeFile(artworkPath, pngBytes(16, 16)));
        ASSERT_TRUE(signIn(account));
    }

    // Uploads and waits for the delegate's completion.
    std::shared_ptr<RecordingDelegate> upload(const SoundCloudFileUploadEntity& entity)
    {
        auto delegate = std::make_shared<RecordingDelegate>();
        {
            SoundCloudAPIClient client{SoundCloudAPIClientCredentials(account)};
            EXPECT_EQ(airlark::upload(client, entity, delegate), std::nullopt);
        } // the client is not needed once the upload has started
        EXPECT_TRUE(waitFor([&] { return delegate->completions > 0; }, std::chrono::seconds(20)));
        QTest::qWait(20); // a second completion would show up here
        EXPECT_EQ(delegate->completions, 1);
        return delegate;
    }

    SoundCloudFileUploadEntity entity(std::optional<QString> description = QStringLiteral("Notes"),
                                      QStringList tags = {QStringLiteral("news"), QStringLiteral("tech")},
                                      bool withArtwork = true) const
    {
        return SoundCloudFileUploadEntity(QStringLiteral("Episode 12: Larks"), QUrl::fromLocalFile(audioPath),
                                          withArtwork ? std::optional<QUrl>(QUrl::fromLocalFile(artworkPath))
                                                      : std::nullopt,
                                          tags, description);
    }

    QTemporaryDir folder;
    QString audioPath;
    QString artworkPath;
    QByteArray audio;
    const QString account = QStringLiteral("30");
};

TEST_F(SoundCloudTrackUploadTest, SendsTheFieldsInOrderWithTheAudioAndArtwork)
{
    const auto delegate = upload(entity());
    EXPECT_FALSE(delegate->error.has_value());
    ASSERT_TRUE(delegate->response.has_value());
    EXPECT_EQ(delegate->response->statusCode, 201);
    EXPECT_EQ(delegate->data.toJsonObject().value(QStringLiteral("id")).toInt(), 1234);

    const auto tracks = standIn.tracks();
    ASSERT_EQ(tracks.size(), 1u);
    const auto& track = tracks.front();
    ASSERT_TRUE(track.parsed);
    EXPECT_EQ(track.request.method, "POST");
    EXPECT_EQ(track.request.query.queryItemValue(QStringLiteral("client_id")), SoundCloudStandIn::ClientID);
    EXPECT_EQ(track.request.header("Authorization"), "OAuth " + standIn.currentAccessToken().toLatin1());
    EXPECT_EQ(partNames(track), "track[description],track[tag_list],track[title],track[track_type],"
                                "track[asset_data],track[artwork_data]");
    EXPECT_EQ(part(track, "track[description]")->body, "Notes");
    EXPECT_EQ(part(track, "track[tag_list]")->body, "news tech");
    EXPECT_EQ(part(track, "track[title]")->body, "Episode 12: Larks");
    EXPECT_EQ(part(track, "track[track_type]")->body, "podcast");

    const MultipartTestPart* asset = part(track, "track[asset_data]");
    EXPECT_EQ(asset->fileName, "Episode 12.mp3");
    EXPECT_EQ(asset->contentType, "audio/mp3");
    EXPECT_EQ(asset->body, audio);
    const MultipartTestPart* artwork = part(track, "track[artwork_data]");
    EXPECT_EQ(artwork->fileName, "cover.png");
    EXPECT_EQ(artwork->contentType, "image/jpeg");
    EXPECT_EQ(artwork->body, readFile(artworkPath));

    // Progress reached the whole body.
    std::lock_guard lock(delegate->mutex);
    ASSERT_FALSE(delegate->progress.empty());
    EXPECT_EQ(delegate->progress.back().first, delegate->progress.back().second);
    EXPECT_EQ(delegate->progress.back().second, track.request.bodyLength);
}

struct FormCase
{
    const char* name;
    std::optional<QString> description;
    QStringList tags;
    bool artwork;
    QByteArray expectedParts;
    QByteArray expectedTagList;
};

void PrintTo(const FormCase& value, std::ostream* os)
{
    *os << value.name;
}

class SoundCloudUploadFormTest : public SoundCloudTrackUploadTest,
                                 public ::testing::WithParamInterface<FormCase>
{
};

TEST_P(SoundCloudUploadFormTest, SendsOnlyThePartsItHas)
{
    const FormCase& c = GetParam();
    upload(entity(c.description, c.tags, c.artwork));
    const auto tracks = standIn.tracks();
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(partNames(tracks.front()), c.expectedParts);
    EXPECT_EQ(part(tracks.front(), "track[tag_list]")->body, c.expectedTagList);
    if (c.description) {
        EXPECT_EQ(part(tracks.front(), "track[description]")->body, c.description->toUtf8());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SoundCloudUploadFormTest,
    ::testing::Values(
        FormCase{"NoDescriptionNoTagsNoArtwork",
                 std::nullopt,
                 {},
                 false,
                 "track[tag_list],track[title],track[track_type],track[asset_data]",
                 ""},
        FormCase{"EmptyDescription",
                 QStringLiteral(""),
                 {QStringLiteral("one")},
                 false,
                 "track[description],track[tag_list],track[title],track[track_type],track[asset_data]",
                 "one"},
        FormCase{"ThreeTagsWithArtwork",
                 std::nullopt,
                 {QStringLiteral("a"), QStringLiteral("b c"), QStringLiteral("d")},
                 true,
                 "track[tag_list],track[title],track[track_type],track[asset_data],track[artwork_data]",
                 "a b c d"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(SoundCloudTrackUploadTest, AnUnprocessableTrackReachesTheDelegateWithTheDecodedErrors)
{
    standIn.setTracksMode(SoundCloudStandIn::TracksMode::Unprocessable);
    const auto delegate = upload(entity());
    ASSERT_TRUE(delegate->error.has_value());
    EXPECT_TRUE(
        delegate->error->is(HTTPURLResponseSerializationErrorDomain, HTTPErrorCode::BadServerResponse));
    EXPECT_EQ(delegate->response->statusCode, 422);
    const QJsonArray errors = delegate->data.toJsonObject().value(QStringLiteral("errors")).toArray();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors.first().toObject().value(QStringLiteral("error_message")).toString(),
              QStringLiteral("Track title is too long"));
}

TEST_F(SoundCloudTrackUploadTest, ABadGatewayPageReachesTheDelegateAsAnErrorWithoutABody)
{
    standIn.setTracksMode(SoundCloudStandIn::TracksMode::BadGatewayHTML);
    const auto delegate = upload(entity());
    ASSERT_TRUE(delegate->error.has_value());
    EXPECT_TRUE(
        delegate->error->is(HTTPURLResponseSerializationErrorDomain, HTTPErrorCode::BadServerResponse));
    EXPECT_FALSE(delegate->data.isValid());
    EXPECT_EQ(delegate->response->statusCode, 502);
}

TEST_F(SoundCloudTrackUploadTest, AFileURLWithoutAFileNameSendsNothing)
{
    auto delegate = std::make_shared<RecordingDelegate>();
    SoundCloudAPIClient client{SoundCloudAPIClientCredentials(account)};
    const SoundCloudFileUploadEntity bad(QStringLiteral("t"), QUrl(QStringLiteral("file:///")), std::nullopt,
                                         {}, std::nullopt);
    EXPECT_EQ(airlark::upload(client, bad, delegate), SoundCloudAPIClientError::FileURL);
    QTest::qWait(200);
    EXPECT_EQ(delegate->completions, 0);
    EXPECT_TRUE(standIn.tracks().empty());
}

TEST_F(SoundCloudTrackUploadTest, AnAccountWhoseRefreshWasRefusedFailsWithAMessageThatSaysSo)
{
    standIn.setAccessTokenLifetime(30);
    const QString stale = QStringLiteral("31");
    ASSERT_TRUE(signIn(stale));
    const QVariantMap original = *storedTokens(stale);
    {
        SoundCloudAPIClient client{SoundCloudAPIClientCredentials(stale)};
        std::optional<OAuth2SigningResult> first;
        client.signedRequest(client.apiURL(QStringLiteral("/me")),
                             [&](const OAuth2SigningResult& r) { first = r; });
        ASSERT_TRUE(waitFor([&] { return first.has_value(); }));
    }
    ASSERT_FALSE(CredentialStore::updateData(
        original, stale, SoundCloudAPIClient::keychainService(SoundCloudEndpoints::current())));

    auto delegate = std::make_shared<RecordingDelegate>();
    SoundCloudAPIClient client{SoundCloudAPIClientCredentials(stale)};
    ASSERT_EQ(airlark::upload(client, entity(), delegate), std::nullopt);
    ASSERT_TRUE(waitFor([&] { return delegate->completions > 0; }));
    EXPECT_TRUE(standIn.tracks().empty());
    EXPECT_FALSE(delegate->response.has_value());
    ASSERT_TRUE(delegate->error.has_value());
    EXPECT_TRUE(delegate->error->is(SoundCloudUploadErrorDomain, SoundCloudUploadErrorCode::NeedsNewSignIn));
    const QJsonArray errors = delegate->data.toJsonObject().value(QStringLiteral("errors")).toArray();
    ASSERT_FALSE(errors.isEmpty());
    EXPECT_EQ(errors.first().toObject().value(QStringLiteral("error_message")).toString(),
              SoundCloudNeedsNewSignInMessage);
}

} // namespace
} // namespace airlark::test
