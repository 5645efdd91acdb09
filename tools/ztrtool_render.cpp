// ztrtool render: the drawing area of a network window as a picture, drawn by the window's own
// wire and gate painting code, cropped to the gates.

#include "ZtrTool.h"

#include "ToolOutputs.h"

#include "app/Main.h"
#include "app/Pictures.h"
#include "classlib/Buttons.h"
#include "classlib/Canvas.h"
#include "classlib/ExtCtrls.h"
#include "document/FChild.h"
#include "document/SimSnapshot.h"
#include "gates/LogicCmp.h"
#include "sim/Simulator.h"
#include "stream/Errors.h"
#include "stream/MemoryStream.h"

#include <QFile>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// Room around the gates: wires leave and enter them through short stubs and pass a few pixels
// above or below them on their way back.
constexpr int Margin = 16;
// A gate may sit anywhere an int reaches; a picture that large is refused, not allocated.
constexpr std::int64_t MaxSide = 8192;

enum class TPictureFormat { Png, Svg };

TPictureFormat PictureFormat(const std::string &path) {
    const std::size_t dot = path.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    for (char &c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "png") return TPictureFormat::Png;
    if (extension == "svg") return TPictureFormat::Svg;
    throw ToolError(path + ": unknown picture type (name it .svg or .png)");
}

// The gates lying on the drawing area, back to front as the window stacks them (one kept in an
// old file's sample panel belongs to the panel and is left out).
std::vector<TLogicalPort *> ShownPorts(const TFormZentaroChild &window) {
    std::vector<TLogicalPort *> ports;
    for (TControl *control : window.ScrollBoxCli->GraphicControls())
        if (auto *port = dynamic_cast<TLogicalPort *>(control); port && port->Visible())
            ports.push_back(port);
    return ports;
}

