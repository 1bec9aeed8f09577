#pragma once
// The function editor's capture buttons through the capture dialogs.

#include "stavrintool/editor/FunctionEditorModel.h"

class CaptureDialogs : public FunctionCapture {
public:
    std::optional<CapturedRequest> CaptureFunction(int kind) override;
    Upload CaptureUpload() override;
};
