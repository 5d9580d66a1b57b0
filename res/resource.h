// Resource, control and command ids of Mivora. Included by Mivora.rc and by
// the C++ code, so it holds plain numeric #defines only (no casts, no
// MAKEINTRESOURCE) that both the resource compiler and C++ understand.
#ifndef MIVORA_RES_RESOURCE_H
#define MIVORA_RES_RESOURCE_H

// Resources (100-199) -------------------------------------------------------
#define IDD_ABOUT_PAGE          104   // about page, last tab of the options sheet
#define IDI_MIVORA              105   // icon group: 48, 32 and 16 px at 256 colours
#define IDR_TRAY_MENU           106   // "TASKMENU", the tray icon's right-click menu
#define IDD_SETTINGS_PAGE       107   // settings page, first tab
#define IDD_LIBRARY_PAGE        108   // word-library page, second tab
#define IDD_SPEECH_PAGE         110   // 朗读 page, between the library and the about page
#define IDR_WORD_MENU           109   // "POPMENU", the word window's context menu
#define IDR_REMEMBERED_MENU     111   // "RMMENU", menu of the remembered-words view
#define IDB_QRCODE              114   // 185 x 185 px, 24 bpp, shown on the about page
#define IDD_HOTKEYS_PAGE        116   // hotkey page, before the about page
#define IDD_STATS_PAGE          117   // 统计 page, after the word-library page
#define IDD_IMPORT_PREVIEW      118   // "导入预览": how a 生词本 will be taken, before it is written

// Controls (1000-1399) -------------------------------------------------------
// The same number can mean different controls on different pages (1018 is
// the seconds edit of the settings page and the title of the about page), so
// each page has its own names.
#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif

// Settings page (IDD_SETTINGS_PAGE)
#define IDC_SETTINGS_AUTO_SWITCH        1015  // check box, autoSwitch
#define IDC_SETTINGS_AUTO_START         1017  // check box, autoStart
#define IDC_SETTINGS_SWITCH_SECONDS     1018  // edit, switchSeconds
#define IDC_SETTINGS_FONT               1019  // push button, font
#define IDC_SETTINGS_BACKGROUND_COLOR   1020  // owner-drawn colour button
#define IDC_SETTINGS_WORD_COLOR         1021  // owner-drawn colour button
#define IDC_SETTINGS_PHONETIC_COLOR     1022  // owner-drawn colour button
#define IDC_SETTINGS_CONTENT_COLOR      1023  // owner-drawn colour button
#define IDC_SETTINGS_TRANSPARENT        1024  // check box, transparentBackground
#define IDC_SETTINGS_SAMPLE_BACKGROUND  1025  // check box, sampleBackground
#define IDC_SETTINGS_TITLE_BAR_MODE     1027  // check box, titleBarMode
#define IDC_SETTINGS_CYCLE_SIZE         1029  // edit, cycleSize
#define IDC_SETTINGS_REVIEW             1060  // check box, [Review] Enabled
#define IDC_SETTINGS_REVIEW_LIMIT       1061  // edit, [Review] DailyLimit
#define IDC_SETTINGS_RETENTION          1062  // edit, [Review] Retention in per cent
#define IDC_SETTINGS_RECALL_FIRST       1063  // drop-down list, [Review] RecallFirst
#define IDC_SETTINGS_REVEAL_SECONDS     1064  // edit, [Review] RevealSeconds

// Word-library page (IDD_LIBRARY_PAGE)
#define IDC_LIBRARY_DICTIONARIES        1016  // drop-down list of dictionary names
#define IDC_LIBRARY_REMEMBERED_VIEW     1031  // report list view of remembered words
#define IDC_LIBRARY_IMPORT              1035  // push button "导入…": a 生词本 becomes a list

// Import preview (IDD_IMPORT_PREVIEW); IDOK is "导入", IDCANCEL "取消"
#define IDC_IMPORT_SEPARATOR            1370  // drop-down list: comma, semicolon, tab, bar, none
#define IDC_IMPORT_HEADER               1371  // check box: the first row names the columns
#define IDC_IMPORT_ROWS                 1372  // report list view: the first words as they will be written
#define IDC_IMPORT_COUNTS               1373  // static: encoding, words and skipped lines
#define IDC_IMPORT_PROGRESS             1374  // progress bar of the step running
#define IDC_IMPORT_STATUS               1375  // static: what the step running does
#define IDC_IMPORT_COLUMN_FIRST         1376  // statics 1376-1381: "第 1 列" and the first row's text
#define IDC_IMPORT_ROLE_FIRST           1382  // drop-down lists 1382-1387: each column's role
#define IMPORT_ROLE_COLUMNS             6
#define IDC_IMPORT_COLUMNS_NOTE         1388  // static above the columns: "各列的内容：", or why there are none

