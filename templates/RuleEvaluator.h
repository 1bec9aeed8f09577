#pragma once
// Turns a modem's pages into parameter values and verdicts: cuts values out of page text with
// the locators' head and tail markers, checks them against the parameters' rules, and drives
// the recognition of a model among candidate templates.
//
// The values read are held here, per evaluator (one per terminal client), keyed by the
// parameter record; the shared template records are only read, so job threads that recognise
// modems of the same model at the same time never write the same fields.
// Every failure is a 0 result or an empty text; nothing is logged or thrown.

#include <map>
#include <vector>

#include "platform/text/CString.h"
#include "templates/PageSource.h"
#include "templates/TemplateRecords.h"

class RuleEvaluator {
public:
    // Page path to page text, for one identification.
    using PageMap = std::map<CString, CString>;
    using TerminalList = std::vector<TerminalRecord*>;

    // Not owned; none at construction.
    void SetConnection(PageSource* source) { m_source = source; }
    PageSource* GetConnection() const { return m_source; }

    // Versions and all other values compare as text (GBK byte order): "10" is LESS than "9".
    static int CompareByRule(const CString& op, const CString& setValue, const CString& value);
    // The verdict of the rules on a value, joined by the parameter's join word.
    static int EvaluateRuleList(const ParameterRecord& parameter, const CString& value);
    // The code of the first rule that holds, else the smallest code no rule has.
    static int GetEncodeCode(const ParameterRecord& parameter, const CString& value);
    // The same on the value last read here.
    int EvaluateRuleList(const ParameterRecord& parameter) const;
    int GetEncodeCode(const ParameterRecord& parameter) const;
    // 1 when the rules of every selected parameter hold: mode 1 key parameters, 0 the others.
    int CheckParameters(const TerminalRecord& terminal, int mode) const;

    static int ExtractBetween(const CString& text, const CString& head, const CString& tail, CString& out,
                              int* start = nullptr);
    // The index-th non-empty token; "" when out of range.
    static CString SplitItem(const CString& text, const char* separators, int index);
    static int ExtractValue(const CString& page, const std::vector<LocatorRecord>& locators,
                            const CString& arraySpec, CString& value);

    int FetchPage(const CString& page, CString& text);
    // The key page most candidates list that is not fetched yet; "" when none is left.
    static CString ChooseNextPage(const TerminalList& candidates, const std::vector<CString>& fetched);
    // The candidates whose key pages are all in the map (optionally only those with a listed id).
    static TerminalList FilterCandidates(const TerminalList& candidates, const PageMap& pages,
                                         const std::vector<CString>* ids = nullptr);
    // Reads the selected parameters from the map; 1 when all were read.
    int ReadParameters(const PageMap& pages, const TerminalRecord& terminal, int mode);
    TerminalRecord* IdentifyAmong(const TerminalList& candidates, PageMap& pages);
    // Fetches the terminal's pages not in the map yet and reads its non-key parameters.
    void ReadRemainingParameters(const TerminalRecord& terminal, PageMap& pages);

    // The value last read for a parameter; "" when none was read.
    CString GetValue(const ParameterRecord& parameter) const;
    void SetValue(const ParameterRecord& parameter, const CString& value);
    // Forgets every value (before a new modem is recognised).
    void ClearValues() { m_values.clear(); }

private:
    PageSource* m_source = nullptr;
    std::map<const ParameterRecord*, CString> m_values;
};
