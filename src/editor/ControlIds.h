#pragma once

namespace tqf {

// The ids of the main window's controls: the numbers its template gives
// them, which order the controls and name them to tests.
enum ControlId : int {
    IDC_TREE = 1000,
    IDC_CREATE_MESSAGE = 1001,
    IDC_STREAM = 1002,
    IDC_FUNCTION = 1003,
    IDC_REPLY_REQUIRED = 1004,
    IDC_UPDATE_ITEM = 1005,
    IDC_MESSAGE_DESCRIPTION = 1006,
    IDC_FORMAT = 1007,
    IDC_OPEN = 1008,
    IDC_SAVE = 1009,
    IDC_SAVE_AS = 1010,
    IDC_UPDATE_MESSAGE = 1011,
    IDC_EXIT = 1012,
    IDC_NEW = 1013,
    IDC_ITEM_DESCRIPTION = 1014,
    IDC_ADD_ITEM = 1015,
    IDC_MESSAGE_COUNT = 1016,
    IDC_ITEM_COUNT = 1017,
    IDC_NOT_FIXED = 1018,
    IDC_DELETE_MESSAGE = 1019,
    IDC_DELETE_ITEM = 1020,
    IDC_MOVE_UP = 1023,
    IDC_MOVE_DOWN = 1024,
    IDC_PATH = 1026,
};

// The window's About command, as its system menu carries it.
inline constexpr int IDM_ABOUTBOX = 16;
// System commands carry state in their low four bits.
inline constexpr int SYSTEM_COMMAND_MASK = 0xFFF0;

} // namespace tqf
