#pragma once

// Whether the window system blends translucent windows with what lies beneath.
// Without a compositor an X server shows the colour of a transparent pixel as
// it is, so rounded corners and dimming layers must be drawn differently.
class KDCompositing final {
public:
    KDCompositing() = delete;

    static bool isActive();
    // Forces the answer for the rest of the process (tests use it to exercise
    // both looks on any platform); unset follows the window system again.
    static void setOverride(bool active);
    static void clearOverride();
};
