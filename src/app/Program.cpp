#include "Main.h"
#include "classlib/Application.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// The program: the main window is its only window at start, and it ends when that window closes.
// Files named on the command line (a file manager passes them so) open as if chosen in the open
// dialog. `--autosave SECONDS` sets how often modified networks are copied for recovery (60 by
// default, 0 never).
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
    // Qt has taken its own options out of argv by now; what is left names files.
    std::vector<std::string> files;
    int autosave = 60;
    // The names stay the bytes they were given: a file system need not hold valid text.
    const std::string folder = QFile::encodeName(QDir::currentPath()).toStdString() + '/';
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--autosave") {
            bool number = false;
            autosave = i + 1 < argc ? QByteArray(argv[i + 1]).toInt(&number) : -1;
            // A day at most: a larger interval would overflow the timer's milliseconds.
            if (!number || autosave < 0 || autosave > 86400) {
                std::fputs("zentaro: --autosave wants a number of seconds from 0 to 86400\n",
                           stderr);
                return 2;
            }
            ++i;
            continue;
        }
        files.push_back(argv[i][0] == '/' ? std::string(argv[i]) : folder + argv[i]);
    }
    const auto mainForm = std::make_unique<TFormZentaroMain>(nullptr);
    mainForm->Show();
    QTimer::singleShot(0, mainForm.get()->Widget(), [&mainForm, files, autosave] {
        mainForm->StartRecovery(autosave);
        for (const std::string &file : files)
            mainForm->OpenNetwork(file);
    });
    return application.exec();
}
