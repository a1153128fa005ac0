// The calling thread's list of scratch objects to destroy when it ends.
#include "base/ThreadScratch.h"

namespace {

struct ScratchNode {
    void** slot;
    void (*destroy)(void*);
    ScratchNode* next;
};

// A plain pointer: nothing for the runtime to destroy at the thread's end.
thread_local ScratchNode* scratchList = nullptr;

}  // namespace

void scratch_detail::AtThreadEnd(void** slot, void (*destroy)(void*)) {
    scratchList = new ScratchNode{slot, destroy, scratchList};
}

void EndThreadScratch() {
    while (ScratchNode* node = scratchList) {
        scratchList = node->next;
        void* object = *node->slot;
        *node->slot = nullptr;
        node->destroy(object);
        delete node;
    }
}
