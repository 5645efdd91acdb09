#include "GateClipboard.h"

#include "classlib/Graphics.h"
#include "gates/LogicCmp.h"
#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/TextForm.h"
#include "stream/Values.h"
#include "stream/Writer.h"

#include <QMimeData>
#include <QRegularExpression>

namespace {

const QString NothingPasted = QStringLiteral(": nulla è stato incollato");

TClipboardGates Refused(const QString &why) {
    return {{}, 0, why};
}

// Walks the streams without making anything: every record a whole stream of a gate with no
// nested record, at most MaxClipboardGates of them. Malformed bytes raise EReadError.
TClipboardGates CheckStreams(QByteArray streams) {
    if (streams.isEmpty()) return Refused(QStringLiteral("Negli appunti non ci sono porte"));
    if (streams.size() > MaxClipboardBytes)
        return Refused(QStringLiteral("Gli appunti superano 16 MiB") + NothingPasted);
    const std::string_view gateClass = TLogicalPort::StaticClassInfo().Name();
    TMemoryStream stream(streams.constData(), streams.size());
    TValueReader values(stream);
    int count = 0;
    while (!values.AtEnd()) {
        values.ReadSignature();
        if ((values.PeekByte() & 0xF0) == 0xF0) values.Fail("Record prefix");
        const std::string className = values.ReadShortString();
        const std::string name = values.ReadShortString();
        if (!SameText(className, gateClass))
            return Refused(
                QStringLiteral("%1 (%2) non è una porta").arg(FromAnsi(name), FromAnsi(className)) +
                NothingPasted);
        if (++count > MaxClipboardGates)
            return Refused(QStringLiteral("Gli appunti contengono più di 100.000 porte") +
                           NothingPasted);
        while (values.PeekByte() != 0) {
            values.ReadShortString();
            values.SkipValue();
        }
        values.ReadByte();
        if (values.ReadByte() != 0) values.Fail("Nested record");
    }
    return {std::move(streams), count, {}};
}

} // namespace

QString UnreadableGatesText() {
    return QStringLiteral("Le porte negli appunti non si leggono") + NothingPasted;
}

QByteArray GateStreams(TComponent &root, const std::vector<TLogicalPort *> &ports) {
    TMemoryStream stream;
    TWriter writer(stream);
    for (TLogicalPort *port : ports) {
        stream.Write(StreamSignature.data(), std::int64_t(StreamSignature.size()));
        writer.WriteComponentRecord(*port, root);
    }
    return QByteArray(reinterpret_cast<const char *>(stream.Memory()), qsizetype(stream.Size()));
}

std::unique_ptr<QMimeData> GatesMimeData(const QByteArray &streams) {
    auto data = std::make_unique<QMimeData>();
    data->setData(QString::fromLatin1(GatesMimeType), streams);
    TMemoryStream stream(streams.constData(), streams.size());
    std::string text;
    while (stream.Position() < stream.Size())
        text += ObjectBinaryToText(stream);
    data->setText(QString::fromStdString(text));
    return data;
}

TClipboardGates GatesFromMimeData(const QMimeData *data) {
    const QString type = QString::fromLatin1(GatesMimeType);
    try {
        if (data && data->hasFormat(type)) return CheckStreams(data->data(type));
        const QString text = data ? data->text() : QString();
        // Anything else a user copied (a sentence, a file name) is simply not gates.
        static const QRegularExpression record(QStringLiteral("^\\x{FEFF}?\\s*object\\s"),
                                               QRegularExpression::CaseInsensitiveOption);
        if (!record.match(text).hasMatch())
            return Refused(QStringLiteral("Negli appunti non ci sono porte"));
        const QByteArray utf8 = text.toUtf8();
        if (utf8.size() > MaxClipboardBytes)
            return Refused(QStringLiteral("Gli appunti superano 16 MiB") + NothingPasted);
        TMemoryStream binary;
        ObjectsTextToBinary(std::string_view(utf8.constData(), std::size_t(utf8.size())), binary);
        return CheckStreams(
            QByteArray(reinterpret_cast<const char *>(binary.Memory()), qsizetype(binary.Size())));
    } catch (const ETextFormError &error) {
        return Refused(
            QStringLiteral("Il testo negli appunti non si legge alla riga %1, colonna %2")
                .arg(error.Line)
                .arg(error.Column) +
            NothingPasted);
    } catch (const EReadError &) {
        return Refused(UnreadableGatesText());
    }
}
