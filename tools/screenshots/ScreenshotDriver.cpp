// Takes the README's screenshots from the real application: builds the real main window with the
// controllers the storyboard register hands out, walks one episode through the four steps (and
// the add-account window) as a user would, against a local stand-in for Libsyn's FTP server, and
// saves each screen as a PNG file. Run by scripts/screenshots.sh under a virtual X server, inside a
// private session with its own keyring; never part of the test suite.
#include "WorkflowDriver.h"
#include "hosts/ui/LibsynAuthenticationViewController.h"
#include "support/LibsynTestServer.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <cstdio>

using namespace airlark;
using namespace airlark::test;

namespace {

QString outputFolder;

bool save(QWidget& window, const QString& name)
{
    window.raise();
    window.activateWindow();
    QTest::qWait(400); // let the X server show the last changes
    const QString path = QDir(outputFolder).filePath(name + QStringLiteral(".png"));
    const bool saved = window.grab().save(path);
    std::fprintf(stdout, "%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
    return saved;
}

// Cover art for the template: a simple drawn image, so that the screenshots need no asset.
QByteArray artwork()
{
    QImage image(512, 512, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 512, 512);
    gradient.setColorAt(0, QColor(0x1f, 0x4e, 0x79));
    gradient.setColorAt(1, QColor(0xf2, 0xa6, 0x3b));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(72);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Lark\nWeekly"));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

int fail(const char* what)
{
    std::fprintf(stderr, "screenshots: %s\n", what);
    return 1;
}

int run()
{
    // Implicit TLS, as Libsyn's own default is; the server goes with this function.
    struct Server : LibsynServerEnvironment
    {
        Server() : LibsynServerEnvironment(FTPSecurity::ImplicitTLS) { SetUp(); }
        ~Server() override { TearDown(); }
    } server;
    // Slow enough that step 4 can be seen in the middle of the upload, with its speed and time left.
    const bool started = LibsynServerEnvironment::restart(768 * 1024);
    FtpTestServer& libsyn = LibsynServerEnvironment::server();
    if (!started || !libsyn.isRunning() || !libsyn.makeDirectory(QStringLiteral("larkweekly/quickcast")))
        return fail("the local FTP server did not start");

    WorkflowDriver driver;
    const QString artworkPath = driver.path(QStringLiteral("Lark Weekly cover.png"));
    const QString episodePath = driver.path(QStringLiteral("Lark Weekly 12.mp3"));
    if (!writeFile(artworkPath, artwork()) ||
        !writeFile(episodePath, repeatedMp3Bytes(std::chrono::minutes(8), 128)))
        return fail("could not write the sample files");

    // Step 1: a template and the episode file.
    if (!driver.createTemplate(QStringLiteral("Lark Weekly"), QStringLiteral("Ada Lark"), artworkPath))
        return fail("could not create the template");
    if (!driver.dropEpisode(episodePath) || !driver.chooseTemplate(QStringLiteral("Lark Weekly")))
        return fail("could not choose the template and the file");
    if (!save(driver.window(), QStringLiteral("step1-template-and-file")))
        return 1;

    // Step 2: the episode's details.
    if (!driver.goToStep2())
        return fail("step 2 did not come");
    EditMetadataViewController& step2 = WorkflowDriver::step2();
    step2.titleField()->setText(QStringLiteral("12: Songs at dawn"));
    step2.descriptionTextView()->setPlainText(
        QStringLiteral("Why larks sing before sunrise, and what the neighbours think of it."));
    step2.episodeNumberField()->setText(QStringLiteral("12"));
    step2.seasonNumberField()->setText(QStringLiteral("2"));
    step2.feedURLField()->setText(QStringLiteral("https://larkweekly.example/feed.xml"));
    // With the check's report under the form.
    if (!waitFor([&] { return !step2.viewModel().isChecking(); }, std::chrono::seconds(60)))
        return fail("the episode's check did not end");
    if (auto* scroll = step2.findChild<QScrollArea*>())
        scroll->ensureWidgetVisible(step2.checkListView());
    if (!save(driver.window(), QStringLiteral("step2-episode-details")))
        return 1;
    if (!driver.saveMetadata(
            QStringLiteral("12: Songs at dawn"),
            QStringLiteral("Why larks sing before sunrise, and what the neighbours think of it.")))
        return fail("step 3 did not come");

    // The add-account window with the Libsyn pane, its log-in checked.
    AddPodcastHostViewController* addWindow = driver.openAddAccountWindow(QStringLiteral("Libsyn"));
    auto* pane =
        addWindow ? dynamic_cast<LibsynAuthenticationViewController*>(addWindow->currentChildViewController())
                  : nullptr;
    if (!pane)
        return fail("the add-account window did not open");
    pane->emailTextField()->setText(LibsynServerEnvironment::Email);
    pane->usernameTextField()->setText(QStringLiteral("larkweekly"));
    pane->passwordTextField()->setText(LibsynServerEnvironment::Password);
    QTest::mouseClick(pane->logInButton(), Qt::LeftButton);
    if (!waitFor([&] { return addWindow->addButton()->isEnabled(); }, std::chrono::seconds(30)))
        return fail("the log-in check did not pass");
    if (!save(*addWindow, QStringLiteral("add-account")))
        return 1;
    QTest::mouseClick(addWindow->addButton(), Qt::LeftButton);
    if (!waitFor([] { return AddPodcastHostViewController::presented() == nullptr; }))
        return fail("the account was not added");

    // Step 3: the account chosen.
    if (!driver.chooseAccount(QStringLiteral("larkweekly\u2014Libsyn")))
        return fail("the account is not listed");
    if (!save(driver.window(), QStringLiteral("step3-account")))
        return 1;

    // Step 4: a failure that names its cause and offers Retry (the show folder is missing), then
    // the retried upload, under way and finished.
    if (!QDir(libsyn.pathInHome(QStringLiteral("larkweekly"))).removeRecursively() || !driver.startUpload() ||
        !driver.waitForUploadEnd() || driver.nextTitle() != QStringLiteral("Retry"))
        return fail("the upload did not fail as it should");
    if (!save(driver.window(), QStringLiteral("step4-upload-failed")))
        return 1;
    if (!libsyn.makeDirectory(QStringLiteral("larkweekly/quickcast")))
        return fail("could not make the show folder");
    QTest::mouseClick(&driver.next(), Qt::LeftButton);
    QLabel& transferred = *WorkflowDriver::step4().transferredLabel();
    if (!waitFor([&] { return transferred.text().contains(QStringLiteral(" left")); },
                 std::chrono::seconds(30)))
        return fail("the upload showed no time left");
    QTest::qWait(1500); // a steadier speed
    if (!save(driver.window(), QStringLiteral("step4-uploading")))
        return 1;
    if (!driver.waitForUploadEnd(std::chrono::minutes(2)) || driver.nextTitle() != QStringLiteral("Done"))
        return fail("the upload did not succeed");
    if (!save(driver.window(), QStringLiteral("step4-upload")))
        return 1;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // It saves accounts and their passwords, so only in a private session.
    if (const std::optional<int> status = enterPrivateSession(argv))
        return *status;

    QApplication app(argc, argv);
    applyTestApplicationIdentity();
    const QStringList arguments = QApplication::arguments();
    outputFolder = arguments.size() > 1 ? arguments.at(1) : QStringLiteral("docs/screenshots");
    if (!QDir().mkpath(outputFolder))
        return fail("cannot create the output folder");
    return run();
}
