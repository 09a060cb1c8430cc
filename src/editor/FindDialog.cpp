#include "FindDialog.h"

#include "DialogFont.h"
#include "DialogUnits.h"
#include "EditFieldLimits.h"
#include "FormatTreeView.h"
#include "NodeSearch.h"

#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

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
constexpr UnitRect STATUS_RECT{7, 26, 164, 29};
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

    Place(findLabel_, FIND_LABEL_RECT);
    Place(textEdit_, TEXT_RECT);
    Place(statusLabel_, STATUS_RECT);
    Place(nextButton_, NEXT_RECT);
    Place(previousButton_, PREVIOUS_RECT);
    Place(closeButton_, CLOSE_RECT);

    connect(textEdit_, &QLineEdit::textChanged, this, &FindDialog::OnTextChanged);
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
    const NodeSearch search(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    FormatNode* root = view_.GetRootNode();
    const FormatNode* current = currentNode_ ? currentNode_() : nullptr;
    const SearchResult result = forward ? search.FindNext(root, current) : search.FindPrevious(root, current);
    if (result.node == nullptr) {
        statusLabel_->setText(QString::fromLatin1(MSG_NOT_FOUND));
        return Outcome::NotFound;
    }
    view_.ChooseNode(result.node);
    if (!result.wrapped) {
        statusLabel_->clear();
        return Outcome::Found;
    }
    statusLabel_->setText(QString::fromLatin1(forward ? MSG_WRAPPED_TO_TOP : MSG_WRAPPED_TO_BOTTOM));
    return Outcome::Wrapped;
}

void FindDialog::OnTextChanged() {
    // Nothing to look for until something is typed.
    const bool hasText = HasText();
    nextButton_->setEnabled(hasText);
    previousButton_->setEnabled(hasText);
    statusLabel_->clear();
}

} // namespace tqf
