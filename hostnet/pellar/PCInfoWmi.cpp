// The connection to the management provider and the query engine.

#include <arpa/inet.h>
#include <cctype>

#include "hostnet/dunmore/Function.h"
#include "hostnet/dunmore/Guarded.h"
#include "hostnet/pellar/PCInfo.h"
#include "platform/wmi/Provider.h"

using dunmore::Guarded;
using platform::wmi::Value;

namespace {

// Four dot-separated parts, each of decimal digits only with a value 0-255.
bool IsDottedQuad(const CString& text) {
    int parts = 0, digits = 0, value = 0;
    for (int i = 0; i <= text.GetLength(); ++i) {
        char c = i < text.GetLength() ? text[i] : '.';
        if (c == '.') {
            if (digits == 0 || ++parts > 4)
                return false;
            digits = value = 0;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            value = value * 10 + (c - '0');
            if (++digits > 3 || value > 255)
                return false;
        } else {
            return false;
        }
    }
    return parts == 4;
}

constexpr int kMaxArrayElements = 11;

} // namespace

int PCInfo::bValidIpAddress(CString text) {
    return Guarded(0, [&] {
        // inet_addr's error value is the address 255.255.255.255 itself.
        return IsDottedQuad(text) && ::inet_addr(text) != INADDR_NONE ? 1 : 0;
    });
}

int PCInfo::InitWMI(int /*initSecurity*/) {
    return Guarded(0, [&] {
        if (bInitWMISuccess)
            ClearWMI();
        platform::wmi::Provider& provider = platform::wmi::CurrentProvider();
        if (int error = provider.Connect()) {
            CFunction::RLog("ConnectServer:%d", error);
            return 0;
        }
        pLoc = &provider;
        pSvc = &provider;
        bInitWMISuccess = 1;
        return 1;
    });
}

void PCInfo::ClearWMI() {
    if (!bInitWMISuccess)
        return;
    bInitWMISuccess = 0;
    pSvc = nullptr;
    pLoc = nullptr;
}

// No window messages wait on a Linux thread here: the windowed program runs its own loop.
void PCInfo::MsgProcess() {}

int PCInfo::GetWmiClassInfo(const char* className, const char* const* items, int itemCount,
                            const char* where) {
    return Guarded(0, [&] {
        ClearOutput();
        if (!bInitWMISuccess) {
            CFunction::RLog("GetWmiClassInfo bInitWMISuccess=FALSE");
            return 0;
        }
        if (!pSvc) {
            CFunction::RLog("GetWmiClassInfo pSvc=NULL");
            return 0;
        }
        if (!className || !items || itemCount < 0)
            return 0;
        std::vector<platform::wmi::Object> objects;
        // The provider answers whole classes; a condition is a query it does not understand.
        int result = where ? platform::wmi::kInvalidQuery : pSvc->ExecQuery(className, objects);
        if (result != 0) {
            CFunction::RLog("GetWmiClassInfo ExecQuery:Class=%s ret=%d", className, result);
            return 0;
        }

        int appended = 0;
        CString dump = "=========================================\r\n";
        for (size_t o = 0; o < objects.size(); ++o) {
            if (o > 0)
                dump += "\t----------------------------------------\r\n";
            // An unreadable array ends the object's readable properties; the rest stay "N/A", so
            // every object keeps its itemCount texts and the next object its place.
            bool ended = false;
            for (int i = 0; i < itemCount; ++i) {
                MsgProcess();
                CString text;
                auto found = objects[o].find(items[i] ? items[i] : "");
                if (!ended && found != objects[o].end()) {
                    const Value& value = found->second;
                    switch (value.kind) {
                    case Value::Kind::Null:
                        break;
                    case Value::Kind::Text:
                        text = CString(value.text);
                        break;
                    case Value::Kind::Integer:
                        text.Format("%lld", static_cast<long long>(value.integer));
                        break;
                    case Value::Kind::Boolean:
                        text = value.boolean ? "True" : "False";
                        break;
                    case Value::Kind::IntegerArray:
                        for (int64_t element : value.integers)
                            text.AppendFormat("[%lld]", static_cast<long long>(element));
                        break;
                    case Value::Kind::TextArray:
                        for (size_t e = 0; e < value.texts.size(); ++e) {
                            if (e >= kMaxArrayElements) {
                                CFunction::RLog("Too many ip Address:%d", static_cast<int>(e));
                                continue;
                            }
                            // Addresses and masks alike: a /32 mask is kept beside its address.
                            CString element(value.texts[e]);
                            if (IsDottedQuad(element))
                                text += "[" + element + "]";
                        }
                        break;
                    case Value::Kind::UnreadableArray:
                        CFunction::RLog("GetWmiClassInfo SafeArrayAccessData:%d",
                                        static_cast<int>(value.integer));
                        ended = true;
                        break;
                    }
                    text.Trim();
                }
                if (text.IsEmpty())
                    text = m_NA;
                PushOutputString(text, 4);
                ++appended;
                dump += CString(items[i]) + ":" + text + "\r\n";
            }
        }
        dump += "=========================================";
        CFunction::DLog("%s", dump.GetString());
        return appended;
    });
}
