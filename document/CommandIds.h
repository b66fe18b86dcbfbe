#pragma once
// Command ids of the menus, the toolbar and the accelerators. The numbers are the ones the
// resource files and the help topics use, so they must not be renumbered.

namespace tessera {

enum CommandId : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_CLOSE = 57602,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_SEND_MAIL = 57612,
    ID_FILE_MRU_FILE1 = 57616,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_HELP_INDEX = 57666,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_WINDOW_NEW = 57648,
    ID_WINDOW_ARRANGE = 57649,
    ID_WINDOW_CASCADE = 57650,
    ID_WINDOW_TILE_HORZ = 57651,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_INDICATOR_KIND = 59143,
    ID_INDICATOR_COUNT = 59144,
    ID_INDICATOR_METHOD = 59145,

    ID_SEND_TO_DEVICE = 32771,
    ID_RECEIVE_FROM_DEVICE = 32772,
    ID_OPTION_SETTINGS = 32773,
    ID_RECORD_PROPERTIES = 32777,
    ID_RECORD_DELETE = 32778,
    ID_RECORD_ADD = 32779,
    ID_RECORD_INSERT = 32787,
    ID_HELP_WEB1 = 32789,
    ID_HELP_WEB2 = 32790,
    ID_VIEW_REFRESH = 32792,
    ID_RECORD_SEND = 32793,
    ID_ADDIN_TRANSFER = 32794,
    ID_HELP_WEB3 = 32796,
    ID_OPTION_FILTERS = 32798,
    ID_FILE_EXPORT = 32801,
    ID_FILE_IMPORT = 32802,
    ID_HELP_WEB4 = 32803,

    // Finding, selecting all and printing the table.
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_EDIT_FIND = 57636,
    ID_EDIT_SELECT_ALL = 57642,
    ID_FILE_EXPORT_PDF = 32850,
    // Backup in one sitting and the export bundle: their menu texts are these string ids.
    ID_FILE_BACKUP = 9500,
    ID_FILE_EXPORT_BUNDLE = 9501,
    ID_FILE_PUBLISH = 32810, // publish to a contacts and calendar server
};

} // namespace tessera
