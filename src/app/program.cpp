#include "app/program.h"

#include "app/missing_file.h"
#include "data/random.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <system_error>
#include <vector>

#ifndef RPG_VERSION
#define RPG_VERSION "0"
#endif
#ifndef RPG_TITLE
#define RPG_TITLE "Pawn Battle"
#endif

namespace rpg {
namespace {

void say(const char* name, const std::string& message) {
    std::fprintf(stderr, "%s\n", with_program_name(name, message).c_str());
}

void print_help(const ProgramInfo& info, const std::filesystem::path& installed) {
    std::printf(
        "Usage: %s [OPTION]...\n"
        "%s\n"
        "\n"
        "Options:\n"
        "  -d, --data DIR         read the data files from DIR\n"
        "      --seed N           seed the random generator with N (0 to 4294967295)\n"
        "                         instead of the clock, so that a run can be replayed\n"
        "      --ambiguous WIDTH  the width the terminal gives characters of ambiguous\n"
        "                         width: wide or narrow (measured when not given)\n"
        "  -h, --help             show this help and exit\n"
        "      --version          show the version and exit\n"
        "\n"
        "%s"
        "\n"
        "The data files are read from DIR when given; else from the current folder\n"
        "when it holds %s; else from the installed sample data%s%s.\n"
        "\n"
        "Exit status: 0 at the normal end, 1 on an error (bad data, no terminal, the\n"
        "terminal lost), 2 on a bad command line, 255 when a data file is missing.\n",
        info.name, info.summary, info.details, data_marker_file, installed.empty() ? "" : ":\n  ",
        installed.string().c_str());
}

AmbiguousWidth ambiguous_width(AmbiguousChoice choice) {
    switch (choice) {
        case AmbiguousChoice::wide: return AmbiguousWidth::wide;
        case AmbiguousChoice::narrow: return AmbiguousWidth::narrow;
        default: return AmbiguousWidth::measure;
    }
}

// Loads the data files, as both programs do, and plays the game on them. A
// missing file shows the notice on the console; a file the game cannot use
// is described in `error`.
int load_and_play(const ProgramInfo& info, Console& con, StartUp& start, GameEntry game, std::string& error) {
    GameRecords records;
    switch (load_game_data(records, start.data_folder, error, info.data_user)) {
        case LoadResult::ok: break;
        case LoadResult::missing: fatal_missing_file(con); return exit_missing_file;
        case LoadResult::invalid: return exit_error;
    }
    start.seed = start.options.seed.value_or(seed_from_time(con.now_seconds()));
    return game(con, start, records, error);
}

}  // namespace

std::string with_program_name(const char* name, const std::string& message) {
    return std::string(name) + ": " + message;
}

namespace {

int run(const ProgramInfo& info, int argc, char** argv, GameEntry game) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    const ParsedOptions parsed = parse_options(arguments);
    if (!parsed.error.empty()) {
        say(info.name, parsed.error + " (try '" + info.name + " --help')");
        return exit_usage;
    }
    const std::filesystem::path installed = installed_data_folder(argc > 0 ? argv[0] : nullptr);
    if (parsed.options.help) {
        print_help(info, installed);
        return exit_ok;
    }
    if (parsed.options.version) {
        std::printf("%s (%s) %s\n", info.name, RPG_TITLE, RPG_VERSION);
        return exit_ok;
    }

    StartUp start{parsed.options, choose_data_folder(parsed.options.data_folder, ".", installed)};
    std::error_code failed;
    if (parsed.options.data_folder && !std::filesystem::is_directory(start.data_folder, failed)) {
        say(info.name, "--data: no such folder: " + start.data_folder.string());
        return exit_usage;
    }

    SystemConsole::Options terminal_options{info.min_columns, info.min_rows};
    terminal_options.ambiguous = ambiguous_width(parsed.options.ambiguous);
    std::unique_ptr<SystemConsole> terminal;
    auto give_back = [&] {
        if (terminal) terminal->restore();
    };
    try {
        terminal = std::make_unique<SystemConsole>(terminal_options);
        if (!terminal->startup_error().empty()) {
            say(info.name, terminal->startup_error());
            return exit_error;
        }
        std::string error;
        const int status = load_and_play(info, *terminal, start, game, error);
        if (status == exit_missing_file) {
            // The notice stays readable in the shell after the screen is given back.
            terminal->keep_screen_on_exit(true);
        }
        give_back();
        if (!error.empty()) say(info.name, error);
        return status;
    } catch (const InputClosed& closed) {
        give_back();
        say(info.name, closed.what());
    } catch (const std::exception& failure) {
        give_back();
        say(info.name, std::string("unexpected failure: ") + failure.what());
    } catch (...) {
        give_back();
        say(info.name, "unexpected failure");
    }
    return exit_error;
}

}  // namespace

int run_program(const ProgramInfo& info, int argc, char** argv, GameEntry game) {
    const int status = run(info, argc, argv, game);
#ifdef __EMSCRIPTEN__
    // In the browser, a main that has waited for the page (a key, a pause)
    // returns into nothing: only exit() ends the run and tells the page.
    std::exit(status);
#else
    return status;
#endif
}

}  // namespace rpg
