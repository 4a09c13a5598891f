#include "http/HTTPRequestSerializer.h"

#include "platform/ApplicationIdentity.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace airlark;

namespace {

struct AcceptLanguageCase
{
    QStringList languages;
    QString expected;
};

void PrintTo(const AcceptLanguageCase& languageCase, std::ostream* out)
{
    *out << languageCase.languages.join(QLatin1Char(',')).toStdString();
}

class AcceptLanguageTest : public ::testing::TestWithParam<AcceptLanguageCase>
{
};

TEST_P(AcceptLanguageTest, QualityFallsByTenthsAndStopsAtOneHalf)
{
    EXPECT_EQ(HTTPRequestSerializer::defaultAcceptLanguage(GetParam().languages), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, AcceptLanguageTest,
    ::testing::Values(
        AcceptLanguageCase{{QStringLiteral("en-GB")}, QStringLiteral("en-GB;q=1")},
        AcceptLanguageCase{{QStringLiteral("de-DE"), QStringLiteral("de"), QStringLiteral("en")},
                           QStringLiteral("de-DE;q=1, de;q=0.9, en;q=0.8")},
        AcceptLanguageCase{{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                            QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f"),
                            QStringLiteral("g"), QStringLiteral("h")},
                           QStringLiteral("a;q=1, b;q=0.9, c;q=0.8, d;q=0.7, e;q=0.6, f;q=0.5")},
        AcceptLanguageCase{{}, QString()}));

TEST(HTTPRequestSerializer, UserAgentNamesTheApplicationAndTheSystemInASCII)
{
    const QString userAgent = HTTPRequestSerializer::defaultUserAgent();
    EXPECT_TRUE(userAgent.startsWith(applicationName() + QLatin1Char('/') + applicationVersion() +
                                     QStringLiteral(" (")))
        << qPrintable(userAgent);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[\\x20-\\x7E]+ \\([^ ()]+ [^()]+\\)$"))
                    .match(userAgent)
                    .hasMatch())
        << qPrintable(userAgent);

    HTTPRequestSerializer serializer;
    EXPECT_EQ(serializer.valueForHTTPHeaderField(QStringLiteral("User-Agent")), userAgent);
    EXPECT_TRUE(serializer.valueForHTTPHeaderField(QStringLiteral("Accept-Language")).has_value());
}

TEST(HTTPRequestSerializer, DefaultHeadersDoNotReplaceTheRequestsOwn)
{
    HTTPRequestSerializer serializer;
    serializer.setValueForHTTPHeaderField(QStringLiteral("1"), QStringLiteral("X-Default"));
    serializer.setValueForHTTPHeaderField(QStringLiteral("agent"), QStringLiteral("User-Agent"));
    HTTPRequest request(QUrl(QStringLiteral("https://api.example.com/me")));
    request.setValueForHTTPHeaderField(QStringLiteral("mine"), QStringLiteral("user-agent"));
    const auto made = serializer.requestBySerializingRequest(request, std::nullopt);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->valueForHTTPHeaderField(QStringLiteral("User-Agent")), QStringLiteral("mine"));
    EXPECT_EQ(made->valueForHTTPHeaderField(QStringLiteral("X-Default")), QStringLiteral("1"));

    serializer.setValueForHTTPHeaderField(std::nullopt, QStringLiteral("X-Default"));
    EXPECT_FALSE(serializer.HTTPRequestHeaders().contains(QStringLiteral("x-default")));
}

TEST(HTTPRequestSerializer, ParametersGoIntoTheQueryForGetAndIntoAFormBodyForPost)
{
    HTTPRequestSerializer serializer;
    const QVariantMap parameters{{QStringLiteral("client_id"), QStringLiteral("a b&c")},
                                 {QStringLiteral("scope"), QStringLiteral("non-expiring")}};

    const auto get = serializer.requestWithMethod(
        QStringLiteral("GET"), QStringLiteral("https://api.example.com/me?x=1"), parameters);
    ASSERT_TRUE(get);
    EXPECT_EQ(get->URL.toString(QUrl::FullyEncoded),
              QStringLiteral("https://api.example.com/me?x=1&client_id=a%20b%26c&scope=non-expiring"));
    EXPECT_TRUE(get->HTTPBody.isEmpty());

    const auto post = serializer.requestWithMethod(
        QStringLiteral("POST"), QStringLiteral("https://api.example.com/oauth2/token"), parameters);
    ASSERT_TRUE(post);
    EXPECT_EQ(post->HTTPBody, QByteArray("client_id=a%20b%26c&scope=non-expiring"));
    EXPECT_EQ(post->valueForHTTPHeaderField(QStringLiteral("Content-Type")),
              QStringLiteral("application/x-www-form-urlencoded"));

    const auto bare = serializer.requestWithMethod(QStringLiteral("POST"),
                                                   QStringLiteral("https://api.example.com/x"), std::nullopt);
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->HTTPBody.isEmpty());
    EXPECT_EQ(bare->valueForHTTPHeaderField(QStringLiteral("Content-Type")),
              QStringLiteral("application/x-www-form-urlencoded"));
}

TEST(HTTPRequestSerializer, OnlyExplicitlySetPropertiesAreCopied)
{
    HTTPRequestSerializer serializer;
    auto request =
        serializer.requestWithMethod(QStringLiteral("GET"), QStringLiteral("http://h/"), std::nullopt);
    ASSERT_TRUE(request);
    EXPECT_FALSE(request->timeoutInterval.has_value());
    EXPECT_TRUE(request->HTTPShouldHandleCookies);

    serializer.timeoutInterval = 5;
    serializer.HTTPShouldHandleCookies = false;
    request = serializer.requestWithMethod(QStringLiteral("GET"), QStringLiteral("http://h/"), std::nullopt);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->timeoutInterval, 5.0);
    EXPECT_FALSE(request->HTTPShouldHandleCookies);
}

TEST(HTTPRequestSerializer, TextThatIsNoURLGivesNoRequest)
{
    HTTPRequestSerializer serializer;
    HTTPError error;
    EXPECT_FALSE(serializer.requestWithMethod(QStringLiteral("GET"), QStringLiteral("not a url"),
                                              std::nullopt, &error));
    EXPECT_TRUE(error.is(HTTPURLRequestSerializationErrorDomain, -1000));
    EXPECT_FALSE(
        serializer.multipartFormRequestWithMethod(QStringLiteral("POST"), QString(), std::nullopt, nullptr));
}

} // namespace
