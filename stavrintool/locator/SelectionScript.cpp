#include "stavrintool/locator/SelectionScript.h"

#include <cctype>
#include <sstream>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string PercentDecode(const std::string& in) {
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '%' && i + 2 < in.size() && HexValue(in[i + 1]) >= 0 && HexValue(in[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2]));
            i += 2;
        } else {
            out += in[i];
        }
    }
    return out;
}

} // namespace

const char* SelectionScript() {
    return "(function () {"
           "  var out = [];"
           "  function visit(w) {"
           "    var d;"
           "    try { d = w.document; } catch (e) { return; }"
           "    if (!d) return;"
           "    if (w.frames && w.frames.length > 0) {"
           "      for (var i = 0; i < w.frames.length; ++i) visit(w.frames[i]);"
           "      return;"
           "    }"
           "    var s = '';"
           "    try { s = String(w.getSelection()); } catch (e) {}"
           "    out.push([s, d.characterSet || d.charset || '', d.URL || '']"
           "             .map(encodeURIComponent).join(' '));"
           "  }"
           "  visit(window);"
           "  return out.join('\\n');"
           "})()";
}

std::vector<FrameSelection> ParseSelections(const CString& result) {
    std::vector<FrameSelection> frames;
    std::istringstream lines(result.str());
    for (std::string line; std::getline(lines, line);) {
        std::string text, charset, url;
        // An empty selection leaves an empty first field: fields are split at single blanks.
        const size_t first = line.find(' ');
        if (first == std::string::npos)
            continue;
        const size_t second = line.find(' ', first + 1);
        text = line.substr(0, first);
        charset =
            line.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
        url = second == std::string::npos ? std::string() : line.substr(second + 1);
        frames.push_back({PercentDecode(text), PercentDecode(charset), PercentDecode(url)});
    }
    return frames;
}
