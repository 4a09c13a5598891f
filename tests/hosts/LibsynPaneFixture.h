#pragma once

#include "hosts/ui/AddPodcastHostViewController.h"
#include "hosts/ui/LibsynAuthenticationViewController.h"
#include "support/LibsynTestServer.h"
#include "support/StoreFixture.h"
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
// with an empty store and the local FTP server in place of Libsyn's.
class LibsynPaneTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        database.emplace(openWithTables());
    }

    void TearDown() override
    {
        delete AddPodcastHostViewController::presented();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Presents the window and chooses Libsyn in its host chooser, as the user does.
    AddPodcastHostViewController& presentLibsyn()
    {
        window_ = AddPodcastHostViewController::present([this] { return libsynPane_.get(); },
                                                        [this] { return otherPane_.get(); });
        QComboBox* chooser = window_->popUpButton();
        chooser->setFocus();
        const int libsyn = chooser->findText(QStringLiteral("Libsyn"));
        while (chooser->currentIndex() < libsyn)
            QTest::keyClick(chooser, Qt::Key_Down);
        EXPECT_EQ(window_->currentChildViewController(), libsynPane_.get());
        return *window_;
    }

    // Types the form as the user does, with the e-mail the server knows; the show's folder exists
    // on the server unless `withFolder` is false.
    void fill(const QString& username, const QString& password, bool withFolder = true)
    {
        if (withFolder)
            LibsynServerEnvironment::server().makeDirectory(username + QStringLiteral("/quickcast"));
        for (const auto& [field, text] :
             {std::pair{libsynPane_->emailTextField(), LibsynServerEnvironment::Email},
              {libsynPane_->usernameTextField(), username},
              {libsynPane_->passwordTextField(), password}}) {
            field->clear();
            QTest::keyClicks(field, text);
        }
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

    std::optional<Database> database;
    std::unique_ptr<LibsynAuthenticationViewController> libsynPane_ =
        std::make_unique<LibsynAuthenticationViewController>();
    std::unique_ptr<QWidget> otherPane_ = std::make_unique<QWidget>();
    QPointer<AddPodcastHostViewController> window_;
};

} // namespace airlark::test
