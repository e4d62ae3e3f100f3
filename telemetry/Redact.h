// Masking personal names and paths in log text before it leaves the machine, and reading the
// tail of a log file.
#pragma once

#include <QString>

namespace zumo {

struct RedactionFacts {
    QString home;      // the home directory path
    QString fullName;  // the account's real name (first field of GECOS)
    QString login;     // the account name
    QString host;      // the host name
};

// This process's user and machine.
RedactionFacts systemRedactionFacts();

// Replaces, in order: the home path with "~", the real name and the login with "<user>", the
// host name with "<host>" (each skipped when shorter than 3 characters, so short values do not
// mangle ordinary words), then the user part of every "/Users/<name>" and "/home/<name>" path
// with "<user>".
QString redact(const QString& text, const RedactionFacts& facts);

// The last maxBytes bytes of the file decoded as UTF-8, invalid sequences (a character cut by
// the log trim, say) as U+FFFD; empty when the file cannot be read.
QString readTail(const QString& path, qint64 maxBytes);

} // namespace zumo
