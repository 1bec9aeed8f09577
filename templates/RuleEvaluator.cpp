#include "templates/RuleEvaluator.h"

#include <cstdint>
#include <cstdlib>
#include <set>

namespace {

// Mode 1 takes the key parameters, mode 0 the others; a flag that is neither word is in both.
bool Selected(const ParameterRecord& parameter, int mode) {
    if (mode == 1 && parameter.keyFlag == "FALSE")
        return false;
    if (mode == 0 && parameter.keyFlag == "TRUE")
        return false;
    return true;
}

// Byte order of the text; for well-formed GBK the same as comparing character by character.
int CompareText(const CString& a, const CString& b) {
    return a.str().compare(b.str());
}

// A stretch of a text, and a character boundary at or before it to count characters from.
struct Span {
    size_t begin;
    size_t end;
    size_t origin;
};

// Narrows the span to the text between head and tail within it (an empty head: from its start,
// an empty tail: to its end). Markers match only at character boundaries, with every byte.
bool Narrow(const std::string& text, Span& span, const CString& head, const CString& tail) {
    size_t headAt = span.begin;
    if (!head.IsEmpty()) {
        headAt = FindOnCharBoundary(text, head.str(), span.begin, span.origin, span.end);
        if (headAt == std::string::npos)
            return false;
    }
    const size_t start = headAt + head.str().size();
    size_t end = span.end;
    if (!tail.IsEmpty()) {
        end = FindOnCharBoundary(text, tail.str(), start, headAt, span.end);
        if (end == std::string::npos)
            return false;
    }
    span = Span{start, end, headAt};
    return true;
}

bool Contains(const std::vector<CString>& list, const CString& item) {
    for (const CString& entry : list)
        if (entry == item)
            return true;
    return false;
}

} // namespace

int RuleEvaluator::CompareByRule(const CString& op, const CString& setValue, const CString& value) {
    if (op == "EQUAL")
        return value == setValue ? 1 : 0;
    if (op == "MORE")
        return CompareText(value, setValue) >= 0 ? 1 : 0;
    if (op == "LESS")
        return CompareText(value, setValue) < 0 ? 1 : 0;
    if (op == "NOT_EQUAL")
        return value != setValue ? 1 : 0;
    if (op == "INCLUDE")
        return FindOnCharBoundary(value.str(), setValue.str()) != std::string::npos ? 1 : 0;
    return 0;
}

int RuleEvaluator::EvaluateRuleList(const ParameterRecord& parameter, const CString& value) {
    if (parameter.rules.empty())
        return 1;
    int held = 0;
    for (const RuleRecord& rule : parameter.rules)
        held += CompareByRule(rule.op, rule.setValue, value);
    if (parameter.joinWord == "AND")
        return held == static_cast<int>(parameter.rules.size()) ? 1 : 0;
    return held > 0 ? 1 : 0;
}

int RuleEvaluator::GetEncodeCode(const ParameterRecord& parameter, const CString& value) {
    if (parameter.rules.empty())
        return 0;
    std::set<uint16_t> codes;
    for (const RuleRecord& rule : parameter.rules) {
        if (CompareByRule(rule.op, rule.setValue, value))
            return rule.code;
        codes.insert(static_cast<uint16_t>(rule.code));
    }
    int fallback = 0;
    while (fallback <= 0xFFFF && codes.count(static_cast<uint16_t>(fallback)))
        ++fallback;
    return fallback;
}

int RuleEvaluator::EvaluateRuleList(const ParameterRecord& parameter) const {
    return EvaluateRuleList(parameter, GetValue(parameter));
}

int RuleEvaluator::GetEncodeCode(const ParameterRecord& parameter) const {
    return GetEncodeCode(parameter, GetValue(parameter));
}

int RuleEvaluator::CheckParameters(const TerminalRecord& terminal, int mode) const {
    for (const auto& parameter : terminal.parameters) {
        if (Selected(*parameter, mode) && !EvaluateRuleList(*parameter))
            return 0;
    }
    return 1;
}

int RuleEvaluator::ExtractBetween(const CString& text, const CString& head, const CString& tail, CString& out,
                                  int* startOut) {
    Span span{0, text.str().size(), 0};
    if (!Narrow(text.str(), span, head, tail))
        return 0;
    out = CString(text.str().substr(span.begin, span.end - span.begin));
    if (startOut)
        *startOut = static_cast<int>(span.begin);
    return 1;
}

CString RuleEvaluator::SplitItem(const CString& text, const char* separators, int index) {
    if (index < 0)
        return "";
    int at = 0;
    int n = 0;
    while (at >= 0) {
        CString token = text.Tokenize(separators, at);
        if (at < 0)
            break;
        if (token.IsEmpty())
            continue;
        if (n++ == index)
            return token;
    }
    return "";
}

