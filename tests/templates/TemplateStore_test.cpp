// The store's life (load once, reset, the process-wide instance) and its look-ups.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/files/ProgramDirectory.h"
#include "templates/TemplateStore.h"
#include "tests/support/TempDir.h"
#include "tests/templates/TemplateFixture.h"

using namespace testsupport;

namespace {

FixtureTerminal Terminal(std::string id, std::string authKind, std::string name) {
    FixtureTerminal t;
    t.id = std::move(id);
    t.authKind = std::move(authKind);
    t.name = std::move(name);
    return t;
}

// A store loaded from a fixture file written into its own directory.
class LoadedStore {
public:
    explicit LoadedStore(const FixtureFile& file) {
        WriteFileBytes(m_dir / "Terminals.dat", TerminalsFile(file));
        EXPECT_EQ(store.Load(CString((m_dir / "Terminals.dat").string())), 1);
    }
    TemplateStore store;

private:
    TempDir m_dir;
};

std::vector<std::string> Names(const std::vector<TerminalRecord*>& terminals) {
    std::vector<std::string> names;
    for (const TerminalRecord* t : terminals)
        names.push_back(t->name.str());
    return names;
}

std::vector<std::string> Strings(const CStringArray& array) {
    std::vector<std::string> out;
    for (const CString& text : array)
        out.push_back(text.str());
    return out;
}

} // namespace

TEST(TemplateStore, LoadsOnceUntilReset) {
    TempDir dir;
    platform::SetProgramDirectory(CString(dir.str()));
    TemplateStore store;
    platform::SetProgramDirectory(CString());
    EXPECT_EQ(store.GetPath().str(), (dir / "Terminals.dat").string());

    EXPECT_EQ(store.Load(), 0); // no file yet
    EXPECT_EQ(store.IsLoaded(), 0);

    WriteFileBytes(dir / "Terminals.dat", TerminalsFile(FixtureFile()));
    EXPECT_EQ(store.Load(), 1);
    EXPECT_TRUE(store.Groups().empty());
    EXPECT_TRUE(store.Terminals().empty());

    // A loaded store does not read the changed file, whatever path it is given.
    WriteFileBytes(dir / "Terminals.dat", TerminalsFile(RichFixture()));
    EXPECT_EQ(store.Load(CString((dir / "other.dat").string())), 1);
    EXPECT_TRUE(store.Terminals().empty());

    store.Reset();
    EXPECT_EQ(store.IsLoaded(), 0);
    EXPECT_EQ(store.Load(), 1);
    EXPECT_EQ(store.Terminals().size(), 2u);

    store.Reset();
    EXPECT_TRUE(store.Groups().empty());
    EXPECT_TRUE(store.Terminals().empty());
}

TEST(TemplateStore, InstanceIsMadeAndLoadedOnFirstUse) {
    TempDir dir;
    WriteFileBytes(dir / "Terminals.dat", TerminalsFile(RichFixture()));
    platform::SetProgramDirectory(CString(dir.str()));
    TemplateStore& store = TemplateStore::Instance();
    platform::SetProgramDirectory(CString());
    EXPECT_EQ(&store, &TemplateStore::Instance());
    EXPECT_EQ(store.IsLoaded(), 1);
    EXPECT_EQ(store.Terminals().size(), 2u);
}

