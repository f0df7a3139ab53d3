#include "ui/shrinking_layouts.h"

#include <QBoxLayout>
#include <QScrollArea>
#include <QSpacerItem>
#include <algorithm>
#include <iterator>
#include <vector>

namespace kitforge {

namespace {

QSpacerItem* ShrinkingGap(int height) {
    return new QSpacerItem(0, height, QSizePolicy::Minimum, QSizePolicy::Preferred);
}

}  // namespace

void LetSpacingShrink(QBoxLayout& layout) {
    const int spacing = std::max(0, layout.spacing());
    layout.setSpacing(0);
    // A box layout puts its spacing before every shown item but the first; spacers do not count
    // as items there.
    std::vector<int> spaced;
    for (int i = 0; i < layout.count(); ++i) {
        QSpacerItem* spacer = layout.itemAt(i)->spacerItem();
        if (spacer == nullptr) {
            spaced.push_back(i);
        } else if (spacer->sizePolicy().verticalPolicy() == QSizePolicy::Fixed) {
            spacer->changeSize(0, spacer->sizeHint().height(), QSizePolicy::Minimum, QSizePolicy::Preferred);
        }
    }
    for (auto index = spaced.rbegin(); spacing > 0 && index != spaced.rend() && std::next(index) != spaced.rend();
         ++index) {
        layout.insertItem(*index, ShrinkingGap(spacing));
    }
    layout.invalidate();
}

QScrollArea* ScrollWhenShort(QWidget* contents) {
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    // The controls inside take the keyboard focus, and the area scrolls to show the one that has it.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(contents);
    return scroll;
}

ScrollingGroupBox::ScrollingGroupBox(const QString& title, int designed_height)
    : QGroupBox(title), designed_height_(designed_height) {
    new QVBoxLayout(this);
}

void ScrollingGroupBox::SetFields(QWidget* fields) {
    if (fields->layout() != nullptr) fields->layout()->setContentsMargins(0, 0, 0, 0);
    scroll_ = ScrollWhenShort(fields);
    scroll_->setObjectName(objectName() + QStringLiteral("Scroll"));
    // The fields take the group's width; only their height scrolls.
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // At its smallest the group still shows about one field, a label over its line.
    scroll_->setMinimumHeight(2 * fontMetrics().height());
    layout()->addWidget(scroll_);
}

QSize ScrollingGroupBox::sizeHint() const {
    QSize hint = QGroupBox::sizeHint();
    hint.setHeight(std::max(hint.height(), designed_height_));
    return hint;
}

}  // namespace kitforge
