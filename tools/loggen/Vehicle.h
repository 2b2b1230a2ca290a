#pragma once

#include <QtGlobal>

namespace pelmor::loggen {

// One vehicle as the sign logs it: whole seconds since the survey start, the
// direction ('+' approaching, '-' receding, '?' unknown) and the whole speed
// in the survey's unit.
struct Vehicle {
    qint64 offset = 0;
    char direction = '+';
    int speed = 0;

    friend bool operator==(const Vehicle& a, const Vehicle& b)
    {
        return a.offset == b.offset && a.direction == b.direction && a.speed == b.speed;
    }
    friend bool operator!=(const Vehicle& a, const Vehicle& b) { return !(a == b); }
};

} // namespace pelmor::loggen
