#include "ui/ImportPreview.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "res/resource.h"
#include "store/text/Wide.h"
#include "win/Messages.h"
#include "win/Worker.h"

namespace {

// The separators the list offers, in its order; 0 is none (a word with its
// meaning after it on each line).
constexpr char16_t kSeparators[] = {u',', u';', u'\t', u'|', 0};
constexpr const wchar_t* kSeparatorNames[] = {L"逗号（,）", L"分号（;）", L"制表符", L"竖线（|）",
                                              L"无：单词后面接着释义"};
// In the order of ColumnRole.
constexpr const wchar_t* kRoleNames[] = {L"不导入", L"单词", L"音标", L"释义", L"词性"};

// The steps run on the worker.
enum class Step { none, analyse, apply, write };

// A step's inputs and outcome, shared by the dialog and the worker: the
// worker fills it, the dialog reads it once the step's notice has come. The
// analysis is moved in and out, never copied: a long file's words are big.
struct StepSlot {
    ImportAnalysis analysis;
    ImportRefusal written = ImportRefusal::none;
};

std::wstring wide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

const wchar_t* encodingName(ImportEncoding encoding)
{
    switch (encoding) {
    case ImportEncoding::utf8:
    case ImportEncoding::utf8Lines:
        return L"UTF-8";
    case ImportEncoding::utf16le:
    case ImportEncoding::utf16be:
        return L"UTF-16";
    case ImportEncoding::gb18030:
        return L"GB18030";
    case ImportEncoding::systemCodePage:
        return L"ANSI";
    }
    return L"";
}

class ImportPreview {
public:
    explicit ImportPreview(ImportRequest request) : request_(std::move(request)) {}
    ImportPreview(const ImportPreview&) = delete;
    ImportPreview& operator=(const ImportPreview&) = delete;

    ImportResult run(HINSTANCE instance, HWND owner)
    {
        if (DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_IMPORT_PREVIEW), owner, proc,
                            reinterpret_cast<LPARAM>(this)) == -1)
            result_.refusal = ImportRefusal::notWritten;
        return result_;
    }

private:
    static INT_PTR CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    HWND item(int id) const { return GetDlgItem(window_, id); }
    void setUp();
    void onCommand(WORD id, WORD code);

    void start(Step step);
    void stepDone(WPARAM run, LPARAM completed);
    void analysed();
    void showChoices();
    void showWords();
    ImportChoices choicesShown() const;
    void choiceChanged(int control);
    void close();
    // Enables and shows the controls as the facts say: a step running, an
    // analysis to show, the file's format.
    void updateControls();

    ImportRequest request_;
    HWND window_ = nullptr;
    Worker worker_;
    Step step_ = Step::none;
    std::shared_ptr<StepSlot> slot_;  // the step running, or the analysis shown
    std::shared_ptr<std::atomic<bool>> cancel_ = std::make_shared<std::atomic<bool>>(false);
    bool applyAgain_ = false;  // a choice changed while a step ran
    bool closing_ = false;     // 取消 was pressed while a step ran
    bool filling_ = false;     // the controls are being set, not changed by the learner
    // What the controls show of the last analysis, kept apart from the slot,
    // which the worker changes while a step runs.
    bool analysed_ = false;
    ImportFormat format_ = ImportFormat::separated;
    std::size_t columns_ = 0;
    bool anyWords_ = false;
    std::vector<ColumnRole> roles_;
    ImportResult result_;
    UniqueFont listFont_;
};

INT_PTR CALLBACK ImportPreview::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<ImportPreview*>(lParam)->window_ = window;
    }
    auto* self = reinterpret_cast<ImportPreview*>(GetWindowLongPtrW(window, DWLP_USER));
    return self != nullptr ? self->onMessage(message, wParam, lParam) : FALSE;
}

INT_PTR ImportPreview::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        setUp();
        start(Step::analyse);
        return TRUE;
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_IMPORT_PROGRESS:
        // A notice of an earlier step comes late: only the step running moves the bar.
        if (static_cast<WPARAM>(lParam) == worker_.run())
            SendMessageW(item(IDC_IMPORT_PROGRESS), PBM_SETPOS, wParam, 0);
        return TRUE;
    case WM_IMPORT_STEP_DONE:
        stepDone(wParam, lParam);
        return TRUE;
    case WM_DESTROY:
        // Only the owner's going ends the dialog with a step running (the
        // dialog itself waits for the step's notice): that step stops soon.
        cancel_->store(true);
        worker_.wait(INFINITE);
        return FALSE;
    default:
        return FALSE;
    }
}

