#include "tools/mzb/PasswordOption.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <termios.h>
#include <unistd.h>

namespace mzb::cli {
namespace {

// Reads one line from the terminal with its echo off, and puts the echo
// back whatever happens.
std::optional<std::string> AskWithoutEcho(int tty, const std::string& prompt) {
    termios saved{};
    if (::tcgetattr(tty, &saved) != 0) {
        return std::nullopt;
    }
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    if (::write(tty, prompt.data(), prompt.size()) < 0 ||
        ::tcsetattr(tty, TCSAFLUSH, &quiet) != 0) {
        return std::nullopt;
    }
    std::string line;
    char c = 0;
    bool ended = false;
    while (::read(tty, &c, 1) == 1) {
        if (c == '\n') {
            ended = true;
            break;
        }
        line += c;
    }
    ::tcsetattr(tty, TCSAFLUSH, &saved);
    if (!ended) {
        return std::nullopt;
    }
    return line;
}

std::optional<std::string> AskTerminal(bool confirm, std::string& error) {
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) {
        error = "-p - asks for the password on a terminal, and there is none";
        return std::nullopt;
    }
    auto password = AskWithoutEcho(tty, "Password: ");
    if (password && confirm) {
        const auto again = AskWithoutEcho(tty, "Password again: ");
        if (!again || *again != *password) {
            error = "the two passwords differ";
            password.reset();
        }
    }
    ::close(tty);
    if (!password && error.empty()) {
        error = "no password was read from the terminal";
    }
    return password;
}

std::optional<std::string> FirstLineOf(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || (!std::getline(in, line) && !in.eof())) {
        error = "cannot read the password file " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back(); // a file saved with MS-DOS line ends
    }
    // Else an archive meant to be encrypted would be written in the clear.
    if (line.empty()) {
        error = "the password file " + path + " has no password on its first line";
        return std::nullopt;
    }
    return line;
}

} // namespace

bool PasswordOption::Parse(const Args& args, std::size_t& i, std::string& error) {
    const std::string& option = args[i];
    if (option != "-p" && option != "--password-file") {
        return false;
    }
    if (i + 1 == args.size()) {
        error = option == "-p" ? "-p needs a password, or - to be asked for it"
                               : "--password-file needs a file";
        return true;
    }
    if (value_ || file_) {
        error = "give the password once: -p or --password-file";
        return true;
    }
    (option == "-p" ? value_ : file_) = args[++i];
    return true;
}

std::optional<std::string> PasswordOption::Resolve(bool confirm, std::string& error) const {
    if (value_) {
        return *value_ == "-" ? AskTerminal(confirm, error) : value_;
    }
    if (file_) {
        return FirstLineOf(*file_, error);
    }
    const char* environment = std::getenv(kPasswordEnvironment);
    return std::string(environment ? environment : "");
}

} // namespace mzb::cli
