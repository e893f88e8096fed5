#pragma once

namespace kapitolo {

// Shows the wait cursor for the lifetime of the scope (nothing without a GUI).
class WaitCursorScope
{
public:
    WaitCursorScope();
    ~WaitCursorScope();
    WaitCursorScope(const WaitCursorScope &) = delete;
    WaitCursorScope &operator=(const WaitCursorScope &) = delete;

private:
    bool m_active = false;
};

} // namespace kapitolo
