// A compile check: the window's messages beside <windows.h> in one file, in
// the order the window's header asks for. Its numbers stay ours, its methods
// keep their names, and the native functions stay within reach by their W
// names. Nothing runs; the build fails when the collision comes back.

#include <windows.h>

#include <type_traits>

#include "app/Unit1.h"

static_assert(wm::WM_USER == QEvent::User);
static_assert(WM_APPLYSETTINGS == QEvent::User + 1);
static_assert(WM_ENDCONVERSATION == QEvent::User + 2);
static_assert(WM_REDRAWSHAPE == QEvent::User + 3);
static_assert(WM_HOSTREPLY == QEvent::User + 4);
static_assert(std::is_same_v<decltype(&TForm1::SendMessage), void (TForm1::*)(QEvent::Type)>);
static_assert(std::is_same_v<decltype(&TForm1::PostMessage), void (TForm1::*)(QEvent::Type)>);
static_assert(std::is_same_v<decltype(::SendMessageW(nullptr, WM_NULL, 0, 0)), LRESULT>);
static_assert(std::is_same_v<decltype(::PostMessageW(nullptr, WM_NULL, 0, 0)), BOOL>);
