#include "SmlCheckDialog.h"

#include "DialogFont.h"
#include "DialogPlacement.h"
#include "DialogUnits.h"
#include "FileCommands.h"
#include "FormatTreeView.h"
#include "Prompts.h"
#include "SmlReader.h"
#include "SmlValidator.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace tqf {

namespace {

constexpr const char* TITLE = "Check SML Messages";
constexpr int MESSAGE_COLUMN = 0;
constexpr int PLACE_COLUMN = 1;
constexpr int REASON_COLUMN = 2;
constexpr int TIMES_COLUMN = 3;
constexpr int MESSAGE_COLUMN_DU = 70;
constexpr int PLACE_COLUMN_DU = 50;

QString FromBytes(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

// Beside the tree rather than over it, so that the node a row chooses is
// seen; smaller where the screen has no room for it whole. Placed once shown,
// when the window system has given it its frame.
void PlaceBeside(QDialog& dialog, const QWidget& tree) {
    // Modal from its first showing, as exec() then keeps it.
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    const QScreen* screen = tree.screen();
    const QRect frame = dialog.frameGeometry();
    const QRect keepClear(tree.mapToGlobal(QPoint(0, 0)), tree.size());
    const QRect available = screen != nullptr ? screen->availableGeometry() : frame.united(keepClear);
    const QSize decoration = frame.size() - dialog.size();
    const QSize minimum = TAHOMA_9_UNITS.Size(SmlCheckDialog::MIN_WIDTH_DU, SmlCheckDialog::MIN_HEIGHT_DU) + decoration;
    const QRect place = PlaceClearOf(frame.size(), minimum, tree.window()->frameGeometry(), keepClear, available);
    dialog.resize(place.size() - decoration);
    // move() takes the frame's place, as frameGeometry gives it.
    dialog.move(place.topLeft());
}

// What checking the messages of a file found.
struct Checked {
    SmlReadResult read;
    std::vector<ValidationFinding> findings;
    std::size_t messages = 0;
    std::size_t failed = 0;

    QString ReadNote() const {
        return read.readAsLog ? QStringLiteral("; read as a log, %1 line(s) skipped").arg(read.linesSkipped)
                              : QString();
    }
};

Checked CheckMessages(FormatTreeView& view, const QString& path) {
    Checked checked;
    // The library's rules hold for the messages as they do in tqf-tool.
    SmlValidator validator(
        view.GetRootNode(), [&checked](const ValidationFinding& finding) { checked.findings.push_back(finding); },
        &view.Tree().Rules());
    const QByteArray encoded = QFile::encodeName(path);
    checked.read = validator.CheckFile(
        std::filesystem::path(std::string(encoded.constData(), static_cast<std::size_t>(encoded.size()))));
    checked.messages = validator.Messages();
    checked.failed = validator.Failed();
    return checked;
}

} // namespace

SmlCheckDialog::SmlCheckDialog(FormatTreeView& view, const QString& path,
                               const std::vector<ValidationFinding>& findings, std::size_t messages, std::size_t failed,
                               QWidget* parent, const QString& readNote)
    : QDialog(parent), view_(view), path_(path) {
    setObjectName(QStringLiteral("smlCheckDialog"));
    setWindowTitle(QString::fromLatin1(TITLE));
    setFont(DialogFont::MainFont());
    resize(TAHOMA_9_UNITS.Size(WIDTH_DU, HEIGHT_DU));

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("smlCheckSummary"));
    summary_->setWordWrap(true);
    rows_ = new QTreeWidget(this);
    rows_->setObjectName(QStringLiteral("smlCheckRows"));
    rows_->setRootIsDecorated(false);
    rows_->setUniformRowHeights(true);
    rows_->setHeaderLabels(
        {QStringLiteral("Message"), QStringLiteral("Place"), QStringLiteral("Reason"), QStringLiteral("Times")});
    rows_->header()->resizeSection(MESSAGE_COLUMN, TAHOMA_9_UNITS.X(MESSAGE_COLUMN_DU));
    rows_->header()->resizeSection(PLACE_COLUMN, TAHOMA_9_UNITS.X(PLACE_COLUMN_DU));
    // The reason is the longest text: it takes the room the count leaves.
    rows_->header()->setStretchLastSection(false);
    rows_->header()->setSectionResizeMode(REASON_COLUMN, QHeaderView::Stretch);
    rows_->header()->setSectionResizeMode(TIMES_COLUMN, QHeaderView::ResizeToContents);
    Show(findings, messages, failed, readNote);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* again = buttons->addButton(QString::fromLatin1(CHECK_AGAIN_TEXT), QDialogButtonBox::ActionRole);
    again->setObjectName(QStringLiteral("smlCheckAgain"));
    connect(again, &QPushButton::clicked, this, &SmlCheckDialog::CheckAgain);
    // Offered on the button and on the row's own menu.
    addDefinition_ = buttons->addButton(QString::fromLatin1(ADD_DEFINITION_TEXT), QDialogButtonBox::ActionRole);
    addDefinition_->setObjectName(QStringLiteral("smlAddDefinition"));
    connect(addDefinition_, &QPushButton::clicked, this, &SmlCheckDialog::AddDefinition);
    addDefinitionAction_ = new QAction(QString::fromLatin1(ADD_DEFINITION_TEXT), rows_);
    addDefinitionAction_->setObjectName(QStringLiteral("smlAddDefinitionAction"));
    connect(addDefinitionAction_, &QAction::triggered, this, &SmlCheckDialog::AddDefinition);
    rows_->addAction(addDefinitionAction_);
    rows_->setContextMenuPolicy(Qt::ActionsContextMenu);
    UpdateAddDefinition();
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(rows_, &QTreeWidget::currentItemChanged, this, &SmlCheckDialog::OnRowChosen);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(rows_);
    layout->addWidget(buttons);
}

