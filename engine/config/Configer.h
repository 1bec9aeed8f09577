#pragma once
// The program's configuration: Config.ini in the program directory, the card roles in the
// registry store, and the LAN and WAN cards tied to their capture devices.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "engine/config/ConfigRecords.h"
#include "engine/config/PcNICInfo.h"
#include "platform/text/CString.h"

class Configer {
public:
    // The one Configer; the first call builds it, and a failure to build ends the process
    // (-1 for an error with a message, -2 for anything else).
    static Configer* GetInstance();
    // The one Configer when it has been built, else null; builds nothing.
    static Configer* Existing();
    // Deletes it (the main frame at exit; tests). Nothing is saved.
    static void DeleteInstance();
    // Runs a construction, turning an escaping exception into the error box and the exit.
    static std::unique_ptr<Configer>
    ConstructOrExit(const std::function<std::unique_ptr<Configer>()>& construct);

    Configer();
    ~Configer();
    Configer(const Configer&) = delete;
    Configer& operator=(const Configer&) = delete;

    // Reads Config.ini and the card roles. Throws std::runtime_error when Config.ini exists
    // but cannot be read: its defaults would later be saved over it.
    void Load();
    // Writes every saved key through a copy of Config.ini that replaces it only once complete,
    // and the card roles, also when the file cannot be written; false (logged) when either
    // failed.
    bool Save();

    bool SetSystemConfig(const SystemConfig& config);
    bool SetNicConfig(const NicConfig& config);
    bool SetSwitchConfig(const SwitchConfig& config);

    // Copies, so that a reader never sees a record half replaced.
    SystemConfig GetSystemConfig() const;
    NicConfig GetNicConfig() const;
    SwitchConfig GetSwitchConfig() const;
    CString GetLanguage() const;
    CString GetVersion() const;
    int GetLogger() const;
    // The log threshold saved as [System] Logger by the next Save.
    void SetLogger(int level);
    const CString& GetIniPath() const { return m_IniPath; }

    bool CheckNicConfigured();
    // Up with carrier, by the card's own interface.
    static bool IsNicConnected(const NIC* nic);
    int FindAllPcapDevices();
    void BindPcapDevices();

    NIC* GetLanNic() const { return m_pLAN_NIC.load(); }
    NIC* GetWanNic() const { return m_pWAN_NIC.load(); }
    pcap_if_t* GetAllDevices() const { return m_allIf; }

    void ReadWanNicConfig();
    void ReadLanNicConfig();
    // False when a role could not be written.
    bool SaveNicConfig();

private:
    bool WriteIni(const CString& file, bool& rolesOk);
    void ReadNicRole(const char* key, CString& name, CString& guid);

    mutable std::mutex m_mutex; // guards the records against a setter running beside a reader
    CString m_ProgramDirectory;
    CString m_IniPath;
    CString m_Version;
    int m_Logger = 0;
    SystemConfig m_SystemConfig;
    NicConfig m_NicConfig;
    SwitchConfig m_SwitchConfig;
    pcap_if_t* m_allIf = nullptr; // the process's device list; freed at process exit
    std::atomic<NIC*> m_pLAN_NIC{nullptr};
    std::atomic<NIC*> m_pWAN_NIC{nullptr};
    CString m_Language = "auto";
};
