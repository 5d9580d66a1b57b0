// The Win32 face of the settings: the live record lives in SettingsRecord.h,
// this adds where its file lies and the start-at-log-on registration.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "SettingsRecord.h"

// The Run value carries the program's name.
constexpr wchar_t kRunValueName[] = L"Mivora";
constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kSettingsFileName[] = L"mivora.bin";

// The executable's folder (without a final separator, unless it is a
// drive's root); empty when the executable's path does not fit kPathUnits.
std::filesystem::path programFolder();

// Fills `settings` from "mivora.bin" in `folder`, or defaults it and creates
// the file. With `folder` empty or too long for the file's path the defaults
// live in memory only. `maximizedWidth` (SM_CXMAXIMIZED) places the default
// window.
void loadSettingsIn(SettingsRecord& settings, const std::filesystem::path& folder, std::int32_t maximizedWidth);

// Writes `settings` over the start of an existing settings file in `folder`
// (never creating it), then brings the Run registration in line with
// autoStart. False when the file was not written.
bool saveSettings(const SettingsRecord& settings, const std::filesystem::path& folder);

// `folder`'s "mivora.bin"; empty when `folder` is empty or the path does not
// fit kPathUnits with its terminator.
std::filesystem::path settingsFilePath(const std::filesystem::path& folder);

// The Run value's data for the executable at `module`: its path in double
// quotes, the command line form that no space in the path can split.
std::wstring runCommand(const std::wstring& module);

// Adds or removes the HKCU Run value that starts the executable at log-on.
// Failures are silent; with the key unavailable nothing is changed. Says
// what it did to the key, so that tests see a write that changes nothing
// (which the registry's times do not always show).
enum class RunRegistration { unchanged, written, deleted, failed };
RunRegistration applyRunRegistration(bool autoStart);
// The same for the executable at `module`. One that runs from inside an
// archive (runsFromArchive) leaves the value as it is, whether autoStart is
// on or off: the value belongs to the copy the user installed.
RunRegistration applyRunRegistration(bool autoStart, const std::wstring& module);

// Whether `folder` is the temporary folder (GetTempPathW) or lies inside it,
// both taken as full paths in their long form, and again as the file system
// finally names them (junctions followed), compared as Windows compares file
// names (without regard to case).
bool insideTemporaryFolder(const std::wstring& folder);

// Whether a folder of this name is one an archive program (WinRAR, 7-Zip,
// Bandizip, 360压缩, Explorer's zip folders) unpacks a program into to run
// it from inside the archive, and deletes afterwards.
bool archiveFolderName(std::wstring_view name);

// Whether the program in `folder` runs from inside an archive: the folder
// lies in the temporary folder, or in a folder named by an archive program
// (in whatever temporary folder that program was set to use), its path
// taken as given and with junctions followed.
bool runsFromArchive(const std::wstring& folder);
