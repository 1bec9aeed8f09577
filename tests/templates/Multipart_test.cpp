#include <gtest/gtest.h>

#include <random>

#include "bench/FakeWebServer.h"
#include "templates/MultipartUploader.h"
#include "templates/TemplateConnection.h"
#include "templates/TemplateHttpSession.h"
#include "templates/TemplateRecords.h"
#include "tests/support/TempDir.h"

using bench::FakeWebServer;
using bench::WebResponse;

namespace {

const std::string kBoundary = "-----------------------------7d131a26a016";

// Bytes that include what could confuse a reader: zeros, CR, LF and the boundary itself.
std::string FileBytes(size_t size) {
    std::string bytes(size, '\0');
    std::mt19937 random(static_cast<unsigned>(size));
    for (auto& b : bytes)
        b = static_cast<char>(random());
    std::string trap = "\r\n--" + kBoundary + "--\r\n";
    if (size > trap.size() * 2)
        bytes.replace(size / 2, trap.size(), trap);
    return bytes;
}

std::string ExpectedBody(const std::string& path, const std::string& file) {
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"firmware\"; filename=\"" + path +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + file + "\r\n--" + kBoundary + "--\r\n";
}

class Multipart : public ::testing::Test {
protected:
    void SetUp() override {
        server.Route("POST", "/upgrade.cgi", WebResponse::Ok("upgrade started"));
        server.Start();
        auto upload = std::make_unique<UploadFunctionRecord>();
        upload->name = "upgradefirmware";
        upload->page = "upgrade.html";
        upload->action = "/upgrade.cgi";
        upload->fieldName = "firmware";
        terminal.uploadFunctions.push_back(std::move(upload));
        platform::HttpTimeouts t;
        t.connectMs = 2000;
        t.stallSeconds = 1;
        t.uploadAnswerSeconds = 1;
        connection.SetTimeouts(t);
        connection.Connect("127.0.0.1", server.Port(), "", "");
        session.SetTerminal(&connection, &terminal);
    }

    FakeWebServer server;
    testsupport::TempDir dir;
    TerminalRecord terminal;
    TemplateConnection connection;
    TemplateHttpSession session;
};

TEST_F(Multipart, BodyByteForByte) {
    for (size_t size :
         {size_t(0), size_t(65535), size_t(65536), size_t(65537), size_t(5 * 1024 * 1024 + 3)}) {
        server.ClearRequests();
        std::string path = (dir / ("fw" + std::to_string(size) + ".bin")).string();
        std::string file = FileBytes(size);
        testsupport::WriteFileBytes(path, file);

        ASSERT_EQ(session.RunUpload("upgradefirmware", path.c_str(), "192.168.1.1"), 1) << size;
        EXPECT_EQ(session.GetResponseLog(), "upgrade started");
        auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u) << size;
        std::string body = ExpectedBody(path, file);
        EXPECT_EQ(requests[0].head,
                  "POST /upgrade.cgi HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                      "\r\nContent-Type: multipart/form-data; boundary=" + kBoundary +
                      "\r\nReferer: http://192.168.1.1/upgrade.html\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\n\r\n")
            << size;
        EXPECT_TRUE(requests[0].body == body) << size; // no diff dump of megabytes
    }
}

TEST_F(Multipart, FileNameCannotBreakTheHeader) {
    std::string path = (dir / "fw\"x\r\ny.bin").string();
    testsupport::WriteFileBytes(path, "abc");
    ASSERT_EQ(session.RunUpload("upgradefirmware", path.c_str(), "h"), 1);
    std::string escaped = (dir / "fw%22x%0D%0Ay.bin").string();
    EXPECT_EQ(server.Requests().at(0).body, ExpectedBody(escaped, "abc"));
}

TEST_F(Multipart, OnlyAnAcceptedAnswerIsSuccess) {
    std::string path = (dir / "fw.bin").string();
    testsupport::WriteFileBytes(path, FileBytes(70000));
    WebResponse silent;
    silent.silent = true;
    WebResponse dropped;
    dropped.dropConnection = true;
    struct Case {
        const char* what;
        WebResponse answer;
        int result;
        unsigned status;
    } cases[] = {
        {"accepted", WebResponse::Ok("ok"), 1, 200},
        {"redirected to the result page", WebResponse::Status(302).Header("Location", "/done.html"), 1, 302},
        {"refused", WebResponse::Status(403, "bad image"), 0, 403},
        {"server error", WebResponse::Status(500, "flash error"), 0, 500},
        {"closed without answer", dropped, 0, 0},
        {"no answer within the upload limit", silent, 0, 0},
    };
    for (const auto& k : cases) {
        server.Route("POST", "/upgrade.cgi", k.answer);
        connection.Connect("127.0.0.1", server.Port(), "", "");
        EXPECT_EQ(session.RunUpload("upgradefirmware", path.c_str(), "h"), k.result) << k.what;
        EXPECT_EQ(session.GetUploader().GetStatusCode(), k.status) << k.what;
    }
    EXPECT_EQ(session.GetResponseLog(), "");

    size_t before = server.RequestCount();
    EXPECT_EQ(session.RunUpload("upgradefirmware", (dir / "missing.bin").c_str(), "h"), 0);
    EXPECT_EQ(session.RunUpload("upgradefirmware", dir.str().c_str(), "h"), 0); // a directory
    EXPECT_EQ(session.RunUpload("nosuchfunction", path.c_str(), "h"), 0);
    EXPECT_EQ(server.RequestCount(), before);
    MultipartUploader unset;
    EXPECT_EQ(unset.Upload("h", path.c_str()), 0);
}

TEST_F(Multipart, UploadAnswerHasItsOwnLimit) {
    platform::HttpTimeouts t;
    t.stallSeconds = 1;
    t.uploadAnswerSeconds = 5;
    connection.SetTimeouts(t);
    WebResponse slow = WebResponse::Ok("flashed");
    slow.delayMs = 2500;
    server.Route("POST", "/upgrade.cgi", slow);
    server.Route("GET", "/page.html", slow);
    std::string path = (dir / "fw.bin").string();
    testsupport::WriteFileBytes(path, FileBytes(1000));
    EXPECT_EQ(session.RunUpload("upgradefirmware", path.c_str(), "h"), 1);
    EXPECT_EQ(session.GetResponseLog(), "flashed");
    // A page that answers as late has stalled.
    EXPECT_EQ(connection.SendTemplateRequest("/page.html", "GET", "", ""), 0);
}

TEST_F(Multipart, DigestRetrySendsTheFileAgain) {
    server.RequireAuth("/upgrade.cgi", bench::WebAuth::Digest, "admin", "pw");
    connection.Connect("127.0.0.1", server.Port(), "admin", "pw");
    std::string path = (dir / "fw.bin").string();
    std::string file = FileBytes(200000);
    testsupport::WriteFileBytes(path, file);
    ASSERT_EQ(session.RunUpload("upgradefirmware", path.c_str(), "h"), 1);
    auto requests = server.Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_TRUE(requests.back().body == ExpectedBody(path, file));
    EXPECT_EQ(requests.back().Header("Authorization").rfind("Digest ", 0), 0u);
}

} // namespace
