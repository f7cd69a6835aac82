#pragma once
// Clang's thread-safety analysis: which mutex guards which member, checked at compile time when clang
// builds with -Wthread-safety. Other compilers see plain code. std::mutex carries no annotations, so
// guarded code locks a Mutex through a MutexLock.
#include <mutex>

#if defined(__clang__)
#define ORVA_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define ORVA_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) ORVA_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY ORVA_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) ORVA_THREAD_ANNOTATION(guarded_by(x))
#define REQUIRES(...) ORVA_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) ORVA_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) ORVA_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define EXCLUDES(...) ORVA_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) ORVA_THREAD_ANNOTATION(assert_capability(x))
#define NO_THREAD_SAFETY_ANALYSIS ORVA_THREAD_ANNOTATION(no_thread_safety_analysis)

namespace orva {

class CAPABILITY("mutex") Mutex {
public:
    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

// Holds a Mutex for its scope. A condition_variable_any may wait on it: the wait lets the mutex go and
// takes it again before it returns, so the analysis rightly counts it as held throughout.
class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() RELEASE() { mutex_.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    // For the condition variable, and for code that lets the mutex go for a while.
    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }

private:
    Mutex& mutex_;
};

} // namespace orva
