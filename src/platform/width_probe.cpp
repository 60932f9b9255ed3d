#include "platform/width_probe.h"

namespace rpg {
namespace {

// The longest number a report may carry.
constexpr std::size_t max_digits = 5;

enum class Prefix { no, partial, complete };

// Whether `text` is ESC [ digits ; digits R, or the start of one.
Prefix report_prefix(std::string_view text) {
    std::size_t i = 0;
    if (i == text.size()) return Prefix::partial;
    if (text[i++] != '\x1b') return Prefix::no;
    if (i == text.size()) return Prefix::partial;
    if (text[i++] != '[') return Prefix::no;
    for (int part = 0; part < 2; ++part) {
        std::size_t digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
            if (++digits > max_digits) return Prefix::no;
        }
        if (i == text.size()) return Prefix::partial;
        if (digits == 0) return Prefix::no;
        if (text[i++] != (part == 0 ? ';' : 'R')) return Prefix::no;
        if (part == 0 && i == text.size()) return Prefix::partial;
    }
    return i == text.size() ? Prefix::complete : Prefix::no;
}

}  // namespace

void CursorReportReader::feed(std::string_view bytes, std::string& other) {
    for (char byte : bytes) feed_byte(byte, other);
}

void CursorReportReader::feed_byte(char byte, std::string& other) {
    if (held_.empty() && byte != '\x1b') {
        other.push_back(byte);
        return;
    }
    held_.push_back(byte);
    switch (report_prefix(held_)) {
        case Prefix::partial: return;
        case Prefix::complete: {
            CursorReport report;
            const std::size_t semicolon = held_.find(';');
            report.row = std::stoi(held_.substr(2, semicolon - 2));
            report.column = std::stoi(held_.substr(semicolon + 1));
            reports_.push_back(report);
            held_.clear();
            return;
        }
        case Prefix::no: {
            // Not a report after all: what was held goes on, and the last byte
            // is looked at again, since it may start a report of its own.
            held_.pop_back();
            other += held_;
            held_.clear();
            feed_byte(byte, other);
            return;
        }
    }
}

void CursorReportReader::finish(std::string& other) {
    other += held_;
    held_.clear();
}

WidthDecision decide_terminal_widths(const WidthProbe& probe, int library_width) {
    WidthDecision decision;
    if (probe.after_full_width == 1 || probe.after_full_width == 2) {
        decision.problem =
            "this terminal draws full-width (Japanese) characters one column wide, but the game's screen needs them "
            "two columns wide; use a terminal and font that show them full width";
        return decision;
    }
    switch (probe.after_ambiguous) {
        case 2: decision.ambiguous = AmbiguousWidth::narrow; break;
        case 3: decision.ambiguous = AmbiguousWidth::wide; break;
        default: decision.ambiguous = library_width == 2 ? AmbiguousWidth::wide : AmbiguousWidth::narrow; break;
    }
    return decision;
}

}  // namespace rpg
