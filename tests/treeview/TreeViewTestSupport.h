#pragma once

#include "FakePrompts.h"
#include "FormatTreeView.h"
#include "ItemFormat.h"
#include "ReferenceTreePainter.h"
#include "TreeSurgery.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tqf::test {

inline QRgb Pixel(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFU; }
inline QRgb Rgb24(ColorRef color) { return qRgb(RedOf(color), GreenOf(color), BlueOf(color)) & 0xFFFFFFU; }

// The first pixel at which two images differ, as "(x, y)", or empty.
inline std::string FirstDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return "sizes differ";
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (Pixel(a, x, y) != Pixel(b, x, y)) {
                return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
            }
        }
    }
    return {};
}

// A view of a given client size with its own scripted prompts.
// The view's notifications, as recorded by RecordNotifications.
constexpr int NODE_SELECTED = 0, MESSAGE_DELETED = 1, MOVE_UP = 2, MOVE_DOWN = 3, CHANGED = 4;

// Adds each notification of the view to log as it arrives, with its node.
inline void RecordNotifications(FormatTreeView& view, std::vector<std::pair<int, FormatNode*>>& log) {
    QObject::connect(&view, &FormatTreeView::NodeSelected,
                     [&log](FormatNode* n) { log.emplace_back(NODE_SELECTED, n); });
    QObject::connect(&view, &FormatTreeView::MessageDeleted, [&log] { log.emplace_back(MESSAGE_DELETED, nullptr); });
    QObject::connect(&view, &FormatTreeView::MoveUpRequested, [&log](FormatNode* n) { log.emplace_back(MOVE_UP, n); });
    QObject::connect(&view, &FormatTreeView::MoveDownRequested,
                     [&log](FormatNode* n) { log.emplace_back(MOVE_DOWN, n); });
    QObject::connect(&view, &FormatTreeView::TreeChanged, [&log] { log.emplace_back(CHANGED, nullptr); });
}

struct TreeViewHarness {
    FakePrompts prompts;
    std::unique_ptr<FormatTreeView> view;

    explicit TreeViewHarness(int width = 300, int height = 200) : view(std::make_unique<FormatTreeView>(prompts)) {
        view->resize(width, height);
        // Shown, so that the viewport takes its place inside the view.
        view->show();
    }

    FormatTreeView& View() { return *view; }
    FormatTree& Tree() { return view->Tree(); }
    FormatNode* Root() { return view->GetRootNode(); }

    // A message appended after the last one.
    FormatNode* AddMessage(const std::string& label) {
        FormatNode* node = TreeSurgery::AppendSubNode(Tree(), Root(), label);
        TreeSurgery::MakeMessage(Tree(), node);
        return node;
    }

    // An item appended under a message or list; a list when isList.
    FormatNode* AddItem(FormatNode* parent, const std::string& label, bool isList = false) {
        FormatNode* node = TreeSurgery::AppendSubNode(Tree(), parent, label);
        if (node != nullptr && isList) {
            TreeSurgery::SetItemFormat(Tree(), node, LIST, node->Count());
        }
        return node;
    }

    QImage Render() { return view->RenderImage(); }

    // Paints, then paints the same document the plain way at the size and
    // scroll position of that paint; the first pixel where they differ, or
    // empty.
    std::string RenderAndCompare(ReferenceTreePainter* out = nullptr) {
        const int scroll = view->ScrollPosition();
        const QImage image = Render();
        return FirstDifference(image, Reference(image.width(), image.height(), scroll, out));
    }

    // The same document painted the plain way, with the view's settings, at
    // the view's client size and scroll position.
    QImage Reference(ReferenceTreePainter* out = nullptr) {
        const QSize client = view->viewport()->size();
        return Reference(client.width(), client.height(), view->ScrollPosition(), out);
    }

    QImage Reference(int width, int height, int scroll, ReferenceTreePainter* out = nullptr) {
        ReferenceTreePainter painter;
        painter.font = view->TreeFont();
        painter.rowHeight = view->RowHeight();
        painter.textColor = view->TextColor();
        painter.lineColor = view->LineColor();
        painter.backgroundColor = view->BackgroundColor();
        painter.showLines = view->ShowLines();
        const QSize client(width, height);
        QImage stretched;
        if (!view->BackgroundPicture().isNull()) {
            stretched = view->BackgroundPicture().scaled(client, Qt::IgnoreAspectRatio, Qt::FastTransformation);
            painter.picture = &stretched;
        }
        QImage image = painter.Paint(Root(), width, height, scroll);
        if (out != nullptr) {
            *out = painter;
        }
        return image;
    }
};

} // namespace tqf::test
