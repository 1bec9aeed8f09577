// The template file format: items, the rich fixture read into records and written back byte
// for byte, device templates, and damaged or cut-short files.

#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "platform/files/ProgramDirectory.h"
#include "templates/TemplateStore.h"
#include "tests/support/TempDir.h"
#include "tests/templates/TemplateFixture.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Strings(const CStringArray& array) {
    std::vector<std::string> out;
    for (const CString& text : array)
        out.push_back(text.str());
    return out;
}

// The record in the fixture's terms, so that whole terminals compare at once.
FixtureTerminal FromRecord(const TerminalRecord& t) {
    FixtureTerminal out;
    out.id = t.id.str();
    out.name = t.name.str();
    out.authKind = t.authKind.str();
    out.https = t.https.str();
    for (const auto& [key, value] : t.properties)
        out.properties.emplace_back(key.str(), value.str());
    for (const auto& p : t.parameters) {
        FixtureParameter fp;
        fp.name = p->name.str();
        fp.page = p->page.str();
        fp.keyFlag = p->keyFlag.str();
        fp.arraySpec = p->arraySpec.str();
        for (const auto& l : p->localLocators)
            fp.local.push_back({l.head.str(), l.tail.str()});
        for (const auto& l : p->englishLocators)
            fp.english.push_back({l.head.str(), l.tail.str()});
        fp.joinWord = p->joinWord.str();
        for (const auto& r : p->rules)
            fp.rules.push_back({r.op.str(), r.setValue.str(), r.code});
        out.parameters.push_back(fp);
    }
    for (const auto& f : t.functions) {
        EXPECT_EQ(f->urls.GetSize(), f->methods.GetSize());
        EXPECT_EQ(f->urls.GetSize(), f->postData.GetSize());
        EXPECT_EQ(f->urls.GetSize(), f->headers.GetSize());
        FixtureFunction ff{f->name.str(), {}};
        for (int i = 0; i < f->urls.GetSize(); ++i)
            ff.steps.push_back(
                {f->urls[i].str(), f->headers[i].str(), f->methods[i].str(), f->postData[i].str()});
        out.functions.push_back(ff);
    }
    for (const auto& u : t.uploadFunctions)
        out.uploads.push_back({u->name.str(), u->page.str(), u->action.str(), u->fieldName.str()});
    out.downloadUrl = t.downloadUrl.str();
    return out;
}

// A store that is not loaded but holds a record, to show that a failed load changes nothing.
void AddSentinel(TemplateStore& store) {
    auto group = std::make_unique<GroupRecord>();
    group->name = "1.2.3.4:255.0.0.0";
    store.Groups().push_back(std::move(group));
}

void ExpectOnlySentinel(const TemplateStore& store) {
    EXPECT_EQ(store.IsLoaded(), 0);
    ASSERT_EQ(store.Groups().size(), 1u);
    EXPECT_EQ(store.Groups()[0]->name, "1.2.3.4:255.0.0.0");
    EXPECT_TRUE(store.Terminals().empty());
}

} // namespace

TEST(TemplateFile, IntegerItemsReadLikeAtoi) {
    struct Case {
        std::string item;
        int value;
    } cases[] = {
        {"       7", 7},  {"7       ", 7},  {"        ", 0},        {"      -1", -1},
        {"+0000012", 12}, {"  12ab 3", 12}, {"\t\t\t\t\t\t\t9", 9}, {"99999999", 99999999},
    };
    for (const auto& c : cases) {
        std::string bytes = c.item + "rest";
        TemplateFileReader reader(bytes);
        EXPECT_EQ(reader.ReadInt(), c.value) << c.item;
        EXPECT_FALSE(reader.Failed()) << c.item;
        EXPECT_EQ(reader.Left(), 4u) << c.item;
    }
    TemplateFileReader shortItem(std::string_view("      7"));
    EXPECT_EQ(shortItem.ReadInt(), 0);
    EXPECT_TRUE(shortItem.Failed());
}

