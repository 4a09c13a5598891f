#include "platform/ApplicationIdentity.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QSettings>
#include <QSvgRenderer>
#include <gtest/gtest.h>

using namespace airlark;

namespace {

// The desktop reads the entry that registers Airlark as the handler of "airlark" URLs; its name
// must be the application identifier, which the running windows also announce.
TEST(DesktopEntry, RegistersTheAirlarkSchemeAndPassesTheURLOn)
{
    QFile entry(test::sourcePath(QStringLiteral("resources/") + applicationIdentifier() +
                                 QStringLiteral(".desktop")));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly | QIODevice::Text)) << entry.fileName().toStdString();
    QMap<QString, QString> values;
    QString group;
    for (const QByteArray& rawLine : entry.readAll().split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            group = line;
        else if (group == QStringLiteral("[Desktop Entry]") && line.contains(QLatin1Char('=')))
            values.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
    EXPECT_EQ(values.value(QStringLiteral("Type")), QStringLiteral("Application"));
    EXPECT_EQ(values.value(QStringLiteral("Name")), applicationName());
    EXPECT_EQ(values.value(QStringLiteral("Exec")), QStringLiteral("airlark %u"));
    EXPECT_EQ(values.value(QStringLiteral("MimeType")), QStringLiteral("x-scheme-handler/airlark;"));
    EXPECT_EQ(values.value(QStringLiteral("Icon")), applicationIdentifier());
}

} // namespace
