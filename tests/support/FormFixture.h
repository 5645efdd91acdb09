#pragma once

// Forms read from and written to their text descriptions, for the tests of the controls and of
// the windows built from them.

#include "classlib/Forms.h"

#include <QString>

namespace FormFixture {

// Registers the class library's controls and components with the class registry (once).
void RegisterControlClasses();

// Reads the description into the form; the control classes are registered first.
void ReadInto(TForm &form, const QString &description);

// The text description of a component tree, as the writer writes it.
QString DescriptionOf(TComponent &root);

// A description as the writer would spell it: packed to the binary stream and dumped again.
QString Canonical(const QString &description);

// The text without the root's PixelsPerInch and TextHeight lines, which follow the machine.
QString WithoutMachineLines(const QString &text);

// Reads the description into a new form of the given class and writes it back, without the
// machine's lines.
template <typename Form = TForm> QString RoundTrip(const QString &description) {
    Form form(nullptr);
    ReadInto(form, description);
    return WithoutMachineLines(DescriptionOf(form));
}

} // namespace FormFixture
