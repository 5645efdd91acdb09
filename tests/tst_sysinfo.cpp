#include "app/Sysinfo.h"

#include <QTest>

#include <functional>
#include <map>

Q_DECLARE_METATYPE(TSystemFacts)

namespace {

using TType = TRegisteredValue::TType;
using TStatus = TRegisteredValue::TStatus;
using TExpected = QMap<QString, QString>;

const char *const NtKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char *const WindowsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

TSystemFacts With(const std::function<void(TSystemFacts &)> &change) {
    TSystemFacts facts;
    change(facts);
    return facts;
}

// Answers from values under any key.
TRegistryLookup Registry(std::map<std::string, TRegisteredValue> values) {
    return [values](const std::string &, const std::string &name) {
        const auto found = values.find(name);
        return found != values.end() ? found->second
                                     : TRegisteredValue{TStatus::ValueMissing, TType::Text, {}};
    };
}
TRegisteredValue Found(std::string data, TType type = TType::Text) {
    return {TStatus::Found, type, std::move(data)};
}
// Gives the key it was asked for as every value.
TRegistryLookup EchoKey() {
    return [](const std::string &key, const std::string &) { return Found(key); };
}

std::string Property(const TSystemDescription &info, const QString &name) {
    static const std::map<QString, std::string TSystemDescription::*> fields = {
        {"Organisation", &TSystemDescription::Organisation},
        {"Owner", &TSystemDescription::Owner},
        {"CPU", &TSystemDescription::CPU},
        {"OperatingSystem", &TSystemDescription::OperatingSystem},
        {"WinVersion", &TSystemDescription::WinVersion},
        {"Build", &TSystemDescription::Build},
        {"TotalMemory", &TSystemDescription::TotalMemory},
        {"AvailMemory", &TSystemDescription::AvailMemory},
        {"SwapMemory", &TSystemDescription::SwapMemory},
        {"AvailSwapMemory", &TSystemDescription::AvailSwapMemory},
        {"DriveC", &TSystemDescription::DriveC},
        {"FileVersion", &TSystemDescription::FileVersion},
    };
    return info.*fields.at(name);
}

constexpr std::uint64_t GiB = std::uint64_t(1) << 30;

} // namespace

