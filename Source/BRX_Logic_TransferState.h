#ifndef BRX_LOGIC_TRANSFERSTATE_H
#define BRX_LOGIC_TRANSFERSTATE_H

#include <atomic>
#include <mutex>

// What the camera model's downloads share with its thread: whether a
// transfer runs (3D-axis reads and refreshes wait for it), how many pictures
// are still to load, whether the host wants the quick view and whose turn
// it is in a DNG + JPG pair, and the lock that runs downloads one at a time.
// Any thread.
class BRX_Logic_TransferState
{
public:
    void setInProgress(bool inProgress);
    bool isInProgress() const;
    // Set while a picture's object is read; the image operations of the
    // controller set it too.
    void setImageFlag(bool on) { m_imageFlag = on; }

    // A download learned how many pictures are still to load, itself
    // included.
    void setRemainingToLoad(int remaining) { m_remainingToLoad = remaining; }
    int remainingToLoad() const { return m_remainingToLoad; }

    void setWantQuickView(bool want) { m_wantQuickView = want; }
    bool wantsQuickView() const { return m_wantQuickView; }
    // Whether this download shows the quick view: in pair mode only the
    // first file of each pair does. Called once per download that wants it,
    // under the download lock.
    bool takeQuickViewTurn(bool pairMode);

    // Held by one download from its start to its end.
    std::mutex& downloadMutex() { return m_downloadMutex; }

private:
    mutable std::mutex m_stateMutex;  // guards m_inProgress
    bool m_inProgress = false;
    std::atomic<bool> m_imageFlag{false};
    std::atomic<int> m_remainingToLoad{0};
    std::atomic<bool> m_wantQuickView{false};
    // The first file of a pair has shown the quick view.
    std::atomic<bool> m_quickViewPending{false};
    std::mutex m_downloadMutex;
};

#endif
