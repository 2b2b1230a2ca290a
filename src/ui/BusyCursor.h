#pragma once

namespace pelmor::ui {

// The hourglass for the length of an operation: set on construction, back
// to normal on destruction, on every way out, failures included.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace pelmor::ui
