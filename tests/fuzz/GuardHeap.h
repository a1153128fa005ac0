// The fuzz build's guarded operator new and delete (see GuardHeap.cpp).
#pragma once

// Called with a description when a check fails, before the process ends.
using GuardFailureHandler = void (*)(const char* what);
void SetGuardFailureHandler(GuardFailureHandler handler);
