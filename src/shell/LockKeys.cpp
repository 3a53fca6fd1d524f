#include "shell/LockKeys.h"

#include <QGuiApplication>

#if defined(_WIN32)
#include <windows.h>
#elif defined(VANTREL_HAVE_X11)
#include <X11/XKBlib.h>
#endif

namespace vantrel {
namespace {

#if defined(VANTREL_HAVE_X11) && !defined(_WIN32)
bool IndicatorOn(Display* display, const char* name, bool& known)
{
    Bool on = False;
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None || !XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) known = false;
    return on == True;
}
#endif

} // namespace

LockKeyState ReadLockKeys()
{
    LockKeyState state;
#if defined(_WIN32)
    state.known = true;
    state.capsLock = (GetKeyState(VK_CAPITAL) & 1) != 0;
    state.numLock = (GetKeyState(VK_NUMLOCK) & 1) != 0;
    state.scrollLock = (GetKeyState(VK_SCROLL) & 1) != 0;
#elif defined(VANTREL_HAVE_X11)
    // Only on the X11 platform; offscreen and Wayland cannot tell.
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return state;
    state.known = true;
    state.capsLock = IndicatorOn(display, "Caps Lock", state.known);
    state.numLock = IndicatorOn(display, "Num Lock", state.known);
    state.scrollLock = IndicatorOn(display, "Scroll Lock", state.known);
#endif
    return state;
}

} // namespace vantrel
