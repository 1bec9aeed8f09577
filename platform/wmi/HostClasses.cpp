#include "platform/wmi/HostClasses.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <strings.h>
#include <sys/statvfs.h>

#include "platform/host/HostState.h"

#include "platform/files/FileIo.h"

namespace platform::wmi {

namespace {

// CIM's OSType of a Linux system.
constexpr int kOsTypeLinux = 36;
// CIM's ProtocolSupported of USB.
constexpr int kProtocolUsb = 16;

std::string Read(const std::string& path) {
    return ReadWholeFile(HostRoot() + path).value_or(std::string());
}

std::string Trimmed(std::string text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// "key : value" lines (cpuinfo, meminfo) or "KEY=value" lines (os-release).
std::vector<std::pair<std::string, std::string>> Pairs(const std::string& text, char separator) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        size_t at = line.find(separator);
        if (at == std::string::npos) {
            pairs.emplace_back(Trimmed(line), std::string());
            continue;
        }
        pairs.emplace_back(Trimmed(line.substr(0, at)), Trimmed(line.substr(at + 1)));
    }
    return pairs;
}

Value TextOrNull(const std::string& text) {
    return text.empty() ? Value::Null() : Value::Text(text);
}

Object OperatingSystem() {
    std::string release = Read("/etc/os-release");
    if (release.empty())
        release = Read("/usr/lib/os-release");
    std::string pretty;
    for (auto& [key, value] : Pairs(release, '='))
        if (key == "PRETTY_NAME") {
            pretty = value;
            if (pretty.size() >= 2 && (pretty.front() == '"' || pretty.front() == '\'') &&
                pretty.back() == pretty.front())
                pretty = pretty.substr(1, pretty.size() - 2);
        }
    Object object;
    object["Caption"] = TextOrNull(pretty);
    object["Version"] = TextOrNull(Trimmed(Read("/proc/sys/kernel/osrelease")));
    object["OSType"] = Value::Integer(kOsTypeLinux);
    object["CSDVersion"] = Value::Null();
    object["TotalVisibleMemorySize"] = Value::Null();
    for (auto& [key, value] : Pairs(Read("/proc/meminfo"), ':'))
        if (key == "MemTotal")
            object["TotalVisibleMemorySize"] = Value::Integer(std::atoll(value.c_str())); // in kB
    return object;
}

// One object per physical package, in the order cpuinfo first lists them.
std::vector<Object> Processors() {
    struct Cpu {
        std::string number, package, model, mhz;
    };
    std::vector<Cpu> cpus;
    for (auto& [key, value] : Pairs(Read("/proc/cpuinfo"), ':')) {
        if (key == "processor")
            cpus.push_back({value, "", "", ""});
        else if (cpus.empty())
            continue;
        else if (key == "physical id")
            cpus.back().package = value;
        else if (key == "model name")
            cpus.back().model = value;
        else if (key == "cpu MHz")
            cpus.back().mhz = value;
    }
    std::vector<Object> objects;
    std::vector<std::string> seen;
    for (const Cpu& cpu : cpus) {
        if (std::find(seen.begin(), seen.end(), cpu.package) != seen.end())
            continue;
        seen.push_back(cpu.package);
        Object object;
        object["Name"] = TextOrNull(cpu.model);
        std::string khz =
            Trimmed(Read("/sys/devices/system/cpu/cpu" + cpu.number + "/cpufreq/cpuinfo_max_freq"));
        if (!khz.empty())
            object["MaxClockSpeed"] = Value::Integer(std::atoll(khz.c_str()) / 1000);
        else if (!cpu.mhz.empty())
            object["MaxClockSpeed"] = Value::Integer(std::llround(std::atof(cpu.mhz.c_str())));
        else
            object["MaxClockSpeed"] = Value::Null();
        objects.push_back(std::move(object));
    }
    return objects;
}

// The mount table escapes blanks, tabs, new lines and backslashes as octal.
std::string Unescaped(const std::string& field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        bool octal = field[i] == '\\' && i + 3 < field.size();
        for (size_t k = i + 1; octal && k <= i + 3; ++k)
            octal = field[k] >= '0' && field[k] <= '7';
        if (octal) {
            text += static_cast<char>(std::strtol(field.substr(i + 1, 3).c_str(), nullptr, 8));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

// One object per mounted file system on a block device.
std::vector<Object> LogicalDisks() {
    std::vector<Object> objects;
    std::istringstream lines(Read("/proc/mounts"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string source, target;
        if (!(fields >> source >> target) || source.rfind("/dev/", 0) != 0)
            continue;
        target = Unescaped(target);
        Object object;
        object["Name"] = Value::Text(target);
        struct statvfs space {};
        if (::statvfs((HostRoot() + target).c_str(), &space) == 0)
            object["FreeSpace"] = Value::Integer(static_cast<int64_t>(space.f_bavail) * space.f_frsize);
        else
            object["FreeSpace"] = Value::Null();
        objects.push_back(std::move(object));
    }
    return objects;
}

// One object per USB host controller: its root hub, "usb<bus>" in sysfs.
std::vector<Object> UsbControllers() {
    std::map<int, std::string> hubs;
    std::error_code error;
    std::string directory = HostRoot() + "/sys/bus/usb/devices";
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("usb", 0) == 0 && name.size() > 3 &&
            name.find_first_not_of("0123456789", 3) == std::string::npos)
            hubs[std::atoi(name.c_str() + 3)] = name;
    }
    std::vector<Object> objects;
    for (const auto& [bus, name] : hubs) {
        std::string base = "/sys/bus/usb/devices/" + name + "/";
        Object object;
        object["Caption"] = TextOrNull(Trimmed(Read(base + "product")));
        object["Manufacturer"] = TextOrNull(Trimmed(Read(base + "manufacturer")));
        object["ConfigManagerErrorCode"] = Value::Integer(0);
        object["ProtocolSupported"] = Value::Integer(kProtocolUsb);
        object["Status"] = Value::Text("OK");
        objects.push_back(std::move(object));
    }
    return objects;
}

} // namespace

void SetHostRoot(const std::string& root) {
    host::WmiHostRoot().Set(root);
}

std::string HostRoot() {
    return host::WmiHostRoot().Get();
}

int QueryHostClass(const std::string& className, std::vector<Object>& objects) {
    objects.clear();
    auto is = [&](const char* name) { return ::strcasecmp(className.c_str(), name) == 0; };
    if (is("Win32_OperatingSystem"))
        objects.push_back(OperatingSystem());
    else if (is("Win32_Processor"))
        objects = Processors();
    else if (is("Win32_LogicalDisk"))
        objects = LogicalDisks();
    else if (is("Win32_USBController"))
        objects = UsbControllers();
    else
        return kInvalidClass;
    return 0;
}

} // namespace platform::wmi