TEST(TemplateFile, StringItemsKeepEveryByteAndStayInsideTheData) {
    std::string items = TemplateBytes().Str("").Str("a\0b"s).Int(5).bytes;
    TemplateFileReader reader(items);
    EXPECT_EQ(reader.ReadString(), "");
    EXPECT_EQ(reader.ReadString().str(), "a\0b"s);
    EXPECT_EQ(reader.ReadInt(), 5);
    EXPECT_FALSE(reader.Failed());

    struct Case {
        std::string bytes;
        bool good;
    } cases[] = {
        {TemplateBytes().Str(std::string(10239, 'x')).bytes, true},
        {TemplateBytes().Int(10240).Raw(std::string(10240, 'x')).bytes, false},
        {TemplateBytes().Int(-1).Raw("x").bytes, false},
        {TemplateBytes().Int(4).Raw("abc").bytes, false},
    };
    for (const auto& c : cases) {
        TemplateFileReader r(c.bytes);
        CString text = r.ReadString();
        EXPECT_EQ(!r.Failed(), c.good) << c.bytes.substr(0, 8);
        if (!c.good) {
            EXPECT_TRUE(text.IsEmpty());
            // A failed reader stays failed and gives nothing more.
            EXPECT_EQ(r.ReadInt(), 0);
            EXPECT_TRUE(r.Failed());
        }
    }
}

TEST(TemplateFile, WriterRefusesItemsTheReaderWouldNotTake) {
    TemplateFileWriter writer;
    writer.WriteInt(-9999999);
    writer.WriteInt(99999999);
    writer.WriteString("a\0b"s);
    EXPECT_FALSE(writer.Failed());
    EXPECT_EQ(writer.Bytes(), "-9999999"
                              "99999999"
                              "       3"
                              "a\0b"s);

    for (int wide : {100000000, -10000000}) {
        TemplateFileWriter w;
        w.WriteInt(wide);
        EXPECT_TRUE(w.Failed()) << wide;
    }
    TemplateFileWriter w;
    w.WriteString(CString(std::string(10240, 'x')));
    EXPECT_TRUE(w.Failed());
}

TEST(TemplateFile, RichFixtureLoadsIntoTheRecords) {
    TempDir dir;
    FixtureFile rich = RichFixture();
    WriteFileBytes(dir / "Terminals.dat", TerminalsFile(rich));

    TemplateStore store;
    ASSERT_EQ(store.Load(CString((dir / "Terminals.dat").string())), 1);
    EXPECT_EQ(store.IsLoaded(), 1);

    ASSERT_EQ(store.Groups().size(), rich.groups.size());
    for (size_t i = 0; i < rich.groups.size(); ++i) {
        const GroupRecord& g = *store.Groups()[i];
        EXPECT_EQ(g.name.str(), rich.groups[i].name);
        std::vector<std::string> ports;
        for (int port : rich.groups[i].ports)
            ports.push_back(std::to_string(port));
        EXPECT_EQ(Strings(g.ports), ports);
        EXPECT_EQ(Strings(g.accounts), rich.groups[i].accounts);
        EXPECT_EQ(Strings(g.terminalIds), rich.groups[i].terminalIds);
    }
    ASSERT_EQ(store.Terminals().size(), rich.terminals.size());
    for (size_t i = 0; i < rich.terminals.size(); ++i)
        EXPECT_TRUE(FromRecord(*store.Terminals()[i]) == rich.terminals[i]) << "terminal " << i;
}

