#ifndef BRX_LOGIC_IMAGEDATABASE_H
#define BRX_LOGIC_IMAGEDATABASE_H

#include <QList>
#include <QObject>
#include <QTimer>
#include <QVector>

class BRX_Commu_CameraAccess_Base;
class BRX_Logic_ImageEntry;

// The pictures stored on the camera, one entry per picture object, in the
// camera's handle order. Rebuilt from the camera's object handles at most
// once every 3 s: requests inside that time fold into one deferred rebuild.
// Lives on the controller thread; entries stay valid until the next change,
// which signalChangeBegin announces.
class BRX_Logic_ImageDatabase : public QObject
{
    Q_OBJECT
public:
    // access is not owned and must outlive the database.
    explicit BRX_Logic_ImageDatabase(BRX_Commu_CameraAccess_Base* access, QObject* parent = nullptr);
    ~BRX_Logic_ImageDatabase() override;

    int count() const { return m_entries.size(); }
    // Null for an index outside the list.
    BRX_Logic_ImageEntry* entry(int index) const;
    // -1 for a handle not in the list.
    int indexOfHandle(uint handle) const;
    // 0 for an index outside the list.
    uint handle(int index) const;
    // 0 for an index outside the list.
    int orientation(int index) const;
    // Drops the entry and its buffers (the camera keeps the object); false
    // for a handle not in the list.
    bool remove(uint handle);
    // The handles of the camera's pictures, each once, in the camera's
    // order; empty when the camera does not answer (logged).
    static QVector<quint32> readPictureHandles(BRX_Commu_CameraAccess_Base* access);
    // The camera's handles say in their low four bits what the object is:
    // 1, 2 and 6 are pictures.
    static bool isPictureHandle(quint32 handle);

signals:
    void signalChangeBegin();
    void signalChangeEnd();

public slots:
    // Rebuilds now, or marks a rebuild pending while the 3 s period runs.
    void rebuild();
    // Ends the 3 s period (also before the timer fires): runs a pending rebuild.
    void rebuildIfPending();

private:
    BRX_Commu_CameraAccess_Base* const m_access;
    // Owned entries.
    QList<BRX_Logic_ImageEntry*> m_entries;
    QTimer m_throttleTimer;
    bool m_rebuildPending = false;
};

#endif
