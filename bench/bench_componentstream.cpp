// Writing and reading a component stream of 10,000 components with 20 properties each, beside
// parsing the same tree written as JSON with QJsonDocument. Prints our read speed as a ratio
// of the JSON parse after the table.

#include "stream/ClassRegistry.h"
#include "stream/Component.h"
#include "stream/MemoryStream.h"
#include "stream/Reader.h"
#include "stream/Writer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <map>

namespace {

constexpr int ComponentCount = 10000;

constexpr std::array<std::string_view, 4> KindNames = {"bkAND", "bkOR", "bkNOT", "bkXOR"};
constexpr std::array<std::string_view, 4> AlignNames = {"alNone", "alTop", "alBottom", "alClient"};
constexpr std::array<std::string_view, 4> StyleNames = {"fsBold", "fsItalic", "fsUnderline",
                                                        "fsStrikeOut"};
constexpr std::array<TIdentEntry, 2> ColorNames = {{{0, "clBlack"}, {0xFFFFFF, "clWhite"}}};

// Tag plus 19 properties of its own: 20 written per component.
class TBenchItem : public TComponent {
public:
    using TComponent::TComponent;
    ZENTARO_CLASS_INFO()
    int Left = 0, Top = 0, Width = 0, Height = 0, Delay = 0, Color = 0, Weight = 0;
    std::string Caption, Hint, Note;
    bool Active = false, Visible = false, Enabled = false, Border = false;
    int Kind = 0, Align = 0;
    std::int64_t Style = 0;
    TBenchItem *Source = nullptr;
    void SetSource(TBenchItem *source) { Source = source; }
    TEvent<TComponent *> OnClick;
};

class TBenchRoot : public TComponent {
public:
    TBenchRoot() : TComponent(nullptr) {}
    ZENTARO_CLASS_INFO()
    void ItemClick(TComponent *) {}
    void GetChildren(const std::function<void(TComponent *)> &proc, TComponent *) override {
        for (TComponent *component : Components())
            proc(component);
    }
};

const TClassInfo &TBenchItem::StaticClassInfo() {
    using T = TBenchItem;
    static const TClassInfo info = TClassBuilder<T, TComponent>("TBenchItem")
                                       .Integer("Left", &T::Left, &T::Left)
                                       .Integer("Top", &T::Top, &T::Top)
                                       .Integer("Width", &T::Width, &T::Width)
                                       .Integer("Height", &T::Height, &T::Height)
                                       .Integer("Delay", &T::Delay, &T::Delay)
                                       .Integer("Color", &T::Color, &T::Color)
                                       .Symbols(ColorNames)
                                       .Integer("Weight", &T::Weight, &T::Weight)
                                       .String("Caption", &T::Caption, &T::Caption)
                                       .String("Hint", &T::Hint, &T::Hint)
                                       .String("Note", &T::Note, &T::Note)
                                       .Boolean("Active", &T::Active, &T::Active)
                                       .Boolean("Visible", &T::Visible, &T::Visible)
                                       .Boolean("Enabled", &T::Enabled, &T::Enabled)
                                       .Boolean("Border", &T::Border, &T::Border)
                                       .Enumeration("Kind", KindNames, &T::Kind, &T::Kind)
                                       .Enumeration("Align", AlignNames, &T::Align, &T::Align)
                                       .Set("Style", StyleNames, &T::Style, &T::Style)
                                       .Reference("Source", &T::Source, &T::SetSource)
                                       .Event("OnClick", &T::OnClick)
                                       .Build();
    return info;
}

const TClassInfo &TBenchRoot::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TBenchRoot, TComponent>("TBenchRoot")
                                       .Method("ItemClick", &TBenchRoot::ItemClick)
                                       .Build();
    return info;
}

void Fill(TBenchRoot &root) {
    root.SetName("Root");
    std::vector<TBenchItem *> items;
    for (int i = 0; i < ComponentCount; ++i) {
        auto *item = new TBenchItem(&root);
        item->SetName("Item" + std::to_string(i));
        item->SetTag(i % 7 + 1);
        item->Left = i % 1000;
        item->Top = (i * 37) % 3000;
        item->Width = 50;
        item->Height = 40;
        item->Delay = 100000 + i;
        item->Color = i % 2 ? 0xFFFFFF : 0x123456;
        item->Weight = -i;
        item->Caption = "Component " + std::to_string(i);
        item->Hint = "Short|A longer hint for component " + std::to_string(i);
        item->Note = "n";
        item->Active = i % 2;
        item->Visible = true;
        item->Enabled = i % 3;
        item->Kind = i % 4;
        item->Align = (i / 4) % 4;
        item->Style = i % 16 | 1;
        item->OnClick = TEvent<TComponent *>("ItemClick", {});
        items.push_back(item);
    }
    for (int i = 0; i < ComponentCount; ++i)
        items[i]->Source = items[(i * 7919) % ComponentCount];
}

