// The window's own messages keep the platform's names: numbered from WM_USER,
// handled at once by TForm1::SendMessage or queued by TForm1::PostMessage.
//
// <windows.h> defines WM_USER, SendMessage and PostMessage as macros (0x0400,
// SendMessageW, PostMessageW), which would renumber or rename ours without a
// word. The whole rule for that collision lives in this file:
//  - the numbers live in namespace wm; only the message names, which Windows
//    does not define, are brought into the global scope;
//  - every inclusion of this file removes those three macros, so a file that
//    needs both includes <windows.h> first and calls the native functions by
//    their W names (::SendMessageW, ::PostMessageW);
//  - where <windows.h> comes after it, a use of TForm1::SendMessage,
//    TForm1::PostMessage or wm::WM_USER no longer compiles rather than meaning
//    something else;
//  - the Windows build compiles a test that includes both.
// The removal stands outside the include guard on purpose: it must run again
// each time this file is included after <windows.h>.

#ifdef WM_USER
#undef WM_USER
#endif
#ifdef SendMessage
#undef SendMessage
#endif
#ifdef PostMessage
#undef PostMessage
#endif

#ifndef TREVALON_APP_WINDOW_MESSAGES_H
#define TREVALON_APP_WINDOW_MESSAGES_H

#include <QEvent>

namespace wm {

inline constexpr int WM_USER = QEvent::User;
inline constexpr QEvent::Type WM_APPLYSETTINGS = static_cast<QEvent::Type>(WM_USER + 1);
inline constexpr QEvent::Type WM_ENDCONVERSATION = static_cast<QEvent::Type>(WM_USER + 2);
inline constexpr QEvent::Type WM_REDRAWSHAPE = static_cast<QEvent::Type>(WM_USER + 3);
inline constexpr QEvent::Type WM_HOSTREPLY = static_cast<QEvent::Type>(WM_USER + 4);

}  // namespace wm

using wm::WM_APPLYSETTINGS;
using wm::WM_ENDCONVERSATION;
using wm::WM_HOSTREPLY;
using wm::WM_REDRAWSHAPE;

#endif
