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
