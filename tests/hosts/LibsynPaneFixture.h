#pragma once

#include "HostsFixture.h"
#include "hosts/ui/AddPodcastHostViewController.h"
#include "hosts/ui/LibsynAuthenticationViewController.h"
#include "support/LibsynTestServer.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace airlark::test {

// The add-account window over the shared Libsyn pane and a stand-in for the other host's pane,
// with the local FTP server in place of Libsyn's.
class LibsynPaneTest : public HostsTest
{
protected:
    void SetUp() override
    {
        HostsTest::SetUp();
        libsynPane_ = std::make_unique<LibsynAuthenticationViewController>();
        otherPane_ = std::make_unique<QWidget>();
    }

    void TearDown() override
    {
        if (auto* window = AddPodcastHostViewController::presented())
            delete window;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        libsynPane_.reset();
        HostsTest::TearDown();
    }

    AddPodcastHostViewController* presentWindow()
    {
        auto* window = AddPodcastHostViewController::present([this] { return libsynPane_.get(); },
                                                             [this] { return otherPane_.get(); });
        window_ = window;
        return window;
    }

    // Chooses Libsyn in the window's host chooser, as the user does.
    void chooseLibsyn(AddPodcastHostViewController& window)
    {
        QComboBox* chooser = window.popUpButton();
        chooser->setFocus();
        const int libsyn = chooser->findText(QStringLiteral("Libsyn"));
        while (chooser->currentIndex() < libsyn)
            QTest::keyClick(chooser, Qt::Key_Down);
        ASSERT_EQ(window.currentChildViewController(), libsynPane_.get());
    }

    static void type(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }

    // Fills the form; the show's folders exist on the server unless `withFolders` is false.
    void fill(const QString& email, const QString& username, const QString& password, bool withFolders = true)
    {
        if (withFolders) {
            LibsynServerEnvironment::server().makeDirectory(username + QStringLiteral("/quickcast"));
            LibsynServerEnvironment::server().makeDirectory(username + QStringLiteral("/public"));
        }
        type(libsynPane_->emailTextField(), email);
        type(libsynPane_->usernameTextField(), username);
        type(libsynPane_->passwordTextField(), password);
    }

    // Presses Log In and waits for the verdict to reach the pane.
    void logIn()
    {
        libsynPane_->logInButton()->click();
        EXPECT_TRUE(libsynPane_->progressIndicator()->isVisible());
        EXPECT_FALSE(libsynPane_->logInButton()->isEnabled()) << "one check at a time";
        ASSERT_TRUE(waitFor([this] { return !libsynPane_->viewModel().isCheckingLogIn(); }));
        QTest::qWait(20); // let the deferred completion settle
    }

    bool addEnabled() const { return window_ && window_->addButton()->isEnabled(); }
    QString status() const { return libsynPane_->statusLabel()->text(); }

    std::unique_ptr<LibsynAuthenticationViewController> libsynPane_;
    std::unique_ptr<QWidget> otherPane_;
    QPointer<AddPodcastHostViewController> window_;
};

} // namespace airlark::test
