#include "platform/wifi/WpaText.h"

#include <cstdlib>
#include <sstream>

#include "platform/text/Hex.h"

namespace platform {

namespace {

std::vector<std::string> Lines(const std::string& reply) {
    std::vector<std::string> lines;
    std::istringstream stream(reply);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

} // namespace

std::string DecodeWpaText(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        char next = text[++i];
        switch (next) {
        case 'n':
            bytes += '\n';
            break;
        case 'r':
            bytes += '\r';
            break;
        case 't':
            bytes += '\t';
            break;
        case 'e':
            bytes += '\033';
            break;
        case 'x':
            if (i + 2 < text.size() && platform::HexDigitValue(text[i + 1]) >= 0 &&
                platform::HexDigitValue(text[i + 2]) >= 0) {
                bytes += static_cast<char>(platform::HexDigitValue(text[i + 1]) * 16 +
                                           platform::HexDigitValue(text[i + 2]));
                i += 2;
            } else {
                bytes += "\\x";
            }
            break;
        default: // \\ and \" and anything unknown: the character itself
            bytes += next;
        }
    }
    return bytes;
}

std::string HexOf(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

std::optional<std::string> BytesOfHex(const std::string& hex) {
    if (hex.size() % 2)
        return std::nullopt;
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        int high = platform::HexDigitValue(hex[i]), low = platform::HexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

std::map<std::string, std::string> ParseWpaKeyValues(const std::string& reply) {
    std::map<std::string, std::string> values;
    for (const std::string& line : Lines(reply)) {
        size_t equals = line.find('=');
        if (equals != std::string::npos && equals > 0)
            values.emplace(line.substr(0, equals), line.substr(equals + 1));
    }
    return values;
}

std::vector<WpaNetwork> ParseListNetworks(const std::string& reply) {
    std::vector<WpaNetwork> networks;
    // A line without its end is what did not fit.
    std::vector<std::string> lines = Lines(reply.substr(0, reply.rfind('\n') + 1));
    for (size_t i = 1; i < lines.size(); ++i) { // the first line names the columns
        std::vector<std::string> fields = Fields(lines[i]);
        if (fields.size() < 4 || fields[0].empty() ||
            fields[0].find_first_not_of("0123456789") != std::string::npos)
            continue;
        WpaNetwork network;
        network.id = std::atoi(fields[0].c_str());
        network.ssid = DecodeWpaText(fields[1]);
        network.bssid = fields[2];
        network.flags = fields[3];
        networks.push_back(std::move(network));
    }
    return networks;
}

WpaBssPage ParseBssPage(const std::string& reply) {
    WpaBssPage page;
    std::map<std::string, std::string> fields;
    for (const std::string& line : Lines(reply)) {
        if (line != "====" && line != "####") {
            size_t equals = line.find('=');
            if (equals != std::string::npos && equals > 0)
                fields.emplace(line.substr(0, equals), line.substr(equals + 1));
            continue;
        }
        if (fields.count("id") && fields.count("bssid")) {
            WpaScanResult entry;
            entry.id = std::atoi(fields["id"].c_str());
            entry.bssid = fields["bssid"];
            entry.frequency = std::atoi(fields["freq"].c_str());
            entry.signal = std::atoi(fields["level"].c_str());
            entry.flags = fields["flags"];
            entry.ssid = DecodeWpaText(fields["ssid"]);
            page.entries.push_back(std::move(entry));
        }
        fields.clear();
        if (line == "####") {
            page.last = true;
            break;
        }
    }
    return page;
}

std::optional<std::string> ParseNetworkValue(const std::string& reply) {
    std::string value = reply;
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r'))
        value.pop_back();
    if (value.empty() || value == "FAIL")
        return std::nullopt;
    return value;
}

std::optional<std::string> ParseNetworkText(const std::string& reply) {
    std::optional<std::string> value = ParseNetworkValue(reply);
    if (!value)
        return std::nullopt;
    if (value->size() >= 2 && value->front() == '"' && value->back() == '"')
        return value->substr(1, value->size() - 2);
    return BytesOfHex(*value);
}

std::string WpaEvent::Value(const std::string& name) const {
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        // "[id=0 id_str=]" holds words in brackets.
        if (!word.empty() && word.front() == '[')
            word.erase(0, 1);
        if (!word.empty() && word.back() == ']')
            word.pop_back();
        if (word.size() > name.size() && word.compare(0, name.size(), name) == 0 && word[name.size()] == '=')
            return word.substr(name.size() + 1);
    }
    return {};
}

std::optional<WpaEvent> ParseWpaEvent(const std::string& message) {
    size_t close = message.find('>');
    if (message.empty() || message[0] != '<' || close == std::string::npos)
        return std::nullopt;
    WpaEvent event;
    event.level = std::atoi(message.substr(1, close - 1).c_str());
    event.text = message.substr(close + 1);
    while (!event.text.empty() && (event.text.back() == '\n' || event.text.back() == '\r'))
        event.text.pop_back();
    return event;
}

} // namespace platform
