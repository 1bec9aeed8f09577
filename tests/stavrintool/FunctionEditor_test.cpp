// The function editor's rules without a window: the model on the fixture's first template
// (functions "login" of two steps, "reboot", "nothing" without steps; one upload function),
// boxes recorded, the capture dialogs played by a fake.

#include <gtest/gtest.h>

#include "stavrintool/editor/FunctionEditorModel.h"
#include "tests/stavrintool/ModelFixture.h"

namespace {

using namespace testsupport;
using Texts = std::vector<CString>;

class FakeCapture : public FunctionCapture {
public:
    std::vector<int> kinds;
    std::optional<CapturedRequest> request;
    Upload upload;
    std::optional<CapturedRequest> CaptureFunction(int kind) override {
        kinds.push_back(kind);
        return request;
    }
    Upload CaptureUpload() override { return upload; }
};

class FunctionEditorModelTest : public ToolModelTest {
protected:
    void SetUp() override {
        ToolModelTest::SetUp();
        model = std::make_unique<FunctionEditorModel>(record(), prompts, &capture);
        model->Init();
    }
    TerminalRecord& record() { return *store.Terminals()[0]; }
    // Each step as url|method|post data|headers; the four lists must agree in length.
    std::vector<std::string> StepsOf(const FunctionRecord& f) {
        EXPECT_EQ(f.methods.GetSize(), f.urls.GetSize());
        EXPECT_EQ(f.postData.GetSize(), f.urls.GetSize());
        EXPECT_EQ(f.headers.GetSize(), f.urls.GetSize());
        std::vector<std::string> steps;
        for (int i = 0; i < f.urls.GetSize(); ++i)
            steps.push_back(
                (f.urls[i] + "|" + f.methods[i] + "|" + f.postData[i] + "|" + f.headers[i]).str());
        return steps;
    }
    void TypeStep(const char* url, bool post, const char* data, const char* headers) {
        model->stepUrl = url;
        model->post = post;
        model->postData = data;
        model->headers = headers;
    }

