#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

namespace component {

// The forms that one server library has loaded on this thread. Each server library links
// its own copy (symbols stay hidden), so each has its own collection.
class Forms {
  public:
    static Forms& ofThisLibrary();

    // Records a loaded form; it leaves the collection when it is destroyed.
    void add(QWidget* form);
    // Unloads every loaded form, one after the other: each window closes and is destroyed
    // at once. Not to be called from an event handler of one of the forms themselves.
    void unloadAll();
    std::size_t count() const;

  private:
    std::vector<QPointer<QWidget>> forms_;
};

}  // namespace component
