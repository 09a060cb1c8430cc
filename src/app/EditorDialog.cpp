#include "EditorDialog.h"

#include "AboutDialog.h"
#include "AccessibleNames.h"
#include "AppIcon.h"
#include "Color.h"
#include "ControlIds.h"
#include "DialogFont.h"
#include "DialogUnits.h"
#include "DigitsOnlyLineEdit.h"
#include "EditFieldLimits.h"
#include "EditorCommands.h"
#include "FileCommands.h"
#include "FileDropTarget.h"
#include "FindDialog.h"
#include "FormatComboBox.h"
#include "FormatTreeView.h"
#include "ItemFormat.h"
#include "ProductInfo.h"
#include "QtPrompts.h"
#include "RecentFiles.h"
#include "RulesDialog.h"
#include "SkinButton.h"
#include "SkinCheckBox.h"
#include "SmlCheckDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QShortcut>
#include <QTimer>

#include <algorithm>
#include <array>
#include <string>

namespace tqf {

namespace {

// What each entry of the window's layout is.
enum class Kind {
    TreePlaceholder, // becomes the tree view, keeping its place
    PushButton,
    CheckBox,
    GroupBox,
    Label,
    CentredLabel,
    NumberEdit,
    CentredNumberEdit,
    TextEdit,
    FormatList,
    CountDisplay, // centred, sunken static text
    CreditLine,   // the product's name and version
    EtchedFrame,
    GreyFrame,
};

constexpr int NO_ID = -1;

// One control of the window in dialog units. Controls without an id carry a
// readable object name instead.
struct LayoutEntry {
    int id;
    Kind kind;
    const char* caption; // UTF-8
    const char* name;
    int x;
    int y;
    int width;
    int height;
};

// The window's controls in their creation order, which is also the tab order
// and, first on top, the stacking order.
constexpr std::array<LayoutEntry, 40> LAYOUT{{
    {IDC_TREE, Kind::TreePlaceholder, "", "", 7, 41, 229, 247},
    {IDC_CREATE_MESSAGE, Kind::PushButton, "Create", "", 247, 114, 38, 19},
    {NO_ID, Kind::GroupBox, "SECS Message", "messageGroup", 240, 37, 132, 106},
    {NO_ID, Kind::CentredLabel, "Stream", "streamLabel", 245, 53, 23, 11},
    {NO_ID, Kind::CentredLabel, "Function", "functionLabel", 245, 63, 28, 11},
    {IDC_STREAM, Kind::NumberEdit, "", "", 278, 53, 14, 12},
    {IDC_FUNCTION, Kind::NumberEdit, "", "", 278, 65, 14, 12},
    {IDC_REPLY_REQUIRED, Kind::CheckBox, "Reply Required", "", 299, 57, 66, 12},
    {NO_ID, Kind::Label, "SECS Message Description", "messageDescriptionLabel", 247, 83, 117, 11},
    {IDC_MESSAGE_DESCRIPTION, Kind::TextEdit, "", "", 247, 95, 117, 12},
    {NO_ID, Kind::GroupBox, "Sub Item", "itemGroup", 240, 147, 132, 105},
    {NO_ID, Kind::CentredLabel, "Item Format", "itemFormatLabel", 244, 156, 48, 11},
    {IDC_FORMAT, Kind::FormatList, "", "", 292, 156, 70, 185},
    {IDC_UPDATE_ITEM, Kind::PushButton, "Update", "", 288, 224, 38, 19},
    {IDC_OPEN, Kind::PushButton, "Open", "", 55, 11, 43, 20},
    {IDC_SAVE, Kind::PushButton, "Save", "", 99, 11, 43, 20},
    {IDC_SAVE_AS, Kind::PushButton, "Save As", "", 143, 11, 45, 20},
    {IDC_EXIT, Kind::PushButton, "Exit", "", 189, 11, 43, 20},
    {IDC_NEW, Kind::PushButton, "New", "", 11, 11, 43, 20},
    {IDC_UPDATE_MESSAGE, Kind::PushButton, "Update", "", 287, 114, 38, 19},
    {NO_ID, Kind::EtchedFrame, "", "fileFrame", 7, 7, 229, 29},
    {NO_ID, Kind::EtchedFrame, "", "countFrame", 240, 7, 132, 29},
    {NO_ID, Kind::Label, "SECS Message :", "messageCountLabel", 246, 18, 51, 11},
    {IDC_MESSAGE_COUNT, Kind::CountDisplay, "", "", 300, 16, 28, 13},
    {NO_ID, Kind::CentredLabel, "Created", "createdLabel", 330, 16, 32, 13},
    {NO_ID, Kind::CentredLabel, "Item Count", "itemCountLabel", 246, 171, 42, 11},
    {IDC_ITEM_COUNT, Kind::CentredNumberEdit, "", "", 292, 172, 19, 12},
    {IDC_NOT_FIXED, Kind::CheckBox, "Not Fixed", "", 316, 171, 50, 12},
    {NO_ID, Kind::Label, "Sub Item Description", "itemDescriptionLabel", 247, 192, 117, 11},
    {IDC_ITEM_DESCRIPTION, Kind::TextEdit, "", "", 247, 205, 117, 12},
    {IDC_ADD_ITEM, Kind::PushButton, "Add", "", 248, 224, 38, 19},
    {IDC_DELETE_MESSAGE, Kind::PushButton, "Delete", "", 326, 114, 38, 19},
    {IDC_DELETE_ITEM, Kind::PushButton, "Delete", "", 328, 224, 38, 19},
    {IDC_MOVE_UP, Kind::PushButton, "UP \xE2\x96\xB2", "", 249, 268, 50, 15},
    {IDC_MOVE_DOWN, Kind::PushButton, "\xE2\x96\xBC  DOWN", "", 310, 268, 50, 15},
    {NO_ID, Kind::CreditLine, "", "creditLine", 274, 293, 65, 9},
    {NO_ID, Kind::GroupBox, "Node Move", "moveGroup", 240, 255, 132, 33},
    {IDC_PATH, Kind::Label, "", "", 18, 291, 204, 11},
    {NO_ID, Kind::GreyFrame, "", "pathFrame", 7, 290, 229, 14},
    {NO_ID, Kind::GreyFrame, "", "creditFrame", 240, 290, 132, 14},
}};

// The height of the format list while it is closed; the rest of its layout
// height is room for the dropped list, which shows every row.
constexpr int COMBO_CLOSED_HEIGHT_DU = 12;

// A group box as the dialogs of the platform draw it: an etched frame whose
// top line runs through the middle of the title, the title a little in from
// the left.
constexpr const char* GROUP_BOX_STYLE =
    "QGroupBox { border: 2px groove palette(mid); margin-top: 6px; }"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px; padding: 0px 2px; }";

constexpr const char* ABOUT_MENU_TEXT = "TQF 정보(&A)...";
constexpr const char* IMPORT_SML_MENU_TEXT = "Import SML...";
constexpr const char* ADD_SML_MENU_TEXT = "Add SML Messages...";
constexpr const char* EXPORT_SML_MENU_TEXT = "Export SML...";
constexpr const char* FIND_MENU_TEXT = "Find...";
constexpr const char* UNDO_MENU_TEXT = "Undo";
constexpr const char* REDO_MENU_TEXT = "Redo";
constexpr const char* NEW_MENU_TEXT = "New";
constexpr const char* OPEN_MENU_TEXT = "Open...";
constexpr const char* OPEN_RECENT_MENU_TEXT = "Open Recent";
constexpr const char* SAVE_MENU_TEXT = "Save";
constexpr const char* SAVE_AS_MENU_TEXT = "Save As...";
constexpr const char* EXIT_MENU_TEXT = "Exit";
constexpr const char* MSG_RECENT_GONE = "%1 is no longer there. It was removed from the recent files.";
constexpr const char* SEARCH_WRAPPED_TEXT = "Search wrapped";
// How long a notice over the tree shows.
constexpr int NOTICE_MS = 2500;
// The notice's place at the foot of the tree, in dialog units from the
// tree's bottom-left corner.
constexpr int NOTICE_INSET_DU = 2;
constexpr int NOTICE_HEIGHT_DU = 11;
constexpr const char* TREE_FONT_FACE = "Tahoma";
constexpr const char* TITLE_FORMAT = "%1 - Build %2";

constexpr Qt::Alignment LEFT_TOP = Qt::AlignLeft | Qt::AlignTop;
constexpr Qt::Alignment CENTRE_TOP = Qt::AlignHCenter | Qt::AlignTop;

QString Utf8(const char* text) { return QString::fromUtf8(text); }

// Entries that take no input of their own.
bool IsDecoration(Kind kind) {
    switch (kind) {
    case Kind::GroupBox:
    case Kind::Label:
    case Kind::CentredLabel:
    case Kind::CountDisplay:
    case Kind::CreditLine:
    case Kind::EtchedFrame:
    case Kind::GreyFrame:
        return true;
    default:
        return false;
    }
}

// The history's keys: Ctrl+Z takes a change back, Ctrl+Y and Ctrl+Shift+Z make
// it again, and so do the platform's own undo and redo keys. An edit field
// with typing to take back or make again takes them first; otherwise they act
// on the document whichever control has the focus.
enum class HistoryKey { NONE, UNDO, REDO };

HistoryKey HistoryKeyOf(const QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((modifiers == Qt::ControlModifier && event->key() == Qt::Key_Z) || event->matches(QKeySequence::Undo)) {
        return HistoryKey::UNDO;
    }
    if ((modifiers == Qt::ControlModifier && event->key() == Qt::Key_Y) ||
        (modifiers == (Qt::ControlModifier | Qt::ShiftModifier) && event->key() == Qt::Key_Z) ||
        event->matches(QKeySequence::Redo)) {
        return HistoryKey::REDO;
    }
    return HistoryKey::NONE;
}

// Runs the field's own undo or redo when it has typing for it; false when
// the key is the document's.
bool UndoTyping(QWidget* widget, HistoryKey key) {
    auto* field = qobject_cast<QLineEdit*>(widget);
    if (field == nullptr || field->isReadOnly()) {
        return false;
    }
    if (key == HistoryKey::UNDO && field->isUndoAvailable()) {
        field->undo();
        return true;
    }
    if (key == HistoryKey::REDO && field->isRedoAvailable()) {
        field->redo();
        return true;
    }
    return false;
}

// The platform's keys for a command, or the usual one where the platform
// names none (some desktops have no Save As key).
QList<QKeySequence> StandardKeys(QKeySequence::StandardKey key, const QKeySequence& usual) {
    QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    if (keys.isEmpty()) {
        keys.append(usual);
    }
    return keys;
}

// The file commands' keys; Quit runs Exit, with its question.
QList<QKeySequence> NewKeys() { return StandardKeys(QKeySequence::New, QKeySequence(Qt::CTRL | Qt::Key_N)); }
QList<QKeySequence> OpenKeys() { return StandardKeys(QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O)); }
QList<QKeySequence> SaveKeys() { return StandardKeys(QKeySequence::Save, QKeySequence(Qt::CTRL | Qt::Key_S)); }
QList<QKeySequence> SaveAsKeys() {
    return StandardKeys(QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
}
QList<QKeySequence> QuitKeys() { return StandardKeys(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)); }
QList<QKeySequence> FindKeys() { return StandardKeys(QKeySequence::Find, QKeySequence(Qt::CTRL | Qt::Key_F)); }

