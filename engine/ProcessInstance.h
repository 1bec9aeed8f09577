#pragma once
// The one object of a class for the whole process: built by the first InstanceOf with the
// arguments given then, later calls return it as it is; DeleteInstance ends it (the next
// InstanceOf builds a new one). The object is destroyed outside the lock, so that its
// destructor may wait for threads that ask for the instance themselves.

#include <memory>
#include <mutex>
#include <utility>

template <typename T> class ProcessInstance {
public:
    static void DeleteInstance() {
        std::unique_ptr<T> instance;
        {
            std::lock_guard<std::mutex> lock(s_mutex);
            instance = std::move(s_instance);
        }
    }

protected:
    template <typename... Args> static T* InstanceOf(Args&&... args) {
        std::lock_guard<std::mutex> lock(s_mutex);
        if (!s_instance)
            s_instance = std::make_unique<T>(std::forward<Args>(args)...);
        return s_instance.get();
    }

private:
    static inline std::mutex s_mutex;
    static inline std::unique_ptr<T> s_instance;
};
