#include "WorkflowDriver.h"

#include "hosts/ui/LibsynAuthenticationViewController.h"
#include "hosts/ui/SoundCloudAuthenticationViewController.h"
#include "metadata/ui/CreateID3TemplateViewController.h"
#include "metadata/ui/FileDropLocationView.h"
#include "metadata/ui/OpenPanel.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>

namespace airlark::test {

namespace {

// The row of `view` whose first line is `text`, or an invalid index.
QModelIndex rowWithText(const QAbstractItemView& view, const QString& text)
{
    const QRegularExpression firstLine(QLatin1Char('^') + QRegularExpression::escape(text) +
                                       QStringLiteral("(\n|$)"));
    return view.model()
        ->match(view.model()->index(0, 0), Qt::DisplayRole, firstLine, 1, Qt::MatchRegularExpression)
        .value(0);
}

bool clickRow(QAbstractItemView& view, const QString& text)
{
    QModelIndex index;
    if (!waitFor([&] { return (index = rowWithText(view, text)).isValid(); }))
        return false;
    view.scrollTo(index);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, view.visualRect(index).center());
    return true;
}

// Says which step of a driver operation did not work, for the test's log.
bool fail(const char* what)
{
    qWarning("Workflow driver: %s", what);
    return false;
}

void type(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

} // namespace

WorkflowDriver::WorkflowDriver()
{
    QApplication::setQuitOnLastWindowClosed(false);
    window_ = std::make_unique<MainWindow>(
        [] { return static_cast<QWidget*>(StoryboardRegister::Main::selectTemplateViewController()); });
    window_->resize(900, 640);
    window_->show();
    window_->workflow()->loadViewIfNeeded();
}

WorkflowDriver::~WorkflowDriver()
{
    OpenPanel::setPresenterForTesting({});
    if (auto* addWindow = AddPodcastHostViewController::presented())
        addWindow->close();
    window_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool WorkflowDriver::createTemplate(const QString& podcast, const QString& artist, const QString& artworkPath)
{
    OpenPanel::setPresenterForTesting(
        [artworkPath](QWidget*, const OpenPanelOptions&, OpenPanel::Completion done) {
            done(QList<QUrl>{QUrl::fromLocalFile(artworkPath)});
        });
    QTest::mouseClick(step1().newTemplateButton(), Qt::LeftButton);
    auto* form = qobject_cast<CreateID3TemplateViewController*>(step1().createTemplateWindow());
    if (!form)
        return false;
    type(form->albumField(), podcast);
    type(form->artistField(), artist);
    QTest::mouseClick(form->chooseArtworkButton(), Qt::LeftButton);
    if (!waitFor([form] { return form->saveButton()->isEnabled(); }))
        return false;
    QTest::mouseClick(form->saveButton(), Qt::LeftButton);
    return waitFor([&] { return rowWithText(*step1().tableView(), podcast).isValid(); });
}

bool WorkflowDriver::chooseTemplate(const QString& podcast)
{
    return clickRow(*step1().tableView(), podcast);
}

bool WorkflowDriver::dropEpisode(const QString& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    FileDropLocationView* area = step1().dropLocationView();
    QDragEnterEvent enter(area->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent dropped(QPointF(area->rect().center()), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &dropped);
    return dropped.isAccepted();
}

bool WorkflowDriver::goToStep2()
{
    if (!waitFor([this] { return next().isEnabled(); }, std::chrono::seconds(5)))
        return false;
    QTest::mouseClick(&next(), Qt::LeftButton);
    // Save waits until the template's artwork is read.
    return visible() == &step2() && waitFor([this] { return next().isEnabled(); }, std::chrono::seconds(5));
}

bool WorkflowDriver::saveMetadata(const QString& title, const QString& description)
{
    EditMetadataViewController& form = step2();
    type(form.titleField(), title);
    form.descriptionTextView()->setFocus();
    form.descriptionTextView()->selectAll();
    QTest::keyClicks(form.descriptionTextView(), description);
    QTest::mouseClick(&next(), Qt::LeftButton);
    return waitFor([this] { return step3() != nullptr; }, std::chrono::seconds(10));
}

bool WorkflowDriver::tagEpisode(const QString& podcast, const QString& episodePath, const QByteArray& audio,
                                const QString& title, const QString& description)
{
    const QString artwork = path(QStringLiteral("cover.png"));
    if (!writeFile(episodePath, audio) || !writeFile(artwork, pngBytes(64, 64)))
        return fail("the episode or its cover could not be written");
    if (!createTemplate(podcast, QStringLiteral("Ada Lark"), artwork))
        return fail("the template was not created");
    if (!dropEpisode(episodePath) || !chooseTemplate(podcast))
        return fail("step 1 did not take the episode and the template");
    return (goToStep2() && saveMetadata(title, description)) || fail("step 2 did not save");
}

AddPodcastHostViewController* WorkflowDriver::openAddAccountWindow(const QString& host)
{
    SelectPodcastHostViewController* hostStep = step3();
    if (!hostStep)
        return fail("step 3 is not shown"), nullptr;
    QTest::mouseClick(hostStep->addAccountButton(), Qt::LeftButton);
    AddPodcastHostViewController* addWindow = nullptr;
    if (!waitFor([&] { return (addWindow = AddPodcastHostViewController::presented()) != nullptr; }))
        return fail("the add-account window did not open"), nullptr;
    addWindow->popUpButton()->setCurrentText(host);
    addWindow->popUpButtonOptionSelected();
    return addWindow;
}

bool WorkflowDriver::addLibsynAccount(const QString& showFolder, LibsynAccountFeedType feedType,
                                      const QString& email, const QString& password)
{
    AddPodcastHostViewController* addWindow = openAddAccountWindow(QStringLiteral("Libsyn"));
    auto* pane =
        addWindow ? dynamic_cast<LibsynAuthenticationViewController*>(addWindow->currentChildViewController())
                  : nullptr;
    if (!pane)
        return fail("no Libsyn pane in the add-account window");
    type(pane->emailTextField(), email);
    type(pane->usernameTextField(), showFolder);
    type(pane->passwordTextField(), password);
    pane->feedTypePopUpButton()->setCurrentText(storedText(feedType) + QStringLiteral(" feed"));
    QTest::mouseClick(pane->logInButton(), Qt::LeftButton);
    // Add becomes possible once the log-in was checked against the server.
    return add(addWindow, [] { return true; });
}

bool WorkflowDriver::signInToSoundCloud(AddPodcastHostViewController* addWindow, const QString& username)
{
    auto* pane =
        addWindow
            ? dynamic_cast<SoundCloudAuthenticationViewController*>(addWindow->currentChildViewController())
            : nullptr;
    if (!pane)
        return fail("no SoundCloud pane in the add-account window");
    QTest::mouseClick(pane->connectButton(), Qt::LeftButton);
    // The shared pane may still show an earlier sign-in; wait for this one's user.
    return add(addWindow, [&] { return pane->viewModel().username() == username; });
}

bool WorkflowDriver::add(AddPodcastHostViewController* addWindow, const std::function<bool()>& ready)
{
    if (!waitFor([&] { return ready() && addWindow->addButton()->isEnabled(); }, std::chrono::seconds(30)))
        return fail("the account's check did not enable Add");
    QTest::mouseClick(addWindow->addButton(), Qt::LeftButton);
    return waitFor([] { return AddPodcastHostViewController::presented() == nullptr; },
                   std::chrono::seconds(30)) ||
           fail("the add-account window did not close after Add");
}

bool WorkflowDriver::chooseAccount(const QString& rowText)
{
    SelectPodcastHostViewController* hostStep = step3();
    return hostStep && clickRow(*hostStep->tableView(), rowText) && next().isEnabled();
}

bool WorkflowDriver::startUpload()
{
    QTest::mouseClick(&next(), Qt::LeftButton);
    return visible() == &step4();
}

bool WorkflowDriver::waitForUploadEnd(std::chrono::milliseconds timeout)
{
    return waitFor(
        [this] { return nextTitle() == QStringLiteral("Done") || nextTitle() == QStringLiteral("Retry"); },
        timeout);
}

bool WorkflowDriver::answerStopQuestion(bool stop)
{
    return answerQuestion(stop ? QStringLiteral("stopButton") : QStringLiteral("continueButton"));
}

bool WorkflowDriver::answerReplaceQuestion(bool replace)
{
    return answerQuestion(replace ? QStringLiteral("replaceButton") : QStringLiteral("keepButton"));
}

bool WorkflowDriver::answerQuestion(const QString& answer)
{
    // The question's answers are named; a question already answered may not be deleted yet.
    QPushButton* button = nullptr;
    const auto shown = [&] {
        for (QPushButton* candidate : window_->findChildren<QPushButton*>(answer))
            if (candidate->isVisible())
                button = candidate;
        return button != nullptr;
    };
    if (!waitFor(shown))
        return fail("no question to answer");
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

} // namespace airlark::test
