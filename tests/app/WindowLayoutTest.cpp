// Every window shows all of its words: each window of the workflow opened offscreen, as a user
// meets it, in the default font, a font half as large again, a language whose texts run 40 %
// longer (a pseudo-translation made at build time) and at a device pixel ratio of 2. Each setting
// runs in a process of its own, as fonts, translations and the scale are chosen at start-up.
#include "app/HelpWindow.h"
#include "e2e/WorkflowDriver.h"
#include "hosts/ui/LibsynAuthenticationViewController.h"
#include "metadata/ui/CreateID3TemplateViewController.h"
#include "metadata/ui/OpenPanel.h"
#include "metadata/ui/QuestionSheet.h"
#include "support/LibsynTestServer.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <gtest/gtest.h>

namespace airlark::test {
namespace {

struct Setting
{
    const char* name;
    double fontScale;
    bool longerTexts;
    const char* scaleFactor;
};

const Setting settings[] = {
    {"default font", 1.0, false, "1"},
    {"font 1.5 times as large", 1.5, false, "1"},
    {"texts 40 % longer", 1.0, true, "1"},
    {"device pixel ratio 2", 1.0, false, "2"},
};

const char* const settingVariable = "AIRLARK_LAYOUT_SETTING";

// The FTP server only for the process that walks the windows.
const auto* const libsynEnvironment = qEnvironmentVariableIsSet(settingVariable)
                                          ? ::testing::AddGlobalTestEnvironment(new LibsynServerEnvironment)
                                          : nullptr;

QString describe(const QWidget& widget)
{
    QString text;
    if (const auto* label = qobject_cast<const QLabel*>(&widget))
        text = label->text();
    else if (const auto* button = qobject_cast<const QAbstractButton*>(&widget))
        text = button->text();
    return QStringLiteral("%1 \"%2\" (%3)")
        .arg(QString::fromLatin1(widget.metaObject()->className()), text.left(60), widget.objectName());
}

QString sizeText(const QSize& size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

bool showsText(const QWidget& widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(&widget))
        return !label->text().isEmpty();
    if (qobject_cast<const QCheckBox*>(&widget) || qobject_cast<const QRadioButton*>(&widget) ||
        qobject_cast<const QPushButton*>(&widget))
        return !static_cast<const QAbstractButton&>(widget).text().isEmpty();
    return false;
}

// Why `widget` does not show all of its text at its size; empty when it does.
QString clipping(const QWidget& widget)
{
    const auto* label = qobject_cast<const QLabel*>(&widget);
    if (label && label->wordWrap()) {
        const int needed = label->heightForWidth(label->width());
        return needed <= label->height() ? QString()
                                         : QStringLiteral("needs %1 px of height at its width, has %2")
                                               .arg(needed)
                                               .arg(label->height());
    }
    const QSize hint = widget.sizeHint();
    return hint.boundedTo(widget.size()) == hint
               ? QString()
               : QStringLiteral("needs %1, has %2").arg(sizeText(hint), sizeText(widget.size()));
}

// Scrolled contents may lie beyond their viewport; anything else lies within its parent.
bool scrolls(const QWidget& parent)
{
    return qobject_cast<const QAbstractScrollArea*>(parent.parentWidget()) != nullptr;
}

// What keeps the words of `window` from being read: a text that does not fit its widget, a widget
// over its neighbour or cut by its parent's edge.
QStringList problems(QWidget& window)
{
    QStringList found;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisible() || widget->window() != &window || !showsText(*widget))
            continue;
        if (const QString clipped = clipping(*widget); !clipped.isEmpty())
            found.append(describe(*widget) + QStringLiteral(": ") + clipped);
        QWidget* parent = widget->parentWidget();
        if (!scrolls(*parent) && !parent->rect().contains(widget->geometry()))
            found.append(describe(*widget) + QStringLiteral(": cut by the edge of ") + describe(*parent));
        for (QObject* child : parent->children()) {
            auto* neighbour = qobject_cast<QWidget*>(child);
            if (neighbour && neighbour != widget && neighbour->isVisible() && !neighbour->isWindow() &&
                neighbour->geometry().intersects(widget->geometry()))
                found.append(describe(*widget) + QStringLiteral(" overlaps ") + describe(*neighbour));
        }
    }
    return found;
}

