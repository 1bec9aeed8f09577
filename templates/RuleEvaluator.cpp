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
        return value.Find(setValue) >= 0 ? 1 : 0;
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
    int start = 0;
    if (!head.IsEmpty()) {
        start = text.Find(head);
        if (start < 0)
            return 0;
    }
    start += head.GetLength();
    int end = text.GetLength();
    if (!tail.IsEmpty()) {
        end = text.Find(tail, start);
        if (end < 0)
            return 0;
    }
    CString found = text.Mid(start, end - start);
    out = found;
    if (startOut)
        *startOut = start;
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
    CString text = page;
    text.Trim();
    text.Remove('\r');
    text.Remove('\n');
    text.Remove('\t');
    value.Empty();

    if (arraySpec == "FALSE") {
        if (locators.empty())
            return 0;
        for (const LocatorRecord& locator : locators) {
            if (!ExtractBetween(text, locator.head, locator.tail, text))
                return 0;
        }
        value = text.Trim();
        return 1;
    }

    if (locators.size() < 2)
        return 0;
    CString rest;
    if (!ExtractBetween(text, locators[0].head, locators[0].tail, rest))
        return 0;
    CString list;
    int position = 0;
    for (;;) {
        rest = rest.Mid(position);
        // An empty rest ends the passes: inner locators without markers would match it for ever.
        if (rest.IsEmpty())
            break;
        CString item = rest;
        int offset = 0;
        CString firstTail;
        bool found = true;
        for (size_t i = 1; i < locators.size(); ++i) {
            int start = 0;
            if (!ExtractBetween(item, locators[i].head, locators[i].tail, item, &start)) {
                found = false;
                break;
            }
            offset += start;
            if (firstTail.IsEmpty())
                firstTail = locators[i].tail;
        }
        if (!found)
            break;
        CString trimmed = item;
        trimmed.Trim();
        if (!list.IsEmpty())
            list += ";";
        list += trimmed;
        // Search on behind the item and its closing marker.
        position =
            firstTail.IsEmpty() ? rest.GetLength() + 1 : offset + item.GetLength() + firstTail.GetLength();
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
    // A candidate judged once is judged on the same pages the next time, so it is not judged again.
    std::set<const TerminalRecord*> judged;
    for (;;) {
        CString page = ChooseNextPage(candidates, fetched);
        if (page.IsEmpty())
            return nullptr;
        fetched.push_back(page);
        CString text;
        if (!FetchPage(page, text))
            continue;
        pages[page] = text;
        for (TerminalRecord* survivor : FilterCandidates(candidates, pages)) {
            if (!judged.insert(survivor).second)
                continue;
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
