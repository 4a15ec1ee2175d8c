// Qt 5's mutexes, wait conditions and event queue synchronise through futexes that
// ThreadSanitizer cannot see; these annotations tell it about the orderings they give.
// They compile to nothing in other builds.
#ifndef THREADANNOTATIONS_H
#define THREADANNOTATIONS_H

#include <QMutex>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
#define VELMOR_HAPPENS_AFTER(address) __tsan_acquire(const_cast<void *>(static_cast<const void *>(address)))
#define VELMOR_HAPPENS_BEFORE(address) __tsan_release(const_cast<void *>(static_cast<const void *>(address)))
#else
#define VELMOR_HAPPENS_AFTER(address) static_cast<void>(address)
#define VELMOR_HAPPENS_BEFORE(address) static_cast<void>(address)
#endif

// A scoped lock of a QMutex or a FairMutex whose lock and unlock ThreadSanitizer sees.
template <typename Mutex>
class AnnotatedMutexLocker
{
public:
    explicit AnnotatedMutexLocker(Mutex *mutex)
        : m_mutex(mutex)
    {
        m_mutex->lock();
        VELMOR_HAPPENS_AFTER(m_mutex);
    }
    ~AnnotatedMutexLocker()
    {
        VELMOR_HAPPENS_BEFORE(m_mutex);
        m_mutex->unlock();
    }
    AnnotatedMutexLocker(const AnnotatedMutexLocker &) = delete;
    AnnotatedMutexLocker &operator=(const AnnotatedMutexLocker &) = delete;

private:
    Mutex *m_mutex;
};

#endif // THREADANNOTATIONS_H
