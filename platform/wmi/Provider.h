#pragma once
// The stand-in for the management service the host libraries query: classes of objects with
// named properties (network adapters and their configuration), methods on those objects, and the
// device tree's list of present devices. The Linux default answers from netlink and ioctls in
// the calling thread's network namespace.
//
// A test installs a fake for the whole process:
//     class FakeHost : public platform::wmi::Provider { ...ExecQuery, ListDevices... };
//     FakeHost host;
//     platform::wmi::SetProvider(&host);   // every PCInfo connected from now on asks the fake
//     ...
//     platform::wmi::SetProvider(nullptr); // the Linux default again
// The slot lives once in the process (libpellar.so carries it for the host libraries), so a
// fake set by a test is the one the libraries see. Set it only while no query runs.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform::wmi {

// One property value.
struct Value {
    enum class Kind {
        Null,
        Text,
        Integer,
        Boolean,
        TextArray,
        IntegerArray,
        UnreadableArray, // an array whose elements cannot be reached (fakes only); 'integer' holds the code
    };
    Kind kind = Kind::Null;
    std::string text{};
    int64_t integer = 0;
    bool boolean = false;
    std::vector<std::string> texts{};
    std::vector<int64_t> integers{};

    static Value Null() { return {}; }
    static Value Text(std::string text) { return {.kind = Kind::Text, .text = std::move(text)}; }
    static Value Integer(int64_t value) { return {.kind = Kind::Integer, .integer = value}; }
    static Value Boolean(bool value) { return {.kind = Kind::Boolean, .boolean = value}; }
    static Value Texts(std::vector<std::string> texts) {
        return {.kind = Kind::TextArray, .texts = std::move(texts)};
    }
    static Value Integers(std::vector<int64_t> values) {
        return {.kind = Kind::IntegerArray, .integers = std::move(values)};
    }
    static Value Unreadable(int64_t code) { return {.kind = Kind::UnreadableArray, .integer = code}; }
};

// One object: its properties by name. A property the object lacks cannot be read.
using Object = std::map<std::string, Value>;

// One present device of the device tree.
struct Device {
    std::string className;  // "Net" for network cards
    std::string enumerator; // "ROOT" for software devices
    std::string driverKey;  // "<class>\<driver index>", the index in decimal
    std::string description;
    bool disabled = false;
    int index = 0; // the device's number in the tree (the Linux default: the link's ifindex)
};

// Results of the management calls (the values the calling code knows).
constexpr int kInvalidClass = static_cast<int>(0x80041010);      // no such class
constexpr int kInvalidQuery = static_cast<int>(0x80041017);      // a query text not understood
constexpr int kNotFound = static_cast<int>(0x80041002);          // no object at that path
constexpr int kInvalidObjectPath = static_cast<int>(0x8004103A); // a path not understood
// GetCallStatus: the call has not completed yet.
constexpr int kTimedOut = 0x40004;
// ReturnValue of a method this host does not carry out.
constexpr int kMethodNotSupported = 64;

// The outcome of a method started without waiting for it.
class CallResult {
public:
    virtual ~CallResult() = default;
    // Waits up to timeoutMs for the method; 0 with its ReturnValue once it completed, else kTimedOut.
    virtual int GetCallStatus(int timeoutMs, int& returnValue) = 0;
};

class Provider {
public:
    virtual ~Provider() = default;
    // Opens the way to the host's sources; 0, or the errno why not.
    virtual int Connect() { return 0; }
    // Every object of the class, in the host's order; 0, or an error code.
    virtual int ExecQuery(const std::string& className, std::vector<Object>& objects) = 0;
    // Runs a method of one object ("Win32_NetworkAdapterConfiguration=7") or of a class
    // ("Win32_NetworkAdapterConfiguration") with its input parameters: the method's ReturnValue
    // (0 and above), or a negative error code when the call itself failed (no such class or
    // object, a path not understood).
    virtual int ExecMethod(const std::string& objectPath, const std::string& method, const Object& inputs);
    // The same, returning at once: 0 with the call's result object, or the negative error code.
    // By default the method runs to its end first.
    virtual int ExecMethodAsync(const std::string& objectPath, const std::string& method,
                                const Object& inputs, std::unique_ptr<CallResult>& call);
    // The present devices, in the device tree's order; 0, or the errno why not.
    virtual int ListDevices(std::vector<Device>& devices);
};

// A result object of a method that has already completed.
std::unique_ptr<CallResult> CompletedCall(int returnValue);

// The provider every caller uses: the one a test set, else the Linux default.
Provider& CurrentProvider();
// Installs a provider for the whole process (not owned); nullptr restores the default.
void SetProvider(Provider* provider);

} // namespace platform::wmi
