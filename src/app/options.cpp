// The command line is read with getopt_long, so that it builds wherever a
// POSIX-like C library is at hand (glibc, mingw-w64).

#include "app/options.h"

#include <getopt.h>

#include <charconv>
#include <system_error>

#include "platform/process.h"

#ifndef RPG_DATA_FROM_BIN
#define RPG_DATA_FROM_BIN "../share/pawn-battle"
#endif

namespace rpg {
namespace {

enum LongOnly : int {
    opt_version = 256,
    opt_seed,
    opt_ambiguous,
    opt_record,
    opt_replay,
    opt_force,
    opt_speed,
    opt_screen_reader,
    opt_cast,
    opt_check
};

// '+': stop at the first argument that is not an option; ':': report a
// missing value as ':' and print nothing.
constexpr const char* short_options = "+:hd:";
const option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, opt_version},
    {"data", required_argument, nullptr, 'd'},
    {"seed", required_argument, nullptr, opt_seed},
    {"ambiguous", required_argument, nullptr, opt_ambiguous},
    {"record", required_argument, nullptr, opt_record},
    {"replay", required_argument, nullptr, opt_replay},
    {"force", no_argument, nullptr, opt_force},
    {"speed", required_argument, nullptr, opt_speed},
    {"screen-reader", no_argument, nullptr, opt_screen_reader},
    {"cast", required_argument, nullptr, opt_cast},
    {"check", no_argument, nullptr, opt_check},
    {nullptr, 0, nullptr, 0},
};

std::optional<std::uint32_t> parse_seed(const std::string& text) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    auto [stop, problem] = std::from_chars(text.data(), end, value);
    if (text.empty() || problem != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::optional<int> parse_speed(const std::string& text) {
    if (text == "max") return 0;
    int value = 0;
    const char* end = text.data() + text.size();
    auto [stop, problem] = std::from_chars(text.data(), end, value);
    if (text.empty() || problem != std::errc() || stop != end || value < 1 || value > 1000) return std::nullopt;
    return value;
}

// Options that do not go together, or one that needs another; empty when
// they fit.
std::string mismatch(const ProgramOptions& o) {
    if (o.record && o.replay) return "--record and --replay cannot be given together";
    if (o.replay && o.seed) return "--seed cannot be given with --replay: the recording has its seed";
    if (o.force && !o.record && !o.cast) return "--force goes with --record or --cast";
    if (o.speed && !o.replay) return "--speed goes with --replay";
    if (o.cast && !o.replay) return "--cast goes with --replay";
    if (o.check && !o.replay) return "--check goes with --replay";
    return "";
}

// The option a parse stopped at, as the user wrote it: a long option's word
// up to any "=value", or the short option's letter.
std::string offending_option(const std::vector<char*>& argv) {
    const bool in_range = optind >= 1 && static_cast<std::size_t>(optind) < argv.size();
    const std::string word = in_range ? argv[static_cast<std::size_t>(optind - 1)] : "";
    if (word.rfind("--", 0) == 0) return word.substr(0, word.find('='));
    return std::string("-") + static_cast<char>(optopt);
}

}  // namespace

