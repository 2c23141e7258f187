#include "ombrix/component/qt/forms.h"

#include <algorithm>
#include <utility>

namespace component {

Forms& Forms::ofThisLibrary() {
    // Hidden visibility gives each library its own copy of this function and so its own
    // collection; thread_local gives each thread its own forms.
    thread_local Forms forms;
    return forms;
}

void Forms::add(QWidget* form) {
    std::erase_if(forms_, [](const QPointer<QWidget>& f) { return f.isNull(); });
    if (!form || std::find(forms_.begin(), forms_.end(), form) != forms_.end())
        return;
    forms_.emplace_back(form);
}

void Forms::unloadAll() {
    // A form's destruction may load or unload others; work on what is loaded now.
    const std::vector<QPointer<QWidget>> loaded = std::exchange(forms_, {});
    for (const QPointer<QWidget>& form : loaded) {
        if (form.isNull())
            continue;
        form->close();
        delete form.data();
    }
}

std::size_t Forms::count() const {
    return static_cast<std::size_t>(std::count_if(
        forms_.begin(), forms_.end(), [](const QPointer<QWidget>& f) { return !f.isNull(); }));
}

}  // namespace component
