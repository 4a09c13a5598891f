// The workflow as a screen reader and a small window meet it: the real main window on a virtual X
// server (the xcb platform, as on a desktop), read over the accessibility bus (AT-SPI) by a Python
// script through pyatspi, the way Orca reads it; at each step the window is also shrunk to its
// minimum size. ctest runs it under xvfb-run inside the private session, whose bus starts the
// AT-SPI bus and registry on demand.
#include "e2e/WorkflowDriver.h"
#include "store/Account.h"
#include "store/Database.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace airlark::test {
namespace {

// Starts the screen reader's side: atspi_probe.py `command` on this process.
void startProbe(QProcess& probe, const QString& command, const QString& argument = {})
{
    probe.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(AIRLARK_SOURCE_DIR "/tests/app/atspi_probe.py"), command,
                 QString::number(QCoreApplication::applicationPid()), argument});
}

// What the accessibility bus says of each object of this process.
std::vector<QJsonObject> readOverTheBus()
{
    QProcess probe;
    startProbe(probe, QStringLiteral("dump"));
    // The bus asks this process, so its events must keep running meanwhile.
    EXPECT_TRUE(waitFor([&] { return probe.state() == QProcess::NotRunning; }, std::chrono::seconds(60)));
    EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().constData();
    std::vector<QJsonObject> objects;
    for (const QByteArray& line : probe.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty())
            objects.push_back(QJsonDocument::fromJson(line).object());
    }
    return objects;
}

// The object of `role` named `name`, as the bus reads it; empty when there is none.
QJsonObject find(const std::vector<QJsonObject>& objects, const QString& role, const QString& name)
{
    for (const QJsonObject& object : objects) {
        if (object.value(QStringLiteral("role")).toString() == role &&
            object.value(QStringLiteral("name")).toString() == name)
            return object;
    }
    ADD_FAILURE() << "no " << role.toStdString() << " \"" << name.toStdString() << "\" on the bus";
    return {};
}

bool has(const QJsonObject& object, const char* key, const QString& value)
{
    return object.value(QLatin1String(key)).toArray().contains(value);
}

class WorkflowAccessibilityTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X display and the accessibility bus: run it through ctest";
        driver = std::make_unique<WorkflowDriver>();
        const QString episodePath = driver->path(QStringLiteral("Lark Weekly 12.mp3"));
        const QString cover = driver->path(QStringLiteral("cover.png"));
        ASSERT_TRUE(writeFile(episodePath, mp3Bytes(3)) && writeFile(cover, pngBytes(300, 300)));
        ASSERT_TRUE(driver->createTemplate(QStringLiteral("Lark Weekly"), QStringLiteral("Ada Lark"), cover));
        ASSERT_TRUE(driver->dropEpisode(episodePath));
        ASSERT_TRUE(driver->chooseTemplate(QStringLiteral("Lark Weekly")));
    }

    // What each step shows at the window's minimum size: every widget at least its smallest
    // usable size, so nothing is cut off or squeezed (the description keeps its lines).
    void expectUsableAtMinimumSize(QWidget& step)
    {
        MainWindow& window = driver->window();
        window.resize(window.minimumSize());
        QTest::qWait(100); // the layouts settle
        for (QWidget* widget : step.findChildren<QWidget*>()) {
            // A size the widget sets itself wins over its hint, as in Qt's layouts.
            const QSize least =
                widget->minimumSizeHint().expandedTo(widget->minimumSize()).boundedTo(widget->maximumSize());
            if (widget->isVisible()) {
                EXPECT_GE(widget->width(), least.width()) << qPrintable(widget->objectName());
                EXPECT_GE(widget->height(), least.height()) << qPrintable(widget->objectName());
            }
        }
        window.resize(900, 640);
    }

    // The wizard's buttons as the bus reads them: Next the default, each with its Alt key.
    void expectButtons(const std::vector<QJsonObject>& objects, const QStringList& keys)
    {
        const QJsonObject next = find(objects, QStringLiteral("push button"), driver->nextTitle());
        EXPECT_TRUE(has(next, "states", QStringLiteral("is default")));
        EXPECT_TRUE(has(next, "keys", keys.value(0)));
        if (keys.size() > 1) {
            EXPECT_TRUE(
                has(find(objects, QStringLiteral("push button"), QStringLiteral("Back")), "keys", keys[1]));
            EXPECT_TRUE(
                has(find(objects, QStringLiteral("push button"), QStringLiteral("Cancel")), "keys", keys[2]));
        }
    }

    std::unique_ptr<WorkflowDriver> driver;
};

