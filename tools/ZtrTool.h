#pragma once

// What the commands of ztrtool share. Each command lives in a file of its own and is one row of
// the table in ztrtool.cpp; a failure raises ToolError (or any exception) and prints one line.

#include <functional>
#include <span>
#include <stdexcept>
#include <string>

class TFormZentaroChild;
class TFormZentaroMain;

using Arguments = std::span<char *const>;

// Failures a user can act on; the message is printed as it stands.
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs body with the program's main window on the offscreen platform: network files open in it
// as they do in the program.
void WithMainWindow(const std::function<void(TFormZentaroMain &)> &body);
// Opens a network file in the main window as the program does; with storedDelays the clocks keep
// the delays the file gives them. A stream that does not read is reported with its byte.
TFormZentaroChild *OpenNetworkFile(TFormZentaroMain &mainWindow, const std::string &fileName,
                                   bool storedDelays = false);

// ztrtool render FILE.ZTR OUT.svg|OUT.png [--active]: the network's drawing area as a picture.
void Render(Arguments arguments);
// ztrtool test FILE.ZTR TABLE [--settle MS] [--clock MS]: the network against a truth table.
void TestTable(Arguments arguments);
// The commands that live in files of their own.
void Run(Arguments arguments);