// A path as a menu entry's text: an ampersand in it is no mnemonic.
QString EntryText(const QString& path) {
    QString text = QDir::toNativeSeparators(path);
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

bool IsEatenKey(const QKeyEvent* event) {
    const int key = event->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

// The compiler's date of this file, "Mmm dd yyyy", as an ISO date.
QString BuildDate() {
    const QString compiled = QString::fromLatin1(__DATE__).simplified();
    const QDate date = QDate::fromString(compiled, QStringLiteral("MMM d yyyy"));
    return date.isValid() ? date.toString(Qt::ISODate) : compiled;
}

QLabel* MakeLabel(const LayoutEntry& entry, Qt::Alignment alignment, QWidget* parent) {
    auto* label = new QLabel(Utf8(entry.caption), parent);
    label->setAlignment(alignment);
    return label;
}

QFrame* MakeFrame(QFrame::Shadow shadow, QPalette::ColorRole lineRole, QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Box | shadow);
    frame->setLineWidth(1);
    frame->setForegroundRole(lineRole);
    return frame;
}

QComboBox* MakeFormatList(QWidget* parent) {
    auto* combo = new FormatComboBox(parent);
    // The list is an upper-case list: its rows show in capitals.
    for (int row = 0; row < FORMAT_ROW_COUNT; ++row) {
        const std::string_view text = FormatRowText(row);
        combo->addItem(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())).toUpper());
    }
    combo->setMaxVisibleItems(FORMAT_ROW_COUNT);
    combo->setCurrentIndex(NO_FORMAT_ROW);
    return combo;
}

} // namespace