void SmlCheckDialog::Show(const std::vector<ValidationFinding>& findings, std::size_t messages, std::size_t failed,
                          const QString& readNote) {
    summary_->setText(QStringLiteral("%1\n%2 messages, %3 passed, %4 failed")
                          .arg(QDir::toNativeSeparators(path_))
                          .arg(messages)
                          .arg(messages - failed)
                          .arg(failed) +
                      readNote);
    // The rows go before the groups they point into.
    const QSignalBlocker quiet(rows_);
    rows_->clear();
    groups_ = GroupFindings(findings);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(groups_.size()));
    for (const FindingGroup& group : groups_) {
        const ValidationFinding& finding = group.first;
        QString message = FromBytes(finding.message);
        if (!finding.itemPath.empty()) {
            message += QStringLiteral(" item ") + FromBytes(finding.itemPath);
        }
        auto* row = new QTreeWidgetItem;
        row->setText(MESSAGE_COLUMN, message);
        row->setText(PLACE_COLUMN, QStringLiteral("%1:%2").arg(finding.line).arg(finding.column));
        row->setText(REASON_COLUMN, FromBytes(finding.reason));
        row->setToolTip(REASON_COLUMN, row->text(REASON_COLUMN));
        row->setText(TIMES_COLUMN, QString::number(group.count));
        items.push_back(row);
    }
    rows_->addTopLevelItems(items);
    UpdateAddDefinition();
}

void SmlCheckDialog::CheckAgain() {
    // The file may have grown, a log being written, or been mended.
    const Checked checked = CheckMessages(view_, path_);
    if (!checked.read.Complete()) {
        summary_->setText(QStringLiteral("Cannot check the messages of\n%1\n\nReason: %2.")
                              .arg(QDir::toNativeSeparators(path_), FromBytes(checked.read.errorText)));
        const QSignalBlocker quiet(rows_);
        rows_->clear();
        groups_.clear();
        UpdateAddDefinition();
        return;
    }
    readAsLog_ = checked.read.readAsLog;
    Show(checked.findings, checked.messages, checked.failed, checked.ReadNote());
}

const FindingGroup* SmlCheckDialog::ChosenGroup() const {
    const int index = rows_->indexOfTopLevelItem(rows_->currentItem());
    if (index < 0 || static_cast<std::size_t>(index) >= groups_.size()) {
        return nullptr;
    }
    return &groups_[static_cast<std::size_t>(index)];
}

void SmlCheckDialog::UpdateAddDefinition() {
    if (addDefinition_ == nullptr) {
        return; // the rows are shown before the buttons are made
    }
    const FindingGroup* group = ChosenGroup();
    const bool offered = group != nullptr && group->first.noDefinition;
    addDefinition_->setEnabled(offered);
    addDefinitionAction_->setEnabled(offered);
}

void SmlCheckDialog::AddDefinition() {
    const FindingGroup* group = ChosenGroup();
    if (group == nullptr || !group->first.noDefinition) {
        return;
    }
    // The statement is read again as the check read it, so that it maps
    // as importing the file maps it.
    SmlReader reader(view_.Tree());
    SmlImportOptions options;
    options.log = readAsLog_;
    reader.SetOptions(options);
    const SmlReadResult result = reader.AddSmlBytes(group->first.statement);
    FormatNode* added = reader.FirstAdded();
    if (added == nullptr) {
        const std::string reason = !result.Complete()        ? result.errorText
                                   : !result.dropped.empty() ? result.dropped.front().reason
                                                             : std::string("its text holds no message");
        if (prompts_ != nullptr) {
            prompts_->ShowMessage(QStringLiteral("Cannot add a definition of %1.\n\nReason: %2.")
                                      .arg(FromBytes(group->first.message), FromBytes(reason)),
                                  QString(), PromptIcon::Warning);
        }
        return;
    }
    // The rows point into the library as it was: they are made again.
    CheckAgain();
    view_.ChooseNode(added);
}

QString SmlCheckDialog::SummaryText() const { return summary_->text(); }

void SmlCheckDialog::OnRowChosen() {
    UpdateAddDefinition();
    const FindingGroup* group = ChosenGroup();
    if (group == nullptr) {
        return;
    }
    const ValidationFinding& finding = group->first;
    const FormatNode* node = finding.item != nullptr ? finding.item : finding.definition;
    if (node != nullptr) {
        view_.ChooseNode(view_.Tree().Mutable(node));
    }
}

void SmlCheckDialog::Run(FormatTreeView& view, Prompts& prompts, QWidget* parent) {
    const std::optional<QString> path = prompts.ChooseOpenFile(QString::fromLatin1(SML_OR_LOG_FILE_FILTER),
                                                               QString::fromLatin1(SML_FILE_EXTENSION), true);
    if (!path) {
        return;
    }
    const Checked checked = CheckMessages(view, *path);
    if (!checked.read.Complete()) {
        prompts.ShowMessage(QStringLiteral("Cannot check the messages of\n%1\n\nReason: %2.")
                                .arg(QDir::toNativeSeparators(*path), FromBytes(checked.read.errorText)),
                            QString(), PromptIcon::Warning);
        return;
    }
    SmlCheckDialog dialog(view, *path, checked.findings, checked.messages, checked.failed, parent, checked.ReadNote());
    dialog.SetReading(&prompts, checked.read.readAsLog);
    PlaceBeside(dialog, view);
    dialog.exec();
}

} // namespace tqf
