#ifndef BRX_LOGIC_FOCUS_H
#define BRX_LOGIC_FOCUS_H

#include <QtGlobal>

#include <functional>

class BRX_Commu_CameraAccess_Base;

// Focus modes of the settings record.
enum eVQFocusMode : int {
    kVQFocusAutoSingle = 0,
    kVQFocusAutoContinuous = 1,
    kVQFocusManual = 2,
};

// Focus: switching between autofocus and manual focus, moving the lens in
// manual focus, and autofocus from live view. The camera takes a focus
// mode only while autofocus is stopped, and moves the lens only in manual
// focus; these sequences of release stages and record writes are kept here.
//
// The caller arguments are the facade's method names (__PRETTY_FUNCTION__),
// under which the log lines go. Camera model's thread.
class BRX_Logic_Focus
{
public:
    // What focusing needs of the camera model.
    struct Hooks
    {
        // The record's focus mode.
        std::function<int()> currentMode;
        // Writes the mode to the record and sends it; whether the camera took it.
        std::function<bool(const char* caller, int mode)> writeMode;
        // The mode was switched to manual for a lens move.
        std::function<void(int mode)> modeChanged;
    };

    // access is not owned and must outlive the focus.
    BRX_Logic_Focus(BRX_Commu_CameraAccess_Base& access, Hooks hooks);

    // The modes above; false, with a log line, for any other.
    bool setFocusMode(const char* caller, int mode);
    // Single or continuous autofocus.
    bool changeToAutoFocus(const char* caller, bool continuous);
    bool changeToManualFocus(const char* caller);
    // Manual focus, unless the camera already is in it.
    void switchToMFMode(const char* caller);
    // Moves the lens to position in manual focus; 0xFFFFFFFF is refused.
    // True when the camera took the move.
    bool moveLensTo(const char* caller, uint position);
    // One lens step nearer or farther, in manual focus.
    void stepLens(const char* caller, bool increase);
    // Autofocus from live view; in manual focus the camera is switched to
    // autofocus for one second and back.
    void doLiveViewAFExec(const char* caller);
    void doLiveViewAFPressed(const char* caller);
    void doLiveViewAFReleased(const char* caller);

private:
    bool sendStage(int stage, int param = 0);
    bool isLiveViewActiveOn2041();
    void focusOnceFromManual(const char* caller);

    BRX_Commu_CameraAccess_Base& m_access;
    const Hooks m_hooks;
};

#endif
