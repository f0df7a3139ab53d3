// The main window on small and large screens, the list's columns as the window resizes, and
// message boxes wide enough for their titles. A 1280x800 screen at a scale factor of 2 offers
// 640x400 device-independent pixels; layouts are measured in those, so the window is checked
// at that size here (scripts/lib/check-editor-window.sh checks it on a real X server).

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>
#include <string>

#include "qt_test_support.h"
#include "support/scripted_ui_host.h"
#include "ui/kitforge_form.h"
#include "ui/qt_ui_host.h"
#include "ui/window_placement.h"

namespace kitforge {
namespace {

using testing::DialogAnswer;

// Sizes and places compared as text, so that a failed check prints them.
std::string Text(QSize size) { return std::to_string(size.width()) + "x" + std::to_string(size.height()); }
std::string Text(QPoint point) { return std::to_string(point.x()) + "," + std::to_string(point.y()); }

// The free area of a 1280x800 screen at a scale factor of 2, without a window manager's panel.
const QRect kSmallScreen(0, 0, 640, 400);
const QSize kDesignedSize(TKitforgeForm::kWidth, TKitforgeForm::kHeight);

const char* const kButtons[] = {"InsertButton", "DeleteButton", "PutButton",  "ExecuteButton",
                                "RunButton",    "CopyButton",   "LinkButton", "CleanupButton",
                                "QuitButton",   "UpButton",     "DownButton"};

class EditorLayoutTest : public ::testing::Test {
protected:
    EditorLayoutTest() : form(std::make_unique<TKitforgeForm>(host, EditorEnvironment::ForThisProgram())) {}

    template <typename Widget = QWidget>
    Widget* Get(const char* name) {
        return testing::Child<Widget>(*form, name);
    }
    void ShowAt(QSize size) {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->resize(size);
        QTest::qWait(20);
        ASSERT_EQ(Text(form->size()), Text(size));
    }
    // Whether the whole of `widget` can be seen: no part of it lies outside the window or is
    // clipped by a scroll area around it.
    static bool WhollyShown(const QWidget* widget) {
        return widget->isVisible() && widget->visibleRegion().boundingRect() == widget->rect() &&
               widget->visibleRegion().rectCount() == 1;
    }
    QScrollArea* WindowScroll() {
        auto* scroll = qobject_cast<QScrollArea*>(form->centralWidget());
        EXPECT_NE(scroll, nullptr) << "the window's contents are not in a scroll area";
        return scroll;
    }

