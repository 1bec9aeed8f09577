#include "stavrintool/editor/TemplateEditorWindow.h"

#include "platform/prompt/Prompt.h"
#include "stavrintool/editor/CStavrinMng.h"

TemplateEditor::Result TemplateEditorWindow::Edit(int index) {
    Result result;
    CStavrinMng editor(m_store, m_parent, m_clock);
    if (!editor.SetTemplate(index))
        return result;
    result.code = editor.DoModal();
    if (result.code == platform::kIdOk)
        result.record = editor.TakeNewRecord();
    return result;
}
