// One running program at a time: a second start hands its request to the
// program that runs, or waits for one that is ending.
#pragma once

#include <windows.h>

enum class Instance { first, handedOver, gaveUp };

// Makes this process the program's only instance, owning `instanceMutex`
// for as long as it lives, or hands the start to the instance that runs
// (see Instance.cpp).
Instance becomeOnlyInstance(HANDLE& instanceMutex);

// The owner window of a running program that takes requests: the only
// window of the class "Mivora", unless it is being destroyed. nullptr
// while none does.
HWND runningOwnerWindow();