void settle()
{
    // Layouts settle in posted events, one level at a time.
    for (int round = 0; round < 5; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// At the size the window opens with, then made wider and taller by the user.
void expectWhole(QWidget& window, const char* what)
{
    window.show();
    const QSize opened = window.size();
    for (const bool enlarged : {false, true}) {
        if (enlarged)
            window.resize(window.width() * 3 / 2, window.height() * 5 / 4);
        settle();
        const QStringList found = problems(window);
        EXPECT_TRUE(found.isEmpty()) << what << (enlarged ? ", enlarged," : "") << " at "
                                     << sizeText(window.size()).toStdString() << ":\n  "
                                     << found.join(QStringLiteral("\n  ")).toStdString();
    }
    window.resize(opened);
}

void applySetting(const Setting& setting)
{
    ASSERT_EQ(qApp->devicePixelRatio(), std::atof(setting.scaleFactor));
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * setting.fontScale);
    QApplication::setFont(font);
    if (setting.longerTexts) {
        auto* translator = new QTranslator(qApp);
        ASSERT_TRUE(translator->load(QStringLiteral(AIRLARK_PSEUDO_TRANSLATION)));
        QCoreApplication::installTranslator(translator);
    }
}

// The windows of one setting, in the order a user meets them.
void walkEveryWindow()
{
    WorkflowDriver driver;
    const QString episode = driver.path(QStringLiteral("Lark Weekly 12.mp3"));
    const QString cover = driver.path(QStringLiteral("cover.png"));
    ASSERT_TRUE(writeFile(episode, mp3Bytes(2)) && writeFile(cover, pngBytes(300, 300)));
    expectWhole(driver.window(), "step 1, empty");

    // The template window with a small cover, so that its note on the artwork shows.
    auto* form = qobject_cast<CreateID3TemplateViewController*>(
        CreateID3TemplateViewController::makeWindow(&driver.window(), std::nullopt));
    OpenPanel::setPresenterForTesting([&](QWidget*, const OpenPanelOptions&, OpenPanel::Completion done) {
        done(QList<QUrl>{QUrl::fromLocalFile(cover)});
    });
    form->show();
    QTest::mouseClick(form->chooseArtworkButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return form->artworkNoticeLabel()->isVisible(); }));
    expectWhole(*form, "the New Template window");
    form->close();

    driver.window().showHelp(QStringLiteral("index.html"));
    expectWhole(*driver.window().helpWindow(), "the help window");
    driver.window().helpWindow()->close();

    QuestionSheet::ask(&driver.window(),
                       {QStringLiteral("Save without artwork?"),
                        QStringLiteral("The template has no artwork. Episodes tagged with it will have none "
                                       "either, and some podcast apps show a blank square instead."),
                        QStringLiteral("Save Without Artwork")},
                       [](bool) {});
    auto* question = driver.window().findChild<QMessageBox*>();
    ASSERT_NE(question, nullptr);
    expectWhole(*question, "a question box");
    question->reject();

    ASSERT_TRUE(driver.createTemplate(QStringLiteral("Lark Weekly"), QStringLiteral("Ada Lark"), cover));
    ASSERT_TRUE(driver.dropEpisode(episode) && driver.chooseTemplate(QStringLiteral("Lark Weekly")));
    expectWhole(driver.window(), "step 1");
    ASSERT_TRUE(driver.goToStep2());
    expectWhole(driver.window(), "step 2");
    ASSERT_TRUE(driver.saveMetadata(QStringLiteral("12: Songs at dawn"), QStringLiteral("Larks at dawn.")));
    expectWhole(driver.window(), "step 3");

    AddPodcastHostViewController* addWindow = driver.openAddAccountWindow(QStringLiteral("Libsyn"));
    ASSERT_NE(addWindow, nullptr);
    expectWhole(*addWindow, "the Add Account window, Libsyn");
    // A failed log-in check puts its message under the form.
    auto* pane = dynamic_cast<LibsynAuthenticationViewController*>(addWindow->currentChildViewController());
    ASSERT_NE(pane, nullptr);
    pane->emailTextField()->setText(LibsynServerEnvironment::Email);
    pane->usernameTextField()->setText(QStringLiteral("larkweekly"));
    pane->passwordTextField()->setText(QStringLiteral("not the password"));
    QTest::mouseClick(pane->logInButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return pane->logInButton()->isEnabled(); }, std::chrono::seconds(30)));
    expectWhole(*addWindow, "the Add Account window, Libsyn, its log-in refused");
    addWindow->popUpButton()->setCurrentIndex(
        addWindow->popUpButton()->findText(QStringLiteral("SoundCloud")));
    addWindow->popUpButtonOptionSelected();
    expectWhole(*addWindow, "the Add Account window, SoundCloud");
    addWindow->close();

    // Step 4 with a failed upload, whose message names the cause: the show folder went missing.
    FtpTestServer& libsyn = LibsynServerEnvironment::server();
    ASSERT_TRUE(libsyn.makeDirectory(QStringLiteral("larkweekly/quickcast")));
    ASSERT_TRUE(driver.addLibsynAccount(QStringLiteral("larkweekly"), LibsynAccountFeedType::Libsyn,
                                        LibsynServerEnvironment::Email, LibsynServerEnvironment::Password));
    ASSERT_TRUE(driver.chooseAccount(QStringLiteral("larkweekly\u2014Libsyn")));
    ASSERT_TRUE(QDir(libsyn.pathInHome(QStringLiteral("larkweekly"))).removeRecursively());
    ASSERT_TRUE(driver.startUpload());
    ASSERT_TRUE(waitFor([&] { return driver.next().isEnabled(); }, std::chrono::seconds(60)));
    expectWhole(driver.window(), "step 4, the upload failed");
}

TEST(WindowLayoutTest, EveryWindowShowsAllItsWordsInEverySetting)
{
    if (const QByteArray chosen = qgetenv(settingVariable); !chosen.isEmpty()) {
        const Setting& setting = settings[chosen.toInt()];
        applySetting(setting);
        walkEveryWindow();
        return;
    }
    for (std::size_t row = 0; row < std::size(settings); ++row) {
        SCOPED_TRACE(settings[row].name);
        QProcess walk;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(settingVariable), QString::number(row));
        // The walk runs its own FTP server, with certificates of its own, and keeps its own store.
        environment.remove(QStringLiteral("AIRLARK_FTP_CA_FILE"));
        const QTemporaryDir home(qEnvironmentVariable("AIRLARK_TEST_SESSION") +
                                 QStringLiteral("/layout-XXXXXX"));
        for (const char* folder : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
            environment.insert(QString::fromLatin1(folder), home.filePath(QString::fromLatin1(folder)));
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(settings[row].scaleFactor));
        walk.setProcessEnvironment(environment);
        walk.setProcessChannelMode(QProcess::ForwardedChannels);
        walk.start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("--gtest_filter=WindowLayoutTest.*")});
        ASSERT_TRUE(walk.waitForFinished(120000));
        EXPECT_EQ(walk.exitCode(), 0) << "its log is above";
    }
}

} // namespace
} // namespace airlark::test
