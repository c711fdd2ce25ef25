#pragma once

#include <QByteArray>
#include <QString>

namespace orva {

// A pseudo-terminal pair for tests over a real line: the panel opens the
// device path; the test plays the projector on the master side.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString devicePath() const { return m_path; }

    // Writes bytes as the projector would.
    bool write(const QByteArray& bytes);
    // Reads what has arrived from the panel, waiting up to timeoutMs for at
    // least minBytes.
    QByteArray read(int minBytes, int timeoutMs);
    // Closes the master side: the panel sees the line hang up.
    void hangUp();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};

} // namespace orva
