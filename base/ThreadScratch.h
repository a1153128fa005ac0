// Objects that a thread keeps from file to file (read buffers, the spare
// text block), for threads that end.
//
// This runtime frees a thread's thread_local storage before it runs the
// destructors of the thread's thread_local objects, so a thread_local with a
// destructor crashes the thread that ends. A scratch object is instead held
// by a plain thread_local pointer, made on first use and destroyed by
// EndThreadScratch, which a thread that ends calls last (the search's
// workers do). The thread that lives as long as the process never calls it.
#pragma once

// Destroys the calling thread's scratch objects; the next use makes new ones.
void EndThreadScratch();

namespace scratch_detail {
void AtThreadEnd(void** slot, void (*destroy)(void*));
}

// The object that `slot` (a thread_local pointer of the caller's, null at
// first) holds, made on first use.
template <class T>
T& ThreadScratch(T*& slot) {
    if (!slot) {
        slot = new T();
        scratch_detail::AtThreadEnd(reinterpret_cast<void**>(&slot),
                                    [](void* object) { delete static_cast<T*>(object); });
    }
    return *slot;
}
