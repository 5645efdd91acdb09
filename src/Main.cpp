#include "classlib/Application.h"
#include "classlib/Forms.h"

int main(int argc, char *argv[]) {
    TApplicationObject application(argc, argv);
    TApplication::Instance().SetTitle("Zentaro");
    QApplication::setApplicationName(QStringLiteral("Zentaro"));

    // The multi-document frame that will host the network windows.
    TForm mainForm(nullptr);
    mainForm.SetName("FormZentaroMain");
    mainForm.SetCaption("Zentaro");
    mainForm.SetFormStyle(TFormStyle::fsMDIForm);
    mainForm.SetPosition(TPosition::poScreenCenter);
    mainForm.SetBounds(0, 0, 800, 600);
    mainForm.Show();
    return application.exec();
}