EditorDialog::EditorDialog(Prompts* prompts, QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont::MainFont());
    setFixedSize(TAHOMA_9_UNITS.Size(WIDTH_DU, HEIGHT_DU));
    if (prompts == nullptr) {
        ownPrompts_ = std::make_unique<QtPrompts>(this);
        prompts = ownPrompts_.get();
    }
    prompts_ = prompts;

    CreateControls();
    commands_ = new EditorCommands(panel_, *prompts_, this);
    fileCommands_ = new FileCommands(*commands_, panel_, *prompts_, this);
    new FileDropTarget(*this, *fileCommands_);
    recentFiles_ = std::make_unique<RecentFiles>(RecentFiles::UserSettings());
    connect(fileCommands_, &FileCommands::FileKept, this, [this](const QString& path) { recentFiles_->Add(path); });
    InitDialog();

    // Enter and Escape neither press a button nor end the window, whichever
    // control has the focus; the application sees every key first.
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &EditorDialog::OnFocusChanged);
    CreateShortcuts();
}

void EditorDialog::CreateShortcuts() {
    auto add = [this](const QList<QKeySequence>& keys, auto&& action) {
        auto* shortcut = new QShortcut(this);
        shortcut->setKeys(keys);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    add({QKeySequence(Qt::Key_F1)}, [this] { OnSysCommand(IDM_ABOUTBOX); });
    add(FindKeys(), [this] { OpenFind(); });
    add({QKeySequence(Qt::Key_F3)}, [this] { RepeatFind(true); });
    add({QKeySequence(Qt::SHIFT | Qt::Key_F3)}, [this] { RepeatFind(false); });
    add(NewKeys(), [this] { fileCommands_->OnNew(); });
    add(OpenKeys(), [this] { fileCommands_->OnOpen(); });
    add(SaveKeys(), [this] { fileCommands_->OnSave(); });
    add(SaveAsKeys(), [this] { fileCommands_->OnSaveAs(); });
    add(QuitKeys(), [this] { fileCommands_->OnExit(); });
}

EditorDialog::~EditorDialog() {
    qApp->removeEventFilter(this);
    // The controls go with the window's base part, after this part has gone.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    // The commands go first: the tree view's nodes are deleted with the view,
    // and nothing should be told about it any more. The file commands work
    // on the editor commands' state, so they go before them.
    delete fileCommands_;
    fileCommands_ = nullptr;
    delete commands_;
    commands_ = nullptr;
}

void EditorDialog::CreateControls() {
    std::array<QWidget*, LAYOUT.size()> created{};
    for (std::size_t i = 0; i < LAYOUT.size(); ++i) {
        const LayoutEntry& entry = LAYOUT[i];
        QWidget* widget = CreateControl(static_cast<int>(i));
        QRect geometry = TAHOMA_9_UNITS.Rect(entry.x, entry.y, entry.width, entry.height);
        if (entry.kind == Kind::FormatList) {
            geometry.setHeight(TAHOMA_9_UNITS.Rect(entry.x, entry.y, entry.width, COMBO_CLOSED_HEIGHT_DU).height());
        }
        widget->setGeometry(geometry);
        if (entry.id != NO_ID) {
            widget->setObjectName(QString::number(entry.id));
            controls_.insert(entry.id, widget);
        } else {
            widget->setObjectName(QString::fromLatin1(entry.name));
        }
        created[i] = widget;
    }
    // The first control of the layout lies on top. Frames, group boxes and
    // labels only show where things are: they lie beneath every control and
    // let the pointer through, so a click always reaches the control under
    // it, wherever they stand in the layout.
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
        (*it)->raise();
    }
    for (std::size_t i = 0; i < LAYOUT.size(); ++i) {
        if (IsDecoration(LAYOUT[i].kind)) {
            created[i]->lower();
            created[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
        }
    }

    auto button = [this](int id) { return static_cast<SkinButton*>(controls_.value(id)); };
    auto check = [this](int id) { return static_cast<SkinCheckBox*>(controls_.value(id)); };
    auto edit = [this](int id) { return static_cast<QLineEdit*>(controls_.value(id)); };
    auto label = [this](int id) { return static_cast<QLabel*>(controls_.value(id)); };

    panel_.window = this;
    panel_.treeView = treeView_;
    panel_.streamEdit = edit(IDC_STREAM);
    panel_.functionEdit = edit(IDC_FUNCTION);
    panel_.replyRequiredCheck = check(IDC_REPLY_REQUIRED);
    panel_.messageDescriptionEdit = edit(IDC_MESSAGE_DESCRIPTION);
    panel_.messageCountLabel = label(IDC_MESSAGE_COUNT);
    panel_.createButton = button(IDC_CREATE_MESSAGE);
    panel_.updateMessageButton = button(IDC_UPDATE_MESSAGE);
    panel_.deleteMessageButton = button(IDC_DELETE_MESSAGE);
    panel_.formatCombo = static_cast<QComboBox*>(controls_.value(IDC_FORMAT));
    panel_.itemCountEdit = edit(IDC_ITEM_COUNT);
    panel_.notFixedCheck = check(IDC_NOT_FIXED);
    panel_.itemDescriptionEdit = edit(IDC_ITEM_DESCRIPTION);
    panel_.addItemButton = button(IDC_ADD_ITEM);
    panel_.updateItemButton = button(IDC_UPDATE_ITEM);
    panel_.deleteItemButton = button(IDC_DELETE_ITEM);
    panel_.moveUpButton = button(IDC_MOVE_UP);
    panel_.moveDownButton = button(IDC_MOVE_DOWN);
    panel_.newButton = button(IDC_NEW);
    panel_.openButton = button(IDC_OPEN);
    panel_.saveButton = button(IDC_SAVE);
    panel_.saveAsButton = button(IDC_SAVE_AS);
    panel_.exitButton = button(IDC_EXIT);
    panel_.pathDisplay = label(IDC_PATH);
    NameControls(*this);
    GroupControlsInPanels(*this);
}

QWidget* EditorDialog::CreateControl(int index) {
    const LayoutEntry& entry = LAYOUT[static_cast<std::size_t>(index)];
    switch (entry.kind) {
    case Kind::TreePlaceholder:
        treeView_ = new FormatTreeView(*prompts_, this);
        return treeView_;
    case Kind::PushButton:
        return new SkinButton(Utf8(entry.caption), this);
    case Kind::CheckBox:
        return new SkinCheckBox(Utf8(entry.caption), this);
    case Kind::GroupBox: {
        auto* group = new QGroupBox(Utf8(entry.caption), this);
        group->setStyleSheet(QString::fromLatin1(GROUP_BOX_STYLE));
        return group;
    }
    case Kind::CreditLine:
        return new QLabel(QStringLiteral("%1 %2").arg(Utf8(PRODUCT_NAME), Utf8(PRODUCT_VERSION)), this);
    case Kind::Label:
        return MakeLabel(entry, LEFT_TOP, this);
    case Kind::CentredLabel:
        return MakeLabel(entry, CENTRE_TOP, this);
    case Kind::NumberEdit:
        return new DigitsOnlyLineEdit(this);
    case Kind::CentredNumberEdit: {
        auto* field = new DigitsOnlyLineEdit(this);
        field->setAlignment(Qt::AlignHCenter);
        return field;
    }
    case Kind::TextEdit: {
        auto* field = new QLineEdit(this);
        field->setMaxLength(EDIT_FIELD_MAX_LENGTH);
        return field;
    }
    case Kind::FormatList:
        return MakeFormatList(this);
    case Kind::CountDisplay: {
        QLabel* count = MakeLabel(entry, CENTRE_TOP, this);
        count->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        count->setLineWidth(1);
        return count;
    }
    case Kind::EtchedFrame:
        return MakeFrame(QFrame::Sunken, QPalette::WindowText, this);
    case Kind::GreyFrame:
        return MakeFrame(QFrame::Plain, QPalette::Dark, this);
    }
    return new QWidget(this);
}

void EditorDialog::InitDialog() {
    setWindowTitle(Title());
    setWindowIcon(AppIcon::Icon());
    treeView_->SetTreeFont(TREE_FONT_POINTS, false, false, TREE_FONT_FACE)
        .SetTreeTextColor(Rgb(TREE_TEXT_RED, TREE_TEXT_GREEN, TREE_TEXT_BLUE));
    commands_->RefreshMessageCount();
    // The first control of the work; the tree, before it in the layout, is
    // reached with Shift+Tab.
    panel_.createButton->setFocus();
}

QString EditorDialog::Title() { return QString::fromLatin1(TITLE_FORMAT).arg(Utf8(PRODUCT_NAME), BuildDate()); }

void EditorDialog::OnSysCommand(int commandId) {
    if ((commandId & SYSTEM_COMMAND_MASK) == IDM_ABOUTBOX) {
        AboutDialog about(this);
        about.exec();
    }
}

void EditorDialog::AddFileEntries(QMenu& menu) {
    // The entries show the keys beside their texts; the keys themselves are
    // the window's shortcuts, which work while no menu is open.
    auto add = [this, &menu](const char* text, const char* name, const QList<QKeySequence>& keys, auto&& action) {
        QAction* entry = menu.addAction(QString::fromLatin1(text));
        entry->setObjectName(QString::fromLatin1(name));
        entry->setShortcuts(keys);
        connect(entry, &QAction::triggered, this, action);
    };
    add(NEW_MENU_TEXT, "newAction", NewKeys(), [this] { fileCommands_->OnNew(); });
    add(OPEN_MENU_TEXT, "openAction", OpenKeys(), [this] { fileCommands_->OnOpen(); });
    QMenu* recent = menu.addMenu(QString::fromLatin1(OPEN_RECENT_MENU_TEXT));
    recent->setObjectName(QStringLiteral("openRecentMenu"));
    const QStringList paths = recentFiles_->Paths();
    recent->setEnabled(!paths.isEmpty());
    for (const QString& path : paths) {
        QAction* entry = recent->addAction(EntryText(path));
        connect(entry, &QAction::triggered, this, [this, path] { OpenRecent(path); });
    }
    add(SAVE_MENU_TEXT, "saveAction", SaveKeys(), [this] { fileCommands_->OnSave(); });
    add(SAVE_AS_MENU_TEXT, "saveAsAction", SaveAsKeys(), [this] { fileCommands_->OnSaveAs(); });
    add(EXIT_MENU_TEXT, "exitAction", QuitKeys(), [this] { fileCommands_->OnExit(); });
}

void EditorDialog::OpenRecent(const QString& path) {
    const QFileInfo file(path);
    if (!file.exists() && !file.isSymLink()) {
        recentFiles_->Remove(path);
        prompts_->ShowMessage(QString::fromLatin1(MSG_RECENT_GONE).arg(QDir::toNativeSeparators(path)), QString(),
                              PromptIcon::Warning);
        return;
    }
    fileCommands_->OpenPath(path);
}

QMenu* EditorDialog::CreateWindowMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("windowMenu"));
    AddFileEntries(*menu);
    menu->addSeparator();
    QAction* undo = menu->addAction(QString::fromLatin1(UNDO_MENU_TEXT));
    undo->setObjectName(QStringLiteral("undoAction"));
    undo->setShortcuts(StandardKeys(QKeySequence::Undo, QKeySequence(Qt::CTRL | Qt::Key_Z)));
    undo->setEnabled(treeView_->Tree().CanUndo());
    connect(undo, &QAction::triggered, this, [this] { commands_->Undo(); });
    QAction* redo = menu->addAction(QString::fromLatin1(REDO_MENU_TEXT));
    redo->setObjectName(QStringLiteral("redoAction"));
    redo->setShortcuts(StandardKeys(QKeySequence::Redo, QKeySequence(Qt::CTRL | Qt::Key_Y)));
    redo->setEnabled(treeView_->Tree().CanRedo());
    connect(redo, &QAction::triggered, this, [this] { commands_->Redo(); });
    menu->addSeparator();
    QAction* find = menu->addAction(Utf8(FIND_MENU_TEXT));
    find->setObjectName(QStringLiteral("findAction"));
    find->setShortcuts(FindKeys());
    connect(find, &QAction::triggered, this, &EditorDialog::OpenFind);
    menu->addSeparator();
    QAction* importSml = menu->addAction(QString::fromLatin1(IMPORT_SML_MENU_TEXT));
    importSml->setObjectName(QStringLiteral("importSml"));
    connect(importSml, &QAction::triggered, fileCommands_, &FileCommands::OnImportSml);
    QAction* addSml = menu->addAction(QString::fromLatin1(ADD_SML_MENU_TEXT));
    addSml->setObjectName(QStringLiteral("addSml"));
    connect(addSml, &QAction::triggered, fileCommands_, &FileCommands::OnAddSml);
    QAction* exportSml = menu->addAction(QString::fromLatin1(EXPORT_SML_MENU_TEXT));
    exportSml->setObjectName(QStringLiteral("exportSml"));
    connect(exportSml, &QAction::triggered, fileCommands_, &FileCommands::OnExportSml);
    QAction* checkSml = menu->addAction(QString::fromLatin1(CHECK_SML_MENU_TEXT));
    checkSml->setObjectName(QStringLiteral("checkSml"));
    connect(checkSml, &QAction::triggered, this, [this] { SmlCheckDialog::Run(*treeView_, *prompts_, this); });
    menu->addSeparator();
    QAction* rules = menu->addAction(QString::fromLatin1(RULES_MENU_TEXT));
    rules->setObjectName(QStringLiteral("rulesAction"));
    rules->setEnabled(treeView_->SelectedNode() != nullptr);
    connect(rules, &QAction::triggered, this,
            [this] { RulesDialog::RunForNode(treeView_->Tree(), treeView_->SelectedNode(), *prompts_, this); });
    QAction* dictionary = menu->addAction(QString::fromLatin1(DICTIONARY_MENU_TEXT));
    dictionary->setObjectName(QStringLiteral("dictionaryAction"));
    connect(dictionary, &QAction::triggered, this,
            [this] { RulesDialog::RunForDictionary(treeView_->Tree(), *prompts_, this); });
    menu->addSeparator();
    QAction* about = menu->addAction(Utf8(ABOUT_MENU_TEXT));
    connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    return menu;
}