ParsedOptions parse_options(const std::vector<std::string>& arguments) {
    ParsedOptions parsed;
    // getopt may permute and keeps pointers: hand it copies it may change.
    std::vector<std::string> words;
    words.reserve(arguments.size() + 1);
    words.emplace_back("game");
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    optind = 0;  // start afresh, whatever an earlier parse left behind
    opterr = 0;
    for (;;) {
        const int code = getopt_long(argc, argv.data(), short_options, long_options, nullptr);
        if (code == -1) break;
        switch (code) {
            case 'h': parsed.options.help = true; break;
            case opt_version: parsed.options.version = true; break;
            case 'd':
                if (*optarg == '\0') {
                    parsed.error = "--data needs a folder";
                    return parsed;
                }
                parsed.options.data_folder = path_from_argument(optarg);
                break;
            case opt_seed:
                parsed.options.seed = parse_seed(optarg);
                if (!parsed.options.seed) {
                    parsed.error = "invalid seed '" + std::string(optarg) + "': a whole number from 0 to 4294967295";
                    return parsed;
                }
                break;
            case opt_ambiguous: {
                const std::string width = optarg;
                if (width == "wide") {
                    parsed.options.ambiguous = AmbiguousWidth::wide;
                } else if (width == "narrow") {
                    parsed.options.ambiguous = AmbiguousWidth::narrow;
                } else {
                    parsed.error = "invalid width '" + width + "' for --ambiguous: wide or narrow";
                    return parsed;
                }
                break;
            }
            case opt_record:
            case opt_replay:
            case opt_cast: {
                const char* name = code == opt_record ? "--record" : code == opt_replay ? "--replay" : "--cast";
                if (*optarg == '\0') {
                    parsed.error = std::string(name) + " needs a file";
                    return parsed;
                }
                auto& file = code == opt_record   ? parsed.options.record
                             : code == opt_replay ? parsed.options.replay
                                                  : parsed.options.cast;
                file = path_from_argument(optarg);
                break;
            }
            case opt_check: parsed.options.check = true; break;
            case opt_force: parsed.options.force = true; break;
            case opt_screen_reader:
                if (parsed.options.screen_reader) {
                    parsed.error = "option --screen-reader given twice";
                    return parsed;
                }
                parsed.options.screen_reader = true;
                break;
            case opt_speed:
                parsed.options.speed = parse_speed(optarg);
                if (!parsed.options.speed) {
                    parsed.error = "invalid speed '" + std::string(optarg) +
                                   "' for --speed: a whole number from 1 to 1000, or max";
                    return parsed;
                }
                break;
            case ':':
            default: {
                // A long option given "=value" that takes none: glibc reports
                // it as unknown, with optopt set; mingw's getopt as a missing value.
                const std::string name = offending_option(argv);
                const std::string word = optind >= 1 && static_cast<std::size_t>(optind) < argv.size()
                                             ? argv[static_cast<std::size_t>(optind - 1)]
                                             : "";
                const bool given_a_value =
                    name.rfind("--", 0) == 0 && word.find('=') != std::string::npos && (code == ':' || optopt != 0);
                if (code == ':' && !given_a_value) {
                    parsed.error = "option " + name + " needs a value";
                    return parsed;
                }
                parsed.error = given_a_value ? "option " + name + " takes no value" : "unknown option " + name;
                return parsed;
            }
        }
    }
    if (optind < argc) {
        parsed.error = "unexpected argument '" + words[static_cast<std::size_t>(optind)] + "'";
    } else {
        parsed.error = mismatch(parsed.options);
    }
    return parsed;
}

std::filesystem::path choose_data_folder(const std::optional<std::filesystem::path>& given,
                                         const std::filesystem::path& current, const std::filesystem::path& installed) {
    if (given) return *given;
    std::error_code ignored;
    if (std::filesystem::exists(current / data_marker_file, ignored)) return current;
    if (!installed.empty() && std::filesystem::exists(installed / data_marker_file, ignored)) return installed;
    return current;
}

std::filesystem::path installed_data_folder(const char* argv0) {
#ifdef __EMSCRIPTEN__
    // In the browser the page writes the data files here before the program starts.
    static_cast<void>(argv0);
    return "/data";
#else
    std::error_code failed;
    std::filesystem::path program = running_program_file();
    if (program.empty() && argv0 && *argv0) {
        // Found through PATH, a bare name says nothing about where the program lives.
        const std::filesystem::path named(argv0);
        if (named.has_parent_path()) program = std::filesystem::absolute(named, failed);
    }
    if (program.empty()) return {};
    return (program.parent_path() / RPG_DATA_FROM_BIN).lexically_normal();
#endif
}

}  // namespace rpg
