#include "templates/TemplateRecords.h"

namespace {

template <class T> std::vector<std::unique_ptr<T>> CopyOwned(const std::vector<std::unique_ptr<T>>& source) {
    std::vector<std::unique_ptr<T>> copy;
    copy.reserve(source.size());
    for (const auto& item : source)
        copy.push_back(item ? std::make_unique<T>(*item) : nullptr);
    return copy;
}

} // namespace

std::unique_ptr<TerminalRecord> CopyTerminalRecord(const TerminalRecord& source) {
    auto copy = std::make_unique<TerminalRecord>();
    copy->id = source.id;
    copy->name = source.name;
    copy->authKind = source.authKind;
    copy->https = source.https;
    copy->properties = source.properties;
    copy->parameters = CopyOwned(source.parameters);
    copy->functions = CopyOwned(source.functions);
    copy->uploadFunctions = CopyOwned(source.uploadFunctions);
    copy->downloadUrl = source.downloadUrl;
    copy->keyPages = source.keyPages;
    copy->allPages = source.allPages;
    return copy;
}