QWidget* EditorDialog::NextStepAfter(const QWidget* control) const {
    // Work in the item panel goes on with the choice of the next format;
    // everywhere else with the next message's stream number, a field that is
    // never disabled.
    const std::array<const QWidget*, 7> itemPanel{
        panel_.formatCombo,   panel_.itemCountEdit,    panel_.notFixedCheck,   panel_.itemDescriptionEdit,
        panel_.addItemButton, panel_.updateItemButton, panel_.deleteItemButton};
    const bool inItemPanel = std::find(itemPanel.begin(), itemPanel.end(), control) != itemPanel.end();
    if (inItemPanel && panel_.formatCombo->isEnabled()) {
        return panel_.formatCombo;
    }
    return panel_.streamEdit;
}

void EditorDialog::OnFocusChanged(QWidget* old, QWidget* now) {
    // Disabling the focused control hands the focus on along the tab order,
    // possibly to a command that deletes, opens or exits, where the next
    // Space would run it. The focus goes where the work goes on instead. A
    // command may enable controls again after disabling them, so the choice
    // is made again once the command has ended.
    if (old == nullptr || old->window() != this || old->isEnabled() || (now != nullptr && now->window() != this)) {
        return;
    }
    placedFocus_ = NextStepAfter(old);
    if (now != placedFocus_) {
        placedFocus_->setFocus(Qt::OtherFocusReason);
    }
    QTimer::singleShot(0, this, [this, from = QPointer<QWidget>(old)] {
        if (from.isNull() || placedFocus_.isNull() || focusWidget() != placedFocus_) {
            return;
        }
        QWidget* next = NextStepAfter(from);
        if (next != placedFocus_ && next->isEnabled()) {
            placedFocus_ = next;
            next->setFocus(Qt::OtherFocusReason);
        }
    });
}

