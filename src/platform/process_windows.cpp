#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/process.h"

namespace rpg {

std::vector<std::string> program_arguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) {
            const std::u8string text = std::filesystem::path(wide[i]).u8string();
            arguments.emplace_back(text.begin(), text.end());
        }
        LocalFree(wide);
        return arguments;
    }
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    return arguments;
}

std::filesystem::path path_from_argument(const char* argument) {
    const std::string text(argument);
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::filesystem::path running_program_file() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace rpg
