#include "platform/ApplicationIdentity.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    airlark::applyApplicationIdentity();
    QMainWindow window;
    window.setWindowTitle(airlark::applicationName());
    window.resize(720, 520);
    window.show();
    return app.exec();
}
