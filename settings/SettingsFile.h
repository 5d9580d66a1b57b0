// The settings file "mivora.bin": the raw byte image of SettingsRecord, with
// no header. These functions are the whole of its format; the Win32 half
// (Settings.h) only decides where the file lies.
#pragma once

#include <cstdint>
#include <filesystem>

#include "SettingsRecord.h"

// The state of a record that did not come from a file. Only fields with a
// non-zero default are assigned; everything else keeps its current value, which
// for a record that starts zeroed is 0.
void applyDefaultSettings(SettingsRecord& record, std::int32_t maximizedWidth);

enum class SettingsLoad {
    FromFile,         // the file's first bytes fill the record
    DefaultsWritten,  // no readable file: defaults, and a new file holds them
    DefaultsOnly,     // no readable file and none could be created
};

// Reads up to sizeof(SettingsRecord) bytes of an existing file into `record`
// from its first byte; fields past the end of a short file are 0, not
// defaulted. Without a readable file the record is defaulted and a new file is
// written with it ("wb"). The two strings are always left terminated inside
// their fields.
SettingsLoad loadSettingsFile(const std::filesystem::path& file, SettingsRecord& record, std::int32_t maximizedWidth);

// Overwrites the first sizeof(SettingsRecord) bytes of an existing file and
// leaves any bytes after them alone. Never creates the file: a deleted or
// read-only file makes this return false without touching anything.
bool saveSettingsFile(const std::filesystem::path& file, const SettingsRecord& record);

// True if `file` fits a kPathUnits buffer of UTF-16 units with its
// terminator. A longer path is treated as a file that cannot be opened.
bool settingsPathFits(const std::filesystem::path& file);
