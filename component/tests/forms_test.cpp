#include "ombrix/component/qt/forms.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <thread>

namespace {

using component::Forms;

// A form that refuses to close, as one with unsaved input might.
class StubbornForm : public QWidget {
  public:
    explicit StubbornForm(int* closeRequests) : closeRequests_(closeRequests) {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        ++*closeRequests_;
        event->ignore();
    }

  private:
    int* closeRequests_;
};

TEST(Forms, UnloadAllClosesAndDestroysEveryLoadedForm) {
    Forms& forms = Forms::ofThisLibrary();
    int closeRequests = 0;
    QPointer<QWidget> plain = new QWidget;
    QPointer<QWidget> stubborn = new StubbornForm(&closeRequests);
    auto* closedEarlier = new QWidget;
    forms.add(closedEarlier);
    forms.add(plain);
    forms.add(stubborn);
    forms.add(plain);
    delete closedEarlier;
    plain->show();
    stubborn->show();
    EXPECT_EQ(forms.count(), 2u);

    forms.unloadAll();
    EXPECT_EQ(closeRequests, 1);
    EXPECT_TRUE(plain.isNull());
    EXPECT_TRUE(stubborn.isNull());
    EXPECT_EQ(forms.count(), 0u);
}

TEST(Forms, EachThreadHasItsOwnCollection) {
    Forms* here = &Forms::ofThisLibrary();
    Forms* there = nullptr;
    std::thread([&there] { there = &Forms::ofThisLibrary(); }).join();
    EXPECT_NE(here, there);
}

}  // namespace
