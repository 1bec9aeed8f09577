#pragma once
// The main dialog's editor seam served by the template editor's window: one CStavrinMng per
// edit, run modally over the parent.

#include "platform/clock/Clock.h"
#include "platform/ui/Window.h"
#include "stavrintool/main/TemplateEditor.h"

class TemplateStore;

class TemplateEditorWindow : public TemplateEditor {
public:
    // Neither is owned.
    TemplateEditorWindow(TemplateStore& store, platform::ui::Window* parent,
                         const platform::Clock& clock = platform::RealClock())
        : m_store(store), m_parent(parent), m_clock(clock) {}
    Result Edit(int index) override;

private:
    TemplateStore& m_store;
    platform::ui::Window* m_parent;
    const platform::Clock& m_clock;
};
