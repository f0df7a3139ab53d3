#pragma once
// Keeps the columns of a tree view sharing the width of its viewport, so that they grow and
// shrink with the window instead of leaving a blank strip or running past the edge. Each
// column keeps its share; a column the user drags to another width keeps the share it was
// given, and the next change of the viewport's width spreads the columns by those shares.

#include <QObject>
#include <vector>

class QTreeView;

namespace kitforge {

class ProportionalColumns : public QObject {
public:
    // `widths` are the columns' designed widths; they are the columns' widths until the view
    // is first laid out, and their proportions are the columns' first shares. The object
    // belongs to `view`.
    ProportionalColumns(QTreeView& view, const std::vector<int>& widths);

    // Sets the columns' widths from their shares of the viewport's width; together they
    // fill it exactly.
    void Spread();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ColumnDragged();

    QTreeView& view_;
    // Kept from the start: while the view is being destroyed its viewport still sends events
    // here, and the view can no longer be asked for it.
    QObject* viewport_;
    std::vector<double> shares_;
    bool spreading_ = false;
};

}  // namespace kitforge
