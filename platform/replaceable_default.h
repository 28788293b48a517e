// A process-wide implementation of an interface that tests may replace: `Standard`
// serves until replace() is given another implementation; replace(nullptr) restores it.
// The standard one is made on first use.
//
// Usage (shell.cpp):
//     ReplaceableDefault<Shell, DesktopShell> g_shell;
//     Shell& defaultShell() { return g_shell.get(); }
//     void setDefaultShell(Shell* shell) { g_shell.replace(shell); }
#pragma once

namespace tav {

template <typename Interface, typename Standard> class ReplaceableDefault {
public:
    Interface& get() {
        static Standard standard;
        return replacement_ != nullptr ? *replacement_ : standard;
    }
    void replace(Interface* replacement) { replacement_ = replacement; }

private:
    Interface* replacement_ = nullptr;
};

} // namespace tav
