#include "Main.h"
#include "classlib/Application.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <memory>
#include <string>
#include <vector>

// The program: the main window is its only window at start, and it ends when that window closes.
// Files named on the command line (a file manager passes them so) open as if chosen in the open
// dialog.
int main(int argc, char *argv[]) {
    TApplicationObject application(argc, argv);
    TApplication::Instance().SetTitle("Zentaro");
    QApplication::setApplicationName(QStringLiteral("Zentaro"));
    QGuiApplication::setDesktopFileName(QStringLiteral("zentaro"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zentaro-128.png")));
    // Qt's own texts (file dialogs, standard buttons) in the language of the program's own.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Italian), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    const auto mainForm = std::make_unique<TFormZentaroMain>(nullptr);
    mainForm->Show();
    // Qt has taken its own options out of argv by now; what is left names files.
    std::vector<std::string> files;
    // The names stay the bytes they were given: a file system need not hold valid text.
    const std::string folder = QFile::encodeName(QDir::currentPath()).toStdString() + '/';
    for (int i = 1; i < argc; ++i)
        files.push_back(argv[i][0] == '/' ? std::string(argv[i]) : folder + argv[i]);
    QTimer::singleShot(0, mainForm.get()->Widget(), [&mainForm, files] {
        for (const std::string &file : files)
            mainForm->OpenNetwork(file);
    });
    return application.exec();
}
