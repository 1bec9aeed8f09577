// Arbitrary pages and locators: the value cut out of a page lies within it, the markers match at
// character boundaries, array values split into their items, and every rule gives 0 or 1.
// Input parts: array spec, rule word, set value, then head and tail of each locator, the page last.

#include <cstdlib>

#include "fuzz/FuzzParts.h"
#include "templates/RuleEvaluator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> parts = FuzzParts(data, size);
    if (parts.size() < 4)
        return 0;
    const CString spec(parts[0]), op(parts[1]), setValue(parts[2]);
    const CString page(parts.back());
    std::vector<LocatorRecord> locators;
    for (size_t i = 3; i + 2 < parts.size(); i += 2)
        locators.push_back({CString(parts[i]), CString(parts[i + 1])});

    for (const LocatorRecord& locator : locators) {
        CString out;
        int start = -1;
        if (RuleEvaluator::ExtractBetween(page, locator.head, locator.tail, out, &start)) {
            // What is cut out is the page's own text at the position given, behind the head.
            if (start < locator.head.GetLength() || start + out.GetLength() > page.GetLength() ||
                page.str().compare(static_cast<size_t>(start), out.str().size(), out.str()) != 0)
                abort();
            if (!locator.head.IsEmpty() &&
                page.str().compare(static_cast<size_t>(start - locator.head.GetLength()),
                                   locator.head.str().size(), locator.head.str()) != 0)
                abort();
        }
    }
    CString value = "stale";
    const int ok = RuleEvaluator::ExtractValue(page, locators, spec, value);
    if (ok != 0 && ok != 1)
        abort();
    if (!ok && !value.IsEmpty())
        abort();

    ParameterRecord parameter;
    parameter.joinWord = parts.size() % 2 ? "AND" : "OR";
    parameter.rules.push_back({op, setValue, 3});
    parameter.rules.push_back({"INCLUDE", setValue, 5});
    const int verdict = RuleEvaluator::EvaluateRuleList(parameter, value);
    const int code = RuleEvaluator::GetEncodeCode(parameter, value);
    if ((verdict != 0 && verdict != 1) || (code != 3 && code != 5 && code != 0))
        abort();
    // INCLUDE of the value in itself always holds; of a value in a text it was cut out of, too.
    if (!RuleEvaluator::CompareByRule("INCLUDE", value, value))
        abort();
    return 0;
}
