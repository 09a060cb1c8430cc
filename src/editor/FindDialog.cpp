#include "FindDialog.h"

#include "AccessibleEvents.h"
#include "DialogFont.h"
#include "DialogPlacement.h"
#include "DialogUnits.h"
#include "EditFieldLimits.h"
#include "FormatTreeView.h"
#include "NodeSearch.h"
#include "TreeAccessible.h"

#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include <algorithm>
#include <string>

namespace tqf {

namespace {

constexpr const char* TITLE = "Find";

struct UnitRect {
    int x;
    int y;
    int width;
    int height;
};
constexpr UnitRect FIND_LABEL_RECT{7, 9, 38, 8};
constexpr UnitRect TEXT_RECT{47, 7, 124, 12};
constexpr UnitRect MATCH_CASE_RECT{47, 23, 56, 10};
constexpr UnitRect WHOLE_WORD_RECT{107, 23, 64, 10};
constexpr UnitRect STATUS_RECT{7, 37, 164, 18};
constexpr UnitRect NEXT_RECT{178, 6, 51, 14};
constexpr UnitRect PREVIOUS_RECT{178, 23, 51, 14};
constexpr UnitRect CLOSE_RECT{178, 40, 51, 14};

void Place(QWidget* widget, const UnitRect& rect) {
    widget->setGeometry(TAHOMA_9_UNITS.Rect(rect.x, rect.y, rect.width, rect.height));
}

} // namespace

FindDialog::FindDialog(FormatTreeView& view, std::function<FormatNode*()> currentNode, QWidget* parent)
    : QDialog(parent), view_(view), currentNode_(std::move(currentNode)) {
    setObjectName(QStringLiteral("findDialog"));
    setWindowTitle(QString::fromLatin1(TITLE));
    setModal(false);
    setFont(DialogFont::MainFont());
    setFixedSize(TAHOMA_9_UNITS.Size(WIDTH_DU, HEIGHT_DU));

    findLabel_ = new QLabel(QStringLiteral("Fi&nd what:"), this);
    textEdit_ = new QLineEdit(this);
    textEdit_->setObjectName(QStringLiteral("findText"));
    textEdit_->setMaxLength(EDIT_FIELD_MAX_LENGTH);
    findLabel_->setBuddy(textEdit_);
    matchCaseCheck_ = new QCheckBox(QStringLiteral("Match &case"), this);
    matchCaseCheck_->setObjectName(QStringLiteral("findMatchCase"));
    wholeWordCheck_ = new QCheckBox(QStringLiteral("&Whole word"), this);
    wholeWordCheck_->setObjectName(QStringLiteral("findWholeWord"));
    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("findStatus"));
    statusLabel_->setWordWrap(true);
    statusLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    nextButton_ = new QPushButton(QStringLiteral("Find Next"), this);
    nextButton_->setObjectName(QStringLiteral("findNext"));
    nextButton_->setDefault(true);
    previousButton_ = new QPushButton(QStringLiteral("Find Previous"), this);
    previousButton_->setObjectName(QStringLiteral("findPrevious"));
    closeButton_ = new QPushButton(QStringLiteral("Close"), this);
    closeButton_->setObjectName(QStringLiteral("findClose"));
    // Enter always finds the next match: no button becomes the default by
    // taking the focus, as a click on it gives it.
    previousButton_->setAutoDefault(false);
    closeButton_->setAutoDefault(false);
    nextButton_->setAutoDefault(false);

    Place(findLabel_, FIND_LABEL_RECT);
    Place(textEdit_, TEXT_RECT);
    Place(matchCaseCheck_, MATCH_CASE_RECT);
    Place(wholeWordCheck_, WHOLE_WORD_RECT);
    Place(statusLabel_, STATUS_RECT);
    Place(nextButton_, NEXT_RECT);
    Place(previousButton_, PREVIOUS_RECT);
    Place(closeButton_, CLOSE_RECT);

    connect(textEdit_, &QLineEdit::textChanged, this, &FindDialog::OnTextChanged);
    connect(matchCaseCheck_, &QCheckBox::toggled, statusLabel_, &QLabel::clear);
    connect(wholeWordCheck_, &QCheckBox::toggled, statusLabel_, &QLabel::clear);
    connect(nextButton_, &QPushButton::clicked, this, [this] { FindNext(); });
    connect(previousButton_, &QPushButton::clicked, this, [this] { FindPrevious(); });
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::close);
    // The main window's repeat keys work here too.
    auto* next = new QShortcut(QKeySequence(Qt::Key_F3), this);
    connect(next, &QShortcut::activated, this, [this] { FindNext(); });
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
    connect(previous, &QShortcut::activated, this, [this] { FindPrevious(); });
    OnTextChanged();
}

