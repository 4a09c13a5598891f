#include "app/MainWindow.h"

#include "app/HelpWindow.h"
#include "platform/ApplicationIdentity.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMenuBar>
#include <QMessageBox>

namespace airlark {

MainWindow::MainWindow(std::function<QWidget*()> rootViewControllerProvider, QWidget* parent)
    : QMainWindow(parent),
      workflow_(new TopMetadataProgressNavigationController(std::move(rootViewControllerProvider), this))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(applicationName());
    setWindowIcon(QIcon(QStringLiteral(":/images/Airlark.svg")));
    setCentralWidget(workflow_);
    setMinimumSize(560, 420);
    resize(760, 560);
    buildMenus();
    workflow_->loadViewIfNeeded();
}

void MainWindow::bringToFront()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void MainWindow::showHelp(const QString& page)
{
    if (!helpWindow_)
        helpWindow_ = new HelpWindow(this);
    helpWindow_->showPage(page);
}

void MainWindow::addFileMenuAction(QAction* action)
{
    if (fileMenu_->actions().size() == 1)
        fileMenu_->insertSeparator(quitAction_);
    fileMenu_->insertAction(fileMenu_->actions().at(fileMenu_->actions().size() - 2), action);
}

void MainWindow::buildMenus()
{
    QMenu* file = fileMenu_ = menuBar()->addMenu(tr("&File"));
    QAction* quit = quitAction_ = file->addAction(tr("&Quit"));
    quit->setObjectName(QStringLiteral("quitAction"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::ApplicationShortcut);
    quit->setMenuRole(QAction::QuitRole);
    // Closing every window ends the application, as closing the last one does.
    connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows, Qt::QueuedConnection);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* contents = help->addAction(tr("Airlark &Help"));
    contents->setObjectName(QStringLiteral("helpAction"));
    contents->setShortcut(QKeySequence::HelpContents);
    connect(contents, &QAction::triggered, this, [this] { showHelp(); });
    QAction* about = help->addAction(tr("&About Airlark"));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, [this] {
        QMessageBox* box =
            new QMessageBox(QMessageBox::Information, tr("About Airlark"),
                            tr("<b>Airlark %1</b><p>Tags podcast episodes and publishes them to "
                               "Libsyn and SoundCloud.</p>")
                                .arg(applicationVersion()),
                            QMessageBox::Close, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
}

} // namespace airlark