// The gates' box plus the margin, in drawing-area coordinates.
QRect PictureArea(const TFormZentaroChild &window, const std::vector<TLogicalPort *> &ports,
                  const std::string &fileName) {
    const QPoint scroll = window.ScrollBoxCli->ScrollPosition();
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;
    for (const TLogicalPort *port : ports) {
        const std::int64_t x = std::int64_t(port->Left()) + scroll.x(),
                           y = std::int64_t(port->Top()) + scroll.y();
        const std::int64_t r = x + std::max(port->Width(), 0), b = y + std::max(port->Height(), 0);
        const bool first = port == ports.front();
        left = first ? x : std::min(left, x);
        top = first ? y : std::min(top, y);
        right = first ? r : std::max(right, r);
        bottom = first ? b : std::max(bottom, b);
    }
    left -= Margin, top -= Margin, right += Margin, bottom += Margin;
    if (right - left > MaxSide || bottom - top > MaxSide)
        throw ToolError(fileName + ": the gates span " + std::to_string(right - left) + " x " +
                        std::to_string(bottom - top) + " pixels, more than the " +
                        std::to_string(MaxSide) + " a picture may have a side");
    // The picture's corners must stay well inside int, as the painter's offsets are ints.
    if (left < INT_MIN / 2 || top < INT_MIN / 2 || right > INT_MAX / 2 || bottom > INT_MAX / 2)
        throw ToolError(fileName + ": the gates lie too far out to be drawn");
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

// The background and the wires, which lie beneath the gates.
void PaintWires(QPainter &painter, const TFormZentaroChild &window, const QRect &area) {
    painter.fillRect(QRect(QPoint(), area.size()), ColorToQColor(window.ScrollBoxCli->Color()));
    painter.translate(-area.topLeft());
    TPainterCanvas canvas(painter);
    canvas.SetPen(TPenStyle::psSolid, 1, clBlack);
    window.DrawWires(canvas);
}

// Where the gate lies in the picture.
QPoint GateCorner(const TFormZentaroChild &window, const TLogicalPort &port, const QRect &area) {
    return QPoint(port.Left(), port.Top()) + window.ScrollBoxCli->ScrollPosition() - area.topLeft();
}

QByteArray Png(const TFormZentaroChild &window, const std::vector<TLogicalPort *> &ports,
               const QRect &area) {
    QImage image(area.size(), QImage::Format_RGB32);
    if (image.isNull()) throw ToolError("no memory for a picture of that size");
    {
        QPainter painter(&image);
        painter.save();
        PaintWires(painter, window, area);
        painter.restore();
        for (const TLogicalPort *port : ports) {
            painter.save();
            painter.translate(GateCorner(window, *port, area));
            // A gate is its own widget in the window: what its picture draws outside (the back
            // of the OR family) is cut off.
            painter.setClipRect(0, 0, port->Width(), port->Height());
            {
                TPainterCanvas canvas(painter);
                PaintPort(canvas, port->Look());
            }
            painter.restore();
        }
    }
    return PngFile(image);
}

// The generator writes font names and the title into the document as they are: characters that
// would end an attribute or break the XML become spaces.
std::string XmlSafe(std::string text) {
    for (char &c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f ||
            std::string_view("\"'&<>").find(c) != std::string_view::npos)
            c = ' ';
    return text;
}

// Qt's SVG generator ignores clipping, so each gate becomes a document of its own size, nested
// as an svg element, which clips to its box as the gate's widget does.
QByteArray Svg(const TFormZentaroChild &window, const std::vector<TLogicalPort *> &ports,
               const QRect &area) {
    QByteArray document =
        SvgDocument(area.size(),
                    QFile::decodeName(QByteArray::fromStdString(
                        XmlSafe(window.FileName.substr(window.FileName.rfind('/') + 1)))),
                    QStringLiteral("A Zentaro network"),
                    [&](QPainter &painter) { PaintWires(painter, window, area); });
    QByteArray gates;
    for (const TLogicalPort *port : ports) {
        if (port->Width() <= 0 || port->Height() <= 0) continue;
        TPortLook look = port->Look();
        look.Font.SetName(XmlSafe(look.Font.Name()));
        const QByteArray gate =
            SvgDocument(QSize(port->Width(), port->Height()), {}, {}, [&](QPainter &painter) {
                TPainterCanvas canvas(painter);
                PaintPort(canvas, look);
            });
        const QPoint corner = GateCorner(window, *port, area);
        // Its drawing only: the root element, title and description stay with the picture's.
        const qsizetype body = gate.indexOf("<g "), end = gate.lastIndexOf("</svg>");
        if (body < 0 || end < body) throw ToolError("cannot draw the SVG picture");
        gates += QStringLiteral(
                     "<svg x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" overflow=\"hidden\">\n")
                     .arg(corner.x())
                     .arg(corner.y())
                     .arg(port->Width())
                     .arg(port->Height())
                     .toUtf8() +
                 gate.mid(body, end - body) + "</svg>\n";
    }
    const qsizetype root = document.indexOf("<svg"), rootEnd = document.indexOf('>', root),
                    end = document.lastIndexOf("</svg>");
    if (root < 0 || rootEnd < 0 || end < rootEnd) throw ToolError("cannot draw the SVG picture");
    document.insert(end, gates);
    // The root element anew: sized in pixels rather than millimetres, and SVG 1.1, which has
    // nested svg elements where the tiny profile the generator declares has none.
    document.replace(
        root, rootEnd + 1 - root,
        QStringLiteral(
            "<svg width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\" "
            "xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
            "version=\"1.1\">")
            .arg(area.width())
            .arg(area.height())
            .toUtf8());
    return document;
}

// Puts the window in positioning mode or starts it running, through its activation button's own
// handler; starting resets every level to 0, and nothing evaluates before the picture is drawn,
// as no events are handled in between.
void SetRunning(TFormZentaroChild &window, bool running) {
    if (!window.BtnActive) return;
    window.BtnActive->SetDown(running);
    window.BtnActiveClick(&window);
}

// The shown gates the picture is cropped to: those named (as the window finds names, in any
// case), or all of them.
std::vector<TLogicalPort *> CropPorts(const TFormZentaroChild &window,
                                      const std::vector<TLogicalPort *> &shown,
                                      const std::vector<std::string> &names,
                                      const std::string &fileName) {
    if (names.empty()) return shown;
    std::vector<TLogicalPort *> chosen;
    for (const std::string &name : names) {
        auto *port = dynamic_cast<TLogicalPort *>(window.FindComponent(name));
        if (!port || std::find(shown.begin(), shown.end(), port) == shown.end())
            throw ToolError(fileName + ": --gates: no gate named \"" + name + "\"");
        chosen.push_back(port);
    }
    return chosen;
}

// The longest run drawn: a picture shows a moment, and a long run of a fast ring would take
// minutes to reach it.
constexpr std::int64_t MaxRun = 3600000;

using TToggles = std::vector<std::pair<std::string, std::int64_t>>;

// Runs the network in virtual time from activation to `until`, as ztrtool run does, each pulse
// switch double-clicked at its time, and shows the levels reached on the running window's gates.
void ShowRun(TFormZentaroChild &window, std::int64_t until, const TToggles &toggles,
             const std::string &fileName) {
    std::vector<TLogicalPort *> gates;
    for (TComponent *component : window.Components())
        if (auto *gate = dynamic_cast<TLogicalPort *>(component)) gates.push_back(gate);
    TSimNetwork network = SimSnapshot(window);
    if (network.Ports.size() != gates.size())
        throw ToolError(fileName + ": the run does not match the window's gates");
    TSimulator run(network);
    run.Activate();
    for (const auto &[name, at] : toggles) {
        const auto gate = std::find(gates.begin(), gates.end(), window.FindComponent(name));
        if (gate == gates.end() || (*gate)->PortType() != TLogicalPortType::logPLS)
            throw ToolError(fileName + ": --toggle: \"" + name + "\" is not a pulse switch");
        run.Toggle(int(gate - gates.begin()), at);
    }
    run.RunUntil(until);
    for (std::size_t i = 0; i < gates.size(); ++i)
        gates[i]->ShowLevels(network.Ports[i].Levels);
}

constexpr TOptionSpec Options[] = {
    {"--active", "", "draw it running at t = 0, as the activated window shows it"},
    {"--gates", "NAME,..", "crop the picture to these gates (default: all of them)"},
    {"--for", "MS",
     "draw it running at MS instead, after a run as ztrtool run makes it\n"
     "(the clocks keep the delays stored in the file)"},
    {"--toggle", "NAME@MS",
     "double-click the pulse switch NAME at MS, at most --for (again for more)", true},
};

} // namespace

