#include "platform/signal_note.h"

#include <atomic>

namespace rpg {
namespace {

std::atomic<SignalNote> note{nullptr};
static_assert(std::atomic<SignalNote>::is_always_lock_free, "the note is read by a signal handler");

}  // namespace

void set_signal_note(SignalNote next) { note.store(next); }

void leave_signal_note(int signal_number) {
    // Taken away first: a second signal during the note leaves nothing more.
    if (const SignalNote taken = note.exchange(nullptr)) taken(signal_number);
}

}  // namespace rpg