FindDialog& EditorDialog::Finder() {
    if (findDialog_ == nullptr) {
        findDialog_ = new FindDialog(
            *treeView_, [this] { return commands_->CurrentNode(); }, this);
    }
    return *findDialog_;
}

void EditorDialog::OpenFind() { Finder().Open(); }

void EditorDialog::RepeatFind(bool forward) {
    FindDialog& finder = Finder();
    if (!finder.HasText()) {
        finder.Open();
        return;
    }
    // A notice of an earlier search says nothing of this one.
    if (notice_ != nullptr) {
        notice_->hide();
    }
    const FindDialog::Outcome outcome = forward ? finder.FindNext() : finder.FindPrevious();
    // With the dialog open its status line says it; otherwise a box does,
    // or, for a search that went on from the other end, a notice that does
    // not stop the work.
    if (outcome == FindDialog::Outcome::NotFound && !finder.isVisible()) {
        prompts_->ShowMessage(QString::fromLatin1(MSG_NOT_FOUND));
    } else if (outcome == FindDialog::Outcome::Wrapped && !finder.isVisible()) {
        ShowNotice(QString::fromLatin1(SEARCH_WRAPPED_TEXT));
    }
}

void EditorDialog::ShowNotice(const QString& text) {
    if (notice_ == nullptr) {
        notice_ = new QLabel(this);
        notice_->setObjectName(QStringLiteral("notice"));
        notice_->setAttribute(Qt::WA_TransparentForMouseEvents);
        notice_->setFrameStyle(QFrame::Box | QFrame::Plain);
        notice_->setAutoFillBackground(true);
        notice_->setBackgroundRole(QPalette::ToolTipBase);
        notice_->setForegroundRole(QPalette::ToolTipText);
        notice_->hide();
        auto* timer = new QTimer(notice_);
        timer->setObjectName(QStringLiteral("noticeTimer"));
        timer->setSingleShot(true);
        timer->setInterval(NOTICE_MS);
        connect(timer, &QTimer::timeout, notice_, &QWidget::hide);
    }
    notice_->setText(text);
    notice_->adjustSize();
    const QRect tree = treeView_->geometry();
    const int inset = TAHOMA_9_UNITS.Size(NOTICE_INSET_DU, NOTICE_INSET_DU).width();
    const int height = TAHOMA_9_UNITS.Size(NOTICE_INSET_DU, NOTICE_HEIGHT_DU).height();
    notice_->setGeometry(tree.left() + inset, tree.bottom() + 1 - inset - height, notice_->width(), height);
    notice_->show();
    notice_->raise();
    notice_->findChild<QTimer*>(QStringLiteral("noticeTimer"))->start();
}

QString EditorDialog::Notice() const {
    return notice_ != nullptr && notice_->isVisible() ? notice_->text() : QString();
}

bool EditorDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        const bool ours = widget != nullptr && widget->window() == this;
        if (ours && IsEatenKey(key)) {
            return true;
        }
        if (const HistoryKey history = HistoryKeyOf(key); ours && history != HistoryKey::NONE) {
            if (UndoTyping(widget, history)) {
                return true;
            }
            if (history == HistoryKey::UNDO) {
                commands_->Undo();
            } else {
                commands_->Redo();
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void EditorDialog::closeEvent(QCloseEvent* event) {
    // A hidden window has nothing left to lose.
    if (isVisible() && !fileCommands_->ConfirmClose()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void EditorDialog::contextMenuEvent(QContextMenuEvent* event) {
    // Only the window's free area offers the menu: its background, labels and
    // frames, not a control that takes input.
    const QWidget* child = childAt(event->pos());
    if (child != nullptr && child->focusPolicy() != Qt::NoFocus) {
        return;
    }
    std::unique_ptr<QMenu> menu(CreateWindowMenu());
    menu->exec(event->globalPos());
}

} // namespace tqf
