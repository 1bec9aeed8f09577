#pragma once
// Where the main dialog hands a template to the editor: the index of a template of the store,
// or -1 for a new one. The editor's window plugs in here; tests plug a fake.

#include <memory>

#include "templates/TemplateRecords.h"

class TemplateEditor {
public:
    virtual ~TemplateEditor() = default;
    struct Result {
        int code = 2;                           // 1 OK, 2 Cancel
        std::unique_ptr<TerminalRecord> record; // index -1 and OK: the new template
    };
    // Edits the store's template at index in place, or makes a new one for -1.
    virtual Result Edit(int index) = 0;
};