FindDialog::~FindDialog() = default;

void FindDialog::Open() {
    statusLabel_->clear();
    if (!isVisible()) {
        // Shown once so that the window system gives it its frame, then put
        // where it leaves the tree in view.
        show();
        KeepTreeClear();
    }
    show();
    raise();
    activateWindow();
    textEdit_->setFocus();
    textEdit_->selectAll();
}

bool FindDialog::HasText() const { return !textEdit_->text().isEmpty(); }

QString FindDialog::StatusText() const { return statusLabel_->text(); }

FindDialog::Outcome FindDialog::FindNext() { return Find(true); }

FindDialog::Outcome FindDialog::FindPrevious() { return Find(false); }

FindDialog::Outcome FindDialog::Find(bool forward) {
    if (!HasText()) {
        return Outcome::NoText;
    }
    // Labels and descriptions hold the system's 8-bit text.
    const QByteArray bytes = textEdit_->text().toLocal8Bit();
    SearchOptions options;
    options.matchCase = matchCaseCheck_->isChecked();
    options.wholeWord = wholeWordCheck_->isChecked();
    const NodeSearch search(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), options);
    FormatNode* root = view_.GetRootNode();
    const FormatNode* current = currentNode_ ? currentNode_() : nullptr;
    const SearchResult result = forward ? search.FindNext(root, current) : search.FindPrevious(root, current);
    if (result.node == nullptr) {
        statusLabel_->setText(QString::fromLatin1(MSG_NOT_FOUND));
        TellReader(nullptr, statusLabel_->text());
        return Outcome::NotFound;
    }
    view_.ChooseNode(result.node);
    // The keys of the tree then go on from the row found: at once when the
    // main window is active, else once it is again.
    view_.setFocus(Qt::ShortcutFocusReason);
    if (isVisible()) {
        KeepTreeClear();
    }
    if (!result.wrapped) {
        statusLabel_->clear();
        TellReader(result.node, QString());
        return Outcome::Found;
    }
    statusLabel_->setText(QString::fromLatin1(forward ? MSG_WRAPPED_TO_TOP : MSG_WRAPPED_TO_BOTTOM));
    TellReader(result.node, statusLabel_->text());
    return Outcome::Wrapped;
}

void FindDialog::TellReader(const FormatNode* found, const QString& status) {
    if (!AccessibleEvents::Listening()) {
        return;
    }
    // The row as the tree reads it: its label, then its place.
    QString said;
    auto* tree = static_cast<TreeAccessible*>(QAccessible::queryAccessibleInterface(&view_));
    if (QAccessibleInterface* row = tree != nullptr ? tree->RowOf(found) : nullptr; row != nullptr) {
        said = row->text(QAccessible::Name) + QStringLiteral(", ") + row->text(QAccessible::Description);
    }
    if (!status.isEmpty()) {
        said = said.isEmpty() ? status : said + QStringLiteral(". ") + status;
    }
    // A change of the focused field's description is read out at once.
    textEdit_->setAccessibleDescription(QString());
    textEdit_->setAccessibleDescription(said);
}

void FindDialog::OnTextChanged() {
    // Nothing to look for until something is typed.
    const bool hasText = HasText();
    nextButton_->setEnabled(hasText);
    previousButton_->setEnabled(hasText);
    statusLabel_->clear();
}

void FindDialog::KeepTreeClear() {
    const QRect tree(view_.mapToGlobal(QPoint(0, 0)), view_.size());
    const QRect frame = frameGeometry();
    if (!frame.intersects(tree)) {
        return;
    }
    QScreen* screen = view_.screen();
    const QRect available = screen != nullptr ? screen->availableGeometry() : frame.united(tree);
    const QWidget* window = view_.window();
    const QPoint place = Placement(frame, window->frameGeometry(), tree, available);
    // frameGeometry includes the window system's frame, move() takes it too.
    move(place);
}

QPoint FindDialog::Placement(const QRect& dialog, const QRect& window, const QRect& keepClear, const QRect& screen) {
    // Its controls stand at fixed places: the dialog keeps its size.
    return PlaceClearOf(dialog.size(), dialog.size(), window, keepClear, screen).topLeft();
}

} // namespace tqf
