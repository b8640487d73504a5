#include "toolkit/ControlRef.h"

#include "platform/Window.h"

namespace DuiLib {

void CControlRef::Post(std::function<void(CControlUI&)> task) const {
    if (!task || !control_) return;
    platform::PostUiTask([ref = *this, task = std::move(task)]() {
        if (CControlUI* control = ref.Get()) task(*control);
    });
}

}  // namespace DuiLib
