// The test dialog's rules against a fake modem in a namespace of its own, behind the PC's
// card lan0 (tests/hostnet/TempAddressBench.h): the modem at its factory address in a network
// the PC has no address in, or in the PC's own network. The model lives in the PC's namespace
// (its worker thread is made there); the saved file is the program directory's Terminals.dat.

#include <gtest/gtest.h>

#include <cstdlib>

#include "stavrintool/app/ToolStrings.h"
#include "tests/hostnet/TempAddressBench.h"
#include "tests/stavrintool/DiagFixture.h"

namespace {

using namespace testsupport;

constexpr const char* kFactory = "203.0.113.1";
const std::string kFactoryGroup = std::string(kFactory) + ":255.255.255.0";

class TemplateDiagBench : public TempAddressBench {
protected:
    void SetUp() override {
        TempAddressBench::SetUp();
        if (IsSkipped())
            return;
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
            ::unsetenv(name);
    }
    void TearDown() override {
        Close();
        fake.reset();
        TempAddressBench::TearDown();
    }
    // A diag modem showing that model name at the address, in the modem's namespace; its port.
    int StartModem(const std::string& address, const std::string& shown = "D-1") {
        if (address != "192.0.2.2")
            modem->Ip("addr add " + address + "/24 dev m0");
        fake = std::make_unique<DiagModem>(shown);
        RunInside(*modem, [&] { fake->modem->Start(address); });
        return fake->modem->Port();
    }
    void Open() {
        RunInside(*pc, [&] { model = std::make_unique<TemplateTestModel>(sink); });
    }
    // The model goes in the PC's namespace, where its addresses are.
    void Close() {
        if (pc && model)
            RunInside(*pc, [&] { model.reset(); });
    }
    bool Discover() { return RunJob(*model, &TemplateTestModel::Discover); }
    // Temporary addresses of the factory network on the PC.
    std::vector<std::string> InFactoryNetwork() {
        std::vector<std::string> found;
        for (const std::string& row : Added())
            if (row.find(" 203.0.113.") != std::string::npos)
                found.push_back(row);
        return found;
    }

