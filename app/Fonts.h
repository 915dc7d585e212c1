#pragma once

// Look-alikes for the Windows fonts the window asks for (Arial, MS Sans Serif,
// the dialog font), used only where a family is missing: Wine without the
// Windows fonts, or a Linux desktop. Without them Qt takes the first family it
// knows, under Wine often a mathematical font in which Qt's edit fields draw
// no text at all. Call once the application exists.
void AddFontLookAlikes();
