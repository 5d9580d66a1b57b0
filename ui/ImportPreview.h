// The import of a 生词本 as the learner sees it: the file is read on a worker
// while a progress bar moves, then the dialog shows how it will be taken
// (the first words, the separator, the header row and what each column
// holds), lets the learner change that, and writes the list at 导入, again
// on the worker. The window answers throughout, and 取消 stops any step.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "store/lists/WordListImport.h"
#include "win/Handles.h"

// What one import is given: the file, the folder and name of the list to
// write, the folders of the shipped lists that fill a word's gaps, and how
// "ANSI" text is decoded.
struct ImportRequest {
    std::filesystem::path source;
    std::filesystem::path folder;
    std::u16string name;
    std::vector<std::filesystem::path> shippedFolders;
    CodePageDecoder codePage = systemCodePageText;
    // A font for the rows that has the phonetic symbols, as the page's list
    // has; none: the dialog's own.
    std::function<UniqueFont(HWND view)> listFont;
};

// Runs the modal dialog over `owner`. The result: refusal `cancelled` when
// the learner closed it, a refusal of the file or of the write, or none
// with the words written.
ImportResult runImportPreview(HINSTANCE instance, HWND owner, ImportRequest request);