TEST(TemplateFile, SaveOfTheLoadedStoreGivesTheSameBytes) {
    TempDir dir;
    std::string bytes = TerminalsFile(RichFixture());
    WriteFileBytes(dir / "Terminals.dat", bytes);
    TemplateStore store;
    ASSERT_EQ(store.Load(CString((dir / "Terminals.dat").string())), 1);
    CString storePath = store.GetPath();

    ASSERT_EQ(store.Save(CString((dir / "copy.dat").string())), 1);
    EXPECT_EQ(ReadFileBytes(dir / "copy.dat"), bytes);
    EXPECT_EQ(store.GetPath(), storePath);

    // Saving to the store's own path replaces the file there, and leaves nothing beside it.
    platform::SetProgramDirectory(CString(dir.str()));
    TemplateStore fresh;
    ASSERT_EQ(fresh.Load(), 1);
    fresh.Terminals()[1]->name = "B3";
    ASSERT_EQ(fresh.Save(), 1);
    platform::SetProgramDirectory(CString());
    FixtureFile changed = RichFixture();
    changed.terminals[1].name = "B3";
    EXPECT_EQ(ReadFileBytes(dir / "Terminals.dat"), TerminalsFile(changed));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST(TemplateFile, PortTextsAreStoredAsIntegers) {
    TempDir dir;
    TemplateStore store;
    auto group = std::make_unique<GroupRecord>();
    group->name = "192.168.1.1:255.255.255.0";
    group->ports.Add("8080");
    group->ports.Add("http");
    store.Groups().push_back(std::move(group));
    ASSERT_EQ(store.Save(CString((dir / "t.dat").string())), 1);

    FixtureFile expected;
    expected.groups = {{"192.168.1.1:255.255.255.0", {8080, 0}, {}, {}}};
    EXPECT_EQ(ReadFileBytes(dir / "t.dat"), TerminalsFile(expected));
}

TEST(TemplateFile, ExportedTerminalImportsAsAnEqualRecord) {
    TempDir dir;
    FixtureFile rich = RichFixture();
    WriteFileBytes(dir / "Terminals.dat", TerminalsFile(rich));
    TemplateStore store;
    ASSERT_EQ(store.Load(CString((dir / "Terminals.dat").string())), 1);

    CString device((dir / "A1.tpl").string());
    ASSERT_EQ(store.ExportTerminal(device, *store.Terminals()[0]), 1);
    EXPECT_EQ(ReadFileBytes(dir / "A1.tpl"), DeviceFile(rich.terminals[0]));

    std::unique_ptr<TerminalRecord> imported = store.ImportTerminal(device);
    ASSERT_TRUE(imported);
    EXPECT_TRUE(FromRecord(*imported) == rich.terminals[0]);
    EXPECT_EQ(store.Terminals().size(), 2u); // not added to the store

    EXPECT_FALSE(store.ImportTerminal(CString((dir / "Terminals.dat").string())));
    EXPECT_FALSE(store.ImportTerminal(CString((dir / "missing.tpl").string())));
    WriteFileBytes(dir / "old.tpl", DeviceFile(rich.terminals[0], "Orlimo Device Templet, Ver:1.0"));
    EXPECT_FALSE(store.ImportTerminal(CString((dir / "old.tpl").string())));
}

TEST(TemplateFile, RepeatedPropertyKeyKeepsTheLastValue) {
    FixtureTerminal t = RichFixture().terminals[1];
    t.properties = {{"k", "first"}, {"j", "x"}, {"k", "last"}};
    std::string bytes = DeviceFile(t);
    TemplateFileReader reader(bytes);
    ASSERT_FALSE(TemplateStore::ReadString(reader).IsEmpty());
    std::unique_ptr<TerminalRecord> record = TemplateStore::ReadTerminalRecord(reader);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->properties.size(), 2u);
    EXPECT_EQ(record->properties["k"], "last");
}

