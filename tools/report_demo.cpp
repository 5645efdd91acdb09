// The error report as a user meets it: the main window with two networks open, where the tool
// bar's "cascade" button fails with an error. Click it (or run under xvfb-run and let xdotool
// click it) to see the report dialog; its log goes to the program's folder.
//   report_demo

#include "app/Main.h"

#include "classlib/Application.h"
#include "classlib/Buttons.h"

#include <memory>
#include <stdexcept>

int main(int argc, char *argv[]) {
    TApplicationObject application(argc, argv);
    TApplication::Instance().SetTitle("Zentaro");
    const auto mainForm = std::make_unique<TFormZentaroMain>(nullptr);
    mainForm->Show();
    mainForm->BtnNewClick(mainForm.get());
    mainForm->BtnNewClick(mainForm.get());
    mainForm->BtnTileClick(mainForm.get());
    mainForm->BtnCascade->OnClick = [](TComponent *) {
        throw std::out_of_range("Indice di lista fuori dai limiti (2)");
    };
    return application.exec();
}