const TCommandSpec RenderCommand{
    "render",
    "FILE.ZTR OUT [OPTIONS]",
    "draw the network as its window shows it, or running",
    2,
    "Draws the network's drawing area with the program's own painting, as its window shows it\n"
    "while editing, cropped to the gates, or running (--active, --for). OUT's name gives the\n"
    "picture's type: .svg or .png.",
    Options,
    "A picture's side is at most 8192 pixels; --for is at most 3600000 ms."};

void Render(const TCommandLine &line) {
    const std::string fileName = line.Arguments[0], pictureName = line.Arguments[1];
    bool running = false;
    std::vector<std::string> names;
    std::optional<std::int64_t> until;
    TToggles toggles;
    for (const auto &[option, value] : line.Options)
        if (option == "--active") {
            running = true;
        } else if (option == "--gates") {
            names = NameList(option, value);
        } else if (option == "--for") {
            until = Milliseconds(option, value, 0, MaxRun);
        } else if (option == "--toggle") {
            const std::size_t at = value.rfind('@');
            if (at == std::string::npos || at == 0)
                throw ToolError("--toggle: \"" + value + "\" is not NAME@MS");
            toggles.emplace_back(value.substr(0, at),
                                 Milliseconds(option, value.substr(at + 1), 0, MaxRun));
        }
    if (!toggles.empty() && !until) throw ToolError("render: --toggle needs --for");
    for (const auto &[name, at] : toggles)
        if (at > *until)
            throw ToolError("--toggle " + name + "@" + std::to_string(at) +
                            " comes after the end of the run (" + std::to_string(*until) + " ms)");
    running = running || until.has_value();
    const TPictureFormat format = PictureFormat(pictureName);
    QByteArray picture;
    WithMainWindow([&](TFormZentaroMain &mainWindow) {
        TFormZentaroChild *window = OpenNetworkFile(mainWindow, fileName, until.has_value());
        if (!window->ScrollBoxCli)
            throw ToolError(fileName + ": the network window has no drawing area");
        SetRunning(*window, running);
        if (until) ShowRun(*window, *until, toggles, fileName);
        std::vector<TLogicalPort *> ports = ShownPorts(*window);
        const QRect area =
            PictureArea(*window, CropPorts(*window, ports, names, fileName), fileName);
        // Gates wholly outside a cropped picture would only add to an SVG file. Counted in 64
        // bits: a gate may lie anywhere an int reaches.
        const QPoint scroll = window->ScrollBoxCli->ScrollPosition();
        std::erase_if(ports, [&](const TLogicalPort *port) {
            const std::int64_t x = std::int64_t(port->Left()) + scroll.x(),
                               y = std::int64_t(port->Top()) + scroll.y();
            return port->Width() <= 0 || port->Height() <= 0 || x >= area.right() + 1 ||
                   y >= area.bottom() + 1 || x + port->Width() <= area.left() ||
                   y + port->Height() <= area.top();
        });
        picture =
            format == TPictureFormat::Svg ? Svg(*window, ports, area) : Png(*window, ports, area);
        if (running) SetRunning(*window, false);
    });
    WriteOutput(pictureName, std::string_view(picture.constData(), std::size_t(picture.size())));
}
