#pragma once

// Where the program writes: its own folder while it may write there (a build tree, a portable
// copy), the user's own folders once it is installed where it may not.

#include <QString>

// The folder the file dialogs start in.
QString StartFolder();
// The folder the error log goes to, made when first asked for; empty when there is none.
QString LogFolder();
// The folder of the recovery files (~/.local/share/Zentaro/recovery), made when first asked for
// and readable by the user only; empty when there is none.
QString RecoveryFolder();

// The example networks: installed beside the program (<prefix>/bin/../share/zentaro/examples),
// else in the source tree the program was built from; empty when neither folder exists.
QString ExamplesFolder();
// The same choice from a program folder and a source folder (either may be empty).
QString ExamplesFolderFrom(const QString &programFolder, const QString &sourceFolder);