// Every cut of a good file is a short read somewhere: each must fail without reading beyond the
// data (ASan watches) and without touching the store.
TEST(TemplateFile, EveryPrefixOfTheRichFixtureFailsCleanly) {
    TempDir dir;
    FixtureFile rich = RichFixture();
    std::string terminals = TerminalsFile(rich);
    std::string device = DeviceFile(rich.terminals[0]);
    fs::path file = dir / "cut.dat";
    CString path(file.string());
    TemplateStore store;
    AddSentinel(store);
    for (size_t length = 0; length < terminals.size(); ++length) {
        WriteFileBytes(file, terminals.substr(0, length));
        ASSERT_EQ(store.Load(path), 0) << length;
        // Cut inside the header too: no header item read whole, no other kind of file.
        ASSERT_EQ(store.GetLoadFailure(), TemplateStore::kDamaged) << length;
    }
    ExpectOnlySentinel(store);
    for (size_t length = 0; length < device.size(); ++length) {
        WriteFileBytes(file, device.substr(0, length));
        ASSERT_FALSE(store.ImportTerminal(path)) << length;
    }
    // Bytes after the last terminal are ignored.
    WriteFileBytes(file, terminals + "trailing");
    EXPECT_EQ(store.Load(path), 1);
}

// Replaces the first run of items 'from' in bytes by 'to'.
static std::string Patched(std::string bytes, const std::string& from, const std::string& to) {
    size_t at = bytes.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? bytes : bytes.replace(at, from.size(), to);
}

TEST(TemplateFile, DamagedItemsFailCleanly) {
    using B = TemplateBytes;
    const std::string header = B().Str("Orlimo Terminal Templet, Ver:2.0").bytes;
    const std::string deviceHeader = B().Str("Orlimo Device Templet, Ver:2.0").bytes;
    const std::string group = B().Str("g:m").bytes; // followed by the case's counts and lists
    struct Case {
        const char* what;
        std::string bytes;
        TemplateStore::LoadFailure why = TemplateStore::kDamaged;
    };
    constexpr auto kHeader = TemplateStore::kHeader;
    Case storeCases[] = {
        {"header length 10240", B().Int(10240).Raw(std::string(10240, 'x')).Int(0).Int(0).bytes},
        {"header length -1", B().Int(-1).Raw("Orlimo Terminal Templet, Ver:2.0").Int(0).Int(0).bytes},
        {"header in another case", B().Str("orlimo terminal templet, ver:2.0").Int(0).Int(0).bytes, kHeader},
        {"another version", B().Str("Orlimo Terminal Templet, Ver:2.1").Int(0).Int(0).bytes, kHeader},
        {"empty header", B().Str("").Int(0).Int(0).bytes, kHeader},
        {"device template offered", DeviceFile(RichFixture().terminals[0]), kHeader},
        {"group count 99999999", header + B().Int(99999999).Int(0).bytes},
        {"terminal count 99999999", header + B().Int(0).Int(99999999).bytes},
        {"group count -1", header + B().Int(-1).Int(0).bytes},
        {"port count 99999999",
         header + B().Int(1).Int(0).bytes + group + B().Int(99999999).Int(0).Int(0).bytes},
        {"account count -1", header + B().Int(1).Int(0).bytes + group + B().Int(0).Int(-1).Int(0).bytes},
        {"id length beyond the file",
         header + B().Int(1).Int(0).bytes + group + B().Int(0).Int(0).Int(1).Int(9999).Raw("id").bytes},
    };
    // Damage inside one terminal entry, offered both in a store file and as a device template.
    const FixtureTerminal a = RichFixture().terminals[0];
    const std::string entry = DeviceFile(a).substr(deviceHeader.size());
    Case terminalCases[] = {
        {"id length -1", Patched(entry, B().Str(a.id).bytes, B().Int(-1).Raw(a.id).bytes)},
        {"property count 99999999",
         Patched(entry, B().Str("FALSE").Int(2).bytes, B().Str("FALSE").Int(99999999).bytes)},
        {"rule count 99999999",
         Patched(entry, B().Int(1).Int(0).Int(1).bytes, B().Int(1).Int(0).Int(99999999).bytes)},
        {"locator count -1", Patched(entry, B().Int(1).Int(0).Int(1).bytes, B().Int(-1).Int(0).Int(1).bytes)},
        {"step count 99999999",
         Patched(entry, B().Str("login").Int(2).bytes, B().Str("login").Int(99999999).bytes)},
        {"download URL of 10240 bytes",
         Patched(entry, B().Str(a.downloadUrl).bytes, B().Int(10240).Raw(std::string(10240, 'u')).bytes)},
    };

    TempDir dir;
    fs::path file = dir / "damaged.dat";
    CString path(file.string());
    TemplateStore store;
    AddSentinel(store);
    for (const auto& c : storeCases) {
        WriteFileBytes(file, c.bytes);
        EXPECT_EQ(store.Load(path), 0) << c.what;
        EXPECT_EQ(store.GetLoadFailure(), c.why) << c.what;
    }
    for (const auto& c : terminalCases) {
        WriteFileBytes(file, header + B().Int(0).Int(1).bytes + c.bytes);
        EXPECT_EQ(store.Load(path), 0) << c.what;
        EXPECT_EQ(store.GetLoadFailure(), TemplateStore::kDamaged) << c.what;
        WriteFileBytes(file, deviceHeader + c.bytes);
        EXPECT_FALSE(store.ImportTerminal(path)) << c.what;
    }
    ExpectOnlySentinel(store);
    WriteFileBytes(file, B().Str("orlimo device templet, ver:2.0").Raw(entry).bytes);
    EXPECT_FALSE(store.ImportTerminal(path));
    // The undamaged entry passes both ways, so the cases above fail for their damage alone.
    WriteFileBytes(file, deviceHeader + entry);
    EXPECT_TRUE(store.ImportTerminal(path));
    WriteFileBytes(file, header + B().Int(0).Int(1).bytes + entry);
    EXPECT_EQ(store.Load(path), 1);
}