QJsonValue JsonOf(const TBenchItem &item) {
    QJsonArray style;
    for (int bit = 0; bit < 4; ++bit)
        if (item.Style >> bit & 1) style.append(QString::fromLatin1(StyleNames[bit]));
    const QJsonObject properties{
        {"Tag", item.Tag()},
        {"Left", item.Left},
        {"Top", item.Top},
        {"Width", item.Width},
        {"Height", item.Height},
        {"Delay", item.Delay},
        {"Color", item.Color == 0xFFFFFF ? QJsonValue("clWhite") : QJsonValue(item.Color)},
        {"Weight", item.Weight},
        {"Caption", QString::fromStdString(item.Caption)},
        {"Hint", QString::fromStdString(item.Hint)},
        {"Note", QString::fromStdString(item.Note)},
        {"Active", item.Active},
        {"Visible", item.Visible},
        {"Enabled", item.Enabled},
        {"Border", item.Border},
        {"Kind", QString::fromLatin1(KindNames[item.Kind])},
        {"Align", QString::fromLatin1(AlignNames[item.Align])},
        {"Style", style},
        {"Source", QString::fromStdString(item.Source->Name())},
        {"OnClick", "ItemClick"},
    };
    return QJsonObject{{"class", "TBenchItem"},
                       {"name", QString::fromStdString(item.Name())},
                       {"properties", properties},
                       {"children", QJsonArray()}};
}

struct Fixture {
    TMemoryStream Stream;
    QByteArray Json;
    Fixture() {
        RegisterClass(TBenchItem::StaticClassInfo());
        TBenchRoot root;
        Fill(root);
        TWriter(Stream).WriteRootComponent(root);
        QJsonArray children;
        for (TComponent *component : root.Components())
            children.append(JsonOf(*static_cast<TBenchItem *>(component)));
        Json = QJsonDocument(
                   QJsonObject{{"class", "TBenchRoot"}, {"name", "Root"}, {"children", children}})
                   .toJson(QJsonDocument::Compact);
    }
};

const Fixture &Data() {
    static const Fixture fixture;
    return fixture;
}

void WriteStream(benchmark::State &state) {
    TBenchRoot root;
    Fill(root);
    TMemoryStream stream;
    for (auto _ : state) {
        stream.Seek(0);
        TWriter(stream).WriteRootComponent(root);
    }
    state.SetBytesProcessed(state.iterations() * stream.Size());
    state.counters["components/s"] = benchmark::Counter(double(state.iterations()) * ComponentCount,
                                                        benchmark::Counter::kIsRate);
}

void ReadStream(benchmark::State &state) {
    const TMemoryStream &written = Data().Stream;
    TMemoryStream stream(written.Memory(), written.Size());
    for (auto _ : state) {
        TBenchRoot root;
        stream.Seek(0);
        TReader(stream, [](std::string_view) { return false; }).ReadRootComponent(root);
        if (root.ComponentCount() != ComponentCount) state.SkipWithError("components lost");
    }
    state.SetBytesProcessed(state.iterations() * stream.Size());
    state.counters["components/s"] = benchmark::Counter(double(state.iterations()) * ComponentCount,
                                                        benchmark::Counter::kIsRate);
}

void ParseJson(benchmark::State &state) {
    const QByteArray &json = Data().Json;
    for (auto _ : state) {
        const QJsonDocument document = QJsonDocument::fromJson(json);
        if (document.object().value("children").toArray().size() != ComponentCount)
            state.SkipWithError("JSON not parsed");
    }
    state.SetBytesProcessed(state.iterations() * json.size());
    state.counters["components/s"] = benchmark::Counter(double(state.iterations()) * ComponentCount,
                                                        benchmark::Counter::kIsRate);
}

class RateReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> Rates;
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs)
            if (!run.error_occurred) Rates[run.benchmark_name()] = run.counters.at("components/s");
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

BENCHMARK(WriteStream)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadStream)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseJson)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    std::printf("stream %lld bytes, JSON %lld bytes\n",
                static_cast<long long>(Data().Stream.Size()),
                static_cast<long long>(Data().Json.size()));
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (reporter.Rates.count("ReadStream") && reporter.Rates.count("ParseJson"))
        std::printf("\nstream read speed / JSON parse speed (same run): %.2f\n",
                    reporter.Rates["ReadStream"] / reporter.Rates["ParseJson"]);
    benchmark::Shutdown();
    return 0;
}
