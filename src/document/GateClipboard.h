#pragma once

// Gates on the clipboard. They travel in two forms: each gate's component stream (signature and
// record) one after another under the program's own type, and the same as readable text blocks,
// which a user may edit in any text editor and paste back. Whatever comes back is checked before
// a single gate is made, so bad clipboard content never touches a network.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QMimeData;
class TComponent;
class TLogicalPort;

inline constexpr char GatesMimeType[] = "application/x-zentaro-gates";
// More than this is refused rather than read: a network window is not built for it.
inline constexpr std::int64_t MaxClipboardBytes = std::int64_t(16) << 20;
inline constexpr int MaxClipboardGates = 100'000;

// The gates' streams as their window writes them, in the order given.
QByteArray GateStreams(TComponent &root, const std::vector<TLogicalPort *> &ports);
// Both forms of the streams, ready for the clipboard.
std::unique_ptr<QMimeData> GatesMimeData(const QByteArray &streams);

// What can be pasted from the clipboard: checked gate streams, or why there are none.
struct TClipboardGates {
    QByteArray Streams;
    int Count = 0;
    // For the status bar, in the user's words; empty when Streams can be pasted.
    QString Refusal;
};
// Takes the program's own form when there is one, else the text.
TClipboardGates GatesFromMimeData(const QMimeData *data);
// The refusal for streams that passed the check but did not read as gates.
QString UnreadableGatesText();