// A refused save leaves the old file byte-identical and no temporary file beside it.
TEST(TemplateFile, SaveAndExportRefuseBeforeWriting) {
    struct Case {
        const char* what;
        std::function<void(TemplateStore&)> damage;
    } cases[] = {
        {"string of 10240 bytes",
         [](TemplateStore& s) { s.Terminals()[0]->name = CString(std::string(10240, 'x')); }},
        {"step lists of different lengths",
         [](TemplateStore& s) { s.Terminals()[0]->functions[0]->methods.Add("GET"); }},
        {"port too wide", [](TemplateStore& s) { s.Groups()[0]->ports.Add("123456789"); }},
        {"rule code too wide",
         [](TemplateStore& s) { s.Terminals()[0]->parameters[0]->rules[0].code = 100000000; }},
    };
    TempDir dir;
    std::string bytes = TerminalsFile(RichFixture());
    std::string device = DeviceFile(RichFixture().terminals[0]);
    for (const auto& c : cases) {
        WriteFileBytes(dir / "Terminals.dat", bytes);
        WriteFileBytes(dir / "A1.tpl", device);
        TemplateStore store;
        ASSERT_EQ(store.Load(CString((dir / "Terminals.dat").string())), 1);
        c.damage(store);
        EXPECT_EQ(store.Save(CString((dir / "Terminals.dat").string())), 0) << c.what;
        EXPECT_EQ(ReadFileBytes(dir / "Terminals.dat"), bytes) << c.what;
        if (c.what != std::string("port too wide")) {
            EXPECT_EQ(store.ExportTerminal(CString((dir / "A1.tpl").string()), *store.Terminals()[0]), 0)
                << c.what;
            EXPECT_EQ(ReadFileBytes(dir / "A1.tpl"), device) << c.what;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2) << c.what;
    }
    TemplateStore empty;
    EXPECT_EQ(empty.Save(CString((dir / "no-such-dir" / "Terminals.dat").string())), 0);
    EXPECT_EQ(empty.ExportTerminal(CString((dir / "no-such-dir" / "A1.tpl").string()), TerminalRecord()), 0);
}
