#pragma once
// The records of the terminal template file. Texts are GBK bytes, compared byte-wise.
// The store owns groups and terminals; a terminal owns everything below it.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/text/Arrays.h"
#include "platform/text/CString.h"

// One factory address: which ports, accounts and templates to try for a modem found there.
struct GroupRecord {
    CString name;             // "ip:mask", e.g. 192.168.1.1:255.255.255.0
    CStringArray ports;       // decimal text of each HTTP port
    CStringArray accounts;    // "user:password", optionally prefixed "web:" or "brw:"
    CStringArray terminalIds; // bound templates, in trial order
};

// Head and tail marker around a value (or around the block the next locator searches).
struct LocatorRecord {
    CString head;
    CString tail;
};

struct RuleRecord {
    CString op;       // "EQUAL", "MORE", "LESS", "NOT_EQUAL", "INCLUDE"
    CString setValue; // the reference value
    int32_t code = 0; // result of an encoding rule
};

// One value read from the modem's pages. The value read from a modem is not kept here: each
// terminal client holds its own (see RuleEvaluator), so records stay read-only while jobs run.
struct ParameterRecord {
    CString name;                               // e.g. "Firmware_Version"; looked up without regard to case
    CString page;                               // relative URL of the page holding the value
    CString keyFlag;                            // "TRUE" when the parameter recognises the model
    CString arraySpec;                          // "FALSE" for a single value
    std::vector<LocatorRecord> localLocators;   // page in the local language
    std::vector<LocatorRecord> englishLocators; // page in English
    CString joinWord; // "AND" joins the rules as a conjunction, anything else as a disjunction
    std::vector<RuleRecord> rules;
};

// A named request sequence ("login", "RestoreConfig", "reboot"); step i is
// (urls[i], methods[i], postData[i], headers[i]) and the four lists keep the same length.
struct FunctionRecord {
    CString name;
    CStringArray urls;
    CStringArray methods; // "GET" or "POST"
    CStringArray postData;
    CStringArray headers;
};

// A file-upload function such as "upgradefirmware".
struct UploadFunctionRecord {
    CString name;
    CString page;      // upload page, sent as the Referer
    CString action;    // target action of the form
    CString fieldName; // name of the file control
};

// One modem model.
struct TerminalRecord {
    CString id;       // unique key, "%Y%m%d%H%M%S" of its creation
    CString name;     // model name shown to users
    CString authKind; // "WEB" (form log-in) or "BRW" (HTTP authentication)
    CString https;    // "TRUE" or "FALSE"; carried and saved only
    // Keys are unique; the order means nothing, a sorted map keeps saves reproducible.
    std::map<CString, CString> properties;
    std::vector<std::unique_ptr<ParameterRecord>> parameters;
    std::vector<std::unique_ptr<FunctionRecord>> functions;
    std::vector<std::unique_ptr<UploadFunctionRecord>> uploadFunctions;
    CString downloadUrl;
    // Derived after loading, not stored: distinct pages of the key parameters and of all.
    CStringArray keyPages;
    CStringArray allPages;
};

// A deep copy of everything the terminal holds, derived page lists included (the copy is
// equal to the source; callers give it its own id and name).
std::unique_ptr<TerminalRecord> CopyTerminalRecord(const TerminalRecord& source);
