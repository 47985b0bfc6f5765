#pragma once

#include <QString>

#include <exception>

class ToolError;

// The process-wide log facility. Every line goes to the system log; once
// logFileOpen() has run, lines and banners are also appended to the log file.

// "<caches dir>/<name with its extension replaced by log>".
QString logFilePathForName(const QString &name);
// Opens (creating or, at 1048577 bytes or more, emptying) the log file.
void logFileOpen(const QString &name);
// The current log path; a null QString while the log is not open.
QString logFilePath();
// One line to the system log (syslog) only, never to the log file.
void logSystem(const QString &message);
// Appends "\n================<localised date>================\n" (file only).
void logBanner();
// Writes "[YYYY-mm-dd HH:MM:SS] message\n" to the system log and the log file.
void logWrite(const QString &message);
// "*NSException*\n <name> -> <reason>"
void logException(const QString &name, const QString &reason);
void logException(const std::exception &exception);
// "*NSError*\n  domain:...\n  code:...\n  userInfo:...\n  description:...\n  resaon:...\n"
void logError(const ToolError &error);

// The log line for a message at a given time stamp text, without writing it;
// shared by logWrite and its tests.
QString logLineForMessage(const QString &stamp, const QString &message);
