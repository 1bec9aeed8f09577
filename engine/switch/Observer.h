#pragma once
// The observer pattern that carries the switch notifications.

#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>

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
    // Removes every entry equal to the observer and returns once no call to it is running on
    // another thread, so an observer that detaches in its destructor is never called after.
    virtual void Detach(Observer* observer);
    // Calls every observer in attach order, on the calling thread.
    virtual void Notify();

private:
    struct RunningCall {
        Observer* observer;
        std::thread::id thread;
    };

    // Observers attach from other threads than the one that notifies.
    std::mutex m_mutex;
    std::condition_variable m_callEnded;
    std::list<Observer*> m_observers;
    std::list<RunningCall> m_running; // calls of Update under way
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
