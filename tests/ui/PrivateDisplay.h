#pragma once

// A virtual display for this test program alone, so that pictures of the screen show only its
// own windows while other test programs run beside it. Where a test program cannot start the
// display server itself (a Windows program under Wine cannot start a Linux program), its
// launcher gives it one of its own (tests/ui/run-on-own-display) and this does nothing.
class PrivateDisplay
{
public:
    PrivateDisplay();
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

private:
    long server = -1; // the display server this program started
};
