#pragma once

#include <functional>

namespace vantrel {

// The keyboard's lock keys.
struct LockKeyState {
    bool known = false; // false when the window system cannot tell
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
};

using LockKeyReader = std::function<LockKeyState()>;

// Asks the window system (Windows, or X11 through its keyboard extension).
LockKeyState ReadLockKeys();

} // namespace vantrel