TEST(TemplateStore, FindGroupMatchesTheWholeAddress) {
    FixtureFile file;
    file.groups = {
        {"192.168.1.10:255.255.255.0", {80}, {}, {}},
        {"192.168.1.1:255.255.255.0", {80, 8080}, {}, {}},
        {"192.168.1.1:255.255.0.0", {81}, {}, {}},
    };
    LoadedStore loaded(file);
    TemplateStore& store = loaded.store;

    ASSERT_EQ(store.FindGroup("192.168.1.1"), store.Groups()[1].get());
    EXPECT_EQ(store.FindGroup("192.168.1.10"), store.Groups()[0].get());
    EXPECT_EQ(store.FindGroup("192.168.1"), nullptr);
    EXPECT_EQ(store.FindGroup("192.168.1.1:255.255.255.0"), nullptr);

    EXPECT_EQ(store.GetGroupMask("192.168.1.1"), "255.255.255.0");
    EXPECT_EQ(store.GetGroupMask("192.168.1.10"), "255.255.255.0");
    EXPECT_EQ(store.GetGroupMask("192.168.1.2"), "");

    CStringArray ports;
    ports.Add("stale");
    store.GetGroupPorts("192.168.1.1", ports);
    EXPECT_EQ(Strings(ports), (std::vector<std::string>{"80", "8080"}));
    store.GetGroupPorts("10.0.0.1", ports);
    EXPECT_TRUE(ports.IsEmpty());

    // Only a group of 192.168.1.10 exists: 192.168.1.1 has no mask.
    FixtureFile tenOnly;
    tenOnly.groups = {file.groups[0]};
    LoadedStore other(tenOnly);
    EXPECT_EQ(other.store.GetGroupMask("192.168.1.1"), "");
}

TEST(TemplateStore, BoundTerminalsFollowTheGroupByIdAndKind) {
    FixtureFile file;
    file.groups = {{"192.168.1.1:255.255.255.0", {80}, {}, {"web1", "brw1", "missing", "dup", "web1"}}};
    file.terminals = {
        Terminal("web1", "WEB", "A"), Terminal("brw1", "BRW", "B"), Terminal("dup", "BRW", "C"),
        Terminal("dup", "WEB", "D"),  Terminal("dup", "WEB", "E"),  Terminal("web1", "web", "F"),
    };
    LoadedStore loaded(file);
    TemplateStore& store = loaded.store;

    std::vector<TerminalRecord*> out;
    store.GetBoundTerminals("192.168.1.1", "WEB", out);
    EXPECT_EQ(Names(out), (std::vector<std::string>{"A", "D", "A"}));

    out.clear();
    store.GetBoundTerminals("192.168.1.1", "BRW", out);
    EXPECT_EQ(Names(out), (std::vector<std::string>{"B", "C"}));

    store.GetBoundTerminals("192.168.1.2", "BRW", out); // no group: unchanged
    EXPECT_EQ(Names(out), (std::vector<std::string>{"B", "C"}));

    TerminalRecord* record = nullptr;
    int index = -1;
    ASSERT_EQ(store.FindTerminalById("dup", &record, &index), 1);
    EXPECT_EQ(record->name, "C");
    EXPECT_EQ(index, 2);
    EXPECT_EQ(store.FindTerminalById("DUP", &record, &index), 0);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(store.FindTerminalById("web1"), 1);
}

TEST(TemplateStore, AddressListsStayParallel) {
    FixtureFile file;
    file.groups = {
        {"192.168.1.1:255.255.255.0", {80, 8080}, {}, {}},
        {"no-colon", {81}, {}, {}},
        {":255.0.0.0", {82}, {}, {}},
        {"10.0.0.1:255.0.0.0", {}, {}, {}},
    };
    LoadedStore loaded(file);
    CStringArray ips, masks, ports;
    ips.Add("kept");
    masks.Add("kept");
    ports.Add("kept");
    loaded.store.GetAddressLists(ips, masks, ports);
    EXPECT_EQ(Strings(ips), (std::vector<std::string>{"kept", "192.168.1.1", "10.0.0.1"}));
    EXPECT_EQ(Strings(masks), (std::vector<std::string>{"kept", "255.255.255.0", "255.0.0.0"}));
    EXPECT_EQ(Strings(ports), (std::vector<std::string>{"kept", "80,8080,", ""}));
}

TEST(TemplateStore, ParameterIndexListsEachPageOnce) {
    LoadedStore loaded(RichFixture());
    const TerminalRecord& a = *loaded.store.Terminals()[0];
    std::vector<std::string> all = Strings(a.allPages), key = Strings(a.keyPages);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<std::string>{"/status.htm", "/wan.htm"}));
    EXPECT_EQ(key, (std::vector<std::string>{"/status.htm"}));
    const TerminalRecord& b = *loaded.store.Terminals()[1];
    EXPECT_EQ(Strings(b.allPages), (std::vector<std::string>{"/info.html"}));
    EXPECT_TRUE(b.keyPages.IsEmpty());
}