class TestSysinfo : public QObject {
    Q_OBJECT

private slots:
    void description_data() {
        QTest::addColumn<TSystemFacts>("facts");
        QTest::addColumn<TExpected>("expected");
        auto row = [](const char *name, const std::function<void(TSystemFacts &)> &change,
                      const TExpected &expected) {
            QTest::newRow(name) << With(change) << expected;
        };

        row("386", [](auto &f) { f.ProcessorType = 386; }, {{"CPU", "Intel 386"}});
        row("486", [](auto &f) { f.ProcessorType = 486; }, {{"CPU", "Intel 486"}});
        row("586", [](auto &f) { f.ProcessorType = 586; }, {{"CPU", "Intel Pentium"}});
        row("8664", [](auto &f) { f.ProcessorType = 8664; }, {{"CPU", ""}});
        row("no processor", [](auto &f) { f.ProcessorType = 0; }, {{"CPU", ""}});

        row("3.1", [](auto &f) { f.PlatformId = 0; }, {{"OperatingSystem", "Windows 3.1"}});
        row("98",
            [](auto &f) {
                f.PlatformId = 1;
                f.BuildNumber = 1998;
            },
            {{"OperatingSystem", "Windows 98"}, {"Build", "1998"}});
        row("98, high bits set",
            [](auto &f) {
                f.PlatformId = 1;
                f.BuildNumber = 0x10000 + 1998;
            },
            {{"OperatingSystem", "Windows 98"}, {"Build", "1998"}});
        row("95 and its key",
            [](auto &f) {
                f.PlatformId = 1;
                f.BuildNumber = 1999;
                f.Registry = EchoKey();
            },
            {{"OperatingSystem", "Windows 95"}, {"Organisation", WindowsKey}});
        row("NT and its key",
            [](auto &f) {
                f.PlatformId = 2;
                f.Registry = EchoKey();
            },
            {{"OperatingSystem", "Windows NT"}, {"Organisation", NtKey}, {"Owner", NtKey}});
        row("unknown platform", [](auto &f) { f.PlatformId = 3; },
            {{"OperatingSystem", "Windows"}});
        row("Linux and its key",
            [](auto &f) {
                f.PlatformId = PlatformNotWindows;
                f.SystemName = "Linux";
                f.Registry = EchoKey();
            },
            {{"OperatingSystem", "Linux"}, {"Organisation", WindowsKey}});
        row("own platform, no name", [](auto &f) { f.PlatformId = PlatformNotWindows; },
            {{"OperatingSystem", "Windows"}});
        row("version",
            [](auto &f) {
                f.MajorVersion = 4;
                f.MinorVersion = 10;
            },
            {{"WinVersion", "4.10"}});

        row("no registry key",
            [](auto &f) {
                f.Registry = [](const std::string &, const std::string &) {
                    return TRegisteredValue{TStatus::KeyMissing, TType::Text, "Acme"};
                };
            },
            {{"Organisation", ""}, {"Owner", ""}});
        row("organisation a number",
            [](auto &f) {
                f.Registry = Registry({{"RegisteredOrganization", Found("\x01", TType::Other)},
                                       {"RegisteredOwner", Found("Ada")}});
            },
            {{"Organisation", "Failure"}, {"Owner", "Failure"}});
        row("owner a number",
            [](auto &f) {
                f.Registry = Registry({{"RegisteredOrganization", Found("Acme")},
                                       {"RegisteredOwner", Found("\x01", TType::Other)}});
            },
            {{"Organisation", "Acme"}, {"Owner", "Failure"}});
        row("owner unreadable",
            [](auto &f) {
                f.Registry =
                    Registry({{"RegisteredOwner", {TStatus::Unreadable, TType::Text, {}}}});
            },
            {{"Organisation", ""}, {"Owner", "Failure"}});
        row("empty number, expandable text, embedded NUL",
            [](auto &f) {
                f.Registry = Registry({{"RegisteredOrganization", Found("", TType::Other)},
                                       {"RegisteredOwner", Found(std::string("Ada\0Lovelace", 12),
                                                                 TType::ExpandableText)}});
            },
            {{"Organisation", ""}, {"Owner", "Ada"}});

        row("under a kilobyte", [](auto &f) { f.TotalPhysical = 1023; }, {{"TotalMemory", "0 KB"}});
        row("above 4 GiB",
            [](auto &f) {
                f.TotalPhysical = 16 * GiB;
                f.AvailablePhysical = 5 * GiB + 1023;
            },
            {{"TotalMemory", "16777216 KB"}, {"AvailMemory", "5242880 KB"}});
        row("swap in use",
            [](auto &f) {
                f.TotalPageFile = 6 * GiB;
                f.AvailablePageFile = GiB + 512;
            },
            {{"SwapMemory", "5242879 KB"}, {"AvailSwapMemory", "1048576 KB"}});

        row("no drive C", [](auto &f) { f.DriveCSize.reset(); }, {{"DriveC", ""}});
        row("drive C above 4 GiB", [](auto &f) { f.DriveCSize = 10 * GiB + (1 << 20) - 1; },
            {{"DriveC", "10240 MB"}});
        row("version words",
            [](auto &f) {
                f.FileVersion = TVersionWords{0x00010002, 0x00030004};
            },
            {{"FileVersion", "1.2.3.4"}});
        row("version halves unsigned",
            [](auto &f) {
                f.FileVersion = TVersionWords{0xFFFF8000, 0x0001FFFF};
            },
            {{"FileVersion", "65535.32768.1.65535"}});
        row("no version", [](auto &f) { f.FileVersion.reset(); }, {{"FileVersion", ""}});
    }
    void description() {
        QFETCH(TSystemFacts, facts);
        QFETCH(TExpected, expected);
        const TSystemDescription info = DescribeSystem(facts);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(QString::fromStdString(Property(info, it.key())), it.value());
    }

    void thisMachine() {
        TSystemInformation info(nullptr);
        QCOMPARE(info.OperatingSystem(), "Linux");
        QVERIFY(info.TotalMemory().ends_with(" KB"));
        QVERIFY(std::stoull(info.TotalMemory()) > 0);
        QCOMPARE(info.FileVersion(), ZENTARO_VERSION ".0");
        QCOMPARE(info.Organisation(), "");
        QCOMPARE(info.RegisteredOwner(), "");

        // A stream reader sets each published property by name; none of them takes the value.
        const QStringList names = {"Organisation",    "Owner",       "CPU",
                                   "OperatingSystem", "WinVersion",  "Build",
                                   "TotalMemory",     "AvailMemory", "SwapMemory",
                                   "AvailSwapMemory", "DriveC",      "FileVersion"};
        const auto properties = info.ClassInfo().Properties().last(names.size());
        for (int i = 0; i < names.size(); ++i) {
            const TPropInfo &property = properties[i];
            QCOMPARE(QString::fromStdString(property.Name), names[i]);
            QVERIFY(property.Writable());
            const std::string before = property.GetString(info);
            property.SetString(info, "X");
            QCOMPARE(property.GetString(info), before);
        }
    }
};

QTEST_MAIN(TestSysinfo)
#include "tst_sysinfo.moc"
