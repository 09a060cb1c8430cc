#pragma once

namespace tqf {

// The commands the tree view carries out, from its menu or from elsewhere.
enum TreeCommand : int {
    ID_TREE_ADD_LIST_ITEM = 1124,
    ID_TREE_ADD_SUB_ITEM = 1125,
    ID_TREE_MOVE_UP = 1128,
    ID_TREE_MOVE_DOWN = 1129,
    ID_TREE_DELETE_NODE = 42770,
    ID_TREE_SET_TEXT_COLOR = 42772,
    ID_TREE_TOGGLE_LINES = 42773,
    ID_TREE_SET_LINE_COLOR = 42774,
    ID_TREE_SET_FONT = 42775,
    ID_TREE_SET_TEXT_COLOR_2 = 42776,
    ID_TREE_SET_BACKGROUND_PICTURE = 42777,
    ID_TREE_SET_BACKGROUND_COLOR = 42779,
    ID_TREE_RULES = 42780,
    ID_TREE_MENU_TITLE = 32768,
};

} // namespace tqf
