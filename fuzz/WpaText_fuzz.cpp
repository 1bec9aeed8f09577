// The supplicant's replies and events as any daemon on the control socket may send them: the
// first byte picks the reader, the rest is the reply. Readers keep to whole lines and entries,
// and the supplicant's hex form gives back the bytes it was made from.

#include <cstdlib>

#include "platform/wifi/WpaText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string reply(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 6) {
    case 0:
        for (const auto& [key, value] : platform::ParseWpaKeyValues(reply)) {
            if (key.find('\n') != std::string::npos || value.find('\n') != std::string::npos)
                abort();
        }
        break;
    case 1:
        for (const platform::WpaNetwork& network : platform::ParseListNetworks(reply)) {
            if (network.flags.find('\n') != std::string::npos)
                abort();
        }
        break;
    case 2: {
        platform::WpaBssPage page = platform::ParseBssPage(reply);
        if (page.entries.size() > reply.size())
            abort();
        break;
    }
    case 3:
        platform::ParseNetworkValue(reply);
        if (std::optional<std::string> text = platform::ParseNetworkText(reply);
            text && text->size() > reply.size())
            abort();
        break;
    case 4:
        if (std::optional<platform::WpaEvent> event = platform::ParseWpaEvent(reply)) {
            event->Value("reason");
            event->Value("id");
        }
        break;
    default:
        if (platform::DecodeWpaText(reply).size() > reply.size())
            abort();
        break;
    }
    std::optional<std::string> bytes = platform::BytesOfHex(platform::HexOf(reply));
    if (!bytes || *bytes != reply)
        abort();
    return 0;
}
