#pragma once
// What a confirmed locate hands the template editor: the markers, the page they were read from
// and the include value that tells the version.

#include <vector>

#include "platform/text/CString.h"
#include "templates/TemplateRecords.h"

struct LocatedVersion {
    std::vector<LocatorRecord> markers;
    CString page;
    CString include;
};

// Whoever takes a confirmed locate.
class LocatedVersionSink {
public:
    virtual void OnVersionLocated(const LocatedVersion& located) = 0;

protected:
    ~LocatedVersionSink() = default;
};
