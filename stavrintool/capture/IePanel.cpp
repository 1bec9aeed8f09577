#include "stavrintool/capture/IePanel.h"

#include "stavrintool/app/ToolStrings.h"

bool IePanel::FindFileControl() {
    CString result;
    Browser().RunScript(capture::FileControlScript(), &result);
    const capture::FileControlFind find = capture::ParseFileControlFind(result);
    m_fileControl = find.name;
    m_uploadPage = find.page;
    m_capture.SetFileControl(m_fileControl);
    if (find.found)
        stavrin::ShowToolMessage(platform::Prompts(), stavrin::ToolString(stavrin::kIdsFileControlFound),
                                 platform::kMbOk | platform::kMbIconInformation);
    return find.found;
}
