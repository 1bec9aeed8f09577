#pragma once
// The observer pattern that carries the switch notifications.

#include <atomic>
#include <list>
#include <mutex>

class Subject;

class Observer {
public:
    virtual ~Observer() = default;
    virtual void Update(Subject* subject) = 0;
};

class Subject {
public:
    virtual ~Subject() = default;
    virtual void Attach(Observer* observer);
    // Removes every entry equal to the observer.
    virtual void Detach(Observer* observer);
    // Calls every observer in attach order, on the calling thread.
    virtual void Notify();

private:
    // Observers attach from other threads than the one that notifies.
    std::mutex m_mutex;
    std::list<Observer*> m_observers;
};

class SwitchSubject : public Subject {
public:
    enum NotifyType {
        GetOnePortStatusNotify = 1,
        GetAllPortStatusNotify = 2,
        SetAllPortsNotify = 3,
        PortLinkUpDownNotify = 4,
        PortEnDisableNotify = 5,
        SerialPortOccupiedNotify = 6,
        ConnectSwitchFailedNotify = 7,
        LoginSwitchFailed = 8,
        SwitchNoResponseNotify = 9,
        LoginSwitchSuccessNotify = 10,
    };

    // The type of the last notification.
    int GetNotifyType() const { return m_notifyType.load(); }
    void SetNotifyType(int type) { m_notifyType.store(type); }

private:
    std::atomic<int> m_notifyType{0};
};

class IManager {};
