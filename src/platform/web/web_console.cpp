// The page's side of the web console. Every call into the page goes through
// its host object, Module.rpg; waiting for a key or a pause suspends the
// program (Asyncify) and lets the page run until a promise resolves.

#include "platform/web/web_console.h"

#include "platform/console_notices.h"

#include <emscripten.h>

#include <cmath>
#include <string>

// clang-format off
EM_JS(int, rpg_host_missing, (), {
    var host = Module["rpg"];
    if (!host) return 1;
    var needed = ["write", "takeInput", "waitInput", "columns", "rows"];
    for (var i = 0; i < needed.length; i++) {
        if (typeof host[needed[i]] !== "function") return 2;
    }
    return 0;
});

EM_JS(void, rpg_host_write, (const char* text, int length), {
    Module["rpg"].write(UTF8ToString(text, length));
});

// The input not yet handed to the program is kept here when it did not fit.
EM_JS(int, rpg_host_take_input, (unsigned char* buffer, int capacity), {
    var text = (Module.rpgPendingInput || "") + (Module["rpg"].takeInput() || "");
    var count = Math.min(text.length, capacity);
    for (var i = 0; i < count; i++) HEAPU8[buffer + i] = text.charCodeAt(i) & 255;
    Module.rpgPendingInput = text.substring(count);
    return count;
});

EM_ASYNC_JS(void, rpg_host_wait_input, (int timeout_ms), {
    if (Module.rpgPendingInput) return;
    await Module["rpg"].waitInput(timeout_ms);
});

// A browser waits at least 4 ms for a timer set from within a timer (and so
// from every pause after the fifth), however short it was asked to be. So a
// timer sleeps only the part of a pause that is longer than that, waking a
// millisecond early to allow for its lateness; what is left, or a deadline
// already passed, yields to the page through a message to itself, which no
// browser holds back. The program's writes were handed to the page before.
EM_ASYNC_JS(void, rpg_host_sleep, (int milliseconds), {
    await new Promise(function(resolve) {
        if (milliseconds > 4) {
            setTimeout(resolve, milliseconds - 1);
            return;
        }
        var channel = new MessageChannel();
        channel.port1.onmessage = function() {
            channel.port1.close();
            resolve();
        };
        channel.port2.postMessage(0);
    });
});

// Optional: a page without a screen reader's words offers no say().
EM_JS(void, rpg_host_say, (const char* text, int length), {
    var host = Module["rpg"];
    if (typeof host.say === "function") host.say(UTF8ToString(text, length));
});

EM_JS(int, rpg_host_columns, (), { return Module["rpg"].columns() | 0; });
EM_JS(int, rpg_host_rows, (), { return Module["rpg"].rows() | 0; });
EM_JS(double, rpg_host_now_ms, (), { return performance.now(); });
EM_JS(double, rpg_host_seconds, (), { return Math.floor(Date.now() / 1000); });
// clang-format on

namespace rpg {
namespace {

class PageHost : public WebHost {
public:
    std::string problem() override {
        switch (rpg_host_missing()) {
            case 0: return {};
            case 1: return "the page gave the program no terminal (Module.rpg is missing)";
            default: return "the page's terminal (Module.rpg) lacks write, takeInput, waitInput, columns or rows";
        }
    }
    void write(std::string_view utf8) override {
        if (!utf8.empty()) rpg_host_write(utf8.data(), static_cast<int>(utf8.size()));
    }
    std::string take_input() override {
        std::string bytes;
        unsigned char buffer[256];
        for (;;) {
            const int count = rpg_host_take_input(buffer, static_cast<int>(sizeof buffer));
            bytes.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(count));
            if (count < static_cast<int>(sizeof buffer)) return bytes;
        }
    }
    void wait_input(int timeout_ms) override { rpg_host_wait_input(timeout_ms); }
    int columns() override { return rpg_host_columns(); }
    int rows() override { return rpg_host_rows(); }
    std::int64_t monotonic_ns() override { return static_cast<std::int64_t>(std::llround(rpg_host_now_ms() * 1e6)); }
    std::int64_t now_seconds() override { return static_cast<std::int64_t>(rpg_host_seconds()); }
    void sleep(int milliseconds) override { rpg_host_sleep(milliseconds); }
    void say(std::string_view utf8) override {
        if (!utf8.empty()) rpg_host_say(utf8.data(), static_cast<int>(utf8.size()));
    }
};

}  // namespace

WebHost& page_host() {
    static PageHost host;
    return host;
}

}  // namespace rpg

extern "C" EMSCRIPTEN_KEEPALIVE const char* rpg_room_notice(int min_columns, int min_rows, int columns, int rows) {
    static std::string text;
    text = rpg::too_small_message(min_columns, min_rows, columns, rows);
    return text.c_str();
}