// The controls' fixed parts: the list's columns and font, the choices the
// lists offer, the bar's range.
void ImportPreview::setUp()
{
    HWND rows = item(IDC_IMPORT_ROWS);
    SendMessageW(rows, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    if (request_.listFont) listFont_ = request_.listFont(rows);
    if (listFont_) SendMessageW(rows, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_.get()), FALSE);
    RECT area{};
    GetClientRect(rows, &area);
    const int width = area.right - GetSystemMetrics(SM_CXVSCROLL);
    const struct {
        const wchar_t* name;
        int share;
    } columns[] = {{L"单词", 28}, {L"音标", 24}, {L"释义", 48}};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(columns[i].name);
        column.cx = width * columns[i].share / 100;
        SendMessageW(rows, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    for (const wchar_t* name : kSeparatorNames)
        SendMessageW(item(IDC_IMPORT_SEPARATOR), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    for (int i = 0; i < IMPORT_ROLE_COLUMNS; ++i) {
        for (const wchar_t* name : kRoleNames)
            SendMessageW(item(IDC_IMPORT_ROLE_FIRST + i), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendMessageW(item(IDC_IMPORT_PROGRESS), PBM_SETRANGE32, 0, 1000);
}

void ImportPreview::onCommand(WORD id, WORD code)
{
    if (id == IDOK) {
        if (step_ == Step::none && analysed_ && anyWords_) start(Step::write);
    } else if (id == IDCANCEL) {
        close();
    } else if ((id == IDC_IMPORT_HEADER && code == BN_CLICKED) || code == CBN_SELCHANGE) {
        choiceChanged(id);
    }
}

// Starts `step` on the worker with what it needs, by value: the analysis
// moves into the step's slot, and comes back in it.
void ImportPreview::start(Step step)
{
    auto slot = slot_ != nullptr ? slot_ : std::make_shared<StepSlot>();
    const ImportChoices choices = step == Step::apply ? choicesShown() : ImportChoices{};
    const HWND notify = window_;
    const WPARAM run = worker_.run() + 1;
    auto reported = std::make_shared<std::atomic<int>>(-1);
    ImportJob job;
    job.codePage = request_.codePage;
    job.folders = request_.shippedFolders;
    job.cancel = cancel_;
    job.progress = [notify, run, reported](std::size_t done, std::size_t total) {
        const int permille = total == 0 ? 1000 : static_cast<int>(std::min<std::size_t>(done, total) * 1000 / total);
        if (reported->exchange(permille) != permille) PostMessageW(notify, WM_IMPORT_PROGRESS, permille, run);
    };
    std::function<LPARAM()> work;
    switch (step) {
    case Step::analyse:
        work = [slot, job, source = request_.source]() -> LPARAM {
            slot->analysis = analyseWordFile(source, job);
            return 1;
        };
        break;
    case Step::apply:
        work = [slot, job, choices]() -> LPARAM {
            slot->analysis = applyImportChoices(std::move(slot->analysis), choices, job);
            return 1;
        };
        break;
    case Step::write:
        work = [slot, job, folder = request_.folder, name = request_.name]() -> LPARAM {
            slot->written = writeImportedList(slot->analysis, folder, name, job);
            return 1;
        };
        break;
    case Step::none:
        return;
    }
    SendMessageW(item(IDC_IMPORT_PROGRESS), PBM_SETPOS, 0, 0);
    if (!worker_.start(window_, WM_IMPORT_STEP_DONE, std::move(work))) {
        // No thread to be had: nothing was read or written.
        result_.refusal = step == Step::write ? ImportRefusal::notWritten : ImportRefusal::unreadable;
        EndDialog(window_, IDCANCEL);
        return;
    }
    slot_ = std::move(slot);
    step_ = step;
    updateControls();
}

void ImportPreview::stepDone(WPARAM run, LPARAM completed)
{
    if (!worker_.finished(run)) return;
    const Step step = std::exchange(step_, Step::none);
    // The worker threw (out of memory part-way): the file is too big for
    // this computer now.
    const bool thrown = completed == 0;
    if (closing_ || thrown) {
        result_.refusal = closing_ ? ImportRefusal::cancelled : ImportRefusal::tooLarge;
        EndDialog(window_, IDCANCEL);
        return;
    }
    if (step == Step::write) {
        result_ = importResultOf(slot_->analysis);
        if (slot_->written != ImportRefusal::none) result_.refusal = slot_->written;
        EndDialog(window_, IDOK);
        return;
    }
    if (slot_->analysis.refusal != ImportRefusal::none && step == Step::analyse) {
        // A file that is no 生词本 is told in the page's message, as before.
        result_ = importResultOf(slot_->analysis);
        EndDialog(window_, IDCANCEL);
        return;
    }
    const ImportAnalysis& analysis = slot_->analysis;
    analysed_ = true;
    format_ = analysis.format;
    columns_ = analysis.columns;
    anyWords_ = !analysis.words.empty();
    roles_ = analysis.choices.roles;
    // A choice changed meanwhile is not overwritten: it is applied next.
    if (!applyAgain_) showChoices();
    showWords();
    if (std::exchange(applyAgain_, false)) {
        start(Step::apply);
        return;
    }
    updateControls();
}

// The separator, header and roles the analysis took, in the controls.
void ImportPreview::showChoices()
{
    const ImportAnalysis& analysis = slot_->analysis;
    filling_ = true;
    const auto separator = std::find(std::begin(kSeparators), std::end(kSeparators), analysis.choices.separator);
    // The file's own format (有道, 欧路) has no separator to show.
    const bool separated = analysis.format == ImportFormat::separated && separator != std::end(kSeparators);
    SendMessageW(item(IDC_IMPORT_SEPARATOR), CB_SETCURSEL,
                 separated ? static_cast<WPARAM>(separator - std::begin(kSeparators)) : static_cast<WPARAM>(-1), 0);
    CheckDlgButton(window_, IDC_IMPORT_HEADER, analysis.choices.header ? BST_CHECKED : BST_UNCHECKED);
    for (int i = 0; i < IMPORT_ROLE_COLUMNS; ++i) {
        const std::size_t column = static_cast<std::size_t>(i);
        const ColumnRole role =
            column < analysis.choices.roles.size() ? analysis.choices.roles[column] : ColumnRole::ignore;
        SendMessageW(item(IDC_IMPORT_ROLE_FIRST + i), CB_SETCURSEL, static_cast<WPARAM>(role), 0);
    }
    filling_ = false;
}

// The first words as they will be written, the column labels and the counts.
void ImportPreview::showWords()
{
    const ImportAnalysis& analysis = slot_->analysis;
    HWND rows = item(IDC_IMPORT_ROWS);
    SendMessageW(rows, WM_SETREDRAW, FALSE, 0);
    SendMessageW(rows, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < analysis.firstWords.size(); ++i) {
        const ImportedWord& word = analysis.firstWords[i];
        const std::wstring fields[] = {wide(word.word), wide(word.phonetic), wide(word.meaning)};
        LVITEMW row{};
        row.mask = LVIF_TEXT;
        row.iItem = static_cast<int>(i);
        row.pszText = const_cast<wchar_t*>(fields[0].c_str());
        SendMessageW(rows, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
        for (int sub = 1; sub < 3; ++sub) {
            row.iSubItem = sub;
            row.pszText = const_cast<wchar_t*>(fields[sub].c_str());
            SendMessageW(rows, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&row));
        }
    }
    SendMessageW(rows, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(rows, nullptr, TRUE);

    for (int i = 0; i < IMPORT_ROLE_COLUMNS; ++i) {
        const std::size_t column = static_cast<std::size_t>(i);
        std::wstring label = L"第 " + std::to_wstring(i + 1) + L" 列";
        if (column < analysis.firstRow.size() && !analysis.firstRow[column].empty())
            label += L"：" + wide(std::u16string_view(analysis.firstRow[column]).substr(0, 16));
        SetDlgItemTextW(window_, IDC_IMPORT_COLUMN_FIRST + i, label.c_str());
    }

    const wchar_t* note = L"各列的内容：";
    if (analysis.format == ImportFormat::youdaoXml)
        note = L"这是有道词典的生词本，按它自己的格式读取，不用分列。";
    else if (analysis.format != ImportFormat::separated)
        note = L"这是欧路词典的生词本，按它自己的格式读取，不用分列。";
    SetDlgItemTextW(window_, IDC_IMPORT_COLUMNS_NOTE, note);

    std::wstring counts = std::wstring(encodingName(analysis.encoding)) + L" 编码，共 " +
                          std::to_wstring(analysis.words.size()) + L" 个词";
    if (!analysis.skippedLines.empty()) counts += L"，跳过 " + std::to_wstring(analysis.skippedLines.size()) + L" 行";
    if (analysis.words.empty()) counts += L"：这样分列找不到单词，请换一种分隔符或改一改各列的内容";
    SetDlgItemTextW(window_, IDC_IMPORT_COUNTS, counts.c_str());
}

ImportChoices ImportPreview::choicesShown() const
{
    ImportChoices choices;
    const LRESULT separator = SendMessageW(item(IDC_IMPORT_SEPARATOR), CB_GETCURSEL, 0, 0);
    choices.separator = separator >= 0 && separator < static_cast<LRESULT>(std::size(kSeparators))
                            ? kSeparators[separator]
                            : char16_t{0};
    choices.header = IsDlgButtonChecked(window_, IDC_IMPORT_HEADER) == BST_CHECKED;
    // Columns past those shown keep the roles they were given.
    choices.roles = roles_;
    for (int i = 0; i < IMPORT_ROLE_COLUMNS; ++i) {
        const LRESULT role = SendMessageW(item(IDC_IMPORT_ROLE_FIRST + i), CB_GETCURSEL, 0, 0);
        const std::size_t column = static_cast<std::size_t>(i);
        if (role < 0 || role >= static_cast<LRESULT>(std::size(kRoleNames))) continue;
        if (choices.roles.size() <= column) choices.roles.resize(column + 1, ColumnRole::ignore);
        choices.roles[column] = static_cast<ColumnRole>(role);
    }
    return choices;
}

// The learner changed the separator, the header or a column's role: the
// words are taken again, after the step running if one does.
void ImportPreview::choiceChanged(int control)
{
    if (filling_ || !analysed_ || closing_) return;
    // Under another separator the columns are others: the word first, the
    // meaning next, until the learner says otherwise.
    if (control == IDC_IMPORT_SEPARATOR) {
        filling_ = true;
        roles_ = {ColumnRole::word, ColumnRole::meaning};
        for (int i = 0; i < IMPORT_ROLE_COLUMNS; ++i)
            SendMessageW(item(IDC_IMPORT_ROLE_FIRST + i), CB_SETCURSEL,
                         static_cast<WPARAM>(i < 2 ? roles_[static_cast<std::size_t>(i)] : ColumnRole::ignore), 0);
        filling_ = false;
    }
    if (step_ != Step::none) {
        applyAgain_ = step_ != Step::write;
        return;
    }
    start(Step::apply);
}

void ImportPreview::close()
{
    if (step_ == Step::none) {
        result_.refusal = ImportRefusal::cancelled;
        EndDialog(window_, IDCANCEL);
        return;
    }
    // The step ends soon; its notice ends the dialog.
    closing_ = true;
    cancel_->store(true);
    updateControls();
}

void ImportPreview::updateControls()
{
    const bool running = step_ != Step::none;
    const bool separated = analysed_ && format_ == ImportFormat::separated;
    const bool changeable = separated && !closing_ && step_ != Step::write;
    const std::size_t columns =
        separated ? std::min<std::size_t>(std::max<std::size_t>(columns_, 1), IMPORT_ROLE_COLUMNS) : 0;
    const auto enable = [&](int id, bool on) {
        HWND control = item(id);
        // A control that loses the keyboard as it is disabled hands it on
        // to 取消, not to nowhere.
        if (!on && GetFocus() == control)
            SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(IDCANCEL)), TRUE);
        EnableWindow(control, on ? TRUE : FALSE);
    };
    enable(IDC_IMPORT_SEPARATOR, changeable);
    enable(IDC_IMPORT_HEADER, changeable);
    for (int i = 0; i < IMPORT_ROLE_COLUMNS; ++i) {
        const bool there = static_cast<std::size_t>(i) < columns;
        ShowWindow(item(IDC_IMPORT_COLUMN_FIRST + i), there ? SW_SHOW : SW_HIDE);
        ShowWindow(item(IDC_IMPORT_ROLE_FIRST + i), there ? SW_SHOW : SW_HIDE);
        enable(IDC_IMPORT_ROLE_FIRST + i, there && changeable);
    }
    enable(IDOK, !running && analysed_ && anyWords_);
    enable(IDCANCEL, !closing_);
    ShowWindow(item(IDC_IMPORT_PROGRESS), running ? SW_SHOW : SW_HIDE);
    const wchar_t* status = L"";
    if (closing_)
        status = L"正在取消…";
    else if (step_ == Step::analyse)
        status = L"正在读取生词本…";
    else if (step_ == Step::apply)
        status = L"正在按新的设置重新分列…";
    else if (step_ == Step::write)
        status = L"正在写入词库…";
    else if (analysed_)
        status = L"看一下是否正确，再点“导入”。";
    SetDlgItemTextW(window_, IDC_IMPORT_STATUS, status);
    // The title says whether there is anything to look at yet.
    SetWindowTextW(window_, analysed_ ? L"导入预览" : L"导入预览（正在读取…）");
}

}  // namespace

ImportResult runImportPreview(HINSTANCE instance, HWND owner, ImportRequest request)
{
    try {
        ImportPreview preview(std::move(request));
        return preview.run(instance, owner);
    } catch (const std::bad_alloc&) {
        ImportResult result;
        result.refusal = ImportRefusal::tooLarge;
        return result;
    }
}
