// The main window's own windows and dialogs, on the real widgets (offscreen): the help window
// over the bundled pages, where windows open, what sizes and folders are remembered.
#include "app/HelpWindow.h"
#include "app/MainWindow.h"
#include "hosts/ui/LibsynAuthenticationViewController.h"
#include "metadata/ui/OpenPanel.h"
#include "platform/ui/ExternalLink.h"
#include "support/Mp3Fixtures.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <gtest/gtest.h>
#include <memory>

namespace airlark::test {
namespace {

struct Link
{
    QString href;
    int position;
};

std::vector<Link> links(const QTextDocument& document)
{
    std::vector<Link> found;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QString href = fragment.fragment().charFormat().anchorHref();
            if (!href.isEmpty())
                found.push_back({href, fragment.fragment().position()});
        }
    }
    return found;
}

// A real click on the link's text, scrolled into view first.
void click(QTextBrowser& browser, const Link& link)
{
    QTextCursor cursor(browser.document());
    cursor.setPosition(link.position + 1);
    browser.setTextCursor(cursor);
    browser.ensureCursorVisible();
    const QPoint at = browser.cursorRect(cursor).center() - QPoint(2, 0);
    QTest::mouseClick(browser.viewport(), Qt::LeftButton, {}, at);
}

class SecondaryWindowsTest : public ::testing::Test
{
protected:
    SecondaryWindowsTest()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        window.show();
        window.findChild<QAction*>(QStringLiteral("helpAction"))->trigger();
        help = window.helpWindow();
    }
    ~SecondaryWindowsTest() override { QApplication::setQuitOnLastWindowClosed(true); }

    // The wizard gives its first step back when it goes; the step is ours to delete, after it.
    std::unique_ptr<QWidget> firstStep = std::make_unique<QWidget>();
    MainWindow window{[this] { return firstStep.get(); }};
    HelpWindow* help = nullptr;
};

TEST_F(SecondaryWindowsTest, TheContentsLeadToEveryPageAndBack)
{
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->parentWidget(), &window);
    QTextBrowser& browser = *help->browser();
    EXPECT_EQ(browser.source(), QUrl(QStringLiteral("qrc:/help/index.html")));
    const std::vector<Link> contents = links(*browser.document());
    ASSERT_EQ(contents.size(), 5u);
    for (std::size_t i = 0; i < contents.size(); ++i) {
        SCOPED_TRACE(contents[i].href.toStdString());
        click(browser, links(*browser.document())[i]);
        EXPECT_EQ(browser.source(), QUrl(QStringLiteral("qrc:/help/") + contents[i].href));
        EXPECT_EQ(help->windowTitle(), browser.documentTitle());
        EXPECT_GT(browser.document()->toPlainText().size(), 300) << "the page was read";
        QTest::keyClick(browser.viewport(), Qt::Key_Left, Qt::AltModifier);
        EXPECT_EQ(browser.source(), QUrl(QStringLiteral("qrc:/help/index.html")));
    }
}

TEST_F(SecondaryWindowsTest, WebLinksGoToTheDesktopAndAFailureIsShownOverTheMainWindow)
{
    QList<QUrl> opened;
    bool opens = true;
    const ExternalLinkOpener previous = setExternalLinkOpener([&](const QUrl& url) {
        opened.append(url);
        return opens;
    });
    window.showHelp(QStringLiteral("libsyn-ftp.html"));
    QTextBrowser& browser = *help->browser();
    const auto pageLinks = links(*browser.document());
    const auto web = std::find_if(pageLinks.begin(), pageLinks.end(), [](const Link& link) {
        return link.href.startsWith(QLatin1String("https:"));
    });
    ASSERT_NE(web, pageLinks.end());

    for (const bool succeeds : {true, false}) {
        opens = succeeds;
        click(browser, *web);
        ASSERT_EQ(opened.size(), succeeds ? 1 : 2);
        EXPECT_EQ(opened.back(), QUrl(web->href));
        EXPECT_EQ(browser.source(), QUrl(QStringLiteral("qrc:/help/libsyn-ftp.html")))
            << "the help page stays";
        auto* failure = window.findChild<QMessageBox*>(QStringLiteral("linkFailureMessage"));
        EXPECT_EQ(failure != nullptr, !succeeds);
        if (failure) {
            EXPECT_TRUE(failure->isVisible());
            EXPECT_TRUE(failure->text().contains(web->href));
        }
    }

    // The Libsyn pane's help page goes to the browser the same way, as a file it can read.
    LibsynAuthenticationViewController pane;
    pane.show();
    QTest::mouseClick(pane.helpButton(), Qt::LeftButton);
    EXPECT_TRUE(opened.back().isLocalFile() && QFile::exists(opened.back().toLocalFile()));
    EXPECT_NE(pane.findChild<QMessageBox*>(QStringLiteral("linkFailureMessage")), nullptr);
    setExternalLinkOpener(previous);
}

TEST_F(SecondaryWindowsTest, FileDialogsStartInTheMusicFolderThenInTheLastOneUsed)
{
    const QString music = QDir::home().filePath(QStringLiteral("Music"));
    const QString elsewhere = QDir::home().filePath(QStringLiteral("Podcasts"));
    ASSERT_TRUE(QDir().mkpath(music) && QDir().mkpath(elsewhere));
    ASSERT_TRUE(writeFile(elsewhere + QStringLiteral("/One.mp3"), "ID3"));
    const OpenPanelOptions options{QStringLiteral("Choose"), {QStringLiteral("mp3")}};
    std::optional<QList<QUrl>> chosen;
    for (const QString& expected : {music, elsewhere}) {
        OpenPanel::begin(&window, options, [&](auto urls) { chosen = urls; });
        auto* dialog = window.findChild<QFileDialog*>();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->directory().absolutePath(), expected);
        dialog->setDirectory(elsewhere);
        dialog->selectFile(QStringLiteral("One.mp3"));
        QTest::keyClick(dialog, Qt::Key_Return);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->value(0), QUrl::fromLocalFile(elsewhere + QStringLiteral("/One.mp3")));
}

} // namespace
} // namespace airlark::test
