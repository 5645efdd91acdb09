#include "Main.h"
#include "classlib/Application.h"

#include <memory>

// The program: the main window is its only window at start, and it ends when that window closes.
int main(int argc, char *argv[]) {
    TApplicationObject application(argc, argv);
    TApplication::Instance().SetTitle("Zentaro");
    QApplication::setApplicationName(QStringLiteral("Zentaro"));
    const auto mainForm = std::make_unique<TFormZentaroMain>(nullptr);
    mainForm->Show();
    return application.exec();
}