TEST_F(WorkflowAccessibilityTest, EachStepReadsAsItShowsAndFitsTheSmallestWindow)
{
    // Step 1: the chosen file is read by its name, not by what the label is for.
    expectUsableAtMinimumSize(WorkflowDriver::step1());
    std::vector<QJsonObject> bus = readOverTheBus();
    find(bus, QStringLiteral("frame"), QStringLiteral("Airlark")); // the main window, on an X server
    EXPECT_EQ(find(bus, QStringLiteral("label"), QStringLiteral("Lark Weekly 12.mp3"))
                  .value(QStringLiteral("description"))
                  .toString(),
              QStringLiteral("Chosen file"));
    expectButtons(bus, {QStringLiteral("Alt+N")});

    // Step 2: the file's facts are read-only values that say so.
    ASSERT_TRUE(driver->goToStep2());
    expectUsableAtMinimumSize(WorkflowDriver::step2());
    bus = readOverTheBus();
    const EditMetadataViewController& step2 = WorkflowDriver::step2();
    for (const QLineEdit* fact : {step2.fileNameField(), step2.durationField(), step2.lengthField()}) {
        ASSERT_FALSE(fact->text().isEmpty()) << qPrintable(fact->objectName());
        const auto value = std::find_if(bus.begin(), bus.end(), [&](const QJsonObject& object) {
            return object.value(QStringLiteral("text")).toString() == fact->text();
        });
        ASSERT_NE(value, bus.end()) << qPrintable(fact->objectName());
        EXPECT_TRUE(has(*value, "states", QStringLiteral("read only"))) << qPrintable(fact->objectName());
    }
    expectButtons(bus, {QStringLiteral("Alt+S"), QStringLiteral("Alt+B"), QStringLiteral("Alt+L")});

    // Step 4, by an account whose password is not in the keyring: the status line's change is
    // announced, and what is read is what shows.
    ASSERT_TRUE(driver->saveMetadata(QStringLiteral("Songs at dawn"), QStringLiteral("Larks")));
    const auto database = Database::open();
    ASSERT_TRUE(database &&
                Account::createAccount(*database, QStringLiteral("larkweekly"), QStringLiteral("Libsyn"),
                                       LibsynAccountFeedType::Libsyn, QStringLiteral("ada@example.org"))
                    .hasValue());
    ASSERT_TRUE(driver->chooseAccount(QStringLiteral("larkweekly\u2014Libsyn")));
    expectUsableAtMinimumSize(*driver->step3());
    QProcess listener;
    startProbe(listener, QStringLiteral("await"), QStringLiteral("Upload failed"));
    ASSERT_TRUE(waitFor([&] { return listener.canReadLine() || listener.state() == QProcess::NotRunning; },
                        std::chrono::seconds(30)));
    ASSERT_EQ(listener.readLine().trimmed(), "listening") << listener.readAllStandardError().constData();
    ASSERT_TRUE(driver->startUpload());
    ASSERT_TRUE(driver->waitForUploadEnd());
    EXPECT_TRUE(waitFor([&] { return listener.state() == QProcess::NotRunning; }, std::chrono::seconds(30)));
    EXPECT_EQ(listener.readAllStandardOutput().trimmed(), "announced");
    expectUsableAtMinimumSize(WorkflowDriver::step4());
    bus = readOverTheBus();
    const QJsonObject status =
        find(bus, QStringLiteral("label"), WorkflowDriver::step4().statusTextField()->text());
    EXPECT_EQ(status.value(QStringLiteral("description")).toString(), QStringLiteral("Upload status"));
    expectButtons(bus, {QStringLiteral("Alt+R"), QStringLiteral("Alt+B"), QStringLiteral("Alt+L")});
}

} // namespace
} // namespace airlark::test