TEST(TemplateStore, OnlyRegularFilesWithinTheBoundAreRead) {
    TempDir dir;
    const std::string fifo = (dir / "device.tpl").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TemplateStore store;
    // A FIFO without a writer: refused at once, not waited on.
    auto imported =
        std::async(std::launch::async, [&] { return store.ImportTerminal(CString(fifo)) != nullptr; });
    if (imported.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
        // Release the reader so the test can end.
        int writer = ::open(fifo.c_str(), O_WRONLY);
        ::close(writer);
        ADD_FAILURE() << "a FIFO given as a device template was waited on";
    }
    EXPECT_FALSE(imported.get());
    EXPECT_EQ(store.Load(CString(fifo)), 0);
    EXPECT_FALSE(store.ImportTerminal("/dev/null"));

    // A good file padded beyond the bound (bytes after the last terminal are otherwise ignored).
    const auto big = dir / "Terminals.dat";
    WriteFileBytes(big, TerminalsFile(RichFixture()));
    std::filesystem::resize_file(big, (64u << 20) + 1);
    EXPECT_EQ(store.Load(CString(big.string())), 0);
    std::filesystem::resize_file(big, 64u << 20);
    EXPECT_EQ(store.Load(CString(big.string())), 1);
}

// The tool names the file it could not take and why; a missing file is a new bench.
TEST(TemplateStore, FailedLoadSaysWhichFileAndWhy) {
    TempDir dir;
    const auto file = dir / "Terminals.dat";
    const std::string good = TerminalsFile(RichFixture());
    std::string otherVersion = good;
    otherVersion.replace(otherVersion.find("Ver:2.0"), 7, "Ver:1.0");
    struct Case {
        const char* what;
        std::function<void()> make;
        TemplateStore::LoadFailure why;
    } cases[] = {
        {"missing", [] {}, TemplateStore::kMissing},
        {"another version", [&] { WriteFileBytes(file, otherVersion); }, TemplateStore::kHeader},
        {"cut", [&] { WriteFileBytes(file, good.substr(0, good.size() / 2)); }, TemplateStore::kDamaged},
        {"empty", [&] { WriteFileBytes(file, ""); }, TemplateStore::kDamaged},
        {"a directory", [&] { std::filesystem::create_directory(file); }, TemplateStore::kUnreadable},
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }, TemplateStore::kUnreadable},
        {"good", [&] { WriteFileBytes(file, good); }, TemplateStore::kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(file);
        c.make();
        TemplateStore store;
        EXPECT_EQ(store.Load(CString(file.string())), c.why == TemplateStore::kNone ? 1 : 0);
        CString path;
        EXPECT_EQ(store.GetLoadFailure(&path), c.why);
        EXPECT_EQ(path.str(), file.string());
    }
    // The reason is that of the last load: a failed one after a good file, none after a load.
    TemplateStore store;
    EXPECT_EQ(store.Load(CString((dir / "none.dat").string())), 0);
    EXPECT_EQ(store.GetLoadFailure(), TemplateStore::kMissing);
    EXPECT_EQ(store.Load(CString(file.string())), 1);
    EXPECT_EQ(store.GetLoadFailure(), TemplateStore::kNone);
}

TEST(TemplateStore, FirstLoadMeetsReadersOnOtherThreads) {
    // Job threads look groups up while the first load fills the lists.
    TempDir dir;
    WriteFileBytes(dir / "Terminals.dat", TerminalsFile(RichFixture()));
    const CString key =
        RichFixture().groups[0].name.substr(0, RichFixture().groups[0].name.find(':')).c_str();
    TemplateStore store;
    std::atomic<bool> found{false};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i)
        readers.emplace_back([&] {
            while (!found) {
                std::vector<TerminalRecord*> bound;
                store.GetBoundTerminals(key, "WEB", bound);
                CStringArray ips, masks, ports;
                store.GetAddressLists(ips, masks, ports);
                if (store.FindGroup(key))
                    found = true;
            }
        });
    EXPECT_EQ(store.Load(CString((dir / "Terminals.dat").string())), 1);
    for (auto& reader : readers)
        reader.join();
    EXPECT_TRUE(found);
}
