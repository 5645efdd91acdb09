#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zentaro"));

    // The multi-document frame that will host the network windows.
    QMainWindow mainWindow;
    mainWindow.setWindowTitle(QStringLiteral("Zentaro"));
    mainWindow.setCentralWidget(new QMdiArea(&mainWindow));
    mainWindow.resize(800, 600);
    mainWindow.show();
    return application.exec();
}
