#include "app/FontWarmUp.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

TFontWarmUp::TFontWarmUp() {
    try {
        FThread = std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
        // No thread to spare: Qt reads the configuration itself, as it would anyway.
    }
}
