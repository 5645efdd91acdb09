#pragma once

// The last stop for unhandled errors: a dialog shows the report and takes the user's own words
// about it, the report goes into a log file, and on request it is mailed to support.

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

    // The report area grows with the report's lines, up to a limit; the description takes the
    // focus.
    void FormShow(TComponent *sender);
};

class TExceptionLogger : public TNonVisualComponent {
public:
    using TNonVisualComponent::TNonVisualComponent;
    ZENTARO_CLASS_INFO()

    // Resolved against the executable's directory; leave it empty to disable logging.
    const std::string &LogName() const { return FLogName; }
    void SetLogName(const std::string &value) { FLogName = value; }
    const std::string &MailAddress() const { return FMailAddress; }
    void SetMailAddress(const std::string &value) { FMailAddress = value; }
    // The active document window and one line per open one, as the next report lists them.
    const std::string &ActiveForm() const { return FActiveForm; }
    void SetActiveForm(const std::string &value) { FActiveForm = value; }
    const std::vector<std::string> &OpenForms() const { return FOpenForms; }
    void SetOpenForms(const std::vector<std::string> &lines) { FOpenForms = lines; }

    // Handles one error thrown from sender's event: dialog, log entry, and if the user says yes a
    // new mail to support. The mail link only sets the subject, so the report is put on the
    // clipboard for the user to paste. Blocks until finished.
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
