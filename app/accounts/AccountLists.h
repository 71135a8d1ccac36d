#pragma once

#include "AccountList.h"

#include <QString>

#include <vector>

// An attribute type of the directory and the list that its values go to.
struct AccountListTarget
{
    const char *attributeType;
    AccountList *list;
};

// Lists every record of recordType from the directory's authentication search
// node, batch after batch, asking for the targets' attribute types in their
// order. A record that carries exactly the attribute types asked for adds
// each first value to the list its type names; any other record adds
// nothing, so the lists stay parallel. At most three targets. Values are
// taken byte for byte: bytes that are not UTF-8 become lone surrogates, as
// in paths (PathCodec), and go back to the same bytes. Prints "Get record
// list returned %lu record entries" per batch on standard output; logs a
// failure to find, name or open the node and stops. The lists are appended
// to (by the fill's own thread, or after waiting for it); callers empty
// them first.
void fillAccountLists(const char *recordType, const std::vector<AccountListTarget> &targets);

// The integer that a text begins with: leading white space, an optional
// sign, decimal digits; 0 without digits; clamped to the 32-bit range.
int intValueOfText(const QString &text);
