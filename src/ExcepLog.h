#pragma once

// Error reports: every error that escapes an event handler ends in a report the user sees in a
// dialog, can describe and can send to the support mailbox; each report is appended to a log in
// the program's folder.

#include "classlib/Forms.h"
#include "classlib/NonVisual.h"

#include <exception>
#include <functional>
#include <string>
#include <vector>

class TButton;
class TLabel;
class TMemo;
class TPatternPanel;

// The report dialog, created for one report from its description.
class TFormShowExcept : public TForm {
public:
    explicit TFormShowExcept(TComponent *owner);
    ZENTARO_CLASS_INFO()

    TPatternPanel *PanelError = nullptr;
    TMemo *MemoError = nullptr;
    TPatternPanel *PanelBtn = nullptr;
    TLabel *Label1 = nullptr;
    TMemo *MemoDesc = nullptr;
    TLabel *Label2 = nullptr;
    TButton *BtnOkDef = nullptr;
    TButton *BtnCancelDef = nullptr;

    // The report area grows with the report's lines, up to a limit; the description takes the focus.
    void FormShow(TComponent *sender);
};

class TExceptionLogger : public TNonVisualComponent {
public:
    using TNonVisualComponent::TNonVisualComponent;
    ZENTARO_CLASS_INFO()

    // The log's file name, relative to the program's folder; empty writes no log.
    const std::string &LogName() const { return FLogName; }
    void SetLogName(const std::string &value) { FLogName = value; }
    const std::string &MailAddress() const { return FMailAddress; }
    void SetMailAddress(const std::string &value) { FMailAddress = value; }
    // The active document window and one line per open one, as the next report lists them.
    const std::string &ActiveForm() const { return FActiveForm; }
    void SetActiveForm(const std::string &value) { FActiveForm = value; }
    const std::vector<std::string> &OpenForms() const { return FOpenForms; }
    void SetOpenForms(const std::vector<std::string> &lines) { FOpenForms = lines; }

    // Shows the report of the error raised while sender handled an event, writes it to the log
    // and, when the user agrees, puts it on the clipboard and opens the mail program. Returns
    // once all of that is done.
    void ReportException(TComponent *sender, std::exception_ptr error);
    // Appends text to the log; a log that cannot be written is left alone, without a word.
    void WriteLog(const std::string &text) const;

private:
    void Report(TComponent *sender, std::exception_ptr error, int systemError);

    std::string FLogName;
    std::string FMailAddress;
    std::string FActiveForm;
    std::vector<std::string> FOpenForms;
};

// The message of an error as the report shows it.
std::string ExceptionMessage(std::exception_ptr error);

// Asks the desktop to open an address exactly as given (no percent-encoding); tests replace it,
// an empty opener brings back the desktop's.
using TDesktopOpener = std::function<void(const std::string &address)>;
void SetDesktopOpener(TDesktopOpener opener);