int RuleEvaluator::ExtractValue(const CString& page, const std::vector<LocatorRecord>& locators,
                                const CString& arraySpec, CString& value) {
    CString working = page;
    working.Trim();
    working.Remove('\r');
    working.Remove('\n');
    working.Remove('\t');
    const std::string& text = working.str();
    value.Empty();
    auto cut = [&](const Span& span) { return CString(text.substr(span.begin, span.end - span.begin)); };

    if (arraySpec == "FALSE") {
        if (locators.empty())
            return 0;
        // Each locator narrows the text the one before found.
        Span span{0, text.size(), 0};
        for (const LocatorRecord& locator : locators) {
            if (!Narrow(text, span, locator.head, locator.tail))
                return 0;
        }
        value = cut(span).Trim();
        return 1;
    }

    if (locators.size() < 2)
        return 0;
    Span block{0, text.size(), 0};
    if (!Narrow(text, block, locators[0].head, locators[0].tail))
        return 0;
    // Each pass searches the rest of the block behind the last item, in place: copying the rest
    // for every pass would make a page of many cells quadratic.
    CString list;
    size_t position = block.begin;
    size_t origin = block.origin;
    for (;;) {
        // An empty rest ends the passes: inner locators without markers would match it for ever.
        if (position >= block.end)
            break;
        Span item{position, block.end, origin};
        const CString* firstTail = nullptr;
        bool found = true;
        for (size_t i = 1; i < locators.size(); ++i) {
            if (!Narrow(text, item, locators[i].head, locators[i].tail)) {
                found = false;
                break;
            }
            if (!firstTail && !locators[i].tail.IsEmpty())
                firstTail = &locators[i].tail;
        }
        if (!found)
            break;
        if (!list.IsEmpty())
            list += ";";
        list += cut(item).Trim();
        if (!firstTail)
            break; // no closing marker to search on behind
        // Search on behind the item and its closing marker.
        position = item.end + firstTail->str().size();
        origin = item.origin;
    }
    if (list.IsEmpty())
        return 0;
    int number = std::atoi(arraySpec);
    value = number >= 1 ? SplitItem(list, ";", number - 1) : list;
    return 1;
}

int RuleEvaluator::FetchPage(const CString& page, CString& text) {
    if (!m_source)
        return 0;
    return m_source->FetchPage(page, text);
}

CString RuleEvaluator::ChooseNextPage(const TerminalList& candidates, const std::vector<CString>& fetched) {
    std::map<CString, int> counts;
    for (const TerminalRecord* candidate : candidates) {
        for (int i = 0; i < candidate->keyPages.GetSize(); ++i)
            ++counts[candidate->keyPages[i]];
    }
    CString best;
    int bestCount = 0;
    for (const auto& [page, count] : counts) {
        if (count > bestCount && !Contains(fetched, page)) {
            best = page;
            bestCount = count;
        }
    }
    return best;
}

RuleEvaluator::TerminalList RuleEvaluator::FilterCandidates(const TerminalList& candidates,
                                                            const PageMap& pages,
                                                            const std::vector<CString>* ids) {
    TerminalList kept;
    for (TerminalRecord* candidate : candidates) {
        if (ids && !Contains(*ids, candidate->id))
            continue;
        int present = 0;
        for (int i = 0; i < candidate->keyPages.GetSize(); ++i)
            present += pages.count(candidate->keyPages[i]) ? 1 : 0;
        if (present == candidate->keyPages.GetSize() && static_cast<int>(pages.size()) >= present)
            kept.push_back(candidate);
    }
    return kept;
}

int RuleEvaluator::ReadParameters(const PageMap& pages, const TerminalRecord& terminal, int mode) {
    int result = 1;
    for (const auto& parameter : terminal.parameters) {
        if (!Selected(*parameter, mode))
            continue;
        auto page = pages.find(parameter->page);
        CString value;
        if (page != pages.end() &&
            (ExtractValue(page->second, parameter->localLocators, parameter->arraySpec, value) ||
             ExtractValue(page->second, parameter->englishLocators, parameter->arraySpec, value))) {
            SetValue(*parameter, value);
            continue;
        }
        SetValue(*parameter, "");
        result = 0;
        // A key parameter that cannot be read ends the reading of that candidate.
        if (page != pages.end() && mode == 1)
            break;
    }
    return result;
}

TerminalRecord* RuleEvaluator::IdentifyAmong(const TerminalList& candidates, PageMap& pages) {
    std::vector<CString> fetched;
    for (;;) {
        CString page = ChooseNextPage(candidates, fetched);
        if (page.IsEmpty())
            return nullptr;
        fetched.push_back(page);
        CString text;
        if (!FetchPage(page, text))
            continue;
        pages[page] = text;
        // Every survivor is judged again: a parameter whose key flag is neither word is read in
        // this mode, and its page may have come in since.
        for (TerminalRecord* survivor : FilterCandidates(candidates, pages)) {
            if (ReadParameters(pages, *survivor, 1) && CheckParameters(*survivor, 1))
                return survivor;
        }
    }
}

void RuleEvaluator::ReadRemainingParameters(const TerminalRecord& terminal, PageMap& pages) {
    for (int i = 0; i < terminal.allPages.GetSize(); ++i) {
        const CString& page = terminal.allPages[i];
        if (pages.count(page))
            continue;
        CString text;
        if (FetchPage(page, text))
            pages[page] = text;
    }
    ReadParameters(pages, terminal, 0);
}

CString RuleEvaluator::GetValue(const ParameterRecord& parameter) const {
    auto found = m_values.find(&parameter);
    return found == m_values.end() ? CString() : found->second;
}

void RuleEvaluator::SetValue(const ParameterRecord& parameter, const CString& value) {
    m_values[&parameter] = value;
}
