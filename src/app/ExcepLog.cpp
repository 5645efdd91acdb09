#include "ExcepLog.h"

#include "Folders.h"
#include "classlib/StdCtrls.h"
#include "document/PatPanel.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

TDesktopOpener &DesktopOpener() {
    static TDesktopOpener opener;
    return opener;
}

void OpenOnDesktop(const std::string &address) {
    if (DesktopOpener()) {
        DesktopOpener()(address);
        return;
    }
    // Qt's URL class would encode the blanks; the desktop's opener takes the text as it is.
    QProcess::startDetached(QStringLiteral("xdg-open"), {FromAnsi(address)});
}

// The system's own (untranslated) text for an error code, without its final blanks, line breaks
// and full stops; empty when the system has none.
std::string SystemErrorText(int code) {
    const char *description = code ? strerrordesc_np(code) : "Success";
    std::string text = description ? description : "";
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.'))
        text.pop_back();
    return text;
}

// A memo's text with its lines ended by CR LF, as typed: a last line without a break keeps none.
std::string TypedText(const TMemo &memo) {
    QString text = memo.PlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return ToAnsi(text);
}

constexpr int ReportLineHeight = 15, ReportPadding = 8, ReportMaxHeight = 350;

} // namespace

void SetDesktopOpener(TDesktopOpener opener) {
    DesktopOpener() = std::move(opener);
}

std::string ExceptionMessage(std::exception_ptr error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception &exception) {
        return exception.what();
    } catch (...) {
    }
    return "Unknown error";
}

// ---- TFormShowExcept

const TClassInfo &TFormShowExcept::StaticClassInfo() {
    using W = TFormShowExcept;
    static const TClassInfo info = TClassBuilder<W, TForm>("TFormShowExcept")
                                       .Field("PanelError", &W::PanelError)
                                       .Field("MemoError", &W::MemoError)
                                       .Field("PanelBtn", &W::PanelBtn)
                                       .Field("Label1", &W::Label1)
                                       .Field("MemoDesc", &W::MemoDesc)
                                       .Field("Label2", &W::Label2)
                                       .Field("BtnOkDef", &W::BtnOkDef)
                                       .Field("BtnCancelDef", &W::BtnCancelDef)
                                       .Method("FormShow", &W::FormShow)
                                       .Build();
    return info;
}

TFormShowExcept::TFormShowExcept(TComponent *owner) : TForm(owner) {
    ReadDescriptionResource(":/forms/ShowExcept.txt");
}

void TFormShowExcept::FormShow(TComponent *) {
    PanelError->SetHeight(
        std::min(ReportLineHeight * MemoError->Lines().Count() + ReportPadding, ReportMaxHeight));
    SetClientHeight(PanelError->Height() + PanelBtn->Height());
    SetActiveControl(MemoDesc);
}

// ---- TExceptionLogger

const TClassInfo &TExceptionLogger::StaticClassInfo() {
    using L = TExceptionLogger;
    static const TClassInfo info = TClassBuilder<L, TNonVisualComponent>("TExceptionLogger")
                                       .String("LogName", &L::LogName, &L::SetLogName)
                                       .String("MailAddress", &L::MailAddress, &L::SetMailAddress)
                                       .String("ActiveForm", &L::ActiveForm, &L::SetActiveForm)
                                       .Build();
    return info;
}

void TExceptionLogger::ReportException(TComponent *sender, std::exception_ptr error) {
    // The code of the last failed system call, before anything here makes another one.
    const int systemError = errno;
    // The report runs where an error is being handled already: nothing may escape it.
    try {
        Report(sender, error, systemError);
    } catch (...) {
    }
}

void TExceptionLogger::Report(TComponent *sender, std::exception_ptr error, int systemError) {
    std::string objectName, ownerName;
    if (sender) {
        objectName = sender->Name();
        if (sender->Owner()) ownerName = sender->Owner()->Name();
    }
    const std::string className =
        sender ? std::string(sender->ClassInfo().Name()) : std::string("TApplication");

    const std::unique_ptr<TFormShowExcept> dialog = std::make_unique<TFormShowExcept>(nullptr);
    std::string report = "Errore: \"" + ExceptionMessage(error) + "\"\n";
    report += "SysErr: " + std::to_string(static_cast<unsigned>(systemError)) + " - " +
              SystemErrorText(systemError) + "\n";
    report += "   Modulo Attivo: " + FActiveForm + "\n";
    report += "Classe Oggetto: " + className + "\n";
    report += "  Nome Oggetto: " + objectName + "\n";
    report += "Owner Oggetto: " + ownerName + "\n";
    report += "Moduli Aperti: \n";
    for (const std::string &line : FOpenForms)
        report += line + "\n";
    dialog->MemoError->Lines().SetText(report);

    const int answer = dialog->ShowModal();

    dialog->MemoError->Lines().Add("Descrizione Operazioni: ");
    const std::string text =
        dialog->MemoError->Lines().Text() + TypedText(*dialog->MemoDesc) + "\r\n\r\n";
    WriteLog(text);
    if (answer == mrYes) {
        QGuiApplication::clipboard()->setText(FromAnsi(text));
        OpenOnDesktop("mailto: " + FMailAddress + " ?Subject=Self Bug");
    }
}

void TExceptionLogger::WriteLog(const std::string &text) const {
    const QString folder = LogFolder();
    if (FLogName.empty() || folder.isEmpty()) return;
    const QString path =
        folder + QLatin1Char('/') + QFile::decodeName(QByteArray::fromStdString(FLogName));
    QFile log(path);
    if (!log.open(log.exists() ? QIODevice::ReadWrite : QIODevice::WriteOnly | QIODevice::NewOnly))
        return;
    if (!log.seek(log.size())) return;
    log.write(text.data(), qint64(text.size()));
}
