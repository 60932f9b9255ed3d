#include "app/program.h"

#include "app/missing_file.h"
#include "data/random.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/memory/memory_console.h"
#include "platform/process.h"
#include "recording/recorded_run.h"

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
        "                         %s"
        "      --ambiguous WIDTH  the width the terminal gives characters of ambiguous\n"
        "                         width: wide or narrow (measured when not given)\n"
        "      --record FILE      record the run in FILE, which must not exist yet,\n"
        "                         to show it again with --replay\n"
        "      --force            with --record or --cast: replace the file if it exists\n"
        "      --replay FILE      show the run recorded in FILE again; Ctrl+C ends it\n"
        "      --speed N          replay N times faster (1 to 1000), or 'max': no pauses\n"
        "      --screen-reader    for a screen reader: the cursor rests where to read\n"
        "                         (on what is selected, the newest message, the hero)\n"
        "      --cast OUT         with --replay: also write the replay's screens to OUT\n"
        "                         as an asciicast (version 2), at the recorded pace;\n"
        "                         OUT must not exist yet (--force replaces it)\n"
        "      --check            with --replay: replay without a terminal, at once,\n"
        "                         and say only whether it reached the recorded ending\n"
        "  -h, --help             show this help and exit\n"
        "      --version          show the version and exit\n"
        "\n"
        "%s"
        "\n"
        "The data files are read from DIR when given; else from the current folder\n"
        "when it holds %s; else from the installed sample data%s%s.\n"
        "\n"
        "Exit status: 0 at the normal end, 1 on an error (bad data, no terminal, the\n"
        "terminal lost, a recording that cannot be read), 2 on a bad command line,\n"
        "255 when a data file is missing. A replay that reaches the recorded ending\n"
        "exits as the recorded run did; one that reaches the end of a recording cut\n"
        "short, 0; one that went another way, 1.\n"
        "\n"
        "While a replay runs: Space pauses and resumes; . or Right steps to the next\n"
        "recorded key, , or Left back to the one before; + and - double and halve\n"
        "the speed; Home goes to the start, End to the end; ] and [ go to the next\n"
        "and the previous turn mark (the field: second). A terminal of 20 rows or\n"
        "more shows where the replay stands on the row under the game.\n",
        info.name, info.summary, info.seed_use, info.details, data_marker_file, installed.empty() ? "" : ":\n  ",
        path_text(installed).c_str());
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

RecordingRequest recording_request(const ProgramOptions& options) {
    return RecordingRequest{options.record, options.force, options.replay, options.speed, options.cast, options.check};
}

// The files a recording notes the digests of: those of load_game_data and
// the program's own.
std::vector<std::string> data_files_of(const ProgramInfo& info) {
    std::vector<std::string> names = game_data_files();
    if (info.own_data_file) names.emplace_back(info.own_data_file);
    return names;
}

// The program's exit status: the game's, or for a replay, what the replay
// came to: the recorded run's status at its ending, 0 at the end of a
// recording cut short, an error when the replay went another way.
int exit_status(const RecordedRun& recorded, int status) {
    const std::optional<ReplayConsole::Outcome> outcome = recorded.replay_outcome(status);
    if (!outcome) return status;
    switch (*outcome) {
        case ReplayConsole::Outcome::ending: return recorded.recorded_status();
        case ReplayConsole::Outcome::cut: return exit_ok;
        case ReplayConsole::Outcome::parted: break;
    }
    return exit_error;
}

}  // namespace

std::string with_program_name(const char* name, const std::string& message) {
    return std::string(name) + ": " + message;
}

namespace {

int run(const ProgramInfo& info, int argc, char** argv, GameEntry game) {
    const std::vector<std::string> arguments = program_arguments(argc, argv);
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
        say(info.name, "--data: no such folder: " + path_text(start.data_folder));
        return exit_usage;
    }

    // Every text of the game needs the conversion: without it, say so now
    // rather than fail at the first text.
    if (const std::string problem = shift_jis_problem(); !problem.empty()) {
        say(info.name, problem);
        return exit_error;
    }

    RecordedRun recorded;
    std::string file_problem;
    if (!recorded.prepare(recording_request(parsed.options), info.name, data_files_of(info), start.data_folder,
                          file_problem)) {
        say(info.name, file_problem);
        return exit_error;
    }

    SystemConsole::Options terminal_options{info.min_columns, info.min_rows};
    terminal_options.ambiguous = parsed.options.ambiguous;
    terminal_options.screen_reader = parsed.options.screen_reader;
    std::unique_ptr<SystemConsole> terminal;
    int status = exit_error;
    std::string message;  // said once the terminal is given back
    try {
        // A replay checked without a terminal plays on one in memory, of the recorded size.
        std::unique_ptr<MemoryConsole> headless;
        Console* screen = nullptr;
        ConsoleFacts facts = recorded.recorded_facts();
        if (parsed.options.check) {
            headless = std::make_unique<MemoryConsole>(screen_columns, screen_rows);
            screen = headless.get();
        } else {
            terminal = std::make_unique<SystemConsole>(terminal_options);
            if (!terminal->startup_error().empty()) {
                recorded.abandon();
                say(info.name, terminal->startup_error());
                return exit_error;
            }
            screen = terminal.get();
            facts = terminal->facts();
        }
        Console& con = recorded.begin(*screen, facts, start.options.seed);
        status = recorded.play(con, [&](Console& on) {
            message.clear();
            return load_and_play(info, on, start, game, message);
        });
        if (status == exit_missing_file && terminal) {
            // The notice stays readable in the shell after the screen is given back.
            terminal->keep_screen_on_exit(true);
        }
    } catch (const ReplayStop&) {
        // The replay came to the end of its recording: the verdict says so.
    } catch (const InputClosed& closed) {
        message = closed.what();
    } catch (const std::exception& failure) {
        message = std::string("unexpected failure: ") + failure.what();
    } catch (...) {
        message = "unexpected failure";
    }
    recorded.end(status);
    if (terminal) terminal->restore();
    if (!message.empty()) say(info.name, message);
    for (const std::string& line : recorded.closing_lines(status)) say(info.name, line);
    return exit_status(recorded, status);
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
