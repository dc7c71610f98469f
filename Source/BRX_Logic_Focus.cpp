#include "BRX_Logic_Focus.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_PtpCodes.h"
#include "BRX_Debug.h"

#include <QThread>

#include <utility>

namespace {

const int kFocusStep = 5;
const quint32 kIllegalFocusPosition = 0xFFFFFFFF;
// This product moves the lens the other way round for the same stage, and
// its live view must not be interrupted by an autofocus start.
const int kProductWithSwappedLensSteps = 0x2041;
// This product focuses when the live view's button is released.
const int kProductFocusingOnRelease = 0x2031;
const unsigned long kManualAutoFocusDuration = 1000;

}  // namespace

BRX_Logic_Focus::BRX_Logic_Focus(BRX_Commu_CameraAccess_Base& access, Hooks hooks)
    : m_access(access)
    , m_hooks(std::move(hooks))
{
}

bool BRX_Logic_Focus::sendStage(int stage, int param)
{
    return m_access.releaseCam(stage, param);
}

bool BRX_Logic_Focus::setFocusMode(const char* caller, int mode)
{
    switch (mode) {
    case kVQFocusAutoSingle:
    case kVQFocusAutoContinuous:
        return changeToAutoFocus(caller, mode == kVQFocusAutoContinuous);
    case kVQFocusManual:
        return changeToManualFocus(caller);
    default:
        debugPrint(kDebugAlways, "%s - illegal focus mode %d", methodLabel(caller).c_str(), mode);
        return false;
    }
}

// Autofocus is stopped around the switch and started again, except on the
// product whose live view must not be interrupted by it.
bool BRX_Logic_Focus::changeToAutoFocus(const char* caller, bool continuous)
{
    sendStage(kVQReleaseAutoFocusStop);
    const bool taken = m_hooks.writeMode(caller, continuous ? kVQFocusAutoContinuous : kVQFocusAutoSingle);
    if (!isLiveViewActiveOn2041())
        sendStage(kVQReleaseAutoFocusStart);
    return taken;
}

bool BRX_Logic_Focus::changeToManualFocus(const char* caller)
{
    sendStage(kVQReleaseAutoFocusStop);
    return m_hooks.writeMode(caller, kVQFocusManual);
}

bool BRX_Logic_Focus::isLiveViewActiveOn2041()
{
    quint32 word = 0;
    return m_access.productId() == kProductWithSwappedLensSteps && m_access.getDevicePropSupportedStreams(word)
        && (word & 0xFFFF) == 1 && word > 0xFFFF;
}

void BRX_Logic_Focus::switchToMFMode(const char* caller)
{
    if (m_hooks.currentMode() == kVQFocusManual)
        return;
    changeToManualFocus(caller);
    m_hooks.modeChanged(m_hooks.currentMode());
}

bool BRX_Logic_Focus::moveLensTo(const char* caller, uint position)
{
    if (position == kIllegalFocusPosition) {
        debugPrint(kDebugAlways, "%s - illegal position 0x%lx", methodLabel(caller).c_str(),
                   static_cast<unsigned long>(position));
        return false;
    }
    switchToMFMode(caller);
    sendStage(kVQReleaseAutoFocusStart);
    return sendStage(kVQReleaseLensToPosition, int(position));
}

void BRX_Logic_Focus::stepLens(const char* caller, bool increase)
{
    switchToMFMode(caller);
    sendStage(kVQReleaseAutoFocusStart);
    const bool swapped = m_access.productId() == kProductWithSwappedLensSteps;
    sendStage(increase != swapped ? kVQReleaseLensStepFar : kVQReleaseLensStepNear, kFocusStep);
}

void BRX_Logic_Focus::doLiveViewAFExec(const char* caller)
{
    const int mode = m_hooks.currentMode();
    if (mode < 0)
        return;
    sendStage(kVQReleaseAutoFocusStop);
    if (mode == kVQFocusManual)
        focusOnceFromManual(caller);
    else
        sendStage(kVQReleaseAutoFocusStart);
}

void BRX_Logic_Focus::doLiveViewAFPressed(const char* caller)
{
    if (m_access.productId() == kProductFocusingOnRelease)
        return;
    const int mode = m_hooks.currentMode();
    if (mode == kVQFocusManual)
        focusOnceFromManual(caller);
    else if (mode == kVQFocusAutoSingle || mode == kVQFocusAutoContinuous)
        sendStage(kVQReleaseAutoFocusStart);
}

void BRX_Logic_Focus::doLiveViewAFReleased(const char* caller)
{
    if (m_access.productId() == kProductFocusingOnRelease)
        doLiveViewAFExec(caller);
    else if (m_hooks.currentMode() <= kVQFocusAutoContinuous)
        sendStage(kVQReleaseAutoFocusStop);
}

// The camera focuses only in an autofocus mode; the lens needs about a
// second before the manual mode may come back.
void BRX_Logic_Focus::focusOnceFromManual(const char* caller)
{
    m_hooks.writeMode(caller, kVQFocusAutoSingle);
    sendStage(kVQReleaseAutoFocusStart);
    QThread::msleep(kManualAutoFocusDuration);
    sendStage(kVQReleaseAutoFocusStop);
    m_hooks.writeMode(caller, kVQFocusManual);
}
