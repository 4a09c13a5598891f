#include "app/MainWindow.h"

#include "app/HelpWindow.h"
#include "platform/ApplicationIdentity.h"
#include "platform/ui/LiteralText.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"
#include "platform/ui/WindowLayout.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <memory>

namespace airlark {

MainWindow::MainWindow(std::function<QWidget*()> rootViewControllerProvider, QWidget* parent)
    : QMainWindow(parent),
      workflow_(new TopMetadataProgressNavigationController(std::move(rootViewControllerProvider), this))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(applicationName());
    setCentralWidget(workflow_);
    // Room for step 2's form beside the artwork and for the lists; the steps' wrapped texts add
    // what they need at the window's width, in any font and language.
    setMinimumSize(560, 540);
    resize(760, 560);
    keepContentsWhole(*this);
    buildMenus();
    workflow_->loadViewIfNeeded();
    restoreGeometry(QSettings(applicationSettingsPath(), QSettings::IniFormat)
                        .value(QStringLiteral("MainWindow/geometry"))
                        .toByteArray());
    qApp->installEventFilter(this);
}

namespace {

// A window of Airlark's own that belongs to `mainWindow` (help, template creation, adding an
// account), as opposed to menus, tool tips and dialogs, which Qt places itself.
bool isSecondaryWindowOf(const QWidget& widget, const QWidget* mainWindow)
{
    return widget.windowType() == Qt::Window && widget.parentWidget() &&
           widget.parentWidget()->window() == mainWindow;
}

const char* const placedProperty = "airlarkPlaced";

QString sizeKey(const QWidget& window)
{
    return window.objectName() + QStringLiteral("/size");
}

} // namespace

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() != QEvent::Show && event->type() != QEvent::Hide) || !watched->isWidgetType())
        return false;
    auto* window = static_cast<QWidget*>(watched);
    if (!isSecondaryWindowOf(*window, this))
        return false;
    QSettings settings(applicationSettingsPath(), QSettings::IniFormat);
    const bool remembered = !window->objectName().isEmpty();
    if (event->type() == QEvent::Hide) {
        if (remembered)
            settings.setValue(sizeKey(*window), window->size());
    } else if (!window->property(placedProperty).toBool()) {
        window->setProperty(placedProperty, true);
        if (remembered)
            window->resize(settings.value(sizeKey(*window), window->size()).toSize());
        window->move(frameGeometry().center() - QRect(QPoint(), window->frameSize()).center());
    }
    return false;
}

void MainWindow::showProblem(const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Airlark"), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("problemMessage"));
    showTextLiterally(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
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

void MainWindow::quit()
{
    workflow_->windowShouldClose([self = QPointer<MainWindow>(this)] {
        if (!self)
            return;
        self->closeAllowed_ = true;
        QApplication::closeAllWindows();
        if (self)
            self->closeAllowed_ = false; // a window shown again later asks again
    });
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    QSettings(applicationSettingsPath(), QSettings::IniFormat)
        .setValue(QStringLiteral("MainWindow/geometry"), saveGeometry());
    if (closeAllowed_) {
        QMainWindow::closeEvent(event);
        return;
    }
    // The step may let the window go at once (nothing runs), or later, once its work has stopped:
    // then the window closes itself again. Within this event a second close() would do nothing.
    auto deciding = std::make_shared<bool>(true);
    auto allowedAtOnce = std::make_shared<bool>(false);
    workflow_->windowShouldClose([self = QPointer<MainWindow>(this), deciding, allowedAtOnce] {
        if (*deciding) {
            *allowedAtOnce = true;
        } else if (self) {
            self->closeAllowed_ = true;
            self->close();
            if (self)
                self->closeAllowed_ = false;
        }
    });
    *deciding = false;
    if (*allowedAtOnce)
        QMainWindow::closeEvent(event);
    else
        event->ignore();
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
    connect(quit, &QAction::triggered, this, &MainWindow::quit, Qt::QueuedConnection);

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
