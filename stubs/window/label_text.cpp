#include "window/label_text.h"

namespace kitforge::window {

std::string LabelText(const std::string& text) {
    std::string label;
    label.reserve(text.size());
    for (char c : text) {
        label += c;
        if (c == '@') label += '@';
    }
    return label;
}

}  // namespace kitforge::window