    testing::ScriptedUiHost host;
    std::unique_ptr<TKitforgeForm> form;
};

TEST(WindowPlacement, OpensAtItsDesignedSizeWhereThereIsRoomAndWhollyOnTheScreenElsewhere) {
    const QMargins frame(4, 28, 4, 4);
    struct Case {
        const char* name;
        QRect available;
        QSize minimum;
        QPoint frame_position;
        QSize size;
    };
    for (const Case& c : {
             // Centred, frame included: (1024 - 643) / 2, (768 - 536) / 2.
             Case{"roomy screen", QRect(0, 0, 1024, 768), QSize(300, 300), QPoint(190, 116), kDesignedSize},
             Case{"1280x800 at scale 2", kSmallScreen, QSize(300, 300), QPoint(0, 0), QSize(632, 368)},
             Case{"below a panel", QRect(0, 16, 640, 384), QSize(300, 300), QPoint(0, 16), QSize(632, 352)},
             Case{"on a second screen", QRect(1024, 0, 800, 600), QSize(300, 300), QPoint(1102, 32), kDesignedSize},
             // A window that cannot shrink enough starts at the top-left, so its title bar is on the screen.
             Case{"minimum too large", kSmallScreen, QSize(500, 450), QPoint(0, 0), QSize(632, 450)},
         }) {
        const WindowPlace place = OpeningPlace(kDesignedSize, c.minimum, c.available, frame);
        EXPECT_EQ(Text(place.frame_position), Text(c.frame_position)) << c.name;
        EXPECT_EQ(Text(place.size), Text(c.size)) << c.name;
        if (c.minimum.height() <= c.available.height()) {
            EXPECT_TRUE(c.available.contains(QRect(place.frame_position, place.size.grownBy(frame)))) << c.name;
        }
    }
}

TEST_F(EditorLayoutTest, OpensOnItsScreenAtTheDesignedSize) {
    const QRect available = form->screen()->availableGeometry();
    ASSERT_GE(available.width(), 700) << "the offscreen screen is expected to have room for the designed size";
    EXPECT_EQ(Text(form->size()), Text(kDesignedSize));
    EXPECT_TRUE(available.contains(QRect(form->pos(), form->size().grownBy(ExpectedFrame(*form)))));
}

TEST_F(EditorLayoutTest, EveryButtonShowsAtTheOpeningSizeOfA1280x800ScreenAtScale2) {
    const WindowPlace place = OpeningPlace(kDesignedSize, form->minimumSizeHint(), kSmallScreen, ExpectedFrame(*form));
    ASSERT_TRUE(kSmallScreen.contains(QRect(place.frame_position, place.size.grownBy(ExpectedFrame(*form)))));
    ShowAt(place.size);
    for (const char* name : kButtons) EXPECT_TRUE(WhollyShown(Get(name))) << name;
    // The window's contents fit without scrolling as a whole; the project fields scroll within
    // their group, and each of them can be brought into view there.
    ASSERT_NE(WindowScroll(), nullptr);
    EXPECT_FALSE(WindowScroll()->verticalScrollBar()->isVisible());
    auto* fields = Get<QScrollArea>("ProjectInfoGroupScroll");
    ASSERT_NE(fields, nullptr);
    EXPECT_TRUE(fields->verticalScrollBar()->isVisible());
    for (const char* name : {"TitleEdit", "PromptEdit", "OutputEdit", "NotesEdit", "CompressCheck"}) {
        fields->ensureWidgetVisible(Get(name));
        QTest::qWait(1);
        EXPECT_TRUE(WhollyShown(Get(name))) << name;
    }
}

TEST_F(EditorLayoutTest, AnEvenSmallerWindowScrollsToEveryButton) {
    ShowAt(QSize(320, 240));
    QScrollArea* scroll = WindowScroll();
    ASSERT_NE(scroll, nullptr);
    EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
    for (const char* name : kButtons) {
        scroll->ensureWidgetVisible(Get(name), 0, 0);
        QTest::qWait(1);
        EXPECT_TRUE(WhollyShown(Get(name))) << name;
    }
}

TEST_F(EditorLayoutTest, AtTheDesignedSizeNothingScrolls) {
    ShowAt(kDesignedSize);
    ASSERT_NE(WindowScroll(), nullptr);
    EXPECT_FALSE(WindowScroll()->verticalScrollBar()->isVisible());
    auto* fields = Get<QScrollArea>("ProjectInfoGroupScroll");
    ASSERT_NE(fields, nullptr);
    EXPECT_FALSE(fields->verticalScrollBar()->isVisible());
    for (const char* name : kButtons) EXPECT_TRUE(WhollyShown(Get(name))) << name;
}

TEST_F(EditorLayoutTest, TabLeadsFromFieldToFieldAndOnToTheButtonsPastTheScrollAreas) {
    ShowAt(QSize(TKitforgeForm::kWidth, 360));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    // The window opens with the focus in the first field.
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    std::vector<std::string> stops = {QApplication::focusWidget()->objectName().toStdString()};
    while (stops.size() < 7) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        stops.push_back(QApplication::focusWidget()->objectName().toStdString());
    }
    EXPECT_EQ(stops, (std::vector<std::string>{"TitleEdit", "PromptEdit", "OutputEdit", "NotesEdit", "CompressCheck",
                                               "ListView1", "InsertButton"}));
    // The field with the focus is scrolled into view.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget()->objectName().toStdString(), "CompressCheck");
    EXPECT_TRUE(WhollyShown(Get("CompressCheck")));
}

TEST_F(EditorLayoutTest, TheColumnsShareTheListsWidthAsTheWindowResizes) {
    auto* list = Get<QTreeWidget>("ListView1");
    const auto widths = [list] {
        return std::vector<int>{list->columnWidth(0), list->columnWidth(1), list->columnWidth(2)};
    };
    const auto expect_shares = [&](const std::vector<double>& shares, int window_width) {
        const int viewport = list->viewport()->width();
        const std::vector<int> got = widths();
        EXPECT_EQ(got[0] + got[1] + got[2], viewport) << "window " << window_width;
        for (std::size_t i = 0; i < shares.size(); ++i) {
            EXPECT_NEAR(got[i], shares[i] * viewport, 1.0) << "column " << i << ", window " << window_width;
        }
    };
    for (const int width : {400, 635, 1000, 1600}) {
        ShowAt(QSize(width, TKitforgeForm::kHeight));
        expect_shares({60 / 500.0, 240 / 500.0, 200 / 500.0}, width);
    }
    // A column the user widens keeps its new share when the window changes.
    ShowAt(kDesignedSize);
    list->header()->resizeSection(0, 200);
    const std::vector<int> dragged = widths();
    const double total = dragged[0] + dragged[1] + dragged[2];
    ShowAt(QSize(1000, TKitforgeForm::kHeight));
    expect_shares({dragged[0] / total, dragged[1] / total, dragged[2] / total}, 1000);
}

TEST(MessageBoxTitle, TheBoxLeavesTheTitleBarRoomForTheWholeTitle) {
    QtUiHost host;
    for (const auto& [title, text] : std::initializer_list<std::pair<const char*, const char*>>{
             {"Kitforge", "Build complete"},
             {"Kitforge", "OK"},
             {"Kitforge - Save changes to /home/me/projects/hello/hello.inf", "Done"},
         }) {
        int width = 0;
        int needed = 0;
        DialogAnswer<QMessageBox> answer([&](QMessageBox& box) {
            width = box.width();
            // The title in bold, beside the window's icon and its three buttons, each about as
            // wide as the title bar is high.
            QFont font = QApplication::font("QMdiSubWindowTitleBar");
            font.setBold(true);
            const int bar = box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
            needed = QFontMetrics(font).horizontalAdvance(box.windowTitle()) + 4 * bar;
            box.button(QMessageBox::Ok)->click();
        });
        host.ShowMessage(MessageKind::Information, text, title, Buttons::Ok);
        ASSERT_TRUE(answer.Answered()) << title;
        EXPECT_GE(width, needed) << title << " / " << text;
    }
}

}  // namespace
}  // namespace kitforge