    std::unique_ptr<DiagModem> fake;
    RecordingDiagSink sink;
    std::unique_ptr<TemplateTestModel> model;
};

TEST_F(TemplateDiagBench, FoundBehindATemporaryAddressThenRunAndUploaded) {
    WriteDiagTerminals(dir / "Terminals.dat", kFactoryGroup, StartModem(kFactory));
    Open();
    ASSERT_TRUE(Discover());
    EXPECT_EQ(sink.lines, DiagLines());
    EXPECT_TRUE(sink.boxes.empty());
    EXPECT_TRUE(model->FunctionControlsEnabled());
    EXPECT_EQ(Texts(model->Functions()), (std::vector<std::string>{"login", "reboot", "RestoreConfig"}));
    EXPECT_EQ(Texts(model->Uploads()), std::vector<std::string>{"upgradefirmware"});
    // The PC keeps its way to the modem for the runs that follow.
    EXPECT_FALSE(InFactoryNetwork().empty()) << "no temporary address after the identification";

    // "测试" with nothing selected: no job, no box, nothing sent.
    const size_t calls = fake->modem->FunctionCalls().size();
    EXPECT_FALSE(model->RunFunction());
    EXPECT_TRUE(sink.boxes.empty());

    // The parameters go in the list's order.
    for (const char* text : {"all", "no"}) {
        model->parameterText = text;
        model->AddParameter();
    }
    model->functionSel = 2;
    ASSERT_TRUE(RunJob(*model, &TemplateTestModel::RunFunction));
    EXPECT_EQ(sink.boxes, std::vector<unsigned>{stavrin::kIdsFunctionRan});
    ASSERT_GT(fake->modem->FunctionCalls().size(), calls);
    EXPECT_EQ(fake->modem->FunctionCalls().back(), "GET /restore.cgi?all=all&keep=no");

    // An upload without a file says so and sends nothing; with one it reaches the modem.
    model->uploadSel = 0;
    model->filePath = "";
    EXPECT_FALSE(model->Upload());
    EXPECT_EQ(sink.boxes.back(), stavrin::kIdsChooseUploadFile);
    EXPECT_TRUE(fake->modem->Uploads().empty());
    const std::string firmware(20000, '\x5a');
    WriteFileBytes(dir / "fw.bin", firmware);
    model->filePath = (dir / "fw.bin").string().c_str();
    ASSERT_TRUE(RunJob(*model, &TemplateTestModel::Upload));
    EXPECT_EQ(sink.boxes.back(), stavrin::kIdsUploaded);
    ASSERT_EQ(fake->modem->Uploads().size(), 1u);
    EXPECT_GT(fake->modem->Uploads()[0], firmware.size());

    // The addresses go with the model.
    Close();
    EXPECT_EQ(Added(), std::vector<std::string>{});
}

TEST_F(TemplateDiagBench, NextDiscoveryDropsTheAddressAndTheMatch) {
    WriteDiagTerminals(dir / "Terminals.dat", kFactoryGroup, StartModem(kFactory));
    // The main dialog's store, with an edit not saved yet.
    TemplateStore& edited = TemplateStore::Instance();
    edited.Reset();
    ASSERT_EQ(edited.Load(), 1);
    edited.Groups().push_back(std::make_unique<GroupRecord>());
    edited.Groups().back()->name = "198.51.100.9:255.255.255.0";
    const TerminalRecord* kept = edited.Terminals()[0].get();
    edited.Terminals()[0]->name = "edited";
    const uint64_t generation = edited.GetGeneration();

    Open();
    ASSERT_TRUE(Discover());
    ASSERT_FALSE(InFactoryNetwork().empty());

    // The modem goes away: the next discovery finds nothing and its address is gone too.
    modem->Ip("addr del 203.0.113.1/24 dev m0");
    ASSERT_TRUE(Discover());
    std::vector<std::string> expected = DiagLines();
    expected.push_back("---- Device not found (Ping device IP failed) ----");
    EXPECT_EQ(sink.lines, expected);
    EXPECT_EQ(InFactoryNetwork(), std::vector<std::string>{});

    // The controls stay, but the earlier match is forgotten: a run fails without reaching out.
    EXPECT_TRUE(model->FunctionControlsEnabled());
    ASSERT_EQ(model->Functions().size(), 3u);
    const size_t calls = fake->modem->FunctionCalls().size();
    model->functionSel = 1;
    ASSERT_TRUE(RunJob(*model, &TemplateTestModel::RunFunction));
    EXPECT_EQ(sink.boxes, std::vector<unsigned>{stavrin::kIdsFunctionFailed});
    EXPECT_EQ(fake->modem->FunctionCalls().size(), calls);

    // The main dialog's store was never touched.
    EXPECT_EQ(edited.GetGeneration(), generation);
    ASSERT_EQ(edited.Groups().size(), 2u);
    EXPECT_EQ(edited.Groups()[1]->name, "198.51.100.9:255.255.255.0");
    EXPECT_EQ(edited.Terminals()[0].get(), kept);
    EXPECT_EQ(kept->name, "edited");
}

TEST_F(TemplateDiagBench, ModemInThePcsNetworkIdentifiedWithoutAnAddress) {
    WriteDiagTerminals(dir / "Terminals.dat", "192.0.2.2:255.255.255.0", StartModem("192.0.2.2"));
    Open();
    ASSERT_TRUE(Discover());
    EXPECT_EQ(sink.lines, DiagLines());
    EXPECT_EQ(Added(), std::vector<std::string>{});
    EXPECT_EQ(Log().find("AddIpAddress add ip:"), std::string::npos) << Log();
    model->functionSel = 1;
    ASSERT_TRUE(RunJob(*model, &TemplateTestModel::RunFunction));
    EXPECT_EQ(sink.boxes, std::vector<unsigned>{stavrin::kIdsFunctionRan});
    EXPECT_EQ(fake->modem->FunctionCalls().back(), "POST /reboot.cgi");
}

TEST_F(TemplateDiagBench, FailedDiscoveriesWriteTheirLineAndLeaveNoAddress) {
    const int port = StartModem(kFactory, "X-9"); // no template matches its pages
    struct Case {
        const char* what;
        std::string file; // Terminals.dat; none when empty
        const char* line;
    } cases[] = {
        {"no saved file", "", "---- Device not found (Ping device IP failed) ----"},
        {"a file without groups", TerminalsFile(FixtureFile{}),
         "---- Device not found (Ping device IP failed) ----"},
        {"a modem no template matches", "unmatched", "---- Unsupport device type ----"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(dir / "Terminals.dat");
        if (c.file == "unmatched")
            WriteDiagTerminals(dir / "Terminals.dat", kFactoryGroup, port);
        else if (!c.file.empty())
            WriteFileBytes(dir / "Terminals.dat", c.file);
        sink.lines.clear();
        Open();
        ASSERT_TRUE(Discover());
        EXPECT_EQ(sink.lines, std::vector<std::string>{c.line});
        EXPECT_FALSE(model->FunctionControlsEnabled());
        EXPECT_TRUE(model->Functions().empty());
        EXPECT_EQ(Added(), std::vector<std::string>{});
        Close();
    }
    EXPECT_TRUE(sink.boxes.empty());
}

} // namespace