// Statistics page (IDD_STATS_PAGE)
#define IDC_STATS_CALENDAR              1360  // owner-drawn static, answers of the last 26 weeks
#define IDC_STATS_DUE                   1361  // owner-drawn static, words due on each of the next 30 days
#define IDC_STATS_TODAY                 1362  // static, today's figures
#define IDC_STATS_RECALL                1363  // static, recall of the last 30 days and the target

// Speech page (IDD_SPEECH_PAGE)
#define IDC_SPEECH_VOICE                1340  // drop-down list of the English voices
#define IDC_SPEECH_RATE                 1341  // trackbar, Rate -10..10
#define IDC_SPEECH_VOLUME               1342  // trackbar, Volume 0..100
#define IDC_SPEECH_AUTO_READ            1343  // check box, AutoRead
#define IDC_SPEECH_LISTEN               1344  // push button "试听"
#define IDC_SPEECH_NOTE                 1345  // static: no English voice, or why speaking failed

// Hotkey page (IDD_HOTKEYS_PAGE): a hotkey field and the status beside it
// for each command, in the order of HotkeyCommand.
#define IDC_HOTKEYS_NEXT                1041  // hotkey field, 下一个
#define IDC_HOTKEYS_PREVIOUS            1042  // hotkey field, 上一个
#define IDC_HOTKEYS_REMEMBERED          1043  // hotkey field, 已记住
#define IDC_HOTKEYS_PAUSE               1044  // hotkey field, 暂停
#define IDC_HOTKEYS_SPEAK               1045  // hotkey field, 朗读
#define IDC_HOTKEYS_SHOW_HIDE           1046  // hotkey field, hide or show the word
#define IDC_HOTKEYS_OPTIONS             1047  // hotkey field, 选项
#define IDC_HOTKEYS_FORGOT              1048  // hotkey field, 忘了
#define IDC_HOTKEYS_REVEAL              1049  // hotkey field, 显示释义
#define IDC_HOTKEYS_NEXT_STATUS         1051  // static beside each field: 已被其他程序占用 …
#define IDC_HOTKEYS_PREVIOUS_STATUS     1052
#define IDC_HOTKEYS_REMEMBERED_STATUS   1053
#define IDC_HOTKEYS_PAUSE_STATUS        1054
#define IDC_HOTKEYS_SPEAK_STATUS        1055
#define IDC_HOTKEYS_SHOW_HIDE_STATUS    1056
#define IDC_HOTKEYS_OPTIONS_STATUS      1057
#define IDC_HOTKEYS_FORGOT_STATUS       1058
#define IDC_HOTKEYS_REVEAL_STATUS       1059

// About page (IDD_ABOUT_PAGE)
#define IDC_ABOUT_TITLE                 1018  // "米沃拉 Mivora 1.0"
#define IDC_ABOUT_STATISTICS            1032  // read-only edit, study statistics
#define IDC_ABOUT_SUBTITLE              1323  // second title line
#define IDC_ABOUT_BUILD                 1325  // build date and time
#define IDC_ABOUT_GUIDE_LINK            1327  // notifying static, the user guide
#define IDC_ABOUT_DESCRIPTION           1328  // read-only edit, description
#define IDC_ABOUT_DIC_LINK              1329  // notifying static, the dic folder
#define IDC_ABOUT_ICON                  1330  // static icon, IDI_MIVORA
#define IDC_ABOUT_FILES_LINK            1331  // notifying static, the folder of the settings and progress

// Menu commands (40000-40099) -----------------------------------------------
// Tray menu (IDR_TRAY_MENU)
#define IDM_TRAY_OPTIONS        40014   // "选项"
#define IDM_TRAY_ABOUT          40015   // "关于..."
#define IDM_TRAY_EXIT           40016   // "退出"
#define IDM_TRAY_CAPTURE        40029   // "当前标题"

// Word window menu (IDR_WORD_MENU)
#define IDM_WORD_REMEMBERED     40023   // "已记住"
#define IDM_WORD_PREVIOUS       40024   // "上一个"
#define IDM_WORD_NEXT           40025   // "下一个"
#define IDM_WORD_PAUSE          40027   // "暂停"
#define IDM_WORD_SPEAK          40041   // "朗读"
#define IDM_WORD_FORGOT         40042   // "忘了", only for a word under review
#define IDM_WORD_REVEAL         40043   // "显示释义", only while the meaning is hidden

// Remembered-words menu (IDR_REMEMBERED_MENU)
#define IDM_REMEMBERED_FORGET   40037   // "忘记"
#define IDM_REMEMBERED_DELETE   40039   // "删除"

#endif  // MIVORA_RES_RESOURCE_H
