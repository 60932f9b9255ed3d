#include "e2e/xterm/xterm_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unicode/uchar.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/scenario.h"

namespace rpg::test {
namespace {

using Clock = std::chrono::steady_clock;

bool on_path(const char* program) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (access((std::filesystem::path(folder) / program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

void stop_process(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    const auto limit = Clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > limit) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid = -1;
}

std::string unescape(std::string_view html) {
    std::string out;
    for (std::size_t i = 0; i < html.size(); ++i) {
        if (html[i] == '<') {  // a tag: left out
            std::size_t end = html.find('>', i);
            if (end == std::string_view::npos) break;
            i = end;
            continue;
        }
        if (html.substr(i, 2) == "\xC2\xA0") {  // xterm writes blanks as no-break spaces
            out.push_back(' ');
            ++i;
            continue;
        }
        // xterm writes the text as UTF-8, escaping only what HTML needs.
        static const std::pair<std::string_view, char> entities[] = {
            {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
        char plain = html[i];
        for (const auto& [entity, c] : entities) {
            if (html.substr(i, entity.size()) == entity) {
                plain = c;
                i += entity.size() - 1;
                break;
            }
        }
        out.push_back(plain);
    }
    return out;
}

// The columns a terminal gives one character.
int columns_of(char32_t c, bool ambiguous_wide) {
    const int width = u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_EAST_ASIAN_WIDTH);
    if (width == U_EA_WIDE || width == U_EA_FULLWIDTH) return 2;
    if (width == U_EA_AMBIGUOUS && ambiguous_wide) return 2;
    return 1;
}

}  // namespace

bool xterm_available() { return on_path("xterm") && on_path("Xvfb") && on_path("xdotool"); }

VirtualDisplay::VirtualDisplay() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        // Xvfb picks a free display and writes its number to descriptor 3.
        dup2(fds[1], 3);
        int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp", nullptr);
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    const auto limit = Clock::now() + std::chrono::seconds(15);
    while (number.find('\n') == std::string::npos && Clock::now() < limit) {
        pollfd in{fds[0], POLLIN, 0};
        if (poll(&in, 1, 100) <= 0) continue;
        char buffer[16];
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') != std::string::npos) name_ = ":" + number.substr(0, number.find('\n'));
}

VirtualDisplay::~VirtualDisplay() { stop_process(pid_); }

XTerm::XTerm(const VirtualDisplay& display, XTermLaunch launch) : launch_(std::move(launch)), display_(display.name()) {
    if (display_.empty()) return;
    const std::string geometry = std::to_string(launch_.columns) + "x" + std::to_string(launch_.rows);
    const std::string program = launch_.program.string();
    const std::string folder = launch_.folder.string();
    pid_ = fork();
    if (pid_ == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        setenv("DISPLAY", display_.c_str(), 1);
        setenv("LANG", "C.UTF-8", 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        unsetenv("RPG_AMBIGUOUS");
        int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<const char*> args = {"xterm",     "-u8",
                                         "-fa",       "Monospace",
                                         "-geometry", geometry.c_str(),
                                         "-xrm",      "XTerm*allowSendEvents: true",
                                         "-xrm",      "XTerm*VT100.translations: #override <Key>F12: dump-html()"};
        if (launch_.cjk_width) args.push_back("-cjk_width");
        args.push_back("-e");
        args.push_back(program.c_str());
        args.push_back(nullptr);
        execvp("xterm", const_cast<char* const*>(args.data()));
        _exit(127);
    }
    const std::string found = xdotool("search --sync --class xterm");
    window_ = std::strtoul(found.c_str(), nullptr, 10);
}

XTerm::~XTerm() { stop_process(pid_); }

std::string XTerm::xdotool(const std::string& arguments) const {
    const std::string command = "DISPLAY=" + display_ + " timeout 15 xdotool " + arguments + " 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    std::string out;
    char buffer[256];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    pclose(pipe);
    return out;
}

void XTerm::key(const std::string& name) { xdotool("key --window " + std::to_string(window_) + " " + name); }

XTerm::Rows XTerm::dump() {
    namespace fs = std::filesystem;
    auto dumps = [&] {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(launch_.folder)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("xterm.", 0) == 0 && entry.path().extension() == ".xhtml") found.push_back(entry.path());
        }
        return found;
    };
    for (const fs::path& old : dumps()) fs::remove(old);
    key("F12");
    const auto limit = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < limit) {
        for (const fs::path& file : dumps()) {
            std::ifstream in(file, std::ios::binary);
            std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (html.find("</html>") == std::string::npos) continue;  // still being written
            fs::remove(file);
            const std::size_t start = html.find("<pre>");
            const std::size_t end = html.find("</pre>");
            if (start == std::string::npos || end == std::string::npos) return {};
            Rows rows;
            std::stringstream lines(html.substr(start + 5, end - start - 5));
            std::string line;
            while (std::getline(lines, line)) rows.push_back(unescape(line));
            return rows;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
}

bool XTerm::wait_until_quiet(const std::function<bool(const Rows&)>& condition, Rows& rows, double seconds) {
    const auto limit =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    Rows before;
    while (Clock::now() < limit) {
        rows = dump();
        if (!rows.empty() && condition(rows) && rows == before) return true;
        before = rows;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

std::string in_columns(std::string_view utf8, bool ambiguous_wide) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1Fu : length == 3 ? lead & 0x0Fu : lead & 0x07u;
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        out += utf8.substr(i, length);
        if (columns_of(code, ambiguous_wide) == 2) out += ' ';
        i += length;
    }
    return out;
}

std::string sjis_in_columns(std::string_view sjis) {
    std::string out;
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        const auto b = static_cast<unsigned char>(sjis[i]);
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        if (lead && i + 1 < sjis.size()) {
            out += utf8_from_cp932(sjis.substr(i, 2)) + " ";
            ++i;
        } else {
            out += utf8_from_cp932(sjis.substr(i, 1));
        }
    }
    return out;
}

}  // namespace rpg::test
