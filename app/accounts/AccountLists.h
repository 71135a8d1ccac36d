#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// An attribute type of the directory and the list that its values go to.
struct AccountListTarget
{
    const char *attributeType;
    QStringList *list;
};

// Lists every record of recordType from the directory's authentication search
// node, batch after batch, asking for the targets' attribute types in their
// order. A record that carries exactly the attribute types asked for adds
// each first value to the list its type names; any other record adds
// nothing, so the lists stay parallel. At most three targets. Prints "Get record list returned %lu record entries" per batch on
// standard output; logs a failure to find, name or open the node and stops.
// The lists are appended to; callers empty them first.
void fillAccountLists(const char *recordType, const std::vector<AccountListTarget> &targets);

// Index of the first of names equal to name, ignoring case by the full
// Unicode upper-case mapping; -1 when there is none.
qsizetype indexOfAccountName(const QStringList &names, const QString &name);

// The integer that a text begins with: leading white space, an optional
// sign, decimal digits; 0 without digits; clamped to the 32-bit range.
int intValueOfText(const QString &text);
