#pragma once

// The small pictures on the main window's buttons, drawn in code at the size
// and pixel ratio they are shown at: loading them from the desktop's icon
// theme would cost more start-up time than the whole window.

#include <QIcon>

enum TGlyph { glRequest, glSave, glReset, glHelp, glSettings, glRotateLeft, glRotateRight };

QIcon GlyphIcon(TGlyph glyph);
