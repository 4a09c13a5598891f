#pragma once

#include <QMainWindow>

class QAction;
class QMenu;
#include <functional>

namespace airlark {

class HelpWindow;
class TopMetadataProgressNavigationController;

// The main window: the episode workflow, and a menu bar.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // `rootViewControllerProvider` hands out the workflow's first step.
    explicit MainWindow(std::function<QWidget*()> rootViewControllerProvider, QWidget* parent = nullptr);

    TopMetadataProgressNavigationController* workflow() const { return workflow_; }

    // Brings the window to the front, as when another `airlark` process asks for it.
    void bringToFront();
    // Says `text` (plain text) in a message box over the window, without waiting for an answer.
    void showProblem(const QString& text);

    // Puts a screen's own action (for example "New Template…") into the File menu, above Quit.
    void addFileMenuAction(QAction* action);

    // Quit (Ctrl+Q): like closing the window, asks first while an upload or a tag save runs and
    // stops it; then closes every window.
    void quit();

    // Opens the help window on `page` (a file under :/help/), made on first use.
    void showHelp(const QString& page = QStringLiteral("index.html"));
    HelpWindow* helpWindow() const { return helpWindow_; }

protected:
    // Places each secondary window on top of this one when it first shows, and remembers sizes.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A close while work runs waits for the step's question and for the work to stop.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();

    TopMetadataProgressNavigationController* workflow_;
    QMenu* fileMenu_ = nullptr;
    QAction* quitAction_ = nullptr;
    bool closeAllowed_ = false;
    HelpWindow* helpWindow_ = nullptr;
};

} // namespace airlark
