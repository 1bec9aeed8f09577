#include "stavrintool/main/NewTemplateId.h"

#include <ctime>

#include "templates/TemplateStore.h"

namespace {

CString LocalStamp(std::time_t seconds) {
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
    return text;
}

} // namespace

CString NewTemplateId(const TemplateStore& store, const platform::Clock& clock) {
    std::time_t seconds = std::chrono::system_clock::to_time_t(clock.WallNow());
    CString id = LocalStamp(seconds);
    while (store.FindTerminalById(id))
        id = LocalStamp(++seconds);
    return id;
}
