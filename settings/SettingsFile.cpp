#include "SettingsFile.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include <sys/stat.h>
#include <sys/types.h>

namespace {

constexpr std::size_t kRecordBytes = sizeof(SettingsRecord);

template <std::size_t N>
void copyBounded(char16_t (&dest)[N], const char16_t* src)
{
    std::size_t i = 0;
    for (; i + 1 < N && src[i] != u'\0'; ++i) dest[i] = src[i];
    dest[i] = u'\0';
}

// A directory is never a settings file, and a read-only file is never
// updated. Windows enforces both for ordinary users, but an administrator (or
// root on a POSIX system, or under Wine) could otherwise still write a file the
// user made read-only to pin the settings.
bool usableFile(std::FILE* f, bool forUpdate)
{
#ifdef _WIN32
    struct _stat64 st {};
    if (_fstat64(_fileno(f), &st) != 0) return false;
    const bool directory = (st.st_mode & _S_IFMT) == _S_IFDIR;
    const bool writable = (st.st_mode & _S_IWRITE) != 0;
#else
    struct stat st {};
    if (fstat(fileno(f), &st) != 0) return false;
    const bool directory = S_ISDIR(st.st_mode);
    const bool writable = (st.st_mode & S_IWUSR) != 0;
#endif
    return !directory && (!forUpdate || writable);
}

std::FILE* openFile(const std::filesystem::path& file, const char* mode)
{
    if (!settingsPathFits(file)) return nullptr;
#ifdef _WIN32
    wchar_t wideMode[4] = {};
    for (std::size_t i = 0; i < 3 && mode[i] != '\0'; ++i) wideMode[i] = static_cast<wchar_t>(mode[i]);
    std::FILE* f = _wfopen(file.c_str(), wideMode);
#else
    std::FILE* f = std::fopen(file.c_str(), mode);
#endif
    if (f == nullptr) return nullptr;
    if (!usableFile(f, std::strchr(mode, '+') != nullptr)) {
        std::fclose(f);
        return nullptr;
    }
    return f;
}

}  // namespace

bool settingsPathFits(const std::filesystem::path& file)
{
#ifdef _WIN32
    const std::size_t units = file.native().size();
#else
    // The native string is UTF-8: each lead byte starts one UTF-16 unit, and
    // four-byte sequences need a surrogate pair.
    std::size_t units = 0;
    for (unsigned char c : file.native()) {
        if ((c & 0xC0) != 0x80) ++units;
        if (c >= 0xF0) ++units;
    }
#endif
    return units + 1 <= kPathUnits;
}

void applyDefaultSettings(SettingsRecord& r, std::int32_t maximizedWidth)
{
    r.autoSwitch = 1;
    r.sampleBackground = 1;
    r.wordColor = 0x00FF0000;
    r.phoneticColor = 0x000F000F;
    r.contentColor = 0x00336600;
    r.backgroundColor = 0x00FFFFFF;
    r.cycleSize = 15;
    r.switchSeconds = 10;
    // Computed in unsigned arithmetic so that an absurd metric wraps instead
    // of overflowing.
    r.windowX = static_cast<std::int32_t>(static_cast<std::uint32_t>(maximizedWidth) - 300u);
    r.windowY = 48;
    r.windowWidth = 200;
    r.windowHeight = 36;
    r.font.lfHeight = -16;
    r.font.lfWeight = 400;
    // Output precision, clip precision, quality and pitch/family as one
    // little-endian word: OUT_STROKE_PRECIS, CLIP_STROKE_PRECIS, DRAFT_QUALITY,
    // VARIABLE_PITCH | FF_SWISS.
    const std::uint32_t packed = 0x22010203u;
    unsigned char bytes[4] = {static_cast<unsigned char>(packed), static_cast<unsigned char>(packed >> 8),
                              static_cast<unsigned char>(packed >> 16), static_cast<unsigned char>(packed >> 24)};
    std::memcpy(&r.font.lfOutPrecision, bytes, sizeof bytes);
    copyBounded(r.font.lfFaceName, u"Arial");
    copyBounded(r.dictionaryName, u"英语四级词汇");
}

SettingsLoad loadSettingsFile(const std::filesystem::path& file, SettingsRecord& record, std::int32_t maximizedWidth)
{
    if (std::FILE* in = openFile(file, "rb")) {
        // Read into a zeroed image so that a short file leaves the rest 0
        // (a partially read fread element would otherwise be indeterminate).
        unsigned char image[kRecordBytes] = {};
        std::size_t got = std::fread(image, 1, kRecordBytes, in);
        std::fclose(in);
        if (got < kRecordBytes) {
            // A file cut short (0 bytes after a failed write, a copy that
            // stopped) holds only the fields it has; the rest take their
            // defaults. Zeros there would mean black text on a black window,
            // an empty font and no dictionary.
            SettingsRecord defaults{};
            applyDefaultSettings(defaults, maximizedWidth);
            std::memcpy(image + got, reinterpret_cast<const unsigned char*>(&defaults) + got, kRecordBytes - got);
        }
        std::memcpy(&record, image, kRecordBytes);
        // The rest of the program treats both as C strings.
        record.font.lfFaceName[std::size(record.font.lfFaceName) - 1] = u'\0';
        record.dictionaryName[std::size(record.dictionaryName) - 1] = u'\0';
        return SettingsLoad::FromFile;
    }

    applyDefaultSettings(record, maximizedWidth);
    std::FILE* out = openFile(file, "wb");
    if (out == nullptr) return SettingsLoad::DefaultsOnly;
    std::size_t written = std::fwrite(&record, kRecordBytes, 1, out);
    bool closed = std::fclose(out) == 0;
    return written == 1 && closed ? SettingsLoad::DefaultsWritten : SettingsLoad::DefaultsOnly;
}

bool saveSettingsFile(const std::filesystem::path& file, const SettingsRecord& record)
{
    std::FILE* f = openFile(file, "rb+");
    if (f == nullptr) return false;
    std::size_t written = std::fwrite(&record, kRecordBytes, 1, f);
    bool closed = std::fclose(f) == 0;
    return written == 1 && closed;
}
