#include "CommandLineText.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

bool isPlain(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
           || std::strchr("_@%+=:,./-", c) != nullptr || c >= 0x80;
}

void appendWord(std::string &out, const char *word)
{
    bool plain = *word != '\0';
    for (const char *c = word; *c; ++c)
        plain = plain && isPlain(static_cast<unsigned char>(*c));
    if (plain) {
        out += word;
        return;
    }
    out += '\'';
    for (const char *c = word; *c; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte == '\'') {
            out += "'\\''";
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        } else {
            out += char(byte);
        }
    }
    out += '\'';
}

// A word that starts with one of this process's descriptors,
// /proc/<pid>/fd/<n>, shows the path that descriptor holds now: that is what
// the program, run as root, reaches through it.
std::string shownWord(const char *word)
{
    const std::string prefix = "/proc/" + std::to_string(getpid()) + "/fd/";
    const std::string whole(word);
    if (whole.compare(0, prefix.size(), prefix) != 0)
        return whole;
    std::size_t end = prefix.size();
    while (end < whole.size() && std::isdigit(static_cast<unsigned char>(whole[end])))
        ++end;
    if (end == prefix.size() || (end < whole.size() && whole[end] != '/'))
        return whole;
    const std::string self = "/proc/self/fd/" + whole.substr(prefix.size(), end - prefix.size());
    char target[PATH_MAX];
    const ssize_t n = readlink(self.c_str(), target, sizeof target);
    // Not a path (a pipe, a socket): the word as it stands.
    if (n <= 0 || std::size_t(n) >= sizeof target || target[0] != '/')
        return whole;
    return std::string(target, std::size_t(n)) + whole.substr(end);
}

} // namespace

std::string describeCommandLine(const char *program, char *const *arguments)
{
    std::string out;
    appendWord(out, program ? program : "");
    for (char *const *a = arguments; a && *a; ++a) {
        out += ' ';
        appendWord(out, shownWord(*a).c_str());
    }
    return out;
}
