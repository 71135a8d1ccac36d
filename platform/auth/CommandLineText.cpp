#include "CommandLineText.h"

#include <cstdio>
#include <cstring>

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

} // namespace

std::string describeCommandLine(const char *program, char *const *arguments)
{
    std::string out;
    appendWord(out, program ? program : "");
    for (char *const *a = arguments; a && *a; ++a) {
        out += ' ';
        appendWord(out, *a);
    }
    return out;
}
