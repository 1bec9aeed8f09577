#pragma once
// The layout of the firmware database file. The program only checks a file against it;
// create-firmware-db is what writes a new, empty one.

#include <sqlite3.h>

#include "platform/text/CString.h"

constexpr const char* kFirmwareDatabaseName = "Tellvane.mdb";
// Longest text a column holds, in bytes of the program's text.
constexpr int kFirmwareTextMax = 255;

// The statements that make an empty database.
extern const char* const kFirmwareSchema;

// True when the connection holds the Firmware and UpgradeRule tables with their columns and an
// ID the database assigns. Otherwise false with the reason in 'why' (a file that is no SQLite
// database fails here too).
bool CheckFirmwareSchema(sqlite3* db, CString& why);

// Writes an empty database at 'path'; never replaces an existing file. False with the reason.
bool CreateFirmwareDatabase(const CString& path, CString& why);
