#include "ui/proportional_columns.h"

#include <QEvent>
#include <QHeaderView>
#include <QTreeView>
#include <cmath>
#include <numeric>

namespace kitforge {

ProportionalColumns::ProportionalColumns(QTreeView& view, const std::vector<int>& widths)
    : QObject(&view), view_(view), viewport_(view.viewport()) {
    const double total = std::accumulate(widths.begin(), widths.end(), 0.0);
    for (std::size_t column = 0; column < widths.size(); ++column) {
        view_.setColumnWidth(static_cast<int>(column), widths[column]);
        shares_.push_back(total > 0 ? widths[column] / total : 0.0);
    }
    view_.header()->setStretchLastSection(false);
    viewport_->installEventFilter(this);
    connect(view_.header(), &QHeaderView::sectionResized, this, [this] { ColumnDragged(); });
}

void ProportionalColumns::Spread() {
    const int width = view_.viewport()->width();
    spreading_ = true;
    // Each column ends where its running share ends, so rounding never leaves a gap or an
    // overhang at the right edge.
    double end_share = 0;
    int start = 0;
    for (std::size_t column = 0; column < shares_.size(); ++column) {
        end_share += shares_[column];
        const int end = column + 1 == shares_.size() ? width : static_cast<int>(std::lround(width * end_share));
        view_.setColumnWidth(static_cast<int>(column), end - start);
        start = end;
    }
    spreading_ = false;
}

void ProportionalColumns::ColumnDragged() {
    if (spreading_) return;
    double total = 0;
    for (std::size_t column = 0; column < shares_.size(); ++column)
        total += view_.columnWidth(static_cast<int>(column));
    if (total <= 0) return;
    for (std::size_t column = 0; column < shares_.size(); ++column) {
        shares_[column] = view_.columnWidth(static_cast<int>(column)) / total;
    }
}

bool ProportionalColumns::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport_ && event->type() == QEvent::Resize) Spread();
    return QObject::eventFilter(watched, event);
}

}  // namespace kitforge
