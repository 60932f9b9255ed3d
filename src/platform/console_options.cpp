#include "platform/console_options.h"

#include <cstdlib>
#include <cstring>

namespace rpg {

std::optional<AmbiguousWidth> ambiguous_setting(const char* value) {
    if (value == nullptr || *value == '\0') return AmbiguousWidth::measure;
    if (std::strcmp(value, "wide") == 0) return AmbiguousWidth::wide;
    if (std::strcmp(value, "narrow") == 0) return AmbiguousWidth::narrow;
    return std::nullopt;
}

std::string take_ambiguous_setting(ConsoleOptions& options) {
    if (options.ambiguous != AmbiguousWidth::measure) return {};  // the command line has the last word
    const char* value = std::getenv("RPG_AMBIGUOUS");
    const std::optional<AmbiguousWidth> setting = ambiguous_setting(value);
    if (!setting) return std::string("RPG_AMBIGUOUS is \"") + value + "\"; it must be \"wide\" or \"narrow\"";
    options.ambiguous = *setting;
    return {};
}

}  // namespace rpg
