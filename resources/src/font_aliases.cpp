#include <fontconfig/fontconfig.h>

#include <mutex>

#include "embedded_data.h"
#include "resources/resources.h"

namespace Resources {

bool RegisterFontAliases() {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        // The blob ends with a zero byte, so it is a complete C string.
        FcConfig* config = FcConfigGetCurrent();
        registered = config != nullptr &&
                     FcConfigParseAndLoadFromMemory(config, qv_font_aliases_begin, FcTrue) == FcTrue;
    });
    return registered;
}

}  // namespace Resources
