#include "SmlCheckDialog.h"

#include "DialogFont.h"
#include "DialogUnits.h"
#include "FileCommands.h"
#include "FormatTreeView.h"
#include "Prompts.h"
#include "SmlValidator.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
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

// Beside the tree rather than over it, as far as the screen allows, so that
// the node a row chooses is seen.
void PlaceBeside(QDialog& dialog, const QWidget& tree) {
    const QRect screen = tree.screen()->availableGeometry();
    const QPoint treeTopRight = tree.mapToGlobal(QPoint(tree.width(), 0));
    const int x = std::max(screen.left(), std::min(treeTopRight.x(), screen.right() + 1 - dialog.width()));
    const int y = std::max(screen.top(), std::min(treeTopRight.y(), screen.bottom() + 1 - dialog.height()));
    dialog.move(x, y);
}

} // namespace

SmlCheckDialog::SmlCheckDialog(FormatTreeView& view, const QString& path,
                               const std::vector<ValidationFinding>& findings, std::size_t messages, std::size_t failed,
                               QWidget* parent, const QString& readNote)
    : QDialog(parent), view_(view), groups_(GroupFindings(findings)) {
    setObjectName(QStringLiteral("smlCheckDialog"));
    setWindowTitle(QString::fromLatin1(TITLE));
    setFont(DialogFont::MainFont());
    resize(TAHOMA_9_UNITS.Size(WIDTH_DU, HEIGHT_DU));

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("smlCheckSummary"));
    summary_->setWordWrap(true);
    summary_->setText(QStringLiteral("%1\n%2 messages, %3 passed, %4 failed")
                          .arg(QDir::toNativeSeparators(path))
                          .arg(messages)
                          .arg(messages - failed)
                          .arg(failed) +
                      readNote);
    rows_ = new QTreeWidget(this);
    rows_->setObjectName(QStringLiteral("smlCheckRows"));
    rows_->setRootIsDecorated(false);
    rows_->setUniformRowHeights(true);
    rows_->setHeaderLabels(
        {QStringLiteral("Message"), QStringLiteral("Place"), QStringLiteral("Reason"), QStringLiteral("Times")});
    rows_->header()->resizeSection(MESSAGE_COLUMN, TAHOMA_9_UNITS.X(MESSAGE_COLUMN_DU));
    rows_->header()->resizeSection(PLACE_COLUMN, TAHOMA_9_UNITS.X(PLACE_COLUMN_DU));
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
        row->setText(TIMES_COLUMN, QString::number(group.count));
        items.push_back(row);
    }
    rows_->addTopLevelItems(items);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(rows_, &QTreeWidget::currentItemChanged, this, &SmlCheckDialog::OnRowChosen);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(rows_);
    layout->addWidget(buttons);
}

QString SmlCheckDialog::SummaryText() const { return summary_->text(); }

void SmlCheckDialog::OnRowChosen() {
    const int index = rows_->indexOfTopLevelItem(rows_->currentItem());
    if (index < 0 || static_cast<std::size_t>(index) >= groups_.size()) {
        return;
    }
    const ValidationFinding& finding = groups_[static_cast<std::size_t>(index)].first;
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
    std::vector<ValidationFinding> findings;
    SmlValidator validator(view.GetRootNode(),
                           [&findings](const ValidationFinding& finding) { findings.push_back(finding); });
    const QByteArray encoded = QFile::encodeName(*path);
    const SmlReadResult result = validator.CheckFile(
        std::filesystem::path(std::string(encoded.constData(), static_cast<std::size_t>(encoded.size()))));
    if (!result.Complete()) {
        prompts.ShowMessage(QStringLiteral("Cannot check the messages of\n%1\n\nReason: %2.")
                                .arg(QDir::toNativeSeparators(*path), FromBytes(result.errorText)),
                            QString(), PromptIcon::Warning);
        return;
    }
    const QString readNote =
        result.readAsLog ? QStringLiteral("; read as a log, %1 line(s) skipped").arg(result.linesSkipped) : QString();
    SmlCheckDialog dialog(view, *path, findings, validator.Messages(), validator.Failed(), parent, readNote);
    PlaceBeside(dialog, view);
    dialog.exec();
}

} // namespace tqf
