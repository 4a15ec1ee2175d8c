// What belongs to one host of the library: whether it called initialise, and the units it holds
// by index. A program calling the library directly is one host; a program that serves other
// programs' calls (velmord) gives each client a session of its own and makes it its thread's
// current one while it runs that client's call. Read and changed under the library's lock.
#ifndef LIBRARYSESSION_H
#define LIBRARYSESSION_H

#include "HeldUnit.h"

#include <QtGlobal>
#include <array>
#include <atomic>
#include <memory>

class LibrarySession
{
public:
    // Device indices run from 1 to kIndexLimit - 1; entry 0 of the per-index state is unused.
    static constexpr int kIndexLimit = 100;
    using HeldUnitSlots = std::array<std::unique_ptr<HeldUnit>, kIndexLimit>;

    LibrarySession() = default;
    LibrarySession(const LibrarySession &) = delete;
    LibrarySession &operator=(const LibrarySession &) = delete;

    bool initialised = false;
    HeldUnitSlots pins;
    // Whether any index is held; read without the library's lock.
    std::atomic<bool> holding{false};
    void noteHoldsChanged();

    // Who waits for a unit's turn: callers of one session queue behind each other, sessions
    // take turns.
    quintptr turnKey() const { return reinterpret_cast<quintptr>(this); }

    // The session of the calling thread: the one entered, else the process's own.
    static LibrarySession &current();
    static LibrarySession &processSession();
    // Makes `session` the calling thread's current one; null returns to the process's own.
    static void enter(LibrarySession *session);
    static bool isEntered();

    // Whether the calling thread's call is a stop: it goes ahead of every call waiting for the unit.
    static bool callIsUrgent();
    class UrgentCall
    {
    public:
        UrgentCall();
        ~UrgentCall();
        UrgentCall(const UrgentCall &) = delete;
        UrgentCall &operator=(const UrgentCall &) = delete;
    };
};

#endif // LIBRARYSESSION_H
