// The capture rules as tables: actions cut from URLs, kept headers, credential placeholders,
// and the file control named by an upload body.

#include <gtest/gtest.h>

#include "stavrintool/capture/RequestCapture.h"

namespace {

TEST(RequestCaptureTest, ActionIsPathAndQueryOnly) {
    struct Case {
        const char* url;
        const char* action;
    } cases[] = {
        {"http://192.168.1.1/login.cgi", "/login.cgi"},
        {"http://192.168.1.1:8080/cgi-bin/a.cgi?x=1&y=%D6%D0", "/cgi-bin/a.cgi?x=1&y=%D6%D0"},
        {"https://192.168.1.1/secure/up.cgi?z", "/secure/up.cgi?z"},
        {"http://192.168.1.1/form.htm#frag", "/form.htm"},
        {"http://192.168.1.1/a?b=1#c/d", "/a?b=1"},
        {"http://192.168.1.1", "/"},
        {"http://192.168.1.1?x=1", "/?x=1"},
        {"http://user:pw@192.168.1.1/p", "/p"},
        {"/already/origin?form", "/already/origin?form"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(capture::ActionFromUrl(c.url), c.action) << c.url;
}

TEST(RequestCaptureTest, OnlyContentTypeRefererAndOriginAreKept) {
    std::vector<std::pair<std::string, std::string>> headers = {
        {"Host", "192.168.1.1"},
        {"referer", "http://192.168.1.1/"},
        {"Cookie", "sid=1"},
        {"Authorization", "Basic eA=="},
        {"Content-Type", "text/plain"},
        {"ORIGIN", "http://192.168.1.1"},
        {"Content-Length", "3"},
        {"User-Agent", "x"},
    };
    EXPECT_EQ(capture::KeptHeaders(headers),
              "referer: http://192.168.1.1/\r\nContent-Type: text/plain\r\nORIGIN: http://192.168.1.1\r\n");
    EXPECT_EQ(capture::KeptHeaders({}), "");
}

TEST(RequestCaptureTest, CredentialsBecomePlaceholders) {
    struct Case {
        const char* text;
        const char* user;
        const char* password;
        bool replaced;
        const char* result;
    } cases[] = {
        // Both fields preset alike: the user name is taken first, the password finds the second.
        {"user=tolva&pass=tolva&x=1", "tolva", "tolva", true, "user=<username>&pass=<userpassword>&x=1"},
        {"/login.cgi?name=admin&pwd=s3cret", "admin", "s3cret", true,
         "/login.cgi?name=<username>&pwd=<userpassword>"},
        // "." is a plain character, not any character.
        {"u=a.b&p=x", "a.b", "x", true, "u=<username>&p=<userpassword>"},
        {"u=axb&p=x", "a.b", "x", false, "u=axb&p=x"},
        // A value that only begins with the name is not it; the whole value further on is.
        {"u=tolvax&v=tolva&p=pw", "tolva", "pw", true, "u=tolvax&v=<username>&p=<userpassword>"},
        {"u=tolvax&p=pw", "tolva", "pw", false, "u=tolvax&p=pw"},
        {"u=admin&p=other", "admin", "pw", false, "u=admin&p=other"},
        {"nothing here", "admin", "pw", false, "nothing here"},
        {"u=&p=pw", "", "pw", false, "u=&p=pw"},
        {"u=admin&p=", "admin", "", false, "u=admin&p="},
    };
    for (const Case& c : cases) {
        CString text = c.text;
        EXPECT_EQ(capture::ReplaceCredentials(text, c.user, c.password), c.replaced) << c.text;
        EXPECT_EQ(text, c.result) << c.text;
    }
}

TEST(RequestCaptureTest, BodyNamesControlOnlyByAPartName) {
    const std::string upload =
        "--B1\r\nContent-Disposition: form-data; name=\"act\"\r\n\r\nfile\r\n"
        "--B1\r\nContent-Disposition: form-data; name=\"fw_file\"; filename=\"file.bin\"\r\n"
        "Content-Type: application/octet-stream\r\n\r\nname=\"file\"\r\n--B1--\r\n";
    struct Case {
        const char* control;
        bool named;
    } cases[] = {
        {"fw_file", true}, {"act", true}, {"file", false}, // only in values and a file name
        {"fw", false},     {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(capture::BodyNamesControl(upload, c.control), c.named) << c.control;
    EXPECT_FALSE(capture::BodyNamesControl("fw_file=1&name=\"fw_file\"", "fw_file"));
}

} // namespace