    FakeCapture capture;
    // Made once the store is loaded.
    std::unique_ptr<FunctionEditorModel> model;
};

TEST_F(FunctionEditorModelTest, OpensOnTheRecordsFunctionsAndDownloadUrl) {
    EXPECT_EQ(model->Functions(), (Texts{"login", "reboot", "nothing"}));
    EXPECT_EQ(model->Uploads(), (Texts{"upgradefirmware"}));
    EXPECT_EQ(model->downloadUrl, "ftp://10.0.0.2/fw/A1.bin");
    EXPECT_TRUE(model->post);
    EXPECT_TRUE(model->Steps().empty());
}

TEST_F(FunctionEditorModelTest, ABlankNameAddsNothingAndANameIsTrimmed) {
    for (const char* name : {"", "   ", "\t "}) {
        model->functionName = name;
        model->AddFunction();
    }
    EXPECT_EQ(model->Functions().size(), 3u);
    model->functionName = "  login ";
    model->AddFunction();
    EXPECT_EQ(model->Functions(), (Texts{"login", "reboot", "nothing", "login"}));
}

TEST_F(FunctionEditorModelTest, ChoosingAFunctionChoosesAndShowsItsFirstStep) {
    model->ChooseFunction(2);
    TypeStep("/a", true, "a=1", "A: 1\r\n");
    model->AddStep();
    TypeStep("/b", false, "", "");
    model->AddStep();
    TypeStep("/c", true, "c=3", "");
    model->AddStep();
    model->headers = "left over";
    model->ChooseFunction(1);
    model->ChooseFunction(2);
    EXPECT_EQ(model->functionName, "nothing");
    EXPECT_EQ(model->Steps(), (Texts{"/a", "/b", "/c"}));
    EXPECT_EQ(model->stepSel, 0);
    EXPECT_EQ(model->stepUrl, "/a");
    EXPECT_EQ(model->postData, "a=1");
    EXPECT_EQ(model->headers, "A: 1\r\n");
    EXPECT_TRUE(model->post);
    model->ChooseStep(1);
    EXPECT_FALSE(model->post);

    // A function without steps: none chosen, the header box emptied.
    model->functionName = "empty";
    model->AddFunction();
    model->ChooseFunction(3);
    EXPECT_EQ(model->stepSel, -1);
    EXPECT_EQ(model->headers, "");
}

TEST_F(FunctionEditorModelTest, OnlyAnExactUpperCasePostShowsPost) {
    record().functions[1]->methods.SetAt(0, "post");
    model->ChooseFunction(1);
    EXPECT_FALSE(model->post);
    model->ChooseFunction(0);
    EXPECT_TRUE(model->post);
}

TEST_F(FunctionEditorModelTest, InsertGoesBeforeTheChosenStepAndDeletesKeepTheListsTogether) {
    FunctionRecord& login = *record().functions[0];
    model->ChooseFunction(0);
    TypeStep("/third", false, "", "");
    model->AddStep();
    // Step 2 of 3 chosen: the new one takes its place and it moves to 3.
    model->ChooseStep(1);
    TypeStep("/new", true, "n=1", "N: 1\r\n");
    model->InsertStep();
    EXPECT_EQ(
        StepsOf(login),
        (std::vector<std::string>{
            "/login.cgi|POST|user=%USER%&pass=%PASS%|Content-Type: application/x-www-form-urlencoded\r\n",
            "/new|POST|n=1|N: 1\r\n", "/index.htm|GET||", "/third|GET||"}));
    EXPECT_EQ(model->stepSel, 2);
    model->DeleteStep();
    EXPECT_EQ(model->Steps(), (Texts{"/login.cgi", "/new", "/third"}));
    StepsOf(login);
    // Insert needs a chosen step.
    model->InsertStep();
    EXPECT_EQ(login.urls.GetSize(), 3);

    model->DeleteFunction();
    EXPECT_EQ(model->Functions(), (Texts{"reboot", "nothing"}));
    EXPECT_TRUE(model->Steps().empty());
    EXPECT_EQ(model->headers, "");
}

// A captured function replaces only functions of exactly its name, without regard to case.
TEST_F(FunctionEditorModelTest, ACapturedFunctionReplacesItsNameAndNoLongerName) {
    for (const char* name : {"LOGIN", "login2", "loginCheck"}) {
        model->functionName = name;
        model->AddFunction();
    }
    capture.request = CapturedRequest{"/goform/login?x=1", "Referer: /\r\n", "u=<username>", true};
    model->ChooseFunction(0);
    ASSERT_EQ(model->stepSel, 0);
    model->CaptureFunction(FunctionCapture::kLogin);
    EXPECT_EQ(capture.kinds, (std::vector<int>{0}));
    EXPECT_EQ(model->Functions(), (Texts{"reboot", "nothing", "login2", "loginCheck", "login"}));
    EXPECT_EQ(StepsOf(*record().functions.back()),
              (std::vector<std::string>{"/goform/login?x=1|POST|u=<username>|Referer: /\r\n"}));
    EXPECT_EQ(model->functionSel, -1);
    EXPECT_TRUE(model->Steps().empty());

    capture.request = CapturedRequest{"/reboot.cgi", "", "", false};
    model->CaptureFunction(FunctionCapture::kReboot);
    capture.request.reset();
    model->CaptureFunction(FunctionCapture::kRestoreConfig);
    EXPECT_EQ(model->Functions(), (Texts{"nothing", "login2", "loginCheck", "login", "reboot"}));
    EXPECT_EQ(StepsOf(*record().functions.back()), (std::vector<std::string>{"/reboot.cgi|GET||"}));
    EXPECT_EQ(capture.kinds, (std::vector<int>{0, 2, 1}));
    EXPECT_TRUE(TakeBoxes().empty());
}

TEST_F(FunctionEditorModelTest, AnUploadCaptureNeedsTheControlNamedInTheBody) {
    using Upload = FunctionCapture::Upload;
    model->uploadName = "UpgradeFirmware";
    model->AddUpload();
    model->uploadName = "upgradefirmware2";
    model->AddUpload();
    struct Case {
        Upload::Outcome outcome;
        bool named;
        const char* box; // "" none
        bool replaced;
    } cases[] = {
        {Upload::kClosed, true, "", false},
        {Upload::kNothingCaptured, true, "", false},
        {Upload::kFailed, true, "获取参数失败", false},
        {Upload::kCaptured, false, "获取参数失败", false},
        {Upload::kCaptured, true, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outcome);
        capture.upload = Upload{c.outcome, "/up.htm", "/cgi-bin/up.cgi", "fw_file", c.named};
        model->CaptureUpload();
        EXPECT_EQ(TakeBoxes(), (*c.box ? std::vector<std::string>{c.box} : std::vector<std::string>{}));
        EXPECT_EQ(model->Uploads(),
                  (c.replaced ? Texts{"upgradefirmware2", "upgradefirmware"}
                              : Texts{"upgradefirmware", "UpgradeFirmware", "upgradefirmware2"}));
    }
    const UploadFunctionRecord& added = *record().uploadFunctions.back();
    EXPECT_EQ(added.page, "/up.htm");
    EXPECT_EQ(added.action, "/cgi-bin/up.cgi");
    EXPECT_EQ(added.fieldName, "fw_file");
}

TEST_F(FunctionEditorModelTest, UploadFunctionsAndTheDownloadUrlAreTakenAsTyped) {
    model->uploadName = "up";
    model->uploadPage = " /p.htm";
    model->uploadAction = "";
    model->uploadField = "file";
    model->AddUpload();
    model->ChooseUpload(0);
    EXPECT_EQ(model->uploadField, "firmware");
    model->ChooseUpload(1);
    EXPECT_EQ(model->uploadPage, " /p.htm");
    model->ChooseUpload(0);
    model->DeleteUpload();
    EXPECT_EQ(model->Uploads(), (Texts{"up"}));
    model->downloadUrl = "http://h/new.bin";
    EXPECT_EQ(record().downloadUrl, "ftp://10.0.0.2/fw/A1.bin");
    model->ApplyDownloadUrl();
    EXPECT_EQ(record().downloadUrl, "http://h/new.bin");
}

TEST_F(FunctionEditorModelTest, IndexesOutsideTheListsAndOverlongTextsChangeNothing) {
    const std::unique_ptr<TerminalRecord> before = CopyTerminalRecord(record());
    model->functionSel = 3;
    model->stepSel = 0;
    model->uploadSel = 1;
    model->DeleteFunction();
    model->AddStep();
    model->InsertStep();
    model->DeleteStep();
    model->DeleteUpload();
    model->ChooseFunction(-1);
    model->ChooseUpload(1);
    model->functionSel = 1;
    model->stepSel = 1;
    model->InsertStep();
    model->DeleteStep();
    model->ChooseStep(1);
    const CString tooLong = std::string(10240, 'a').c_str();
    model->downloadUrl = tooLong;
    model->ApplyDownloadUrl();
    model->stepUrl = tooLong;
    model->AddStep();
    capture.request = CapturedRequest{"/login", "", tooLong, true};
    model->CaptureFunction(FunctionCapture::kLogin);
    EXPECT_EQ(TakeBoxes().size(), 3u);
    EXPECT_TRUE(SameRecord(record(), *before));
}

} // namespace
