#pragma once
// A last line a program may leave when a signal ends it (Ctrl+C, a hang-up, a
// crash): the console's signal handler calls the note once the terminal is
// given back, just before the process ends as the signal would. The note
// runs inside a signal handler, so it may only do what a handler may: read
// lock-free atomics and write prepared bytes.

namespace rpg {

// Where the note runs: on the thread that was interrupted (a POSIX signal,
// which may have cut a line of the program's short), or on a thread of its
// own while the program's goes on (a Windows console's control event).
#ifdef _WIN32
inline constexpr bool signal_note_on_own_thread = true;
#else
inline constexpr bool signal_note_on_own_thread = false;
#endif

using SignalNote = void (*)(int signal_number);

// Sets the note, or with nullptr clears it; there is one at a time.
void set_signal_note(SignalNote note);
// Called by the consoles' signal handlers: leaves the note, at most once.
void leave_signal_note(int signal_number);

}  // namespace rpg
